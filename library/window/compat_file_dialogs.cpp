// The open and save dialogs of the wrappers. On the ANSI path the record is copied with its texts narrowed
// (the filter, title, folder and default extension with the conversion code page; the file, file-title and
// custom-filter buffers, one byte larger than their stated sizes, with the system code page) and the chosen
// texts are widened back into the caller's buffers.
#include "window/compat_file_dialogs.h"

#include "base/compat_state.h"
#include "vtrs2/compat.h"
#include "vtrs2/memory.h"

#include <cstring>
#include <memory>
#include <string>

using namespace win32;

namespace {

struct StringFree {
    void operator()(void* text) const { FreeString(text); }
};
using Narrow = std::unique_ptr<char, StringFree>;

Narrow NarrowText(const WCHAR* text) {
    return Narrow(text ? ToNarrowString(text, -1) : nullptr);
}

// Every string of a filter up to its closing empty one, each narrowed, back to back with the empty one.
std::string NarrowFilter(const WCHAR* filter) {
    std::string out;
    for (const WCHAR* p = filter; p && *p; p += std::char_traits<WCHAR>::length(p) + 1) {
        const Narrow part = NarrowText(p);
        if (!part) break;
        out += part.get();
        out += '\0';
    }
    out += '\0';
    return out;
}

// A buffer of `size` + 1 bytes holding the wide buffer's text (within its size) in the system code page.
Narrow NarrowBuffer(const WCHAR* text, DWORD size) {
    char* block = nullptr;
    if (!text || !AllocZeroedMemory(static_cast<std::size_t>(size) + 1, &block)) return Narrow();
    std::size_t units = 0;
    while (units < size && text[units])
        ++units;
    if (units > 0 && WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(units), block,
                                         static_cast<int>(size), nullptr, nullptr) <= 0)
        block[0] = 0;
    return Narrow(block);
}

// The narrow text (within `bytes`) into the wide buffer of `size` characters, emptied first.
void WidenInto(WCHAR* out, DWORD size, const char* text, std::size_t bytes) {
    if (!out || size == 0) return;
    std::memset(out, 0, static_cast<std::size_t>(size) * sizeof(WCHAR));
    const std::size_t length = strnlen(text, bytes);
    if (length == 0) return;
    const int units =
        MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), out, static_cast<int>(size - 1));
    out[units > 0 ? units : 0] = 0;
}

// Characters of the system code page's first `bytes` bytes of the text.
WORD WideOffset(const char* text, WORD bytes) {
    if (bytes == 0) return 0;
    const int units = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
    return static_cast<WORD>(units > 0 ? units : 0);
}

BOOL AnsiFileDialog(OPENFILENAMEW* ofn, bool save) {
    if (!ofn || !ofn->lpstrFile) return FALSE;
    const std::string filter = NarrowFilter(ofn->lpstrFilter);
    const Narrow title = NarrowText(ofn->lpstrTitle), folder = NarrowText(ofn->lpstrInitialDir),
                 extension = NarrowText(ofn->lpstrDefExt);
    const Narrow file = NarrowBuffer(ofn->lpstrFile, ofn->nMaxFile);
    const Narrow fileTitle = NarrowBuffer(ofn->lpstrFileTitle, ofn->nMaxFileTitle);
    const Narrow custom = NarrowBuffer(ofn->lpstrCustomFilter, ofn->nMaxCustFilter);
    if (!file) return FALSE;
    OPENFILENAMEA a{};
    a.lStructSize = sizeof a;
    a.hwndOwner = ofn->hwndOwner;
    a.hInstance = ofn->hInstance;
    a.lpstrFilter = ofn->lpstrFilter ? filter.data() : nullptr;
    a.lpstrCustomFilter = custom.get();
    a.nMaxCustFilter = custom ? ofn->nMaxCustFilter : 0;
    a.nFilterIndex = ofn->nFilterIndex;
    a.lpstrFile = file.get();
    a.nMaxFile = ofn->nMaxFile;
    a.lpstrFileTitle = fileTitle.get();
    a.nMaxFileTitle = fileTitle ? ofn->nMaxFileTitle : 0;
    a.lpstrInitialDir = folder.get();
    a.lpstrTitle = title.get();
    a.Flags = ofn->Flags;
    a.lpstrDefExt = extension.get();
    a.lCustData = ofn->lCustData;
    a.lpfnHook = ofn->lpfnHook;
    // Templates go by number, which reads the same in both forms.
    a.lpTemplateName = reinterpret_cast<LPCSTR>(ofn->lpTemplateName);
    const BOOL chosen = save ? GetSaveFileNameA(&a) : GetOpenFileNameA(&a);
    if (!chosen) return FALSE;
    WidenInto(ofn->lpstrFile, ofn->nMaxFile, file.get(), ofn->nMaxFile);
    if (fileTitle) WidenInto(ofn->lpstrFileTitle, ofn->nMaxFileTitle, fileTitle.get(), ofn->nMaxFileTitle);
    if (custom) WidenInto(ofn->lpstrCustomFilter, ofn->nMaxCustFilter, custom.get(), ofn->nMaxCustFilter);
    ofn->nFilterIndex = a.nFilterIndex;
    ofn->nFileOffset = WideOffset(file.get(), a.nFileOffset);
    ofn->nFileExtension = WideOffset(file.get(), a.nFileExtension);
    return TRUE;
}

} // namespace

BOOL GetOpenFileNameCompat(OPENFILENAMEW* ofn) {
    return UsesWideApi() ? GetOpenFileNameW(ofn) : AnsiFileDialog(ofn, false);
}

BOOL GetSaveFileNameCompat(OPENFILENAMEW* ofn) {
    return UsesWideApi() ? GetSaveFileNameW(ofn) : AnsiFileDialog(ofn, true);
}
