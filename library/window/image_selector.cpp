// The image file selector: the file types of the loaded image filters as the dialog's filter, the library's
// panel beside the dialog (filled when the selection changes) and its preview, and the filter id of the type
// chosen. The panel's hook finds its state through the record's custom data.
#include "vtrs2/image_selector.h"

#include "base/compat_state.h"
#include "vtrs2/compat.h"
#include "vtrs2/image_filters.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/gdi.h"
#include "win32/kernel.h"
#include "win32/menu.h"
#include "win32/msgbox.h"
#include "win32/resource.h"
#include "window/compat_file_dialogs.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

using namespace win32;

namespace {

// The work texts: the filter list and the paths read from the dialog.
constexpr std::size_t FilterTextUnits = 8192;
constexpr std::size_t PathTextUnits = 4096;

struct ListedFilter {
    int index; // in the manager
    DWORD id;
    std::u16string extension; // the first one, without its dot
};

struct SelectorState {
    CImageFilterMgr* manager = nullptr;
    int kinds = 0;
    bool open = true;
    bool wide = true; // the dialog speaks wide texts; else ANSI ones (the compatibility path)
    std::vector<ListedFilter> listed;
    cSurface preview;
    bool hasPreview = false;
};

// ---- the filter list ----

std::u16string CaptionOfKinds(int kinds) {
    if ((kinds & SelectAnimations) && (kinds & SelectStillImages)) return u"Graphic files";
    return (kinds & SelectAnimations) ? u"Animation files" : u"Image files";
}

bool Listed(CImageFilterMgr* manager, int index, int kinds, bool open) {
    ImageFile scratch(manager);
    if (!scratch.SelectFilterAt(index)) return false;
    CFilterImpl* filter = scratch.GetFilter();
    const bool images =
        (kinds & SelectStillImages) && filter->HandlesImages() && (open || filter->CanSaveImage());
    const bool animations =
        (kinds & SelectAnimations) && filter->HandlesAnimations() && (open || filter->CanSaveAnimation());
    return images || animations;
}

// The list's texts with '|' between them, turned into terminators once complete. A filter without
// extensions is left out: its pattern would be empty, which ends the list.
std::u16string BuildFilterList(SelectorState& s) {
    std::u16string entries, all;
    const int count = s.manager->GetFilterCount();
    for (int i = 0; i < count; ++i) {
        if (!Listed(s.manager, i, s.kinds, s.open)) continue;
        const WCHAR* const* extensions = s.manager->GetFilterExtsW(i);
        if (!extensions || !extensions[0] || !extensions[0][0]) continue;
        std::u16string shown, patterns;
        for (const WCHAR* const* e = extensions; *e && **e; ++e) {
            shown += (shown.empty() ? u"" : u", ") + std::u16string(*e);
            patterns += (patterns.empty() ? u"*." : u";*.") + std::u16string(*e);
        }
        const WCHAR* name = s.manager->GetFilterNameW(i);
        const std::u16string entry =
            std::u16string(name ? name : u"") + u" files (" + shown + u")|" + patterns;
        if (entries.size() + entry.size() + all.size() * 2 + 64 >= FilterTextUnits) break;
        entries += entry + u"|";
        all += (all.empty() ? u"" : u";") + patterns;
        s.listed.push_back({i, s.manager->GetFilterID(i), extensions[0]});
    }
    std::u16string list =
        s.open ? CaptionOfKinds(s.kinds) + u"|" + all + u"|" + entries + u"All files (*.*)|*.*||"
               : entries + u"|";
    std::replace(list.begin(), list.end(), u'|', u'\0');
    return list;
}

// The listed filter an entry of the list (from 1) stands for; null for the open dialog's first and last.
const ListedFilter* FilterOfEntry(const SelectorState& s, DWORD entry) {
    const std::size_t first = s.open ? 2 : 1;
    if (entry < first || entry - first >= s.listed.size()) return nullptr;
    return &s.listed[entry - first];
}

DWORD EntryOfFilter(const SelectorState& s, DWORD id) {
    for (std::size_t i = 0; i < s.listed.size(); ++i)
        if (s.listed[i].id == id) return static_cast<DWORD>(i + (s.open ? 2 : 1));
    return 1;
}

// ---- the panel ----

// The hook is given either form of the record; both keep these fields at the same place.
static_assert(offsetof(OPENFILENAMEA, lCustData) == offsetof(OPENFILENAMEW, lCustData));
static_assert(offsetof(OPENFILENAMEA, nFilterIndex) == offsetof(OPENFILENAMEW, nFilterIndex));
static_assert(offsetof(OPENFILENAMEA, lpstrFile) == offsetof(OPENFILENAMEW, lpstrFile));
static_assert(offsetof(OFNOTIFYA, lpOFN) == offsetof(OFNOTIFYW, lpOFN));

template <typename Field> Field FieldAt(LPARAM record, std::size_t offset) {
    Field value{};
    std::memcpy(&value, reinterpret_cast<const std::byte*>(record) + offset, sizeof value);
    return value;
}

SelectorState* StateOf(HWND panel) {
    return reinterpret_cast<SelectorState*>(GetWindowLongPtrW(panel, DWLP_USER));
}

// The dialog's answer to a path request, widened when the dialog speaks ANSI.
std::u16string AskPath(const SelectorState& s, HWND panel, UINT request) {
    HWND dialog = GetParent(panel);
    if (s.wide) {
        std::u16string text(PathTextUnits, u'\0');
        SendMessageW(dialog, request, text.size(), reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::char_traits<WCHAR>::length(text.c_str()));
        return text;
    }
    std::string narrow(PathTextUnits, '\0');
    SendMessageW(dialog, request, narrow.size(), reinterpret_cast<LPARAM>(narrow.data()));
    std::unique_ptr<WCHAR, void (*)(void*)> wide(ToWideString(narrow.c_str(), -1), FreeString);
    return wide ? std::u16string(wide.get()) : std::u16string();
}

void SetNumber(HWND panel, int id, int value) {
    SetDlgItemTextW(panel, id, FromUtf8(std::to_string(value)).c_str());
}

void ShowSelection(SelectorState& s, HWND panel, const std::u16string& path) {
    for (int id : {ImageSelectorTypeId, ImageSelectorWidthId, ImageSelectorHeightId, ImageSelectorDepthId,
                   ImageSelectorFramesId})
        SetDlgItemTextW(panel, id, u"");
    s.hasPreview = false;
    s.preview.Reset();
    ImageFile file(s.manager);
    if (!path.empty() && file.OpenRead(path.c_str()) == ImageOk) {
        const WCHAR* name = file.GetFilterNameW();
        SetDlgItemTextW(panel, ImageSelectorTypeId, name ? name : u"");
        SetNumber(panel, ImageSelectorWidthId, file.GetWidth());
        SetNumber(panel, ImageSelectorHeightId, file.GetHeight());
        SetNumber(panel, ImageSelectorDepthId, file.GetDepth());
        if (s.kinds & SelectAnimations) SetNumber(panel, ImageSelectorFramesId, file.GetFrameCount());
        file.Close();
        s.hasPreview = LoadImageFileIntoSurface(s.manager, path.c_str(), &s.preview, nullptr, 0) != 0;
    }
    HWND box = GetDlgItem(panel, ImageSelectorPreviewId);
    InvalidateRect(box, nullptr, TRUE);
    UpdateWindow(box);
}

void ChangeDefaultExtension(const SelectorState& s, HWND panel, DWORD entry) {
    const ListedFilter* filter = FilterOfEntry(s, entry);
    if (!filter) return;
    HWND dialog = GetParent(panel);
    if (s.wide) {
        SendMessageW(dialog, CDM_SETDEFEXT, 0, reinterpret_cast<LPARAM>(filter->extension.c_str()));
        return;
    }
    std::unique_ptr<char, void (*)(void*)> narrow(ToNarrowString(filter->extension.c_str(), -1), FreeString);
    if (narrow) SendMessageW(dialog, CDM_SETDEFEXT, 0, reinterpret_cast<LPARAM>(narrow.get()));
}

// An existing file must be one a filter reads; answers TRUE (and keeps the dialog) when it is not.
// The path is the record's, with the default extension the dialog gave it.
INT_PTR CheckChoice(SelectorState& s, HWND panel, LPARAM record) {
    const auto chosen = FieldAt<const void*>(record, offsetof(OPENFILENAMEW, lpstrFile));
    if (!chosen) return FALSE;
    std::u16string path;
    if (s.wide) {
        path = static_cast<const WCHAR*>(chosen);
    } else {
        const std::unique_ptr<WCHAR, void (*)(void*)> wide(ToWideString(static_cast<const char*>(chosen), -1),
                                                           FreeString);
        if (wide) path = wide.get();
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FALSE;
    ImageFile file(s.manager);
    if (file.OpenRead(path.c_str()) == ImageOk) return FALSE;
    MessageBoxW(panel, u"Unknown format", u"", MB_OK);
    SetWindowLongPtrW(panel, DWLP_MSGRESULT, 1);
    return TRUE;
}

// The image fitted in the box (scaled down keeping its ratio when larger), centred, over the button face,
// with a raised one-pixel frame; drawn off screen and copied whole.
void PaintPreview(SelectorState& s, const DRAWITEMSTRUCT& item) {
    const int width = item.rcItem.right - item.rcItem.left, height = item.rcItem.bottom - item.rcItem.top;
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, PublicTypeDib, DriverKindNone);
    cSurface box;
    if (width <= 0 || height <= 0 || !prototype || !box.Create(width, height, prototype)) return;
    box.Fill(GetSysColor(COLOR_BTNFACE));
    if (s.hasPreview && s.preview.HasImplementation()) {
        const int w = s.preview.GetWidth(), h = s.preview.GetHeight();
        int shownWidth = w, shownHeight = h;
        if (w > width || h > height) {
            // Ratios in 16.16: the side further over the box fills it.
            const std::int64_t across = (static_cast<std::int64_t>(w) << 16) / width;
            const std::int64_t down = (static_cast<std::int64_t>(h) << 16) / height;
            if (across >= down) {
                shownWidth = width;
                shownHeight =
                    static_cast<int>(std::max<std::int64_t>(1, static_cast<std::int64_t>(h) * width / w));
            } else {
                shownHeight = height;
                shownWidth =
                    static_cast<int>(std::max<std::int64_t>(1, static_cast<std::int64_t>(w) * height / h));
            }
        }
        const int x = (width - shownWidth) / 2, y = (height - shownHeight) / 2;
        if (shownWidth == w && shownHeight == h)
            s.preview.Blit(box, x, y, 0, 0, w, h, 0);
        else
            s.preview.StretchBlit(box, x, y, shownWidth, shownHeight, 0, 0, w, h, 0);
    }
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
    box.FillRect(0, 0, width, 1, light);
    box.FillRect(0, 0, 1, height, light);
    box.FillRect(0, height - 1, width, 1, shadow);
    box.FillRect(width - 1, 0, 1, height, shadow);
    HDC source = box.GetDeviceContext();
    if (!source) return;
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, source, 0, 0, SRCCOPY);
    box.ReleaseDeviceContext(source);
}

INT_PTR Notice(SelectorState& s, HWND panel, const NMHDR& header, LPARAM notice) {
    // Both forms of the notice give the record at the same place.
    const auto record = FieldAt<LPARAM>(notice, offsetof(OFNOTIFYW, lpOFN));
    if (!record) return FALSE;
    switch (header.code) {
    case CDN_SELCHANGE:
        ShowSelection(s, panel, AskPath(s, panel, CDM_GETFILEPATH));
        return FALSE;
    case CDN_TYPECHANGE:
        ChangeDefaultExtension(s, panel, FieldAt<DWORD>(record, offsetof(OPENFILENAMEW, nFilterIndex)));
        return FALSE;
    case CDN_FILEOK:
        return CheckChoice(s, panel, record);
    default:
        return FALSE;
    }
}

// ---- the call ----

// The caller's template when it gives one, else the library's panel (whole when found, else by number).
void UsePanel(OPENFILENAMEW& ofn) {
    if (ofn.Flags & (OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE)) return;
    HMODULE library = GetModuleHandleW(u"vtrs2.dll");
    HRSRC found =
        FindResourceW(library, MAKEINTRESOURCEW(ImageSelectorTemplateId), MAKEINTRESOURCEW(RT_DIALOG));
    const void* locked = found ? LockResource(LoadResource(library, found)) : nullptr;
    if (locked) {
        ofn.Flags |= OFN_ENABLETEMPLATEHANDLE;
        ofn.hInstance = reinterpret_cast<HINSTANCE>(const_cast<void*>(locked));
    } else {
        ofn.Flags |= OFN_ENABLETEMPLATE;
        ofn.hInstance = library;
        ofn.lpTemplateName = MAKEINTRESOURCEW(ImageSelectorTemplateId);
    }
}

int RunSelector(OPENFILENAMEW* ofn, int open, CImageFilterMgr* manager, DWORD* filterId, int kinds) {
    SelectorState s;
    s.manager = manager;
    s.kinds = kinds & (SelectStillImages | SelectAnimations);
    s.open = open != 0;
    s.wide = UsesWideApi() != 0;
    const std::u16string filter = BuildFilterList(s);
    const OPENFILENAMEW kept = *ofn;
    ofn->lpstrFilter = filter.c_str();
    if (filterId) ofn->nFilterIndex = EntryOfFilter(s, *filterId);
    if (!s.open) ofn->lpstrDefExt = s.listed.empty() ? nullptr : s.listed[0].extension.c_str();
    ofn->Flags |= OFN_ENABLEHOOK | OFN_EXPLORER | OFN_ENABLESIZING;
    ofn->lpfnHook = ImageSelectorHookProc;
    ofn->lCustData = reinterpret_cast<LPARAM>(&s);
    UsePanel(*ofn);
    const BOOL chosen = s.open ? GetOpenFileNameCompat(ofn) : GetSaveFileNameCompat(ofn);
    ofn->lpstrFilter = kept.lpstrFilter;
    ofn->lpstrDefExt = kept.lpstrDefExt;
    ofn->Flags = kept.Flags;
    ofn->lpfnHook = kept.lpfnHook;
    ofn->lCustData = kept.lCustData;
    ofn->hInstance = kept.hInstance;
    ofn->lpTemplateName = kept.lpTemplateName;
    if (chosen && !s.open && filterId)
        if (const ListedFilter* f = FilterOfEntry(s, ofn->nFilterIndex)) *filterId = f->id;
    return chosen ? 1 : 0;
}

using WideText = std::unique_ptr<WCHAR, void (*)(void*)>;
using NarrowText = std::unique_ptr<char, void (*)(void*)>;

// The wide text into a buffer of `size` bytes, cut to fit; the bytes written before the cut.
void NarrowInto(char* out, DWORD size, const WCHAR* text) {
    if (!out || size == 0) return;
    out[0] = 0;
    const NarrowText narrow(text ? ToNarrowString(text, -1) : nullptr, FreeString);
    if (!narrow) return;
    const std::size_t bytes = std::min<std::size_t>(std::strlen(narrow.get()), size - 1);
    std::memcpy(out, narrow.get(), bytes);
    out[bytes] = 0;
}

// Bytes of the first `units` characters of the text.
WORD NarrowLength(const WCHAR* text, WORD units) {
    const std::u16string part(text, units);
    const NarrowText narrow(ToNarrowString(part.c_str(), -1), FreeString);
    return static_cast<WORD>(narrow ? std::strlen(narrow.get()) : 0);
}

// A wide buffer of `size` characters holding the narrow buffer's text (within its size).
std::u16string WideBuffer(const char* text, DWORD size) {
    std::u16string out(size, u'\0');
    if (!text) return out;
    const std::string narrow(text, strnlen(text, size));
    const WideText wide(ToWideString(narrow.c_str(), -1), FreeString);
    if (wide) {
        const std::u16string_view view(wide.get());
        std::copy_n(view.begin(), std::min<std::size_t>(view.size(), size ? size - 1 : 0), out.begin());
    }
    return out;
}

WideText Widen(const char* text) {
    return WideText(text ? ToWideString(text, -1) : nullptr, FreeString);
}

} // namespace

int SelectImageFileW(OPENFILENAMEW* ofn, int open, CImageFilterMgr* manager, DWORD* filterId, int kinds) {
    if (!ofn || !manager) return 0;
    try {
        return RunSelector(ofn, open, manager, filterId, kinds);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int SelectImageFileA(OPENFILENAMEA* ofn, int open, CImageFilterMgr* manager, DWORD* filterId, int kinds) {
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0 || !manager) return 0;
    try {
        const WideText title = Widen(ofn->lpstrTitle), folder = Widen(ofn->lpstrInitialDir),
                       extension = Widen(ofn->lpstrDefExt);
        std::u16string file = WideBuffer(ofn->lpstrFile, ofn->nMaxFile);
        std::u16string fileTitle = WideBuffer(ofn->lpstrFileTitle, ofn->nMaxFileTitle);
        std::u16string custom = WideBuffer(ofn->lpstrCustomFilter, ofn->nMaxCustFilter);
        OPENFILENAMEW w{};
        w.lStructSize = sizeof w;
        w.hwndOwner = ofn->hwndOwner;
        w.hInstance = ofn->hInstance;
        w.lpstrCustomFilter = ofn->lpstrCustomFilter ? custom.data() : nullptr;
        w.nMaxCustFilter = ofn->lpstrCustomFilter ? ofn->nMaxCustFilter : 0;
        w.nFilterIndex = ofn->nFilterIndex;
        w.lpstrFile = file.data();
        w.nMaxFile = ofn->nMaxFile;
        w.lpstrFileTitle = ofn->lpstrFileTitle ? fileTitle.data() : nullptr;
        w.nMaxFileTitle = ofn->lpstrFileTitle ? ofn->nMaxFileTitle : 0;
        w.lpstrInitialDir = folder.get();
        w.lpstrTitle = title.get();
        w.Flags = ofn->Flags;
        w.lpstrDefExt = extension.get();
        w.lCustData = ofn->lCustData;
        w.lpfnHook = ofn->lpfnHook;
        // Templates go by number, which reads the same in both forms.
        w.lpTemplateName = reinterpret_cast<LPCWSTR>(ofn->lpTemplateName);
        const int chosen = SelectImageFileW(&w, open, manager, filterId, kinds);
        if (!chosen) return 0;
        NarrowInto(ofn->lpstrFile, ofn->nMaxFile, file.c_str());
        if (ofn->lpstrFileTitle) NarrowInto(ofn->lpstrFileTitle, ofn->nMaxFileTitle, fileTitle.c_str());
        if (ofn->lpstrCustomFilter) NarrowInto(ofn->lpstrCustomFilter, ofn->nMaxCustFilter, custom.c_str());
        ofn->nFilterIndex = w.nFilterIndex;
        ofn->nFileOffset = NarrowLength(file.c_str(), w.nFileOffset);
        ofn->nFileExtension = NarrowLength(file.c_str(), w.nFileExtension);
        return chosen;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

UINT_PTR ImageSelectorHookProc(HWND panel, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto state = FieldAt<LPARAM>(lParam, offsetof(OPENFILENAMEW, lCustData));
        SetWindowLongPtrW(panel, DWLP_USER, state);
        const SelectorState* s = StateOf(panel);
        if (s && !(s->kinds & SelectAnimations)) {
            ShowWindow(GetDlgItem(panel, ImageSelectorFramesLabelId), SW_HIDE);
            ShowWindow(GetDlgItem(panel, ImageSelectorFramesId), SW_HIDE);
        }
        return TRUE;
    }
    SelectorState* s = StateOf(panel);
    if (!s) return FALSE;
    if (message == WM_NOTIFY && lParam)
        return static_cast<UINT_PTR>(Notice(*s, panel, *reinterpret_cast<const NMHDR*>(lParam), lParam));
    if (message == WM_DRAWITEM && lParam) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID != static_cast<UINT>(ImageSelectorPreviewId)) return FALSE;
        PaintPreview(*s, *item);
        return TRUE;
    }
    return FALSE;
}
