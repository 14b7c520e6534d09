#include "richtext/rich_text_object.h"

#include "core/application_record.h"
#include "core/frame_record.h"
#include "core/runtime_services.h"
#include "core/upcalls.h"
#include "events/dispatch.h"
#include "events/expression.h"
#include "objects/display_list.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "richtext/rtf_drawing.h"
#include "richtext/rtf_reader.h"
#include "startup/display_mode.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include "vtrs2/app_window.h"
#include "vtrs2/raw_files.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace vtrrt {

using namespace win32;

namespace {

// The kind's object data, from the definition's type data.
constexpr std::size_t DataOptions = 8;
constexpr std::size_t DataBackground = 12;
constexpr std::size_t DataWidth = 16;
constexpr std::size_t DataHeight = 20;
constexpr std::size_t DataLength = 28;
constexpr std::size_t DataText = 32;

// Files above this size are refused.
constexpr std::uint32_t MaximumFileBytes = 16u << 20;
constexpr std::size_t SearchBytes = 255;
constexpr std::size_t WordTextBytes = 127;
constexpr std::int32_t HorizontalLine = 8, VerticalLine = 12;
constexpr std::uint32_t DrawnAlways = DrawPage | DrawClipToView | DrawFillView;
// Which object a bar belongs to: the object's handle plus one.
constexpr const WCHAR* BarOwner = u"vtrRichTextObject";

// What the object shows when its stored text is not RTF.
constexpr std::string_view EmptyDocument = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036{\\fonttbl{"
                                           "\\f0\\fswiss\\fcharset0 Arial;}}{\\*\\generator "
                                           "Msftedit 5.41.15.1507;}\\viewkind4\\uc1\\pard\\f0\\fs20\\par}";

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

UINT CodePage() {
    const FrameRunState* s = CurrentRunState();
    const ApplicationRecord* app = s && s->application ? s->application : CurrentApplication();
    return app ? app->codePage : CP_ACP;
}

bool Hidden(RunObject* o) {
    const ObjectSpriteBlock* block = SpriteBlockOf(o);
    return block && (block->displayFlags & DisplayHidden);
}

HWND FrameWindowOf(RunObject* o) {
    return o->runState && o->runState->frameWindow ? o->runState->frameWindow : Services().frameWindow;
}

std::uint32_t InkOf(RunObject* o, void** parameter) {
    if (const ObjectSpriteBlock* block = SpriteBlockOf(o)) {
        *parameter = block->inkParameter;
        return block->inkEffect;
    }
    *parameter = nullptr;
    if (o->objectInfoEntry) {
        *parameter = reinterpret_cast<void*>(static_cast<std::uintptr_t>(o->objectInfoEntry->inkParameter));
        return o->objectInfoEntry->inkEffect;
    }
    return 0;
}

bool DrawsThroughSurfaces() {
    return (Services().displayFlags & DisplayDriverFlag) != 0;
}

// A device context to measure and draw with while laying out: the private surface's, the window's work
// surface's, or none (the document then measures with one of its own).
class LayoutDc {
public:
    explicit LayoutDc(RichTextPart& r) {
        if (r.surface && (dc_ = r.surface->GetDeviceContext())) {
            surface_ = r.surface;
        } else if ((window_ = Services().frameLibraryWindow)) {
            dc_ = GetWindowSurfaceDC(window_);
        }
    }
    ~LayoutDc() {
        if (surface_)
            surface_->ReleaseDeviceContext(dc_);
        else if (window_ && dc_)
            ReleaseWindowSurfaceDC(window_, dc_);
    }
    LayoutDc(const LayoutDc&) = delete;
    LayoutDc& operator=(const LayoutDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_ = nullptr;
    cSurface* surface_ = nullptr;
    AppWindow* window_ = nullptr;
};

std::int32_t ViewWidth(const RichTextPart& r) {
    return std::max(0, r.viewWidth - ((r.options & RtfVerticalBar) ? r.barWidth : 0));
}

std::int32_t ViewHeight(const RichTextPart& r) {
    return std::max(0, r.viewHeight - ((r.options & RtfHorizontalBar) ? r.barHeight : 0));
}

std::unique_ptr<RtfDocument> NewDocument(RunObject* o, const RichTextPart& r) {
    std::unique_ptr<RtfDocument> d = RtfNewContext(CodePage());
    d->view =
        RECT{o->displayLeft, o->displayTop, o->displayLeft + ViewWidth(r), o->displayTop + ViewHeight(r)};
    d->flags = r.options;
    d->background = r.background;
    return d;
}

// Reads RTF, or plain text when it is not RTF, into a new document; null when it does not read.
std::unique_ptr<RtfDocument> ReadDocument(RunObject* o, RichTextPart& r, std::span<const std::uint8_t> text) {
    std::unique_ptr<RtfDocument> d = NewDocument(o, r);
    LayoutDc dc(r);
    RtfDcScope scope(*d, dc.Get());
    const bool read = LooksLikeRtf(text) ? RtfParseDocument(*d, text) != 0 : RtfSetPlainText(*d, text);
    return read ? std::move(d) : nullptr;
}

void Replace(RunObject* o, RichTextPart& r, std::unique_ptr<RtfDocument> document) {
    std::unique_ptr<RtfDocument> old(r.document);
    r.document = document.release();
    r.redraw = RedrawDocument | RedrawMoved | RedrawResized;
    RtfObjectUpdateScrollBars(o);
    if (r.options & RtfTransparent)
        o->objectFlags |= ObjectSavesWindowRect;
    else
        o->objectFlags &= ~ObjectSavesWindowRect;
}

// The object's stored text, or the fixed empty document when it is not RTF; false when no document could
// be made at all.
bool LoadStoredRtf(RunObject* o, RichTextPart& r, std::span<const std::uint8_t> text) {
    LayoutDc dc(r);
    const auto parsed = [&](std::span<const std::uint8_t> bytes) {
        std::unique_ptr<RtfDocument> d = NewDocument(o, r);
        RtfDcScope scope(*d, dc.Get());
        return RtfParseDocument(*d, bytes) ? std::move(d) : nullptr;
    };
    std::unique_ptr<RtfDocument> d = parsed(text);
    if (!d) d = parsed(Bytes(EmptyDocument));
    if (!d) return false;
    Replace(o, r, std::move(d));
    return true;
}

// A document replaces the object's only when it reads (a text that is not RTF is read as plain text).
bool LoadRtf(RunObject* o, RichTextPart& r, std::span<const std::uint8_t> text) {
    std::unique_ptr<RtfDocument> d = ReadDocument(o, r, text);
    if (!d) return false;
    Replace(o, r, std::move(d));
    return true;
}

bool InsertRtf(RunObject* o, RichTextPart& r, std::span<const std::uint8_t> text) {
    if (!r.document || r.document->selection.empty()) return false;
    const std::unique_ptr<RtfDocument> other = ReadDocument(o, r, text);
    if (!other) return false;
    RtfPosition at = r.document->selection.front().start;
    const RtfPosition& end = r.document->selection.front().end;
    if (end.paragraph < at.paragraph || (end.paragraph == at.paragraph && end.offset < at.offset)) at = end;
    {
        LayoutDc dc(r);
        RtfDcScope scope(*r.document, dc.Get());
        if (!RtfInsertDocument(*r.document, at, *other)) return false;
    }
    r.redraw = RedrawDocument | RedrawMoved | RedrawResized;
    RtfObjectUpdateScrollBars(o);
    return true;
}

// A whole file through the embedded-file service; empty when it cannot be read whole or is too large.
bool ReadWholeFile(const WCHAR* name, std::vector<std::uint8_t>& out) {
    if (!name || !*name || !up::OpenEmbeddedFile || !up::CloseEmbeddedFile) return false;
    std::uint32_t size = 0;
    const HANDLE file = up::OpenEmbeddedFile(name, &size);
    if (!file || file == INVALID_HANDLE_VALUE) return false;
    bool ok = size <= MaximumFileBytes;
    if (ok) {
        out.resize(size);
        ok = size == 0 || FileReadRaw(file, out.data(), static_cast<LONG>(size)) == 0;
    }
    up::CloseEmbeddedFile(file);
    return ok;
}

std::string Narrow(std::u16string_view text, std::size_t limit = SIZE_MAX) {
    if (text.empty()) return {};
    const UINT cp = CodePage();
    const int units = static_cast<int>(std::min<std::size_t>(text.size(), INT32_MAX / 4));
    const int bytes = WideCharToMultiByte(cp, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(0, bytes)), '\0');
    if (bytes > 0) WideCharToMultiByte(cp, 0, text.data(), units, out.data(), bytes, nullptr, nullptr);
    if (out.size() > limit) out.resize(limit);
    return out;
}

// --- scroll bars ---

// A rectangle of the play area in the frame window's pixels, which a stretched frame scales.
RECT ToWindow(RECT r) {
    AppWindow* window = Services().frameLibraryWindow;
    const HWND handle = window ? GetAppWindowHandle(window) : nullptr;
    if (!handle) return r;
    RECT area{}, client{};
    GetAppWindowArea(window, &area);
    GetClientRect(handle, &client);
    const std::int64_t aw = area.right - area.left, ah = area.bottom - area.top;
    const std::int64_t cw = client.right - client.left, ch = client.bottom - client.top;
    if (aw <= 0 || ah <= 0 || (aw == cw && ah == ch)) return r;
    return RECT{static_cast<LONG>(r.left * cw / aw), static_cast<LONG>(r.top * ch / ah),
                static_cast<LONG>(r.right * cw / aw), static_cast<LONG>(r.bottom * ch / ah)};
}

void PlaceBarRects(RunObject* o, RichTextPart& r) {
    const RECT d{o->displayLeft, o->displayTop, o->displayLeft + r.viewWidth, o->displayTop + r.viewHeight};
    const bool vertical = r.options & RtfVerticalBar, horizontal = r.options & RtfHorizontalBar;
    r.verticalRect =
        ToWindow(RECT{d.right - r.barWidth, d.top, d.right, d.bottom - (horizontal ? r.barHeight : 0)});
    r.horizontalRect =
        ToWindow(RECT{d.left, d.bottom - r.barHeight, d.right - (vertical ? r.barWidth : 0), d.bottom});
}

void MoveBar(HWND bar, const RECT& rect) {
    if (bar) MoveWindow(bar, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void ShowBars(RichTextPart& r, int command) {
    for (HWND bar : {r.verticalBar, r.horizontalBar})
        if (bar) ShowWindow(bar, command);
}

void DestroyBar(HWND& bar) {
    if (bar) DestroyWindow(bar);
    bar = nullptr;
}

std::int32_t PageRange(const RtfDocument& d, bool vertical) {
    const RECT& extent = d.Page().extent;
    const std::int64_t page = vertical ? extent.bottom : extent.right;
    const std::int64_t view = vertical ? d.view.bottom - d.view.top : d.view.right - d.view.left;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(page - view, 0, INT32_MAX));
}

// The thumb's place for a scroll position, within the bar's range.
void SetThumb(RichTextPart& r, bool vertical, std::int32_t position) {
    const HWND bar = vertical ? r.verticalBar : r.horizontalBar;
    if (!bar || !r.document) return;
    SetScrollPos(bar, SB_CTL, std::clamp(position, 0, PageRange(*r.document, vertical)), TRUE);
}

void Redisplay(RunObject* o, RichTextPart& r) {
    r.redraw |= RedrawDocument;
    if (o->displayRoutine) o->displayRoutine(o);
}

// --- kind routines ---

std::uint16_t RecordSize(const std::uint8_t*) {
    return KindRecordSizeWith(TypeRichText, sizeof(RichTextPart));
}

int Create(RunObject* o, const std::uint8_t*, const ObjectCreationParams*) {
    RichTextPart* r = RichTextOf(o);
    if (!r) return 1;
    std::memset(static_cast<void*>(r), 0, sizeof *r);
    const RichTextData data = ReadRichTextData(ObjectDefinitionOf(o));
    r->viewWidth = o->width = std::max(0, data.width);
    r->viewHeight = o->height = std::max(0, data.height);
    o->hotSpotX = o->hotSpotY = 0;
    r->options = data.options;
    r->background = data.background;
    r->barWidth = GetSystemMetrics(SM_CXVSCROLL);
    r->barHeight = GetSystemMetrics(SM_CYHSCROLL);
    r->lastX = r->lastY = 0x7FFF;
    if (DrawsThroughSurfaces()) {
        cSurface* prototype = nullptr;
        const ApplicationRecord* app = CurrentApplication();
        AppWindow* window = Services().frameLibraryWindow;
        const cSurface* work = window ? GetWindowSurface(window, 0) : nullptr;
        const int depth = work ? work->GetDepth() : (app ? app->surfaceDepth : 32);
        GetSurfacePrototype(&prototype, depth, PublicTypeDib, DriverKindNone);
        if (prototype && ViewWidth(*r) > 0 && ViewHeight(*r) > 0) {
            r->surface = NewSurface();
            if (r->surface && !r->surface->Create(ViewWidth(*r), ViewHeight(*r), prototype)) {
                DeleteSurface(r->surface);
                r->surface = nullptr;
            }
        }
    }
    return LoadStoredRtf(o, *r, data.text) ? 0 : 1;
}

void Destroy(RunObject* o, int) {
    RichTextPart* r = RichTextOf(o);
    if (!r) return;
    DestroyBar(r->horizontalBar);
    DestroyBar(r->verticalBar);
    std::unique_ptr<RtfDocument> document(r->document);
    r->document = nullptr;
    if (r->surface) DeleteSurface(r->surface);
    r->surface = nullptr;
}

void Zone(RunObject* o) {
    if (const RichTextPart* r = RichTextOf(o)) {
        o->width = r->viewWidth;
        o->height = r->viewHeight;
        o->hotSpotX = o->hotSpotY = 0;
    }
}

int Handle(RunObject* o) {
    RichTextPart* r = RichTextOf(o);
    if (!r) return 0;
    if (Hidden(o))
        ShowBars(*r, SW_HIDE);
    else
        r->redraw |= RedrawMoved | RedrawResized | RedrawShowBars;
    if (o->x != r->lastX || o->y != r->lastY) {
        r->lastX = o->x;
        r->lastY = o->y;
        r->redraw |= RedrawMoved;
    }
    return r->redraw ? 2 : 0;
}

// Draws through a surface: the private one, or one made for the draw; then blits it with the object's ink.
void DisplayThroughSurface(RichTextPart& r, RtfDocument& d, std::uint32_t ink, void* parameter) {
    AppWindow* window = Services().frameLibraryWindow;
    cSurface* work = window ? GetWindowSurface(window, 0) : nullptr;
    if (!work) return;
    cSurface* surface = r.surface;
    cSurface* made = nullptr;
    if (!surface) {
        cSurface* prototype = nullptr;
        GetSurfacePrototype(&prototype, work->GetDepth(), PublicTypeDib, DriverKindNone);
        made = prototype ? NewSurface() : nullptr;
        if (!made || !made->Create(std::max(1, ViewWidth(r)), std::max(1, ViewHeight(r)), prototype)) {
            if (made) DeleteSurface(made);
            return;
        }
        surface = made;
    }
    const bool transparent = r.options & RtfTransparent;
    surface->Fill(r.background);
    if (transparent) surface->SetColorKey(r.background);
    if (HDC dc = surface->GetDeviceContext()) {
        const RECT view = d.view;
        RtfSetProperty(d, 0, 0, PropertyMoveView);
        RtfDrawDocument(d, dc, r.redraw | DrawnAlways);
        RtfSetProperty(d, view.left, view.top, PropertyMoveView);
        surface->ReleaseDeviceContext(dc);
    }
    const int antialias = (ink & InkAntialiased) ? 1 : 0;
    surface->BlitWhole(*work, d.view.left, d.view.top, transparent ? 1 : 0, static_cast<int>(ink & 0xFFFF),
                       reinterpret_cast<LPARAM>(parameter), antialias);
    if (made) DeleteSurface(made);
}

// A display driver clears its scene and draws it whole in each loop's display pass: drawn at another time the
// document would be lost with the next clear.
bool OutsideTheDriversScene() {
    const FrameRecord* frame = Services().frame;
    return DrawsThroughSurfaces() && frame && !frame->drawingOpen;
}

void Display(RunObject* o) {
    RichTextPart* r = RichTextOf(o);
    if (!r || !r->document) return;
    RtfDocument& d = *r->document;
    if (Hidden(o)) {
        r->redraw = 0;
        return;
    }
    // The object joins the objects that the display pass draws, its redraw flags kept for then.
    if (OutsideTheDriversScene()) {
        QueueBackgroundRestore(o);
        return;
    }
    // Drawn without a sprite: the object's place on the window is worked out here.
    UpdateDisplayRect(o);
    if (r->redraw & (RedrawMoved | RedrawResized)) PlaceBarRects(o, *r);
    if (r->redraw & RedrawResized) {
        LayoutDc dc(*r);
        RtfDcScope scope(d, dc.Get());
        if (RtfSetProperty(d, ViewWidth(*r), ViewHeight(*r), PropertyViewSize)) RtfObjectUpdateScrollBars(o);
        MoveBar(r->verticalBar, r->verticalRect);
        MoveBar(r->horizontalBar, r->horizontalRect);
    }
    if (r->redraw & RedrawMoved) {
        RtfSetProperty(d, o->displayLeft, o->displayTop, PropertyMoveView);
        MoveBar(r->verticalBar, r->verticalRect);
        MoveBar(r->horizontalBar, r->horizontalRect);
    }
    if (r->redraw & RedrawShowBars) ShowBars(*r, SW_SHOWNA);
    const ApplicationRecord* app = CurrentApplication();
    if (app && app->surfaceDepth <= 8) {
        RtfSetProperty(d, reinterpret_cast<std::intptr_t>(Services().palette), 0, PropertyPalette);
        RtfSetProperty(d, 0x02000000, 0, PropertyBlack);
    }
    void* parameter = nullptr;
    const std::uint32_t ink = InkOf(o, &parameter);
    AppWindow* window = Services().frameLibraryWindow;
    if (DrawsThroughSurfaces() || (ink & 0xFFFF) != 0) {
        DisplayThroughSurface(*r, d, ink, parameter);
    } else if (window) {
        if (HDC dc = GetWindowSurfaceDC(window)) {
            RtfDrawDocument(d, dc, r->redraw | DrawnAlways);
            ReleaseWindowSurfaceDC(window, dc);
        }
    }
    if (window) AddUpdateRect(window, &d.view);
    r->redraw = 0;
}

// --- selections ---

RichTextPart* PartWithDocument(RunObject* o) {
    RichTextPart* r = RichTextOf(o);
    return r && r->document ? r : nullptr;
}

void Select(RichTextPart& r, RtfPosition start, RtfPosition end) {
    r.document->selection.push_back({start, end});
}

// A word without the spaces that follow it.
std::int32_t WordEnd(const RtfParagraph& p, const RtfWord& w) {
    std::int32_t end = w.start + w.length;
    while (end > w.start + 1 && p.text[static_cast<std::size_t>(end - 1)] == ' ')
        --end;
    return end;
}

const RtfParagraph& ParagraphOf(const RtfDocument& d, const RtfPosition& p) {
    return d.Page().paragraphs[static_cast<std::size_t>(p.paragraph)];
}

bool SelectWords(RichTextPart& r, std::int32_t first, std::int32_t last) {
    const RtfDocument& d = *r.document;
    RtfPosition a, b;
    if (first < 1 || last < first || !RtfFindWord(d, first, a) || !RtfFindWord(d, last, b)) return false;
    const RtfParagraph& p = ParagraphOf(d, b);
    RtfPosition end = b;
    end.offset = WordEnd(p, p.words[static_cast<std::size_t>(b.word)]);
    Select(r, a, end);
    return true;
}

bool SelectLine(RichTextPart& r, std::int32_t n) {
    const RtfDocument& d = *r.document;
    RtfPosition at;
    if (!RtfFindLine(d, n, at)) return false;
    const RtfParagraph& p = ParagraphOf(d, at);
    const RtfLine& line = p.lines[static_cast<std::size_t>(at.line)];
    if (line.wordCount == 0) return false;
    const RtfWord& last = p.words[static_cast<std::size_t>(line.firstWord + line.wordCount - 1)];
    RtfPosition end = at;
    end.offset = last.start + last.length;
    Select(r, at, end);
    return true;
}

// A paragraph without its paragraph mark.
bool SelectParagraph(RichTextPart& r, std::int32_t n) {
    const std::vector<RtfParagraph>& paragraphs = r.document->Page().paragraphs;
    if (n < 1 || n > static_cast<std::int32_t>(paragraphs.size())) return false;
    const RtfParagraph& p = paragraphs[static_cast<std::size_t>(n - 1)];
    // One byte back from its end leaves the mark out.
    RtfPosition end{r.document->currentPage, n - 1, 0, 0, static_cast<std::int32_t>(p.text.size())};
    RtfStepBack(*r.document, end);
    Select(r, RtfPosition{r.document->currentPage, n - 1, 0, 0, 0}, end);
    return true;
}

bool SelectPage(RichTextPart& r) {
    const std::vector<RtfParagraph>& paragraphs = r.document->Page().paragraphs;
    if (paragraphs.empty()) return false;
    const auto last = static_cast<std::int32_t>(paragraphs.size()) - 1;
    Select(r, RtfPosition{r.document->currentPage, 0, 0, 0, 0},
           RtfPosition{r.document->currentPage, last, 0, 0,
                       static_cast<std::int32_t>(paragraphs.back().text.size())});
    return true;
}

bool SameLetters(char a, char b, UINT codePage) {
    return RtfUpper(a, codePage) == RtfUpper(b, codePage);
}

bool LetterOrDigit(std::uint8_t c, UINT codePage) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    // The Latin letters of 1252 (and of the code pages that share its upper half).
    return codePage != CP_UTF8 && c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

// The offset of a hit in a word, or -1.
std::int32_t HitInWord(const RtfDocument& d, const RtfParagraph& p, const RtfWord& w, std::string_view text,
                       bool wholeWord) {
    const auto n = static_cast<std::int32_t>(text.size());
    if (w.length < n) return -1;
    const auto matches = [&](std::int32_t at) {
        for (std::int32_t k = 0; k < n; ++k)
            if (!SameLetters(p.text[static_cast<std::size_t>(at + k)], text[static_cast<std::size_t>(k)],
                             d.codePage))
                return false;
        return true;
    };
    if (wholeWord) {
        std::int32_t letters = 0;
        while (letters < w.length &&
               LetterOrDigit(static_cast<std::uint8_t>(p.text[static_cast<std::size_t>(w.start + letters)]),
                             d.codePage))
            ++letters;
        return letters == n && matches(w.start) ? w.start : -1;
    }
    for (std::int32_t at = w.start; at + n <= w.start + w.length; ++at)
        if (matches(at)) return at;
    return -1;
}

std::int32_t IntValue(std::intptr_t v) {
    return static_cast<std::int32_t>(v);
}

std::u16string_view StringValue(std::intptr_t v) {
    const auto* text = reinterpret_cast<const char16_t*>(v);
    return text ? std::u16string_view(text) : std::u16string_view();
}

// --- actions ---

using Action = std::int32_t (*)(RunObject*, std::intptr_t, std::intptr_t);

template <bool Vertical> std::int32_t SetScroll(RunObject* o, std::intptr_t value, std::intptr_t) {
    RichTextPart* r = PartWithDocument(o);
    if (!r) return 0;
    const std::int32_t v = std::max(0, IntValue(value));
    RtfSetProperty(*r->document, v, 0, Vertical ? PropertyScrollY : PropertyScrollX);
    Redisplay(o, *r);
    SetThumb(*r, Vertical, v);
    return 0;
}

void ApplyZoom(RunObject* o, RichTextPart& r, std::int32_t zoom) {
    std::int32_t changed = 0;
    {
        LayoutDc dc(r);
        RtfDcScope scope(*r.document, dc.Get());
        changed = RtfSetProperty(*r.document, zoom, 0, PropertyZoom);
    }
    if (!changed) return;
    RtfObjectUpdateScrollBars(o);
    Redisplay(o, r);
}

std::int32_t SetZoom(RunObject* o, std::intptr_t value, std::intptr_t) {
    if (RichTextPart* r = PartWithDocument(o)) ApplyZoom(o, *r, IntValue(value));
    return 0;
}

std::int32_t ClearSelection(RunObject* o, std::intptr_t, std::intptr_t) {
    RichTextPart* r = PartWithDocument(o);
    if (!r) return 0;
    r->document->selection.clear();
    Redisplay(o, *r);
    return 0;
}

template <RtfFindMode Mode> std::int32_t Find(RunObject* o, std::intptr_t text, std::intptr_t wholeWord) {
    RichTextPart* r = PartWithDocument(o);
    if (!r) return 0;
    if (Mode == RtfFindMode::Next)
        RtfFind(*r->document, r->document->search.text, r->document->search.wholeWord, Mode);
    else
        RtfFind(*r->document, Narrow(StringValue(text), SearchBytes), IntValue(wholeWord) != 0, Mode);
    Redisplay(o, *r);
    return 0;
}

// Selection actions: a selection that took place redraws the object.
template <bool (*Choose)(RichTextPart&, std::int32_t, std::int32_t)>
std::int32_t Selecting(RunObject* o, std::intptr_t a, std::intptr_t b) {
    RichTextPart* r = PartWithDocument(o);
    if (r && Choose(*r, IntValue(a), IntValue(b))) Redisplay(o, *r);
    return 0;
}

bool ChooseWord(RichTextPart& r, std::int32_t n, std::int32_t) {
    return SelectWords(r, n, n);
}
bool ChooseLine(RichTextPart& r, std::int32_t n, std::int32_t) {
    return SelectLine(r, n);
}
bool ChooseParagraph(RichTextPart& r, std::int32_t n, std::int32_t) {
    return SelectParagraph(r, n);
}
// One page: only page 1 is there.
bool ChoosePage(RichTextPart& r, std::int32_t n, std::int32_t) {
    return n == 1 && SelectPage(r);
}
bool ChooseFirstPage(RichTextPart& r, std::int32_t, std::int32_t) {
    return SelectPage(r);
}
bool ChooseWords(RichTextPart& r, std::int32_t a, std::int32_t b) {
    return SelectWords(r, a, b);
}

bool CursorOn(RichTextPart& r, std::int32_t n) {
    if (n < 1 || n > RtfCountWords(*r.document)) return false;
    r.document->cursor = RtfWordCursor{true, n};
    return true;
}
bool ShowCursor(RichTextPart& r, std::int32_t n, std::int32_t) {
    return CursorOn(r, n);
}
bool CursorBack(RichTextPart& r, std::int32_t, std::int32_t) {
    return r.document->cursor.word > 1 && CursorOn(r, r.document->cursor.word - 1);
}
bool CursorForward(RichTextPart& r, std::int32_t, std::int32_t) {
    return CursorOn(r, r.document->cursor.word + 1);
}
bool HideCursor(RichTextPart& r, std::int32_t, std::int32_t) {
    r.document->cursor = RtfWordCursor{};
    return true;
}

void Format(RunObject* o, const RtfFormatChange& change) {
    RichTextPart* r = PartWithDocument(o);
    if (!r) return;
    RtfDocument& d = *r->document;
    {
        LayoutDc dc(*r);
        RtfDcScope scope(d, dc.Get());
        for (const RtfRange& range : d.selection) {
            const RECT changed = RtfApplyFormat(d, range, change);
            if (IsRectEmpty(&d.damaged))
                d.damaged = changed;
            else if (!IsRectEmpty(&changed))
                UnionRect(&d.damaged, &d.damaged, &changed);
        }
    }
    RtfObjectUpdateScrollBars(o);
    Redisplay(o, *r);
}

template <std::uint32_t Flag> std::int32_t FlagOn(RunObject* o, std::intptr_t, std::intptr_t) {
    RtfFormatChange change;
    change.mask = change.flags = Flag;
    Format(o, change);
    return 0;
}

// Reset: italic, underline, outline, 0x80, 0x100, 0x200 and both colours off, and the paragraphs to the
// left; bold, strike-through and capitals keep their state.
std::int32_t ResetFormat(RunObject* o, std::intptr_t, std::intptr_t) {
    RtfFormatChange change;
    change.mask = 0xFC6;
    change.alignment = AlignLeft;
    Format(o, change);
    return 0;
}

// The colour-table index of an event's colour in the object's document.
std::int16_t ColourOf(RunObject* o, std::intptr_t value) {
    RichTextPart* r = PartWithDocument(o);
    return r ? RtfColorIndex(*r->document, static_cast<COLORREF>(value)) : 0;
}

// A flag on with its colour, an event's colour taken into the document's table.
template <std::uint32_t Flag, std::int16_t RtfCharFormat::*Field>
std::int32_t ColourOn(RunObject* o, std::intptr_t value, std::intptr_t) {
    RtfFormatChange change;
    change.mask = change.flags = Flag;
    change.values.*Field = ColourOf(o, value);
    Format(o, change);
    return 0;
}

std::int32_t Outline(RunObject* o, std::intptr_t colour, std::intptr_t thickness) {
    RtfFormatChange change;
    change.mask = change.flags = RtfOutline;
    change.values.outlineColour = ColourOf(o, colour);
    change.values.outlineThickness = static_cast<std::int16_t>(std::clamp(IntValue(thickness), 1, 32767));
    Format(o, change);
    return 0;
}

std::int32_t RedrawAction(RunObject* o, std::intptr_t, std::intptr_t) {
    if (RichTextPart* r = PartWithDocument(o)) Redisplay(o, *r);
    return 0;
}

std::int32_t Nothing(RunObject*, std::intptr_t, std::intptr_t) {
    return 0;
}

std::int32_t InsertString(RunObject* o, std::intptr_t text, std::intptr_t) {
    RichTextPart* r = PartWithDocument(o);
    if (!r) return 0;
    const std::string bytes = Narrow(StringValue(text));
    if (!InsertRtf(o, *r, Bytes(bytes))) return 0;
    Redisplay(o, *r);
    return 1;
}

std::int32_t LoadFile(RunObject* o, std::intptr_t path, std::intptr_t) {
    RichTextPart* r = RichTextOf(o);
    std::vector<std::uint8_t> bytes;
    const std::u16string name(StringValue(path));
    if (!r || !ReadWholeFile(name.c_str(), bytes) || !LoadRtf(o, *r, bytes)) return 0;
    Redisplay(o, *r);
    return 1;
}

std::int32_t InsertFile(RunObject* o, std::intptr_t path, std::intptr_t) {
    RichTextPart* r = PartWithDocument(o);
    std::vector<std::uint8_t> bytes;
    const std::u16string name(StringValue(path));
    if (!r || r->document->selection.empty() || !ReadWholeFile(name.c_str(), bytes) ||
        !InsertRtf(o, *r, bytes))
        return 0;
    Redisplay(o, *r);
    return 1;
}

constexpr std::array<Action, 35> Actions{
    SetScroll<false>,                                    // 80
    SetScroll<true>,                                     // 81
    SetZoom,                                             // 82
    ClearSelection,                                      // 83
    Find<RtfFindMode::First>,                            // 84
    Find<RtfFindMode::Next>,                             // 85
    Find<RtfFindMode::All>,                              // 86
    Selecting<ChooseWord>,                               // 87
    Selecting<ChooseLine>,                               // 88
    Selecting<ChooseParagraph>,                          // 89
    Selecting<ChoosePage>,                               // 90
    Selecting<ChooseFirstPage>,                          // 91
    Selecting<ChooseWords>,                              // 92
    Nothing,                                             // 93
    Selecting<ShowCursor>,                               // 94
    ResetFormat,                                         // 95
    ColourOn<RtfTextColour, &RtfCharFormat::textColour>, // 96
    FlagOn<RtfBold>,                                     // 97
    FlagOn<RtfItalic>,                                   // 98
    FlagOn<RtfUnderline>,                                // 99
    Outline,                                             // 100
    ColourOn<RtfBackColour, &RtfCharFormat::backColour>, // 101
    ColourOn<RtfBackColour, &RtfCharFormat::backColour>, // 102
    FlagOn<RtfMarker>,                                   // 103
    ColourOn<RtfHatch, &RtfCharFormat::hatchColour>,     // 104
    FlagOn<RtfShading>,                                  // 105
    RedrawAction,                                        // 106
    Selecting<CursorBack>,                               // 107
    Selecting<CursorForward>,                            // 108
    Selecting<HideCursor>,                               // 109
    Nothing,                                             // 110
    Nothing,                                             // 111
    InsertString,                                        // 112
    LoadFile,                                            // 113
    InsertFile,                                          // 114
};

// --- expressions ---

using Expression = std::intptr_t (*)(RunObject*, const std::uint8_t*);

std::int32_t Argument() {
    StepToken();
    return EvaluateExpression()->ToInt();
}

// The frame's point under the mouse.
POINT Mouse() {
    const FrameRunState* s = CurrentRunState();
    return s ? POINT{s->mouseX, s->mouseY} : POINT{};
}

POINT FramePoint() {
    const std::int32_t x = Argument();
    const std::int32_t y = Argument();
    return POINT{x, y};
}

// The object's top-left corner in the frame.
POINT Corner(RunObject* o) {
    return POINT{o->x - o->hotSpotX, o->y - o->hotSpotY};
}

// The number of the unit under a frame point, or 0.
std::int32_t UnitAt(RunObject* o, int kind, POINT frame) {
    RichTextPart* r = PartWithDocument(o);
    if (!r) return 0;
    const RtfDocument& d = *r->document;
    const POINT corner = Corner(o);
    RtfPosition at;
    if (!RtfHitTest(d, at, kind, frame.x - corner.x + d.scrollX, frame.y - corner.y + d.scrollY)) return 0;
    switch (kind) {
    case UnitWord:
        return RtfWordNumber(d, at);
    case UnitLine:
        return RtfLineNumber(d, at);
    default:
        return at.paragraph + 1;
    }
}

template <int Kind> std::intptr_t UnderMouse(RunObject* o, const std::uint8_t*) {
    return UnitAt(o, Kind, Mouse());
}

template <int Kind> std::intptr_t AtPoint(RunObject* o, const std::uint8_t*) {
    return UnitAt(o, Kind, FramePoint());
}

// The rectangle of unit n in page pixels; numbers of 0 or less count as 1.
bool UnitRect(RunObject* o, int kind, std::int32_t n, RECT& out) {
    RichTextPart* r = PartWithDocument(o);
    if (!r) return false;
    const RtfDocument& d = *r->document;
    n = std::max(1, n);
    RtfPosition at;
    switch (kind) {
    case UnitWord:
        if (!RtfFindWord(d, n, at)) return false;
        break;
    case UnitLine:
        if (!RtfFindLine(d, n, at)) return false;
        break;
    default:
        if (n > static_cast<std::int32_t>(d.Page().paragraphs.size())) return false;
        at.paragraph = n - 1;
        break;
    }
    return RtfGetRect(d, out, at, kind);
}

enum class Measure { X, Y, Width, Height };

// A measure of unit n: in the frame (the object's place and the scroll positions counted) or in the
// document.
template <int Kind, Measure What, bool InFrame> std::intptr_t UnitMeasure(RunObject* o, const std::uint8_t*) {
    const std::int32_t n = Argument();
    RECT rect{};
    if (!UnitRect(o, Kind, n, rect)) return 0;
    const RtfDocument& d = *RichTextOf(o)->document;
    const POINT corner = Corner(o);
    switch (What) {
    case Measure::X:
        return InFrame ? corner.x + rect.left - d.scrollX : rect.left;
    case Measure::Y:
        return InFrame ? corner.y + rect.top - d.scrollY : rect.top;
    case Measure::Width:
        return rect.right - rect.left;
    default:
        return rect.bottom - rect.top;
    }
}

template <typename F> std::intptr_t WithDocument(RunObject* o, F&& f) {
    RichTextPart* r = PartWithDocument(o);
    return r ? static_cast<std::intptr_t>(f(*r->document)) : 0;
}

std::intptr_t ScrollX(RunObject* o, const std::uint8_t*) {
    return WithDocument(o, [](const RtfDocument& d) { return d.scrollX; });
}
std::intptr_t ScrollY(RunObject* o, const std::uint8_t*) {
    return WithDocument(o, [](const RtfDocument& d) { return d.scrollY; });
}
std::intptr_t PageWidth(RunObject* o, const std::uint8_t*) {
    return WithDocument(o, [](const RtfDocument& d) { return d.Page().extent.right - d.Page().extent.left; });
}
std::intptr_t PageHeight(RunObject* o, const std::uint8_t*) {
    return WithDocument(o, [](const RtfDocument& d) { return d.Page().extent.bottom - d.Page().extent.top; });
}
std::intptr_t Zoom(RunObject* o, const std::uint8_t*) {
    return WithDocument(o, [](const RtfDocument& d) { return d.zoom; });
}
std::intptr_t Memory(RunObject* o, const std::uint8_t*) {
    return WithDocument(o, [](const RtfDocument& d) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(RtfMemoryUsed(d), INT32_MAX));
    });
}
std::intptr_t CursorWord(RunObject* o, const std::uint8_t*) {
    return WithDocument(o, [](const RtfDocument& d) { return d.cursor.word; });
}

// The text of word n: at most 127 bytes, without the characters after its last letter or digit.
std::intptr_t WordText(RunObject* o, const std::uint8_t*) {
    const std::int32_t n = Argument();
    o->resultFlags |= ExpressionResultString;
    static WCHAR empty[1] = {0};
    RichTextPart* r = PartWithDocument(o);
    RtfPosition at;
    if (!r || !RtfFindWord(*r->document, n, at)) return reinterpret_cast<std::intptr_t>(empty);
    const RtfDocument& d = *r->document;
    const RtfParagraph& p = ParagraphOf(d, at);
    const RtfWord& w = p.words[static_cast<std::size_t>(at.word)];
    std::int32_t end =
        std::min<std::int32_t>(w.start + w.length, w.start + static_cast<std::int32_t>(WordTextBytes));
    while (end > w.start &&
           !LetterOrDigit(static_cast<std::uint8_t>(p.text[static_cast<std::size_t>(end - 1)]), d.codePage))
        --end;
    std::u16string text;
    for (std::int32_t i = w.start; i < end; ++i)
        text.push_back(d.byteChars[static_cast<std::uint8_t>(p.text[static_cast<std::size_t>(i)])]);
    WCHAR* copy = text.empty() ? nullptr : MakeTemporaryString(text);
    return reinterpret_cast<std::intptr_t>(copy ? copy : empty);
}

constexpr std::array<Expression, 32> Expressions{
    ScrollX,                                           // 80
    ScrollY,                                           // 81
    PageWidth,                                         // 82
    PageHeight,                                        // 83
    Zoom,                                              // 84
    UnderMouse<UnitWord>,                              // 85
    AtPoint<UnitWord>,                                 // 86
    WordText,                                          // 87
    UnitMeasure<UnitWord, Measure::X, true>,           // 88
    UnitMeasure<UnitWord, Measure::Y, true>,           // 89
    UnitMeasure<UnitWord, Measure::Width, true>,       // 90
    UnitMeasure<UnitWord, Measure::Height, true>,      // 91
    UnderMouse<UnitLine>,                              // 92
    AtPoint<UnitLine>,                                 // 93
    UnitMeasure<UnitLine, Measure::X, true>,           // 94
    UnitMeasure<UnitLine, Measure::Y, true>,           // 95
    UnitMeasure<UnitLine, Measure::Width, true>,       // 96
    UnitMeasure<UnitLine, Measure::Height, true>,      // 97
    UnderMouse<UnitParagraph>,                         // 98
    AtPoint<UnitParagraph>,                            // 99
    UnitMeasure<UnitParagraph, Measure::X, true>,      // 100
    UnitMeasure<UnitParagraph, Measure::Y, true>,      // 101
    UnitMeasure<UnitParagraph, Measure::Width, true>,  // 102
    UnitMeasure<UnitParagraph, Measure::Height, true>, // 103
    UnitMeasure<UnitWord, Measure::X, false>,          // 104
    UnitMeasure<UnitWord, Measure::Y, false>,          // 105
    UnitMeasure<UnitLine, Measure::X, false>,          // 106
    UnitMeasure<UnitLine, Measure::Y, false>,          // 107
    UnitMeasure<UnitParagraph, Measure::X, false>,     // 108
    UnitMeasure<UnitParagraph, Measure::Y, false>,     // 109
    Memory,                                            // 110
    CursorWord,                                        // 111
};

} // namespace

RichTextData ReadRichTextData(std::span<const std::uint8_t> def) {
    RichTextData data;
    const std::size_t block = DefU16(def, DefTypeData);
    if (block == 0 || block > def.size() || def.size() - block < DataText) return data;
    const std::span<const std::uint8_t> bytes = def.subspan(block);
    data.options = vtrformat::FieldAt<std::uint32_t>(bytes, DataOptions);
    data.background = vtrformat::FieldAt<std::uint32_t>(bytes, DataBackground);
    data.width = vtrformat::FieldAt<std::int16_t>(bytes, DataWidth);
    data.height = vtrformat::FieldAt<std::int16_t>(bytes, DataHeight);
    const std::uint32_t length = vtrformat::FieldAt<std::uint32_t>(bytes, DataLength);
    // A length past the definition's end leaves no text: the object then shows the empty document.
    if (length <= bytes.size() - DataText) data.text = bytes.subspan(DataText, length);
    return data;
}

RichTextPart* RichTextOf(RunObject* o) {
    if (!o || o->objectType != TypeRichText) return nullptr;
    return reinterpret_cast<RichTextPart*>(KindDataOf(o, sizeof(RichTextPart)));
}

bool RtfObjectUpdateScrollBars(RunObject* o) {
    RichTextPart* r = RichTextOf(o);
    if (!r || !r->document) return false;
    bool ok = true;
    for (const bool vertical : {true, false}) {
        HWND& bar = vertical ? r->verticalBar : r->horizontalBar;
        const std::uint32_t asked = vertical ? RtfVerticalBar : RtfHorizontalBar;
        const std::int32_t range = PageRange(*r->document, vertical);
        if (!(r->options & asked) || range <= 0) {
            DestroyBar(bar);
            continue;
        }
        if (!bar) {
            bar = CreateWindowExW(0, u"SCROLLBAR", u"", WS_CHILD | (vertical ? SBS_VERT : SBS_HORZ), 0, 0, 16,
                                  16, FrameWindowOf(o), nullptr, nullptr, nullptr);
            if (!bar) {
                ok = false;
                continue;
            }
            SetPropW(bar, BarOwner, reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(o->handle) + 1));
            MoveBar(bar, vertical ? r->verticalRect : r->horizontalRect);
        }
        const RtfDocument& d = *r->document;
        const std::int32_t view = vertical ? d.view.bottom - d.view.top : d.view.right - d.view.left;
        const std::int32_t position = std::clamp(vertical ? d.scrollY : d.scrollX, 0, range);
        SCROLLINFO info{sizeof info,
                        SIF_RANGE | SIF_PAGE | SIF_POS,
                        0,
                        range + view - 1,
                        static_cast<UINT>(std::max(1, view)),
                        position,
                        0};
        SetScrollInfo(bar, SB_CTL, &info, TRUE);
    }
    return ok;
}

void RtfFind(RtfDocument& d, std::string_view text, bool wholeWord, RtfFindMode mode) {
    if (mode != RtfFindMode::Next) {
        d.search.text.assign(text.substr(0, SearchBytes));
        d.search.wholeWord = wholeWord;
        d.search.word = 1;
    }
    const std::string needle = d.search.text;
    if (needle.empty()) return;
    std::int32_t number = 0;
    const std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        const RtfParagraph& p = paragraphs[i];
        for (std::size_t w = 0; w < p.words.size(); ++w) {
            if (++number < d.search.word) continue;
            const std::int32_t at = HitInWord(d, p, p.words[w], needle, d.search.wholeWord);
            if (at < 0) continue;
            const auto paragraph = static_cast<std::int32_t>(i);
            const std::int32_t line = std::max(0, RtfLineOfWord(p, static_cast<std::int32_t>(w)));
            d.selection.push_back(
                {RtfPosition{d.currentPage, paragraph, line, static_cast<std::int32_t>(w), at},
                 RtfPosition{d.currentPage, paragraph, line, static_cast<std::int32_t>(w),
                             at + static_cast<std::int32_t>(needle.size())}});
            if (mode != RtfFindMode::All) {
                d.search.word = number + 1;
                return;
            }
        }
    }
    d.search.word = number + 1;
}

std::uint16_t RtfObjectScrollHook(FrameRunState* s, HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!s || (message != WM_HSCROLL && message != WM_VSCROLL)) return 0;
    const auto bar = reinterpret_cast<HWND>(lParam);
    if (!bar || !IsWindow(bar)) return 0;
    // The object is found again by its handle and identifier: the bar may outlive it.
    const std::intptr_t handle = reinterpret_cast<std::intptr_t>(GetPropW(bar, BarOwner)) - 1;
    if (handle < 0 || handle >= s->maxObjects || !s->objects) return 0;
    RunObject* o = s->objects[handle].object;
    if (!o || !o->creationNumber || o->identifier != RichTextIdentifier) return 0;
    RichTextPart* r = PartWithDocument(o);
    if (!r || (bar != r->verticalBar && bar != r->horizontalBar)) return 0;
    RtfDocument& d = *r->document;
    const bool vertical = bar == r->verticalBar;
    const std::int64_t now = vertical ? d.scrollY : d.scrollX;
    const std::int64_t line = vertical ? VerticalLine : HorizontalLine;
    const std::int64_t page = vertical ? d.view.bottom - d.view.top : d.view.right - d.view.left;
    std::int64_t next = now;
    switch (LOWORD(wParam)) {
    case SB_LINEUP:
        next = now - line;
        break;
    case SB_LINEDOWN:
        next = now + line;
        break;
    case SB_PAGEUP:
        next = now - page;
        break;
    case SB_PAGEDOWN:
        next = now + page;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
        // The bar's own 32-bit track position: the message carries only 16 bits of it.
        SCROLLINFO info{sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        next = GetScrollInfo(bar, SB_CTL, &info) ? info.nTrackPos : HIWORD(wParam);
        break;
    }
    default:
        break;
    }
    next = std::clamp<std::int64_t>(next, 0, PageRange(d, vertical));
    if (next == now) return 0;
    RtfSetProperty(d, next, 0, vertical ? PropertyScrollY : PropertyScrollX);
    SetThumb(*r, vertical, static_cast<std::int32_t>(next));
    Redisplay(o, *r);
    return 0;
}

bool FrameUsesRichText(const FrameRunState&) {
    // The run state's own list of object infos is built after its hooks: the frame's are walked.
    for (const ObjectInfo* info = FirstFrameObjectInfo(); info; info = NextFrameObjectInfo())
        if (info->objectType == TypeRichText) return true;
    return false;
}

void WriteRichTextState(RunObject* o, std::vector<std::uint8_t>& out) {
    const RichTextPart* r = RichTextOf(o);
    if (!r || !r->document) return;
    const RtfDocument& d = *r->document;
    for (const std::int32_t v : {d.scrollX, d.scrollY, d.zoom}) {
        const std::size_t at = out.size();
        out.resize(at + 4);
        vtrformat::PutI32(out.data() + at, v);
    }
}

bool ReadRichTextState(RunObject* o, std::span<const std::uint8_t> state) {
    RichTextPart* r = PartWithDocument(o);
    if (!r || state.size() < RichTextStateBytes) return false;
    const std::int32_t x = vtrformat::GetI32(state.data());
    const std::int32_t y = vtrformat::GetI32(state.data() + 4);
    const std::int32_t zoom = vtrformat::GetI32(state.data() + 8);
    // The zoom first, as it scales the scroll positions in force.
    ApplyZoom(o, *r, zoom);
    SetScroll<false>(o, x, 0);
    SetScroll<true>(o, y, 0);
    return true;
}

void InstallRichTextRoutines() {
    ObjectKindRoutines& kind = KindRoutines()[TypeRichText];
    kind.recordSize = RecordSize;
    kind.create = Create;
    kind.handle = Handle;
    kind.display = Display;
    kind.destroy = Destroy;
    kind.zone = Zone;
    DecodedRoutines routines;
    routines.actions = Actions.data();
    routines.actionCount = static_cast<std::int32_t>(Actions.size());
    routines.expressions = Expressions.data();
    routines.expressionCount = static_cast<std::int32_t>(Expressions.size());
    SetDecodedRoutines(TypeRichText, routines);
}

} // namespace vtrrt
