// Documents open with the desktop's opener, started directly (no shell sees the name).
#include "kernel/child_processes.h"
#include "win32/shell.h"

#include <spawn.h>

#include <string>

extern char** environ;

namespace win32 {

namespace {

std::string& Opener() {
    static std::string program = "xdg-open";
    return program;
}

bool IsOpenVerb(LPCWSTR verb) {
    return !verb || std::u16string_view(verb).empty() || std::u16string_view(verb) == u"open";
}

} // namespace

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW) || !info->lpFile || !info->lpFile[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    if (!IsOpenVerb(info->lpVerb) || (info->lpParameters && info->lpParameters[0])) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(ERROR_NOT_SUPPORTED));
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    std::string program = Opener();
    std::string file = ToUtf8(info->lpFile);
    char* argv[] = {program.data(), file.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(ERROR_FILE_NOT_FOUND));
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    HANDLE process = detail::RegisterChildProcess(pid);
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(42));
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
        info->hProcess = process;
    else
        CloseHandle(process);
    return TRUE;
}

namespace testing {

void SetDocumentOpener(const char* program) {
    Opener() = program ? program : "xdg-open";
}

} // namespace testing

} // namespace win32
