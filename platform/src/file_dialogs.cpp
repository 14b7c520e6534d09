// The open and save dialogs, made of the layer's own dialog and controls: the current folder, a list of
// its folders and of the files the chosen type shows, the name field and the list of file types; the
// prompts for a missing folder or file and for a file that would be replaced are dialogs of their own.
// A caller's template becomes a dialog inside this one, right of its controls, whose procedure runs the
// caller's hook. The ANSI forms run the same dialog over a wide copy of the caller's record, and tell their
// hook and answer it in ANSI texts.
#include "dialog_internal.h"
#include "kernel/paths.h"
#include "win32/comdlg.h"
#include "win32/dialog_template.h"
#include "win32/kernel.h"
#include "win32/resource.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace win32 {

namespace {

constexpr DWORD kDialogStyle = DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kShown = WS_VISIBLE;
constexpr DWORD kText = kShown | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kList = kShown | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY;
constexpr DWORD kNoId = 0xFFFF;
constexpr WORD kPointSize = 8;
constexpr const WCHAR* kFace = u"MS Shell Dlg";
// Offsets are written as WORD.
constexpr std::size_t kLongestPath = 0xFFFE;

using Writer = DialogTemplateWriter<1024>;

Writer MainTemplate(const WCHAR* title, bool save) {
    Writer t(kDialogStyle, 0, {0, 0, 262, 184}, title, kPointSize, kFace);
    t.Item(DialogClassStatic, kText, {7, 8, 40, 9}, stc4, u"Look in:");
    t.Item(DialogClassStatic, kText, {50, 8, 205, 9}, stc1, u"");
    t.Item(DialogClassListBox, kList, {7, 21, 248, 104}, lst1, u"");
    t.Item(DialogClassStatic, kText, {7, 134, 50, 9}, stc3, u"File name:");
    t.Item(DialogClassEdit, kShown | WS_TABSTOP | ES_AUTOHSCROLL, {60, 132, 140, 13}, edt1, u"");
    t.Item(DialogClassButton, kShown | WS_TABSTOP | BS_DEFPUSHBUTTON, {207, 131, 48, 14}, IDOK,
           save ? u"Save" : u"Open");
    t.Item(DialogClassStatic, kText, {7, 152, 50, 9}, stc2, u"Files of type:");
    t.Item(DialogClassListBox, kList, {60, 150, 140, 28}, lst2, u"");
    t.Item(DialogClassButton, kShown | WS_TABSTOP | BS_PUSHBUTTON, {207, 149, 48, 14}, IDCANCEL, u"Cancel");
    return t;
}

// ---- paths ----

bool IsSeparator(WCHAR c) {
    return c == u'/' || c == u'\\';
}

// An absolute path with '/' between its parts, "." and ".." taken out.
std::u16string Normalize(std::u16string_view path) {
    std::vector<std::u16string_view> parts;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = at;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        const std::u16string_view part = path.substr(at, end - at);
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::u16string out;
    for (std::u16string_view part : parts) {
        out += u'/';
        out += part;
    }
    return out.empty() ? u"/" : out;
}

std::u16string Join(const std::u16string& folder, std::u16string_view name) {
    return Normalize(folder + u"/" + std::u16string(name));
}

std::u16string Resolve(std::u16string_view path, const std::u16string& folder) {
    return !path.empty() && IsSeparator(path[0]) ? Normalize(path) : Join(folder, path);
}

DWORD Attributes(const std::u16string& path) {
    return GetFileAttributesW(path.c_str());
}
bool Exists(const std::u16string& path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}
bool IsFolder(const std::u16string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string FolderOf(const std::u16string& path) {
    const std::size_t cut = path.rfind(u'/');
    return cut == 0 || cut == std::u16string::npos ? u"/" : path.substr(0, cut);
}

std::u16string NameOf(const std::u16string& path) {
    return path.substr(path.rfind(u'/') + 1);
}

std::u16string CurrentFolder() {
    std::u16string buffer(4096, u'\0');
    const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0 || n >= buffer.size()) return u"/";
    buffer.resize(n);
    return Normalize(buffer);
}

// The folder the program was started from, read as the layer loads: before the program makes its
// application's folder current. Plain bytes here; the layer's text conversions may not have started yet.
const std::string startFolder = [] {
    char* cwd = getcwd(nullptr, 0);
    std::string folder = cwd ? cwd : "";
    std::free(cwd);
    return folder;
}();

// The folder of the file last chosen in a dialog, for the next one.
std::u16string& LastFolder() {
    static std::u16string folder;
    return folder;
}

// Where a dialog opens that is given no folder: the last one used, else the one the program was started
// from, else the current one.
std::u16string FirstFolder(const std::u16string& current) {
    if (!LastFolder().empty() && IsFolder(LastFolder())) return LastFolder();
    const std::u16string started = Normalize(FromUtf8(startFolder));
    return !startFolder.empty() && IsFolder(started) ? started : current;
}

std::u16string Trimmed(std::u16string text) {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

bool HasWildcard(std::u16string_view text) {
    return text.find_first_of(u"*?") != std::u16string_view::npos;
}

// ---- ANSI texts ----

std::string ToAnsi(std::u16string_view text) {
    if (text.empty()) return {};
    const int units = static_cast<int>(std::min<std::size_t>(text.size(), kLongestPath));
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), units, out.data(), bytes, nullptr, nullptr);
    return out;
}

// At most `capacity` bytes of the text (to its terminator); an empty text for a null one.
std::u16string FromAnsi(LPCSTR text, std::size_t capacity = kLongestPath) {
    if (!text) return {};
    const int bytes = static_cast<int>(strnlen(text, std::min(capacity, kLongestPath)));
    if (bytes == 0) return {};
    std::u16string out(static_cast<std::size_t>(bytes), u'\0');
    const int units = MultiByteToWideChar(CP_ACP, 0, text, bytes, out.data(), bytes);
    out.resize(static_cast<std::size_t>(std::max(units, 0)));
    return out;
}

// The caption and pattern strings of an ANSI filter, each with its terminator, and the closing empty one.
std::u16string FilterFromAnsi(LPCSTR filter) {
    std::u16string out;
    for (LPCSTR p = filter; p && *p && out.size() < kLongestPath; p += std::strlen(p) + 1) {
        out += FromAnsi(p);
        out += u'\0';
    }
    out += u'\0';
    return out;
}

// ---- types ----

struct FileType {
    std::u16string caption;
    std::vector<std::string> patterns;
};

std::vector<std::string> SplitPatterns(std::u16string_view list) {
    std::vector<std::string> patterns;
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t end = std::min(list.find(u';', at), list.size());
        const std::u16string pattern = Trimmed(std::u16string(list.substr(at, end - at)));
        if (!pattern.empty()) patterns.push_back(ToUtf8(pattern));
        at = end + 1;
    }
    return patterns;
}

// The filter's pairs up to its empty string; a caption left without patterns shows everything.
std::vector<FileType> ReadFileTypes(LPCWSTR filter) {
    std::vector<FileType> types;
    for (const WCHAR* p = filter; p && *p;) {
        FileType type{p, {}};
        p += type.caption.size() + 1;
        const std::u16string patterns = p;
        type.patterns = patterns.empty() ? std::vector<std::string>{"*"} : SplitPatterns(patterns);
        types.push_back(std::move(type));
        if (patterns.empty()) break;
        p += patterns.size() + 1;
    }
    return types;
}

// ---- the dialog ----

struct Entry {
    std::u16string name;
    bool folder = false;
};

struct FileDialog {
    OPENFILENAMEW* ofn = nullptr;
    OPENFILENAMEA* ansi = nullptr; // the caller's record of an ANSI dialog, which ofn copies
    bool save = false;
    const void* childTemplate = nullptr;
    HWND dialog = nullptr;
    HWND child = nullptr;
    std::u16string folder;
    std::vector<FileType> types;
    std::size_t type = 0;
    std::vector<std::string> typedPatterns; // a pattern typed in the name field, until the type changes
    std::u16string defaultExtension;
    std::vector<Entry> entries;
};

FileDialog* DialogOf(HWND dialog) {
    return reinterpret_cast<FileDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

std::u16string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::u16string text(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(control))), u'\0');
    GetWindowTextW(control, text.data(), static_cast<int>(text.size()) + 1);
    return text;
}

const std::vector<std::string>& Patterns(const FileDialog& s) {
    static const std::vector<std::string> everything{"*"};
    if (!s.typedPatterns.empty()) return s.typedPatterns;
    return s.types.empty() ? everything : s.types[s.type].patterns;
}

bool Shown(const FileDialog& s, const std::u16string& name) {
    const std::string utf8 = ToUtf8(name);
    return std::any_of(Patterns(s).begin(), Patterns(s).end(),
                       [&](const std::string& p) { return detail::MatchesPattern(utf8, p); });
}

LRESULT Notify(FileDialog& s, UINT code) {
    if (!s.child) return 0;
    if (s.ansi) {
        s.ansi->nFilterIndex = s.ofn->nFilterIndex;
        OFNOTIFYA notice{};
        notice.hdr = NMHDR{s.dialog, 0, code};
        notice.lpOFN = s.ansi;
        return SendMessageW(s.child, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
    }
    OFNOTIFYW notice{};
    notice.hdr = NMHDR{s.dialog, 0, code};
    notice.lpOFN = s.ofn;
    return SendMessageW(s.child, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
}

// Folders first, then the files the type shows; hidden names (a leading dot) are left out.
void FillList(FileDialog& s) {
    std::vector<std::u16string> folders, files;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(Join(s.folder, u"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::u16string name = found.cFileName;
            if (name.empty() || name[0] == u'.') continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                folders.push_back(name);
            else if (Shown(s, name))
                files.push_back(name);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    s.entries.clear();
    if (s.folder != u"/") s.entries.push_back({u"..", true});
    for (const std::u16string& f : folders)
        s.entries.push_back({f, true});
    for (const std::u16string& f : files)
        s.entries.push_back({f, false});
    SendDlgItemMessageW(s.dialog, lst1, LB_RESETCONTENT, 0, 0);
    for (const Entry& e : s.entries) {
        const std::u16string shown = e.folder ? u"[" + e.name + u"]" : e.name;
        SendDlgItemMessageW(s.dialog, lst1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    }
    SetDlgItemTextW(s.dialog, stc1, s.folder.c_str());
}

void EnterFolder(FileDialog& s, const std::u16string& folder) {
    s.folder = folder;
    FillList(s);
    Notify(s, CDN_FOLDERCHANGE);
}

// ---- prompts ----

INT_PTR PromptProc(HWND prompt, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    const bool yesNo = GetDlgItem(prompt, IDYES) != nullptr;
    // Escape answers No where there is no Cancel.
    if (id == IDCANCEL) EndDialog(prompt, yesNo ? IDNO : IDOK);
    if (id == IDOK || id == IDYES || id == IDNO) EndDialog(prompt, id);
    return TRUE;
}

// A question over the dialog, under its title: OK alone, or Yes and No; the button pressed.
int Prompt(const FileDialog& s, const std::u16string& text, bool yesNo) {
    std::u16string caption(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(s.dialog))), u'\0');
    GetWindowTextW(s.dialog, caption.data(), static_cast<int>(caption.size()) + 1);
    Writer t(kDialogStyle, 0, {0, 0, 220, 72}, caption.c_str(), kPointSize, kFace);
    t.Item(DialogClassStatic, kText, {10, 8, 200, 36}, kNoId, text.c_str());
    if (yesNo) {
        t.Item(DialogClassButton, kShown | WS_TABSTOP | BS_DEFPUSHBUTTON, {56, 50, 50, 14}, IDYES, u"Yes");
        t.Item(DialogClassButton, kShown | WS_TABSTOP | BS_PUSHBUTTON, {114, 50, 50, 14}, IDNO, u"No");
    } else {
        t.Item(DialogClassButton, kShown | WS_TABSTOP | BS_DEFPUSHBUTTON, {85, 50, 50, 14}, IDOK, u"OK");
    }
    return static_cast<int>(DialogBoxIndirectParamW(nullptr, t.Data(), s.dialog, PromptProc, 0));
}

// ---- choosing ----

// The chosen path in the caller's record; false when its buffer cannot hold it.
bool StoreChoice(FileDialog& s, const std::u16string& path) {
    OPENFILENAMEW& ofn = *s.ofn;
    if (path.size() > kLongestPath || path.size() + 1 > ofn.nMaxFile) return false;
    std::copy(path.begin(), path.end(), ofn.lpstrFile);
    ofn.lpstrFile[path.size()] = 0;
    const std::size_t nameAt = path.rfind(u'/') + 1;
    const std::size_t dot = path.rfind(u'.');
    ofn.nFileOffset = static_cast<WORD>(nameAt);
    ofn.nFileExtension =
        static_cast<WORD>(dot != std::u16string::npos && dot >= nameAt ? dot + 1 : path.size());
    if (ofn.lpstrFileTitle && ofn.nMaxFileTitle) {
        const std::u16string name = NameOf(path);
        const std::size_t units = std::min<std::size_t>(name.size(), ofn.nMaxFileTitle - 1);
        std::copy_n(name.begin(), units, ofn.lpstrFileTitle);
        ofn.lpstrFileTitle[units] = 0;
    }
    if (!s.types.empty()) ofn.nFilterIndex = static_cast<DWORD>(s.type + 1);
    return true;
}

// The chosen path as the ANSI caller's record holds it; false when its buffer cannot hold it.
bool StoreAnsiChoice(FileDialog& s) {
    if (!s.ansi) return true;
    OPENFILENAMEA& a = *s.ansi;
    const std::u16string_view path(s.ofn->lpstrFile);
    const std::string narrow = ToAnsi(path);
    if (narrow.size() + 1 > a.nMaxFile) return false;
    std::memcpy(a.lpstrFile, narrow.c_str(), narrow.size() + 1);
    a.nFileOffset = static_cast<WORD>(ToAnsi(path.substr(0, s.ofn->nFileOffset)).size());
    a.nFileExtension = static_cast<WORD>(ToAnsi(path.substr(0, s.ofn->nFileExtension)).size());
    if (a.lpstrFileTitle && a.nMaxFileTitle) {
        const std::string title = ToAnsi(path.substr(s.ofn->nFileOffset));
        const std::size_t bytes = std::min<std::size_t>(title.size(), a.nMaxFileTitle - 1);
        std::memcpy(a.lpstrFileTitle, title.data(), bytes);
        a.lpstrFileTitle[bytes] = 0;
    }
    a.nFilterIndex = s.ofn->nFilterIndex;
    return true;
}

// A name typed without extension gets the default one; an open dialog keeps a file that exists as typed.
std::u16string WithDefaultExtension(const FileDialog& s, const std::u16string& path) {
    const std::u16string name = NameOf(path);
    if (s.defaultExtension.empty() || name.find(u'.') != std::u16string::npos) return path;
    if (!s.save && Exists(path)) return path;
    return path + u"." + s.defaultExtension;
}

void Choose(FileDialog& s, const std::u16string& typed) {
    if (HasWildcard(typed) && typed.find_first_of(u"/\\") == std::u16string::npos) {
        s.typedPatterns = SplitPatterns(typed);
        FillList(s);
        return;
    }
    std::u16string path = Resolve(typed, s.folder);
    if (IsFolder(path)) {
        SetDlgItemTextW(s.dialog, edt1, u"");
        EnterFolder(s, path);
        return;
    }
    path = WithDefaultExtension(s, path);
    const DWORD flags = s.ofn->Flags;
    const bool fileMustExist = !s.save && (flags & OFN_FILEMUSTEXIST);
    if ((flags & OFN_PATHMUSTEXIST || fileMustExist) && !IsFolder(FolderOf(path))) {
        Prompt(s, path + u"\nPath does not exist.\nCheck the path and try again.", false);
        return;
    }
    if (fileMustExist && !Exists(path)) {
        Prompt(s, NameOf(path) + u"\nFile not found.\nCheck the file name and try again.", false);
        return;
    }
    if (s.save && (flags & OFN_OVERWRITEPROMPT) && Exists(path) &&
        Prompt(s, NameOf(path) + u" already exists.\nDo you want to replace it?", true) != IDYES)
        return;
    if (!StoreChoice(s, path) || !StoreAnsiChoice(s)) {
        Prompt(s, path + u"\nThe file name is too long.", false);
        return;
    }
    if (Notify(s, CDN_FILEOK) != 0) return;
    LastFolder() = FolderOf(path);
    EndDialog(s.dialog, 1);
}

const Entry* SelectedEntry(const FileDialog& s) {
    const auto at = static_cast<std::size_t>(SendDlgItemMessageW(s.dialog, lst1, LB_GETCURSEL, 0, 0));
    return at < s.entries.size() ? &s.entries[at] : nullptr;
}

void OnOk(FileDialog& s) {
    const Entry* selected = SelectedEntry(s);
    const bool fromList = GetFocus() == GetDlgItem(s.dialog, lst1);
    const std::u16string typed = Trimmed(ControlText(s.dialog, edt1));
    if (selected && selected->folder && (fromList || typed.empty())) {
        EnterFolder(s, Join(s.folder, selected->name));
        return;
    }
    if (!typed.empty()) Choose(s, typed);
}

void OnListSelection(FileDialog& s) {
    const Entry* selected = SelectedEntry(s);
    if (selected && !selected->folder) SetDlgItemTextW(s.dialog, edt1, selected->name.c_str());
    Notify(s, CDN_SELCHANGE);
}

void OnListDoubleClick(FileDialog& s) {
    const Entry* selected = SelectedEntry(s);
    if (!selected) return;
    if (selected->folder)
        EnterFolder(s, Join(s.folder, selected->name));
    else
        Choose(s, selected->name);
}

void OnTypeChange(FileDialog& s) {
    const auto at = static_cast<std::size_t>(SendDlgItemMessageW(s.dialog, lst2, LB_GETCURSEL, 0, 0));
    if (at >= s.types.size() || (at == s.type && s.typedPatterns.empty())) return;
    s.type = at;
    s.typedPatterns.clear();
    s.ofn->nFilterIndex = static_cast<DWORD>(at + 1);
    FillList(s);
    Notify(s, CDN_TYPECHANGE);
}

INT_PTR Command(FileDialog& s, int id, WORD code) {
    switch (id) {
    case IDOK:
        OnOk(s);
        return TRUE;
    case IDCANCEL:
        EndDialog(s.dialog, 0);
        return TRUE;
    case lst1:
        if (code == LBN_SELCHANGE) OnListSelection(s);
        if (code == LBN_DBLCLK) OnListDoubleClick(s);
        return TRUE;
    case lst2:
        if (code == LBN_SELCHANGE) OnTypeChange(s);
        return TRUE;
    default:
        return FALSE;
    }
}

// The answer of a CDM_GET message: the text copied as far as the buffer holds, and the size it needs.
INT_PTR Answer(HWND dialog, const std::u16string& text, WPARAM capacity, LPARAM buffer) {
    auto* out = reinterpret_cast<LPWSTR>(buffer);
    if (out && capacity > 0) {
        const std::size_t units = std::min<std::size_t>(text.size(), capacity - 1);
        std::copy_n(text.begin(), units, out);
        out[units] = 0;
    }
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, static_cast<LONG_PTR>(text.size() + 1));
    return TRUE;
}

INT_PTR AnswerAnsi(HWND dialog, const std::u16string& text, WPARAM capacity, LPARAM buffer) {
    const std::string narrow = ToAnsi(text);
    auto* out = reinterpret_cast<LPSTR>(buffer);
    if (out && capacity > 0) {
        const std::size_t bytes = std::min<std::size_t>(narrow.size(), capacity - 1);
        std::memcpy(out, narrow.data(), bytes);
        out[bytes] = 0;
    }
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, static_cast<LONG_PTR>(narrow.size() + 1));
    return TRUE;
}

INT_PTR HookRequest(FileDialog& s, UINT message, WPARAM wParam, LPARAM lParam) {
    const std::u16string typed = Trimmed(ControlText(s.dialog, edt1));
    const auto answer = s.ansi ? AnswerAnsi : Answer;
    switch (message) {
    case CDM_GETSPEC:
        return answer(s.dialog, typed, wParam, lParam);
    case CDM_GETFILEPATH:
        return answer(s.dialog, typed.empty() ? s.folder : Resolve(typed, s.folder), wParam, lParam);
    case CDM_GETFOLDERPATH:
        return answer(s.dialog, s.folder, wParam, lParam);
    case CDM_SETDEFEXT: {
        if (s.ansi) {
            s.defaultExtension = FromAnsi(reinterpret_cast<LPCSTR>(lParam));
        } else {
            const auto* extension = reinterpret_cast<LPCWSTR>(lParam);
            s.defaultExtension = extension ? extension : u"";
        }
        SetWindowLongPtrW(s.dialog, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// The caller's dialog: its procedure is the hook, which is given the record at WM_INITDIALOG.
INT_PTR ChildProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
    const FileDialog* s = DialogOf(GetParent(child));
    const OPENFILENAMEW* ofn = s ? s->ofn : nullptr;
    if (!ofn || !(ofn->Flags & OFN_ENABLEHOOK) || !ofn->lpfnHook) return FALSE;
    return static_cast<INT_PTR>(ofn->lpfnHook(child, message, wParam, lParam));
}

// The caller's dialog goes right of the controls; the dialog grows to hold it.
void AddChildDialog(FileDialog& s) {
    const bool hooked = (s.ofn->Flags & OFN_ENABLEHOOK) && s.ofn->lpfnHook;
    if (!s.childTemplate && !hooked) return;
    const Writer empty(WS_CHILD, 0, {0, 0, 0, 0}, u"", kPointSize, kFace);
    const void* tmpl = s.childTemplate ? s.childTemplate : empty.Data();
    const HINSTANCE instance = (s.ofn->Flags & OFN_ENABLETEMPLATE) ? s.ofn->hInstance : nullptr;
    // The hook is given the caller's own record.
    const LPARAM record = s.ansi ? reinterpret_cast<LPARAM>(s.ansi) : reinterpret_cast<LPARAM>(s.ofn);
    s.child = CreateDialogIndirectParamW(instance, tmpl, s.dialog, ChildProc, record);
    if (!s.child) return;
    RECT client{}, childBox{}, outer{};
    GetClientRect(s.dialog, &client);
    GetWindowRect(s.child, &childBox);
    GetWindowRect(s.dialog, &outer);
    const LONG width = childBox.right - childBox.left, height = childBox.bottom - childBox.top;
    SetWindowPos(s.child, nullptr, client.right, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(s.dialog, nullptr, outer.left - width / 2, outer.top, outer.right - outer.left + width,
                 outer.bottom - outer.top + std::max<LONG>(0, height - client.bottom),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(s.child, SW_SHOW);
}

void StartFolderAndName(FileDialog& s) {
    const OPENFILENAMEW& ofn = *s.ofn;
    std::u16string proposed;
    for (DWORD i = 0; i < ofn.nMaxFile && ofn.lpstrFile[i]; ++i)
        proposed.push_back(ofn.lpstrFile[i]);
    const std::u16string current = CurrentFolder();
    s.folder = ofn.lpstrInitialDir && *ofn.lpstrInitialDir ? Resolve(ofn.lpstrInitialDir, current)
                                                           : FirstFolder(current);
    const std::size_t cut = proposed.find_last_of(u"/\\");
    if (cut != std::u16string::npos) {
        s.folder = Resolve(proposed.substr(0, cut + 1), current);
        proposed.erase(0, cut + 1);
    }
    if (!IsFolder(s.folder)) s.folder = FirstFolder(current);
    SetDlgItemTextW(s.dialog, edt1, proposed.c_str());
}

void Start(FileDialog& s) {
    s.types = ReadFileTypes(s.ofn->lpstrFilter);
    const DWORD index = s.ofn->nFilterIndex;
    s.type = index >= 1 && index <= s.types.size() ? index - 1 : 0;
    for (const FileType& type : s.types)
        SendDlgItemMessageW(s.dialog, lst2, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(type.caption.c_str()));
    if (!s.types.empty()) SendDlgItemMessageW(s.dialog, lst2, LB_SETCURSEL, s.type, 0);
    s.defaultExtension = s.ofn->lpstrDefExt ? s.ofn->lpstrDefExt : u"";
    StartFolderAndName(s);
    FillList(s);
    AddChildDialog(s);
    HWND name = GetDlgItem(s.dialog, edt1);
    SetFocus(name);
    SendMessageW(name, EM_SETSEL, 0, -1);
    Notify(s, CDN_INITDONE);
}

INT_PTR FileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        FileDialog* s = DialogOf(dialog);
        s->dialog = dialog;
        Start(*s);
        return FALSE; // the name field has the focus
    }
    FileDialog* s = DialogOf(dialog);
    if (!s) return FALSE;
    if (message == WM_COMMAND) return Command(*s, LOWORD(wParam), HIWORD(wParam));
    if (message >= CDM_FIRST && message <= CDM_SETDEFEXT) return HookRequest(*s, message, wParam, lParam);
    return FALSE;
}

// The caller's template: given whole, or found among the resources of the module it names.
bool FindChildTemplate(FileDialog& s) {
    const OPENFILENAMEW& ofn = *s.ofn;
    if (ofn.Flags & OFN_ENABLETEMPLATEHANDLE) {
        s.childTemplate = reinterpret_cast<const void*>(ofn.hInstance);
        return s.childTemplate != nullptr;
    }
    if (!(ofn.Flags & OFN_ENABLETEMPLATE)) return true;
    HRSRC found = FindResourceW(ofn.hInstance, ofn.lpTemplateName, MAKEINTRESOURCEW(RT_DIALOG));
    s.childTemplate = found ? LockResource(LoadResource(ofn.hInstance, found)) : nullptr;
    return s.childTemplate != nullptr;
}

BOOL RunFileDialog(OPENFILENAMEW* ofn, bool save, OPENFILENAMEA* ansi = nullptr) {
    if (!ofn || ofn->lStructSize < sizeof(OPENFILENAMEW) || !ofn->lpstrFile || ofn->nMaxFile == 0)
        return FALSE;
    FileDialog s;
    s.ofn = ofn;
    s.ansi = ansi;
    s.save = save;
    if (!FindChildTemplate(s)) return FALSE;
    const Writer t = MainTemplate(ofn->lpstrTitle ? ofn->lpstrTitle : save ? u"Save As" : u"Open", save);
    return DialogBoxIndirectParamW(nullptr, t.Data(), ofn->hwndOwner, FileDialogProc,
                                   reinterpret_cast<LPARAM>(&s)) == 1;
}

// The wide copy of an ANSI record: its texts converted, buffers of the same sizes in characters.
BOOL RunAnsiFileDialog(OPENFILENAMEA* a, bool save) {
    if (!a || a->lStructSize < sizeof(OPENFILENAMEA) || !a->lpstrFile || a->nMaxFile == 0) return FALSE;
    const std::u16string filter = FilterFromAnsi(a->lpstrFilter);
    const std::u16string title = FromAnsi(a->lpstrTitle), folder = FromAnsi(a->lpstrInitialDir),
                         extension = FromAnsi(a->lpstrDefExt);
    std::u16string file = FromAnsi(a->lpstrFile, a->nMaxFile);
    file.resize(std::max<std::size_t>(a->nMaxFile, file.size() + 1), u'\0');
    std::u16string fileTitle(a->nMaxFileTitle, u'\0');
    OPENFILENAMEW w{};
    w.lStructSize = sizeof w;
    w.hwndOwner = a->hwndOwner;
    w.hInstance = a->hInstance;
    w.lpstrFilter = a->lpstrFilter ? filter.c_str() : nullptr;
    w.nFilterIndex = a->nFilterIndex;
    w.lpstrFile = file.data();
    w.nMaxFile = a->nMaxFile;
    w.lpstrFileTitle = a->lpstrFileTitle && a->nMaxFileTitle ? fileTitle.data() : nullptr;
    w.nMaxFileTitle = a->nMaxFileTitle;
    w.lpstrInitialDir = a->lpstrInitialDir ? folder.c_str() : nullptr;
    w.lpstrTitle = a->lpstrTitle ? title.c_str() : nullptr;
    w.Flags = a->Flags;
    w.lpstrDefExt = a->lpstrDefExt ? extension.c_str() : nullptr;
    w.lCustData = a->lCustData;
    w.lpfnHook = a->lpfnHook;
    // Templates are found by number only, which reads the same in both forms.
    w.lpTemplateName = reinterpret_cast<LPCWSTR>(a->lpTemplateName);
    return RunFileDialog(&w, save, a);
}

} // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* ofn) {
    return RunFileDialog(ofn, false);
}

BOOL GetSaveFileNameW(OPENFILENAMEW* ofn) {
    return RunFileDialog(ofn, true);
}

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) {
    return RunAnsiFileDialog(ofn, false);
}

BOOL GetSaveFileNameA(OPENFILENAMEA* ofn) {
    return RunAnsiFileDialog(ofn, true);
}

} // namespace win32
