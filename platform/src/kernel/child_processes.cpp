// Process handles over child pids: the exit code once the child ends, and no zombie left behind.
#include "child_processes.h"

#include "handles.h"

#include <sys/wait.h>

#include <mutex>
#include <thread>

namespace win32::detail {

namespace {

struct ChildProcess : KernelObject {
    explicit ChildProcess(pid_t id) : pid(id) {}
    ~ChildProcess() override {
        std::lock_guard guard(lock);
        if (!Poll()) {
            // Closing the handle does not end the child; something must still collect it when it ends.
            const pid_t orphan = pid;
            std::thread([orphan] { waitpid(orphan, nullptr, 0); }).detach();
        }
    }
    // Whether the child has ended (its code is then kept).
    bool Poll() {
        if (ended) return true;
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == 0) return false;
        ended = true;
        code = r == pid && WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status)) : 1;
        return true;
    }
    std::mutex lock;
    pid_t pid;
    bool ended = false;
    DWORD code = 0;
};

} // namespace

HANDLE RegisterChildProcess(pid_t pid) {
    return RegisterObject(std::make_shared<ChildProcess>(pid));
}

} // namespace win32::detail

namespace win32 {

BOOL GetExitCodeProcess(HANDLE process, DWORD* code) {
    auto child = detail::LookupObject<detail::ChildProcess>(process);
    if (!child || !code) return FALSE;
    std::lock_guard guard(child->lock);
    *code = child->Poll() ? child->code : STILL_ACTIVE;
    return TRUE;
}

} // namespace win32
