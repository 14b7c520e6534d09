// The kernel part of the layer: last error, text and code pages, files and folders, temporary names,
// modules, time, locks, thread-local slots and interlocked operations.
#pragma once

#include "win32/types.h"

#include <string>
#include <string_view>

namespace win32 {

// ---- Last error ------------------------------------------------------------------------------------------

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD NO_ERROR = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

// Per thread, as the callers expect.
DWORD GetLastError();
void SetLastError(DWORD code);

// ---- Text and code pages ---------------------------------------------------------------------------------

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF7 = 65000;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

// The system's ANSI code page: 1252, the one the applications this runtime plays were mostly written under.
UINT GetACP();

// Any Windows code page by its number (0 = GetACP()); the counts are in bytes and UTF-16 units, -1 meaning
// "up to and including the terminator". A null or zero-sized output asks for the size needed.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceBytes, LPWSTR out, int outUnits);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceUnits, LPSTR out, int outBytes,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);

// Locales: a LANGID (primary language in bits 0-9, sub-language in bits 10-15) is the low word of an LCID.
using LCID = DWORD;
using LCTYPE = DWORD;
using LANGID = WORD;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCTYPE LOCALE_IDEFAULTANSICODEPAGE = 0x1004;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
// Only LOCALE_IDEFAULTANSICODEPAGE is answered: the ANSI code page of the locale's language, as decimal
// text with its terminator, from the layer's table of languages (the neutral and default locales answer
// GetACP()). Returns the characters written with the terminator, or with size 0 the count needed; 0 for a
// language the table lacks (ERROR_INVALID_PARAMETER), another type (ERROR_INVALID_FLAGS) or a small buffer
// (ERROR_INSUFFICIENT_BUFFER).
int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size);

// Helpers for the deliverables' own use: lossless where the text is valid, U+FFFD for what is not.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Case as Windows compares names, whatever the locale (simple folding of Latin, Greek and Cyrillic
// letters): the folded form of a character, and whether two texts differ in nothing but case.
char32_t FoldCase(char32_t c);
// The upper-case form of a character over the same letters: FoldCase reversed.
char32_t UpperCase(char32_t c);
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);

// Both separators are accepted everywhere; paths made by the layer use '/'.
constexpr bool IsPathSeparator(WCHAR c) {
    return c == u'\\' || c == u'/';
}

// ---- Handles ---------------------------------------------------------------------------------------------

BOOL CloseHandle(HANDLE handle);

// ---- Files and folders -----------------------------------------------------------------------------------

constexpr DWORD MAX_PATH = 260;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

// Only ever passed as null by the callers: security descriptors and overlapped I/O have no meaning here.
struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart;
};

// Sharing modes are accepted but not enforced: POSIX files have no mandatory sharing.
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile);
// A new handle on the file another handle has open, with a file position of its own (starting at 0), so
// that one thread's reads do not move another's. INVALID_HANDLE_VALUE when the handle is not a file's.
HANDLE ReOpenFile(HANDLE original, DWORD access, DWORD shareMode, DWORD flagsAndAttributes);
// At the end of the file a read succeeds with fewer bytes (none at all: the last error is ERROR_HANDLE_EOF).
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, OVERLAPPED* overlapped);
// A full disk fails with ERROR_DISK_FULL; *written holds what was written before it.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, OVERLAPPED* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD method);
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
BOOL FlushFileBuffers(HANDLE file);

BOOL DeleteFileW(LPCWSTR name);
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
// Renames a file in one step (POSIX rename); an existing target is replaced only with
// MOVEFILE_REPLACE_EXISTING, else the call fails with ERROR_ALREADY_EXISTS.
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags);
BOOL CreateDirectoryW(LPCWSTR name, SECURITY_ATTRIBUTES* security);
BOOL RemoveDirectoryW(LPCWSTR name);
DWORD GetFileAttributesW(LPCWSTR name);
BOOL SetCurrentDirectoryW(LPCWSTR name);
// Length without the terminator, or the size needed (with it) when the buffer is too small.
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);

// 100-nanosecond intervals since 1601-01-01 UTC.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
static_assert(sizeof(WIN32_FIND_DATAW) == 592);

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
static_assert(sizeof(WIN32_FIND_DATAA) == 320);

// Patterns use '*' and '?', matched without regard to case; "x.*" also matches "x", "x." names without a
// dot. Entries come sorted by name, "." and ".." first. The creation time is the earliest of the birth time
// and the last-write time the file system keeps.
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
// The 8-bit forms convert with the system's ANSI code page.
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

// ---- Temporary names -------------------------------------------------------------------------------------

// $TMPDIR when it names a folder, else /tmp; always with a trailing separator.
DWORD GetTempPathW(DWORD size, LPWSTR buffer);
// With unique 0: creates an empty file "<path>/<prefix up to 3 chars><hex>.tmp" that did not exist before and
// returns its number; 0 on failure. With unique != 0 only the name is made.
UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR name);
// A new folder "<temp path><prefix>XXXXXX" made at once by mkdtemp, so no other process can take its name
// between choosing and creating it. Returns its path without trailing separator, or "" (last error set).
// The folder is marked as this process's ("<folder>.owner" beside it, a file it keeps locked, which the
// kernel releases when the process ends); RemoveDirectoryW removes the mark with the folder. Should the
// process end without its clean-up (the display connection lost, a second signal whose clean-up does not
// finish in time, a signal no routine takes, exit), the folders it still owns are removed with everything in
// them.
std::u16string CreateUniqueTempFolder(std::u16string_view prefix);
// Whether a folder was left by a process that has ended: a real folder of this user whose mark no live
// process holds, or one without any mark unchanged for a minute. Folders of live processes answer FALSE.
BOOL IsFolderAbandoned(LPCWSTR folder);
// Removes an abandoned folder with everything in it and its mark; links inside are removed, never followed.
// FALSE, touching nothing, when the folder is not abandoned.
BOOL RemoveAbandonedFolder(LPCWSTR folder);

// ---- Modules ---------------------------------------------------------------------------------------------

// "name.dll" also finds "name.so" and "libname.so" beside it, as the deliverables are named on this system.
HMODULE LoadLibraryW(LPCWSTR name);
HMODULE LoadLibraryA(LPCSTR name);
BOOL FreeLibrary(HMODULE module);
// Exports by name; ordinals are not supported.
void* GetProcAddress(HMODULE module, LPCSTR name);
// Null names the program itself.
HMODULE GetModuleHandleW(LPCWSTR name);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

// Where a loaded module lies: the base is its mapped ELF header, the size the extent of its loaded segments
// from there; the entry point is the program's (null for libraries). Null names the program. The process
// must be GetCurrentProcess().
struct MODULEINFO {
    LPVOID lpBaseOfDll;
    DWORD SizeOfImage;
    LPVOID EntryPoint;
};
HANDLE GetCurrentProcess();
BOOL GetModuleInformation(HANDLE process, HMODULE module, MODULEINFO* info, DWORD size);

constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;
// There are no error boxes to suppress; the mode is kept so that callers can restore it.
UINT SetErrorMode(UINT mode);

// ---- Memory --------------------------------------------------------------------------------------------

constexpr DWORD PAGE_NOACCESS = 0x01;
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD PAGE_WRITECOPY = 0x08;
constexpr DWORD PAGE_EXECUTE = 0x10;
constexpr DWORD PAGE_EXECUTE_READ = 0x20;
constexpr DWORD PAGE_EXECUTE_READWRITE = 0x40;
constexpr DWORD PAGE_EXECUTE_WRITECOPY = 0x80;
constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_FREE = 0x10000;
constexpr DWORD MEM_PRIVATE = 0x20000;
constexpr DWORD MEM_MAPPED = 0x40000;
constexpr DWORD ERROR_INVALID_ADDRESS = 487;

struct MEMORY_BASIC_INFORMATION {
    LPVOID BaseAddress;    // the page that holds the address asked about
    LPVOID AllocationBase; // the start of the mapping (null for free memory)
    DWORD AllocationProtect;
    SIZE_T RegionSize; // from BaseAddress to the end of the mapping (or of the free gap)
    DWORD State;       // MEM_COMMIT, or MEM_FREE where nothing is mapped
    DWORD Protect;     // PAGE_...; PAGE_NOACCESS for free memory
    DWORD Type;        // MEM_MAPPED (a file's), MEM_PRIVATE (anonymous), 0 for free memory
};
// The mapping of the process that holds an address, as the system's list of mappings gives it. Returns the
// bytes written (sizeof the record), 0 when `size` is too small (ERROR_INVALID_PARAMETER).
SIZE_T VirtualQuery(LPCVOID address, MEMORY_BASIC_INFORMATION* info, SIZE_T size);
// Gives the whole pages that hold [address, address + size) a new protection and answers in *oldProtect
// the previous protection of the first page. Fails with ERROR_INVALID_ADDRESS when a page is not mapped,
// ERROR_INVALID_PARAMETER for an unknown protection or a null oldProtect.
BOOL VirtualProtect(LPVOID address, SIZE_T size, DWORD newProtect, DWORD* oldProtect);

// ---- Process -------------------------------------------------------------------------------------------

// The program's arguments joined as a Windows command line: the program name first, arguments with blanks or
// quotes quoted so that Windows' rules split them back as they were. The same pointer for the whole run.
LPWSTR GetCommandLineW();

// What GetExitCodeProcess answers while the process runs.
constexpr DWORD STILL_ACTIVE = 259;
// Process handles come from ShellExecuteExW (win32/shell.h); CloseHandle releases them without ending the
// process.
BOOL GetExitCodeProcess(HANDLE process, DWORD* code);

// Console control events: an interrupt (SIGINT) is CTRL_C_EVENT, a termination request (SIGTERM)
// CTRL_CLOSE_EVENT.
constexpr DWORD CTRL_C_EVENT = 0;
constexpr DWORD CTRL_CLOSE_EVENT = 2;
using PHANDLER_ROUTINE = BOOL (*)(DWORD controlType);
// Adds (add != FALSE) or removes a handler routine. While one is registered the process catches SIGINT and
// SIGTERM (unless they were ignored when the first routine was added); the routines run, newest first until
// one returns TRUE, on the thread that next reads its message queue (PeekMessageW, GetMessageW), not on a
// thread of their own, so that a single-threaded program needs no locks. When every routine returns FALSE,
// the signal's own default ends the process. A second signal that arrives before the first was delivered
// gives the program 2 seconds to end in order (to remove its last routine); then the process ends as that
// signal would, after removing the temporary folders it still owns. Removing the last routine restores what
// the signals did before.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add);

// ---- Global atoms ----------------------------------------------------------------------------------------

using ATOM = WORD;
// Names compare without regard to case; each add counts, each delete undoes one add. "#n" is the integer atom
// n.
ATOM GlobalAddAtomW(LPCWSTR name);
ATOM GlobalFindAtomW(LPCWSTR name);
// 0 on success; the atom itself when it names nothing.
ATOM GlobalDeleteAtom(ATOM atom);

// ---- Time ------------------------------------------------------------------------------------------------

constexpr UINT TIMERR_NOERROR = 0;
constexpr UINT TIMERR_NOCANDO = 97;

// Milliseconds from a monotonic clock, wrapping at 2^32.
DWORD timeGetTime();
// The clock is always precise to the millisecond; the calls are checked and counted only.
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);
void Sleep(DWORD milliseconds);

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

void GetSystemTime(SYSTEMTIME* time);
void GetSystemTimeAsFileTime(FILETIME* time);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localTime);

// ---- Locks, thread-local slots, interlocked operations ---------------------------------------------------

// A recursive lock in caller-owned storage, as the callers keep it inside their own records.
struct CRITICAL_SECTION {
    alignas(8) unsigned char opaque[48];
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

// The system's number for the calling thread.
DWORD GetCurrentThreadId();

constexpr DWORD TLS_OUT_OF_INDEXES = 0xFFFFFFFF;
// A freed slot reads as null in every thread, also when it is handed out again.
DWORD TlsAlloc();
LPVOID TlsGetValue(DWORD index);
BOOL TlsSetValue(DWORD index, LPVOID value);
BOOL TlsFree(DWORD index);

// Full barriers; each returns what the Windows call returns.
inline LONG InterlockedExchange(volatile LONG* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedIncrement(volatile LONG* target) {
    return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(volatile LONG* target) {
    return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}

} // namespace win32
