// Owned temporary folders: their marks, the test and removal a later run makes of them, and their removal
// when the process has to end before its own clean-up could run.
#include "kernel/owned_folders.h"

#include "paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace win32 {

namespace {

// A folder without a mark is left alone this long after its last change: the run that made it may not have
// marked it yet.
constexpr std::time_t UnmarkedGraceSeconds = 60;

// Folders below this depth are not entered by the removal (its stack stays small inside a signal handler).
constexpr int MaxRemovalDepth = 24;
// Listing passes over one folder: entries removed while it is listed may hide others until the next pass.
constexpr int MaxRemovalPasses = 16;

enum SlotState : int { SlotFree, SlotFilling, SlotOwned, SlotRemoving, SlotReleased };

// One owned folder. A slot's path is written only while no one else may read it (free or released, taken
// by the filling thread), and a signal handler takes an owned slot before it reads the path, so that it never
// sees a path half written over another.
struct OwnedSlot {
    std::atomic<int> state{SlotFree};
    pid_t owner = 0;
    dev_t device = 0;
    ino_t inode = 0;
    int markFd = -1;
    std::array<char, PATH_MAX> path{};
};

constexpr std::size_t MaxOwnedFolders = 256;
std::array<OwnedSlot, MaxOwnedFolders> slots;

OwnedSlot* TakeSlot() {
    for (OwnedSlot& slot : slots) {
        for (int from : {SlotFree, SlotReleased}) {
            int expected = from;
            if (slot.state.compare_exchange_strong(expected, SlotFilling)) return &slot;
        }
    }
    return nullptr;
}

bool IsDotName(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes an entry of a folder and, when it is a folder itself, everything in it; links are removed, never
// followed. Uses only calls that are safe inside a signal handler.
void RemoveEntryAt(int parent, const char* name, int depth) {
    if (unlinkat(parent, name, 0) == 0 || errno == ENOENT) return;
    if (depth >= MaxRemovalDepth) return;
    const int folder = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return;
    for (int pass = 0; pass < MaxRemovalPasses; ++pass) {
        if (lseek(folder, 0, SEEK_SET) < 0) break;
        bool any = false;
        alignas(dirent64) char buffer[1024];
        ssize_t got;
        while ((got = getdents64(folder, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
                at += entry->d_reclen;
                if (IsDotName(entry->d_name)) continue;
                any = true;
                RemoveEntryAt(folder, entry->d_name, depth + 1);
            }
        }
        if (!any) break;
    }
    close(folder);
    unlinkat(parent, name, AT_REMOVEDIR);
}

void RemoveOwnedFoldersAtExit() {
    detail::RemoveOwnedFolders();
}

// The faults that end a process: its folders go first, then what the signal did before runs (the default
// end, or a sanitizer's report): a fault comes back when the instruction runs again, a raised signal is
// raised again.
constexpr std::array<int, 5> FaultSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
std::array<struct sigaction, FaultSignals.size()> previousFault{};

void OnFault(int number, siginfo_t* info, void*) {
    detail::RemoveOwnedFolders();
    for (std::size_t i = 0; i < FaultSignals.size(); ++i)
        if (FaultSignals[i] == number) sigaction(number, &previousFault[i], nullptr);
    // Sent (by abort, raise or kill) rather than raised by the processor on an instruction.
    if (info->si_code <= 0) raise(number);
}

void RemoveOwnedFoldersOnFaults() {
    for (std::size_t i = 0; i < FaultSignals.size(); ++i) {
        struct sigaction ours {};
        ours.sa_sigaction = OnFault;
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&ours.sa_mask);
        sigaction(FaultSignals[i], &ours, &previousFault[i]);
    }
}

// Whatever ends the process before its own clean-up, once it owns a folder.
void RemoveOwnedFoldersAtAnyEnd() {
    static const bool installed = [] {
        std::atexit(RemoveOwnedFoldersAtExit);
        RemoveOwnedFoldersOnFaults();
        return true;
    }();
    (void)installed;
}

std::string MarkPath(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder + detail::OwnerMarkSuffix;
}

// Removes a folder that no live process owns, with its mark; the mark's lock is held meanwhile so that two
// runs starting together do not both go at it.
bool RemoveIfAbandoned(const std::string& folder, const struct stat& st) {
    const std::string markPath = MarkPath(folder);
    const int mark = open(markPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (mark < 0) {
        if (errno != ENOENT || st.st_mtime + UnmarkedGraceSeconds >= std::time(nullptr)) return false;
    } else if (flock(mark, LOCK_EX | LOCK_NB) != 0) {
        close(mark);
        return false;
    }
    RemoveEntryAt(AT_FDCWD, folder.c_str(), 0);
    if (mark >= 0) {
        unlink(markPath.c_str());
        close(mark);
    }
    return true;
}

// A real folder of this user's: links and other users' folders are never examined.
bool IsOwnFolder(const std::string& folder, struct stat& st) {
    return lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

} // namespace

namespace detail {

bool MarkFolderOwned(const std::string& path) {
    RemoveOwnedFoldersAtAnyEnd();
    const std::string markPath = MarkPath(path);
    struct stat st;
    if (markPath.size() >= PATH_MAX || stat(path.c_str(), &st) != 0) return false;
    const int fd = open(markPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    OwnedSlot* slot = flock(fd, LOCK_EX | LOCK_NB) == 0 ? TakeSlot() : nullptr;
    if (!slot) {
        close(fd);
        unlink(markPath.c_str());
        return false;
    }
    slot->owner = getpid();
    slot->device = st.st_dev;
    slot->inode = st.st_ino;
    slot->markFd = fd;
    std::memcpy(slot->path.data(), path.c_str(), path.size() + 1);
    slot->state.store(SlotOwned, std::memory_order_release);
    return true;
}

void DropOwnerMark(dev_t device, ino_t inode) {
    // Every slot of that folder: one whose folder went some other way may hold an inode number used again.
    for (OwnedSlot& slot : slots) {
        if (slot.state.load(std::memory_order_acquire) != SlotOwned || slot.owner != getpid() ||
            slot.device != device || slot.inode != inode)
            continue;
        int expected = SlotOwned;
        if (!slot.state.compare_exchange_strong(expected, SlotRemoving)) continue;
        unlink(MarkPath(slot.path.data()).c_str());
        close(slot.markFd);
        slot.markFd = -1;
        slot.state.store(SlotReleased, std::memory_order_release);
    }
}

void RemoveOwnedFolders() {
    const pid_t self = getpid();
    for (OwnedSlot& slot : slots) {
        // A child made by fork alone owns nothing of its parent's.
        if (slot.state.load(std::memory_order_acquire) != SlotOwned || slot.owner != self) continue;
        int expected = SlotOwned;
        if (!slot.state.compare_exchange_strong(expected, SlotRemoving)) continue;
        RemoveEntryAt(AT_FDCWD, slot.path.data(), 0);
        // The mark's path, made without allocating.
        char mark[PATH_MAX + 8];
        const std::size_t length = std::strlen(slot.path.data());
        std::memcpy(mark, slot.path.data(), length);
        std::memcpy(mark + length, OwnerMarkSuffix, std::strlen(OwnerMarkSuffix) + 1);
        unlink(mark);
        slot.state.store(SlotReleased, std::memory_order_release);
    }
}

void EndProcessAfterRemovingOwnedFolders(int status) {
    RemoveOwnedFolders();
    _exit(status);
}

} // namespace detail

BOOL IsFolderAbandoned(LPCWSTR folder) {
    auto path = detail::ResolvePath(folder);
    struct stat st;
    if (!path || !path->exists || !IsOwnFolder(path->path, st)) return FALSE;
    const int mark = open(MarkPath(path->path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (mark < 0) return errno == ENOENT && st.st_mtime + UnmarkedGraceSeconds < std::time(nullptr);
    // The owner holds the lock for as long as it lives; taking it here shows it is gone.
    const bool gone = flock(mark, LOCK_EX | LOCK_NB) == 0;
    close(mark);
    return gone ? TRUE : FALSE;
}

BOOL RemoveAbandonedFolder(LPCWSTR folder) {
    auto path = detail::ResolvePath(folder);
    struct stat st;
    if (!path || !path->exists || !IsOwnFolder(path->path, st)) return FALSE;
    return RemoveIfAbandoned(path->path, st) ? TRUE : FALSE;
}

} // namespace win32
