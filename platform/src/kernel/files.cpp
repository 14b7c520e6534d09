// Files and folders: handles over POSIX descriptors, with Windows-style names and error codes.
#include "handles.h"
#include "kernel/owned_folders.h"
#include "paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace win32 {

namespace detail {

struct FileObject : KernelObject {
    explicit FileObject(int descriptor) : fd(descriptor) {}
    ~FileObject() override { close(fd); }
    int fd;
};

} // namespace detail

namespace {

using detail::FileObject;
using detail::LookupObject;

BOOL Fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

BOOL FailErrno() {
    return Fail(detail::ErrorFromErrno(errno));
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int OpenFlags(DWORD access, DWORD disposition) {
    int flags = O_CLOEXEC;
    const bool reading = (access & GENERIC_READ) != 0;
    const bool writing = (access & GENERIC_WRITE) != 0;
    flags |= reading && writing ? O_RDWR : writing ? O_WRONLY : O_RDONLY;
    switch (disposition) {
    case CREATE_NEW:
        return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
        return flags | O_CREAT | O_TRUNC;
    case OPEN_ALWAYS:
        return flags | O_CREAT;
    case TRUNCATE_EXISTING:
        return flags | O_TRUNC;
    default:
        return flags;
    }
}

// Moves the file and hands back the new position; false with the last error set.
bool Seek(FileObject& file, LONGLONG distance, DWORD method, LONGLONG& position) {
    if (method > FILE_END) return Fail(ERROR_INVALID_PARAMETER);
    LONGLONG base = 0;
    if (method == FILE_CURRENT) {
        base = lseek(file.fd, 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat st;
        base = fstat(file.fd, &st) == 0 ? st.st_size : -1;
    }
    if (base < 0) return FailErrno();
    if ((distance > 0 && base > LLONG_MAX - distance) || base + distance < 0)
        return Fail(ERROR_NEGATIVE_SEEK);
    const off_t result = lseek(file.fd, base + distance, SEEK_SET);
    if (result < 0) return FailErrno();
    position = result;
    return true;
}

} // namespace

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD /*shareMode*/, SECURITY_ATTRIBUTES* /*security*/,
                   DWORD disposition, DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto path = detail::ResolvePath(name);
    if (!path) return INVALID_HANDLE_VALUE;
    if (!path->parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (path->exists && IsDirectory(path->path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!path->exists && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const int fd = open(path->path.c_str(), OpenFlags(access, disposition), 0666);
    if (fd < 0) {
        SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS : detail::ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    // Windows reports that an "always" open found the file already there.
    const bool existed = path->exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return detail::RegisterObject(std::make_shared<FileObject>(fd));
}

HANDLE ReOpenFile(HANDLE original, DWORD access, DWORD, DWORD) {
    auto file = LookupObject<FileObject>(original);
    if (!file) return INVALID_HANDLE_VALUE;
    // Opening the descriptor's own entry gives a new open file description, with its own position.
    const std::string self = "/proc/self/fd/" + std::to_string(file->fd);
    const int fd = open(self.c_str(), OpenFlags(access, OPEN_EXISTING));
    if (fd < 0) {
        SetLastError(detail::ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return detail::RegisterObject(std::make_shared<FileObject>(fd));
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, DWORD* read, OVERLAPPED* overlapped) {
    if (read) *read = 0;
    auto file = LookupObject<FileObject>(handle);
    if (!file) return FALSE;
    if (overlapped || (toRead && !buffer)) return Fail(ERROR_INVALID_PARAMETER);
    DWORD total = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (total < toRead) {
        const ssize_t n = ::read(file->fd, bytes + total, toRead - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (read) *read = total;
            return Fail(errno == EISDIR ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT);
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (read) *read = total;
    if (toRead && total == 0) SetLastError(ERROR_HANDLE_EOF);
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, DWORD* written, OVERLAPPED* overlapped) {
    if (written) *written = 0;
    auto file = LookupObject<FileObject>(handle);
    if (!file) return FALSE;
    if (overlapped || (toWrite && !buffer)) return Fail(ERROR_INVALID_PARAMETER);
    DWORD total = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (total < toWrite) {
        const ssize_t n = ::write(file->fd, bytes + total, toWrite - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (written) *written = total;
            const int error = n < 0 ? errno : ENOSPC;
            return Fail(error == ENOSPC || error == EDQUOT || error == EFBIG ? ERROR_DISK_FULL
                                                                             : ERROR_WRITE_FAULT);
        }
        total += static_cast<DWORD>(n);
    }
    if (written) *written = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
    auto file = LookupObject<FileObject>(handle);
    if (!file) return INVALID_SET_FILE_POINTER;
    const LONGLONG move = distanceHigh ? static_cast<LONGLONG>((static_cast<ULONGLONG>(*distanceHigh) << 32) |
                                                               static_cast<DWORD>(distance))
                                       : distance;
    LONGLONG position = 0;
    if (!Seek(*file, move, method, position)) return INVALID_SET_FILE_POINTER;
    if (!distanceHigh && position > 0xFFFFFFFELL) {
        // The position cannot be told in 32 bits; the caller asked for no more.
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(position >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD method) {
    auto file = LookupObject<FileObject>(handle);
    if (!file) return FALSE;
    LONGLONG position = 0;
    if (!Seek(*file, distance.QuadPart, method, position)) return FALSE;
    if (newPosition) newPosition->QuadPart = position;
    return TRUE;
}

BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) {
    auto file = LookupObject<FileObject>(handle);
    if (!file) return FALSE;
    if (!size) return Fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (fstat(file->fd, &st) != 0) return FailErrno();
    size->QuadPart = st.st_size;
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* sizeHigh) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size)) return INVALID_FILE_SIZE;
    if (sizeHigh) *sizeHigh = static_cast<DWORD>(size.QuadPart >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size.QuadPart);
}

BOOL FlushFileBuffers(HANDLE handle) {
    auto file = LookupObject<FileObject>(handle);
    if (!file) return FALSE;
    if (fsync(file->fd) != 0 && errno != EINVAL && errno != EROFS) return FailErrno();
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR name) {
    auto path = detail::ResolvePath(name);
    if (!path) return FALSE;
    if (!path->exists) return Fail(detail::NotFoundError(*path));
    if (IsDirectory(path->path)) return Fail(ERROR_ACCESS_DENIED);
    return unlink(path->path.c_str()) == 0 ? TRUE : FailErrno();
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
    auto from = detail::ResolvePath(existing);
    auto to = detail::ResolvePath(target);
    if (!from || !to) return FALSE;
    if (!from->exists) return Fail(detail::NotFoundError(*from));
    if (to->exists && !(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
    if (to->exists && IsDirectory(to->path)) return Fail(ERROR_ACCESS_DENIED);
    return rename(from->path.c_str(), to->path.c_str()) == 0 ? TRUE : FailErrno();
}

BOOL CreateDirectoryW(LPCWSTR name, SECURITY_ATTRIBUTES* /*security*/) {
    auto path = detail::ResolvePath(name);
    if (!path) return FALSE;
    if (path->exists) return Fail(ERROR_ALREADY_EXISTS);
    if (!path->parentExists) return Fail(ERROR_PATH_NOT_FOUND);
    return mkdir(path->path.c_str(), 0777) == 0 ? TRUE : FailErrno();
}

BOOL RemoveDirectoryW(LPCWSTR name) {
    auto path = detail::ResolvePath(name);
    if (!path) return FALSE;
    if (!path->exists) return Fail(detail::NotFoundError(*path));
    if (!IsDirectory(path->path)) return Fail(ERROR_DIRECTORY);
    struct stat before;
    const bool known = stat(path->path.c_str(), &before) == 0;
    if (rmdir(path->path.c_str()) != 0) return FailErrno();
    // A folder this process made in the temporary folder takes its mark along.
    if (known) detail::DropOwnerMark(before.st_dev, before.st_ino);
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR name) {
    auto path = detail::ResolvePath(name);
    if (!path) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (!path->exists || stat(path->path.c_str(), &st) != 0) {
        SetLastError(path->exists ? detail::ErrorFromErrno(errno) : detail::NotFoundError(*path));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL SetCurrentDirectoryW(LPCWSTR name) {
    auto path = detail::ResolvePath(name);
    if (!path) return FALSE;
    if (!path->exists) return Fail(detail::NotFoundError(*path));
    if (!IsDirectory(path->path)) return Fail(ERROR_DIRECTORY);
    return chdir(path->path.c_str()) == 0 ? TRUE : FailErrno();
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) {
        SetLastError(detail::ErrorFromErrno(errno));
        return 0;
    }
    const std::u16string wide = detail::ToWide(cwd);
    free(cwd);
    if (!buffer || size <= wide.size()) return static_cast<DWORD>(wide.size() + 1);
    std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    return static_cast<DWORD>(wide.size());
}

} // namespace win32
