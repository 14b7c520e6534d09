// Opening files: a program runs with its parameters as its arguments, a document opens with the desktop's
// opener; both are started directly (no shell sees the name or the parameters).
#include "kernel/child_processes.h"
#include "kernel/paths.h"
#include "win32/shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

bool IsProgramFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program a file names: a path to an executable file, or a bare name found on the search path; empty
// for a document.
std::string ProgramOf(std::u16string_view file) {
    if (file.find(u'/') != std::u16string_view::npos || file.find(u'\\') != std::u16string_view::npos) {
        const auto path = detail::ResolvePath(file);
        return path && path->exists && IsProgramFile(path->path) ? path->path : std::string();
    }
    const std::string name = ToUtf8(file);
    const char* search = std::getenv("PATH");
    std::string_view folders = search ? search : "";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        if (folder.empty()) continue;
        std::string candidate = std::string(folder) + "/" + name;
        if (IsProgramFile(candidate)) return candidate;
    }
    return {};
}

bool Start(SHELLEXECUTEINFOW* info, std::vector<std::string> arguments, DWORD missing) {
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(missing));
        SetLastError(missing);
        return false;
    }
    HANDLE process = detail::RegisterChildProcess(pid);
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(42));
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
        info->hProcess = process;
    else
        CloseHandle(process);
    return true;
}

// The parameters as a program receives them: split at spaces and tabs outside double quotes, the quotes
// removed, \" a quote of the item.
std::vector<std::string> SplitCommandLine(std::u16string_view line) {
    std::vector<std::string> items;
    std::u16string item;
    bool inItem = false, quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (c == u'\\' && i + 1 < line.size() && line[i + 1] == u'"') {
            item.push_back(u'"');
            inItem = true;
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
            inItem = true;
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (inItem) items.push_back(ToUtf8(item));
            item.clear();
            inItem = false;
        } else {
            item.push_back(c);
            inItem = true;
        }
    }
    if (inItem) items.push_back(ToUtf8(item));
    return items;
}

} // namespace

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW) || !info->lpFile || !info->lpFile[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    const std::u16string_view parameters = info->lpParameters ? info->lpParameters : u"";
    const std::string program = IsOpenVerb(info->lpVerb) ? ProgramOf(info->lpFile) : std::string();
    if (!program.empty()) {
        std::vector<std::string> arguments{program};
        for (std::string& a : SplitCommandLine(parameters))
            arguments.push_back(std::move(a));
        return Start(info, std::move(arguments), ERROR_FILE_NOT_FOUND) ? TRUE : FALSE;
    }
    // The desktop's opener takes a document alone.
    if (!IsOpenVerb(info->lpVerb) || !parameters.empty()) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(ERROR_NOT_SUPPORTED));
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return Start(info, {Opener(), ToUtf8(info->lpFile)}, ERROR_FILE_NOT_FOUND) ? TRUE : FALSE;
}

namespace testing {

void SetDocumentOpener(const char* program) {
    Opener() = program ? program : "xdg-open";
}

} // namespace testing

} // namespace win32
