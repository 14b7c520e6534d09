// Opening documents with the desktop's own program for their kind.
#pragma once

#include "win32/user.h"

namespace win32 {

constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040;
constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

struct SHELLEXECUTEINFOW {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp; // above 32 on success
    void* lpIDList;
    LPCWSTR lpClass;
    void* hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess; // with SEE_MASK_NOCLOSEPROCESS: the opener's process, for GetExitCodeProcess
};

// The verb "open" (or none): a file that names a program (a path to an executable file, or a bare name on
// the search path) runs with the parameters as its arguments; any other file goes to the desktop's opener
// (xdg-open) alone. Both start directly, never through a shell. Other verbs, and parameters for a document,
// are refused (ERROR_NOT_SUPPORTED); a missing program or opener fails with ERROR_FILE_NOT_FOUND.
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);

namespace testing {
// The program that opens documents, in place of xdg-open (null puts xdg-open back).
void SetDocumentOpener(const char* program);
} // namespace testing

} // namespace win32
