// The open and save dialogs: a modal dialog of the layer with the current folder, a list of its folders and
// of the files the chosen type shows, a name field and the list of file types. A caller may put a dialog
// of its own beside them (a template) and see the dialog's events through a hook procedure. The ANSI forms
// take and give their texts in the system ANSI code page.
#pragma once

#include "win32/dialog.h"

namespace win32 {

using LPOFNHOOKPROC = UINT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    // The module of the caller's template; with OFN_ENABLETEMPLATEHANDLE the template's own address.
    HINSTANCE hInstance;
    // Pairs of strings, a caption and its patterns ("*.a;*.b"), ended by an empty string.
    LPCWSTR lpstrFilter;
    LPWSTR lpstrCustomFilter; // not used
    DWORD nMaxCustFilter;
    DWORD nFilterIndex; // 1-based; the chosen type when the dialog ends (0 is taken as 1)
    // In: the proposed name (a path may give the folder); out: the chosen path. nMaxFile characters.
    LPWSTR lpstrFile;
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle; // out, when given: the chosen name without its folder
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle; // null: "Open" or "Save As"
    DWORD Flags;
    WORD nFileOffset;    // out: where the name starts in lpstrFile
    WORD nFileExtension; // out: where its extension starts (after the dot), else the terminator's offset
    LPCWSTR lpstrDefExt; // added, after a dot, to a name typed without extension
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};

// The same record with texts in the system ANSI code page; nFileOffset and nFileExtension count bytes.
struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter; // not used
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCSTR lpTemplateName; // a resource number (MAKEINTRESOURCE) only
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002; // save: an existing file is replaced only when confirmed
constexpr DWORD OFN_ENABLEHOOK = 0x00000020;      // lpfnHook sees the caller's dialog's messages
constexpr DWORD OFN_ENABLETEMPLATE = 0x00000040;  // lpTemplateName in hInstance's resources
constexpr DWORD OFN_ENABLETEMPLATEHANDLE = 0x00000080; // hInstance is the template
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;        // the chosen name's folder must exist
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;        // open: the chosen file must exist
constexpr DWORD OFN_EXPLORER = 0x00080000;             // the only form there is: accepted
constexpr DWORD OFN_ENABLESIZING = 0x00800000;         // accepted; the dialog keeps its size

// The dialog's own controls, for CDM messages and tests.
constexpr int stc1 = 0x0440; // the current folder
constexpr int stc2 = 0x0441; // "Files of type:"
constexpr int stc3 = 0x0442; // "File name:"
constexpr int stc4 = 0x0443; // "Look in:"
constexpr int lst1 = 0x0460; // folders and files; a folder shows as "[name]", the parent as "[..]"
constexpr int lst2 = 0x0461; // the file types
constexpr int edt1 = 0x0480; // the name

// What the hook procedure is told, by WM_NOTIFY with an OFNOTIFYW. For CDN_FILEOK a hook that stores a
// non-zero DWLP_MSGRESULT keeps the dialog open.
struct OFNOTIFYW {
    NMHDR hdr; // hwndFrom: the open or save dialog
    OPENFILENAMEW* lpOFN;
    LPWSTR pszFile;
};
// An ANSI dialog's hook is told with this form; lpOFN is the caller's ANSI record, kept up to date.
struct OFNOTIFYA {
    NMHDR hdr;
    OPENFILENAMEA* lpOFN;
    LPSTR pszFile;
};
constexpr UINT CDN_FIRST = 0U - 601U;
constexpr UINT CDN_INITDONE = CDN_FIRST - 0;
constexpr UINT CDN_SELCHANGE = CDN_FIRST - 1;
constexpr UINT CDN_FOLDERCHANGE = CDN_FIRST - 2;
constexpr UINT CDN_FILEOK = CDN_FIRST - 5;
constexpr UINT CDN_TYPECHANGE = CDN_FIRST - 6; // lpOFN->nFilterIndex is the new type

// What the hook asks of the open or save dialog (its parent). The GET messages copy into the buffer in
// lParam of wParam characters and answer the characters needed, terminator included. An ANSI dialog
// answers, and reads CDM_SETDEFEXT's text, in bytes of the ANSI code page.
constexpr UINT CDM_FIRST = WM_USER + 100;
constexpr UINT CDM_GETSPEC = CDM_FIRST + 0;       // the name field
constexpr UINT CDM_GETFILEPATH = CDM_FIRST + 1;   // the folder and the name field
constexpr UINT CDM_GETFOLDERPATH = CDM_FIRST + 2; // the folder
constexpr UINT CDM_SETDEFEXT = CDM_FIRST + 6;     // lParam: the new default extension

// TRUE when a file was chosen (lpstrFile holds its path); FALSE when the dialog was cancelled or could not
// be shown. The current folder of the process is never changed.
BOOL GetOpenFileNameW(OPENFILENAMEW* ofn);
BOOL GetSaveFileNameW(OPENFILENAMEW* ofn);
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn);

} // namespace win32
