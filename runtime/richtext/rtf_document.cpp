#include "richtext/rtf_document.h"

#include "win32/kernel.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int32_t UnmeasuredWidth = -1;

// The UTF-16 character of every byte of a code page, made once per code page; bytes it does not map
// become "?".
const std::array<char16_t, 256>& ByteCharsOf(UINT codePage) {
    static std::mutex lock;
    static std::map<UINT, std::array<char16_t, 256>> tables;
    std::lock_guard guard(lock);
    auto [entry, added] = tables.try_emplace(codePage);
    if (added) {
        std::array<char16_t, 256>& table = entry->second;
        table[0] = 0;
        for (int b = 1; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            WCHAR wide = 0;
            table[static_cast<std::size_t>(b)] =
                MultiByteToWideChar(codePage, 0, &byte, 1, &wide, 1) == 1 ? wide : u'?';
        }
    }
    return entry->second;
}

std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

bool HiddenFromView(const RtfDocument& d, const RtfRun& run) {
    return (run.flags & RtfHidden) && !(d.flags & RtfShowSymbols);
}

} // namespace

char RtfUpper(char c, UINT codePage) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') return static_cast<char>(b - 32);
    if (codePage != 1252) return c;
    if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 32);
    switch (b) {
    case 0x9A:
    case 0x9C:
    case 0x9E:
        return static_cast<char>(b - 16);
    case 0xFF:
        return static_cast<char>(0x9F);
    default:
        return c;
    }
}

namespace {

// What one word measures, in pixels of the realised fonts.
struct Measured {
    std::int64_t width = 0;
    std::int32_t ascent = 0;
    std::int32_t height = 0;
};

Measured MeasureWord(RtfDocument& d, RtfParagraph& p, const RtfWord& w, std::int64_t x) {
    Measured m;
    std::int32_t r = RtfRunAt(p, w.start);
    for (std::int32_t i = w.start; i < w.start + w.length && r >= 0; ++i) {
        while (r < static_cast<std::int32_t>(p.runs.size()) &&
               i >= p.runs[static_cast<std::size_t>(r)].start + p.runs[static_cast<std::size_t>(r)].count)
            ++r;
        if (r >= static_cast<std::int32_t>(p.runs.size())) break;
        RtfRun& run = p.runs[static_cast<std::size_t>(r)];
        const auto byte = static_cast<std::uint8_t>(p.text[static_cast<std::size_t>(i)]);
        m.width += RtfCharWidth(d, p, run, byte, x + PixelsToTwips(m.width, d.zoom));
        if (HiddenFromView(d, run)) continue;
        if (run.realFont < 0) run.realFont = RtfRealizeFont(d, run);
        const RtfRealFont& f = d.realFonts[static_cast<std::size_t>(run.realFont)];
        m.ascent = std::max(m.ascent, f.ascent);
        m.height = std::max(m.height, f.height);
    }
    return m;
}

// A word that ends with a line break inside its paragraph (\line) sends the next word to a new line.
bool EndsWithBreak(const RtfParagraph& p, const RtfWord& w) {
    const std::size_t last = static_cast<std::size_t>(w.start + w.length - 1);
    return w.length > 0 && last + 1 < p.text.size() && p.text[last] == '\n';
}

void SplitRunAt(RtfParagraph& p, std::int32_t offset) {
    const std::int32_t r = RtfRunAt(p, offset);
    if (r < 0) return;
    RtfRun& run = p.runs[static_cast<std::size_t>(r)];
    if (run.start == offset) return;
    RtfRun tail = run;
    tail.start = offset;
    tail.count = run.start + run.count - offset;
    run.count = offset - run.start;
    p.runs.insert(p.runs.begin() + r + 1, tail);
}

void MergeEqualRuns(RtfParagraph& p) {
    std::vector<RtfRun> merged;
    for (const RtfRun& run : p.runs) {
        if (!merged.empty() && static_cast<const RtfCharFormat&>(merged.back()) == run) {
            merged.back().count += run.count;
            continue;
        }
        merged.push_back(run);
    }
    p.runs.swap(merged);
}

void ReleaseFont(RtfDocument& d, RtfRun& run) {
    if (run.realFont >= 0 && run.realFont < static_cast<std::int32_t>(d.realFonts.size()))
        --d.realFonts[static_cast<std::size_t>(run.realFont)].uses;
    run.realFont = -1;
}

void Unite(RECT& into, const RECT& r) {
    if (IsRectEmpty(&into))
        into = r;
    else
        UnionRect(&into, &into, &r);
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

RtfParagraphFormat RtfDefaultParagraph(std::int32_t tabTwips) {
    RtfParagraphFormat f;
    for (int i = 0; i < TabStopCount; ++i)
        f.tabs[static_cast<std::size_t>(i)].position = Clamp32(std::int64_t{i + 1} * tabTwips);
    return f;
}

void RtfCopyFormatValues(RtfCharFormat& to, const RtfCharFormat& from, std::uint32_t flags) {
    if (flags & RtfOutline) {
        to.outlineThickness = from.outlineThickness;
        to.outlineColour = from.outlineColour;
    }
    if (flags & RtfHatch) to.hatchColour = from.hatchColour;
    if (flags & RtfTextColour) to.textColour = from.textColour;
    if (flags & RtfBackColour) to.backColour = from.backColour;
    if (flags & RtfFontSet) to.font = from.font;
    if (flags & RtfSizeSet) to.size = from.size;
}

std::int32_t PixelsToTwips(std::int64_t pixels, std::int32_t zoom) {
    if (zoom == 100) return Clamp32(pixels * TwipsPerPixel);
    return Clamp32(pixels * TwipsPerPixel * 100 / std::max(1, zoom));
}

RtfDocument::RtfDocument(UINT page)
    : background(GetSysColor(COLOR_WINDOW)), codePage(page), byteChars(ByteCharsOf(page)) {
    pages.emplace_back();
}

RtfDocument::~RtfDocument() {
    ForgetFonts();
    if (ownDc_) DeleteDC(ownDc_);
}

void RtfDocument::ForgetFonts() {
    for (RtfRealFont& f : realFonts)
        if (f.font) DeleteFont(f.font);
    realFonts.clear();
    for (RtfPage& page : pages)
        for (RtfParagraph& p : page.paragraphs)
            for (RtfRun& run : p.runs)
                run.realFont = -1;
}

HDC RtfDocument::MeasuringDc() {
    if (dc) return dc;
    if (!ownDc_) ownDc_ = CreateCompatibleDC(nullptr);
    return ownDc_;
}

std::unique_ptr<RtfDocument> RtfNewContext(UINT codePage) {
    return std::make_unique<RtfDocument>(codePage);
}

std::int32_t RtfSetProperty(RtfDocument& d, std::int64_t a, std::int64_t b, int code) {
    const auto set = [](auto& field, std::int64_t value) {
        const auto v = static_cast<std::remove_reference_t<decltype(field)>>(Clamp32(value));
        if (field == v) return 0;
        field = v;
        return 1;
    };
    switch (code) {
    case PropertyMoveView: {
        const std::int32_t width = d.view.right - d.view.left, height = d.view.bottom - d.view.top;
        const RECT moved{Clamp32(a), Clamp32(b), Clamp32(a + width), Clamp32(b + height)};
        if (EqualRect(&moved, &d.view)) return 0;
        d.view = moved;
        return 1;
    }
    case PropertyViewSize: {
        const std::int32_t width = Clamp32(std::max<std::int64_t>(0, a));
        const std::int32_t height = Clamp32(std::max<std::int64_t>(0, b));
        if (d.view.right - d.view.left == width && d.view.bottom - d.view.top == height) return 0;
        const bool wider = d.view.right - d.view.left != width;
        d.view.right = Clamp32(std::int64_t{d.view.left} + width);
        d.view.bottom = Clamp32(std::int64_t{d.view.top} + height);
        // Lines break at the view's width.
        if (wider) RtfLayoutDocument(d);
        return 1;
    }
    case PropertyScrollX:
        return set(d.scrollX, a);
    case PropertyScrollY:
        return set(d.scrollY, a);
    case PropertyScroll:
        return set(d.scrollX, a) | set(d.scrollY, b);
    case PropertyZoom: {
        if (a < MinimumZoom || a > MaximumZoom || a == d.zoom) return 0;
        const std::int64_t old = d.zoom;
        d.scrollX = Clamp32(d.scrollX * a / old);
        d.scrollY = Clamp32(d.scrollY * a / old);
        d.zoom = static_cast<std::int32_t>(a);
        d.ForgetFonts();
        RtfLayoutDocument(d);
        return 1;
    }
    case PropertyBackground:
        return set(d.background, a);
    case PropertyPalette: {
        const auto palette = reinterpret_cast<HPALETTE>(static_cast<std::intptr_t>(a));
        if (d.palette == palette) return 0;
        d.palette = palette;
        return 1;
    }
    case PropertyBlack:
        return set(d.black, a);
    case PropertyGetFlags:
        return static_cast<std::int32_t>(d.flags);
    default: {
        const auto flags = static_cast<std::uint32_t>(a);
        if (d.flags == flags) return 0;
        const bool symbols = (d.flags ^ flags) & RtfShowSymbols;
        d.flags = flags;
        // Hidden text takes room only while it is shown.
        if (symbols) RtfLayoutDocument(d);
        return 1;
    }
    }
}

std::int32_t RtfRealizeFont(RtfDocument& d, const RtfCharFormat& format) {
    LOGFONTW lf{};
    const std::int64_t halfPoints = format.size > 0 ? format.size : DefaultHalfPoints;
    std::int64_t height = std::max<std::int64_t>(1, halfPoints * 25 / 36);
    if (d.zoom != 100) height = height * d.zoom / 100;
    lf.lfHeight = -static_cast<LONG>(std::clamp<std::int64_t>(height, 1, MaximumFontPixels));
    lf.lfWeight = (format.flags & RtfBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (format.flags & RtfItalic) ? 1 : 0;
    lf.lfUnderline = (format.flags & RtfUnderline) ? 1 : 0;
    lf.lfStrikeOut = (format.flags & RtfStrikeOut) ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = PROOF_QUALITY;
    if (format.font >= 0 && format.font < static_cast<std::int32_t>(d.fonts.size())) {
        const RtfFontEntry& entry = d.fonts[static_cast<std::size_t>(format.font)];
        lf.lfPitchAndFamily = entry.family;
        if (!entry.name.empty())
            MultiByteToWideChar(d.codePage, 0, entry.name.data(), static_cast<int>(entry.name.size()),
                                lf.lfFaceName, LF_FACESIZE - 1);
    }
    for (std::size_t i = 0; i < d.realFonts.size(); ++i)
        if (std::memcmp(&d.realFonts[i].logFont, &lf, sizeof lf) == 0) {
            ++d.realFonts[i].uses;
            return static_cast<std::int32_t>(i);
        }
    RtfRealFont f;
    f.logFont = lf;
    f.font = CreateFontIndirectW(&lf);
    f.uses = 1;
    const HDC dc = d.MeasuringDc();
    const HFONT chosen = f.font ? f.font : GetStockFont(SYSTEM_FONT);
    const HFONT previous = SelectFont(dc, chosen);
    TEXTMETRICW m{};
    GetTextMetricsW(dc, &m);
    f.height = m.tmHeight;
    f.ascent = m.tmAscent;
    INT width = 0;
    GetCharWidthW(dc, m.tmDefaultChar, m.tmDefaultChar, &width);
    f.defaultWidth = width;
    f.first = std::min<int>(m.tmFirstChar, 255);
    const int last = std::min<int>(m.tmLastChar, 255);
    // Each byte's width is measured when first asked for: the same widths, without rendering every
    // character of a large font that a document uses a few of.
    f.widths.assign(static_cast<std::size_t>(std::max(0, last - f.first + 1)), UnmeasuredWidth);
    if (previous) SelectFont(dc, previous);
    d.realFonts.push_back(std::move(f));
    return static_cast<std::int32_t>(d.realFonts.size() - 1);
}

void RtfSplitWords(RtfParagraph& p) {
    p.words.clear();
    const auto size = static_cast<std::int32_t>(p.text.size());
    std::int32_t start = 0;
    const auto blank = [&](std::int32_t i) { return p.text[static_cast<std::size_t>(i)] == ' '; };
    for (std::int32_t i = 0; i < size;) {
        const char c = p.text[static_cast<std::size_t>(i)];
        // A tab, a line break and the final "\n" are words of their own.
        if (c == '\t' || c == '\n') {
            if (i > start) p.words.push_back({0, 0, 0, 0, start, i - start});
            p.words.push_back({0, 0, 0, 0, i, 1});
            start = ++i;
            continue;
        }
        if (i > start && !blank(i) && blank(i - 1)) {
            p.words.push_back({0, 0, 0, 0, start, i - start});
            start = i;
        }
        ++i;
    }
    if (size > start) p.words.push_back({0, 0, 0, 0, start, size - start});
}

std::int32_t RtfCharWidth(RtfDocument& d, const RtfParagraph& p, RtfRun& run, std::uint8_t byte,
                          std::int64_t x) {
    if (HiddenFromView(d, run)) return 0;
    if (byte == '\t') {
        const RtfParagraphFormat& f = p.format;
        std::int64_t target = x;
        if (x < f.leftIndent) {
            target = f.leftIndent;
        } else {
            for (const RtfTabStop& stop : f.tabs)
                if (stop.position > x) {
                    target = stop.position;
                    break;
                }
        }
        if (target == x) return 0;
        return std::max(1, TwipsToPixels(target - x, d.zoom));
    }
    if (run.realFont < 0) run.realFont = RtfRealizeFont(d, run);
    RtfRealFont& f = d.realFonts[static_cast<std::size_t>(run.realFont)];
    const std::int32_t at = byte - f.first;
    if (at < 0 || at >= static_cast<std::int32_t>(f.widths.size())) return f.defaultWidth;
    std::int32_t& width = f.widths[static_cast<std::size_t>(at)];
    if (width == UnmeasuredWidth) {
        const HDC dc = d.MeasuringDc();
        const HFONT previous = SelectFont(dc, f.font ? f.font : GetStockFont(SYSTEM_FONT));
        const char16_t c = d.byteChars[byte];
        INT measured = 0;
        width = GetCharWidthW(dc, c, c, &measured) ? measured : f.defaultWidth;
        if (previous) SelectFont(dc, previous);
    }
    return width;
}

void RtfLayoutParagraph(RtfDocument& d, RtfParagraph& p) {
    const RtfParagraphFormat& f = p.format;
    p.lines.clear();
    const std::int64_t g = std::int64_t{PixelsToTwips(d.view.right - d.view.left, d.zoom)} - f.rightIndent;
    std::int64_t s = std::int64_t{f.firstIndent} + f.leftIndent;
    std::int64_t e = s;
    std::int64_t y = 0;
    RtfLine line;
    const auto close = [&] {
        std::int32_t ascent = 0;
        for (std::int32_t i = line.firstWord; i < line.firstWord + line.wordCount; ++i) {
            const RtfWord& w = p.words[static_cast<std::size_t>(i)];
            line.height = std::max(line.height, w.height);
            ascent = std::max(ascent, w.ascent);
        }
        for (std::int32_t i = line.firstWord; i < line.firstWord + line.wordCount; ++i)
            p.words[static_cast<std::size_t>(i)].ascent = ascent;
        line.y = Clamp32(y);
        y += line.height;
        const std::int64_t width = e - s;
        line.width = Clamp32(width);
        const std::int64_t room = g - f.leftIndent - width;
        switch (f.alignment) {
        case AlignRight:
            line.x = Clamp32(std::max<std::int64_t>(0, room));
            break;
        case AlignCentre:
            line.x = Clamp32(std::max<std::int64_t>(0, room / 2));
            break;
        default:
            line.x = Clamp32(s - f.leftIndent);
            break;
        }
        p.lines.push_back(line);
    };
    bool breakAfter = false;
    for (std::size_t i = 0; i < p.words.size(); ++i) {
        RtfWord& w = p.words[i];
        Measured m = MeasureWord(d, p, w, e);
        std::int64_t width = PixelsToTwips(m.width, d.zoom);
        if (line.wordCount > 0 && (breakAfter || e + width > g)) {
            close();
            line = RtfLine{};
            line.firstWord = static_cast<std::int32_t>(i);
            s = f.leftIndent;
            e = s;
            // A tab measures again from where the new line starts.
            m = MeasureWord(d, p, w, e);
            width = PixelsToTwips(m.width, d.zoom);
        }
        w.x = Clamp32(e - s);
        w.width = Clamp32(width);
        w.ascent = PixelsToTwips(m.ascent, d.zoom);
        w.height = PixelsToTwips(m.height, d.zoom);
        e += width;
        ++line.wordCount;
        breakAfter = EndsWithBreak(p, w);
    }
    if (line.wordCount > 0) close();
    std::int64_t widest = 0;
    for (const RtfLine& l : p.lines)
        widest = std::max<std::int64_t>(widest, std::int64_t{l.x} + l.width);
    p.width = Clamp32(widest);
    p.left = f.leftIndent;
    p.top = f.spaceBefore;
    p.height = Clamp32(std::int64_t{f.spaceBefore} + f.spaceAfter + y);
}

void RtfFinishParagraph(RtfDocument& d, RtfParagraph& p) {
    if (!p.runs.empty()) {
        RtfRun& mark = p.runs.back();
        ReleaseFont(d, mark);
        if (p.runs.size() > 1) {
            const RtfRun& before = p.runs[p.runs.size() - 2];
            mark.font = before.font;
            mark.size = before.size;
        }
        mark.flags = RtfParagraphMarkFlags;
    }
    RtfSplitWords(p);
    RtfLayoutParagraph(d, p);
    if (!d.placeLater) RtfPlacePages(d);
}

void RtfPlacePages(RtfDocument& d) {
    for (RtfPage& page : d.pages) {
        std::int64_t y = 0;
        LONG right = 0;
        for (RtfParagraph& p : page.paragraphs) {
            p.pageTop = y;
            p.rect = RECT{TwipsToPixels(p.left, d.zoom), TwipsToPixels(y, d.zoom),
                          TwipsToPixels(std::int64_t{p.left} + p.width, d.zoom),
                          TwipsToPixels(y + p.height, d.zoom)};
            y += p.height;
            right = std::max(right, p.rect.right);
        }
        page.extent = RECT{0, 0, right, TwipsToPixels(y, d.zoom)};
    }
}

void RtfLayoutDocument(RtfDocument& d) {
    for (RtfPage& page : d.pages)
        for (RtfParagraph& p : page.paragraphs)
            RtfLayoutParagraph(d, p);
    RtfPlacePages(d);
}

void RtfAppendText(RtfDocument& d, RtfParagraph& p, std::string_view text, const RtfCharFormat& format) {
    if (text.empty()) return;
    if (p.text.size() + text.size() > INT32_MAX) return;
    if (p.runs.empty() || static_cast<const RtfCharFormat&>(p.runs.back()) != format) {
        RtfRun run;
        static_cast<RtfCharFormat&>(run) = format;
        run.start = static_cast<std::int32_t>(p.text.size());
        p.runs.push_back(run);
    }
    const std::size_t at = p.text.size();
    p.text.append(text);
    if (format.flags & (RtfCaps | RtfSmallCaps))
        for (std::size_t i = at; i < p.text.size(); ++i)
            p.text[i] = RtfUpper(p.text[i], d.codePage);
    p.runs.back().count += static_cast<std::int32_t>(text.size());
}

bool RtfSetPlainText(RtfDocument& d, std::span<const std::uint8_t> text) {
    const RtfCharFormat plain;
    RtfPage& page = d.Page();
    std::string pending;
    bool open = false;
    const auto finish = [&] {
        page.paragraphs.emplace_back();
        RtfParagraph& p = page.paragraphs.back();
        p.format = RtfDefaultParagraph(DefaultTabTwips);
        RtfAppendText(d, p, pending, plain);
        RtfCharFormat mark = plain;
        mark.flags |= RtfEndOfParagraph;
        RtfAppendText(d, p, "\n", mark);
        RtfFinishParagraph(d, p);
        pending.clear();
        open = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t c = text[i];
        if (c == '\t' || c >= 32) {
            pending.push_back(static_cast<char>(c));
            open = true;
        } else if (c == '\r' || c == '\n' || c == '\f') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            finish();
        } else {
            return false;
        }
    }
    if (open) finish();
    return true;
}

RECT RtfApplyFormat(RtfDocument& d, const RtfRange& range, const RtfFormatChange& change) {
    RECT united{};
    RtfRange r = range;
    const auto before = [](const RtfPosition& a, const RtfPosition& b) {
        return a.paragraph != b.paragraph ? a.paragraph < b.paragraph : a.offset < b.offset;
    };
    if (before(r.end, r.start)) std::swap(r.start, r.end);
    std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    const auto count = static_cast<std::int32_t>(paragraphs.size());
    const std::int32_t first = std::max(0, r.start.paragraph), last = std::min(count - 1, r.end.paragraph);
    for (std::int32_t i = first; i <= last; ++i) {
        RtfParagraph& p = paragraphs[static_cast<std::size_t>(i)];
        const auto size = static_cast<std::int32_t>(p.text.size());
        const std::int32_t from = i == r.start.paragraph ? std::clamp(r.start.offset, 0, size) : 0;
        const std::int32_t to = i == r.end.paragraph ? std::clamp(r.end.offset, 0, size) : size;
        SplitRunAt(p, from);
        SplitRunAt(p, to);
        for (RtfRun& run : p.runs) {
            if (run.start < from || run.start + run.count > to || run.count == 0) continue;
            ReleaseFont(d, run);
            run.flags = (run.flags & ~change.mask) | (change.flags & change.mask);
            RtfCopyFormatValues(run, change.values, change.mask);
        }
        MergeEqualRuns(p);
        if (change.alignment >= 0) p.format.alignment = change.alignment;
        RtfSplitWords(p);
        RtfLayoutParagraph(d, p);
    }
    RtfPlacePages(d);
    for (std::int32_t i = first; i <= last; ++i)
        Unite(united, paragraphs[static_cast<std::size_t>(i)].rect);
    return united;
}

bool RtfInsertDocument(RtfDocument& d, const RtfPosition& at, const RtfDocument& other) {
    const std::vector<RtfParagraph>& source = other.Page().paragraphs;
    if (source.empty()) return true;
    std::vector<std::int16_t> fontMap, colourMap;
    for (const RtfFontEntry& f : other.fonts) {
        auto found = std::find_if(d.fonts.begin(), d.fonts.end(),
                                  [&](const RtfFontEntry& mine) { return SameName(mine.name, f.name); });
        if (found == d.fonts.end()) {
            if (d.fonts.size() >= INT16_MAX) return false;
            d.fonts.push_back({f.name, f.family, -1});
            found = d.fonts.end() - 1;
        }
        fontMap.push_back(static_cast<std::int16_t>(found - d.fonts.begin()));
    }
    for (const RtfColorEntry& c : other.colors)
        colourMap.push_back(RtfColorIndex(d, c.value));
    const auto mapped = [&](RtfRun run, std::int32_t shift) {
        const auto map = [](const std::vector<std::int16_t>& table, std::int16_t index) {
            return index >= 0 && static_cast<std::size_t>(index) < table.size()
                       ? table[static_cast<std::size_t>(index)]
                       : std::int16_t{0};
        };
        run.font = map(fontMap, run.font);
        run.textColour = map(colourMap, run.textColour);
        run.backColour = map(colourMap, run.backColour);
        run.outlineColour = map(colourMap, run.outlineColour);
        run.hatchColour = map(colourMap, run.hatchColour);
        run.realFont = -1;
        run.start += shift;
        return run;
    };
    const auto copy = [&](const RtfParagraph& from) {
        RtfParagraph p;
        p.format = from.format;
        p.text = from.text;
        for (const RtfRun& run : from.runs)
            p.runs.push_back(mapped(run, 0));
        return p;
    };
    std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    std::vector<RtfParagraph> made;
    std::size_t index = paragraphs.size();
    if (!paragraphs.empty()) {
        index = static_cast<std::size_t>(
            std::clamp<std::int32_t>(at.paragraph, 0, static_cast<std::int32_t>(paragraphs.size()) - 1));
        RtfParagraph& target = paragraphs[index];
        const auto size = static_cast<std::int32_t>(target.text.size());
        const std::int32_t split = std::clamp(at.offset, 0, size);
        SplitRunAt(target, split);
        // The part before the position takes the first inserted paragraph's text; the rest follows the
        // inserted paragraphs as a paragraph of its own.
        RtfParagraph head, tail;
        head.format = tail.format = target.format;
        head.text = target.text.substr(0, static_cast<std::size_t>(split));
        tail.text = target.text.substr(static_cast<std::size_t>(split));
        for (RtfRun run : target.runs) {
            ReleaseFont(d, run);
            if (run.start < split) {
                head.runs.push_back(run);
            } else {
                run.start -= split;
                tail.runs.push_back(run);
            }
        }
        if (head.text.empty()) {
            head = copy(source.front());
        } else {
            const auto shift = static_cast<std::int32_t>(head.text.size());
            head.text += source.front().text;
            for (const RtfRun& run : source.front().runs)
                head.runs.push_back(mapped(run, shift));
        }
        made.push_back(std::move(head));
        for (std::size_t i = 1; i < source.size(); ++i)
            made.push_back(copy(source[i]));
        if (!tail.text.empty()) made.push_back(std::move(tail));
        paragraphs.erase(paragraphs.begin() + static_cast<std::ptrdiff_t>(index));
    } else {
        for (const RtfParagraph& p : source)
            made.push_back(copy(p));
    }
    for (RtfParagraph& p : made) {
        RtfSplitWords(p);
        RtfLayoutParagraph(d, p);
    }
    paragraphs.insert(paragraphs.begin() + static_cast<std::ptrdiff_t>(index),
                      std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
    RtfPlacePages(d);
    return true;
}

std::int16_t RtfColorIndex(RtfDocument& d, COLORREF colour) {
    const std::uint32_t value = 0x02000000 | (colour & 0xFFFFFF);
    for (std::size_t i = 0; i < d.colors.size(); ++i)
        if (d.colors[i].value == value) return static_cast<std::int16_t>(i);
    if (d.colors.size() >= INT16_MAX) return 0;
    d.colors.push_back({value, -1});
    return static_cast<std::int16_t>(d.colors.size() - 1);
}

std::int32_t RtfRunAt(const RtfParagraph& p, std::int32_t offset) {
    for (std::size_t i = 0; i < p.runs.size(); ++i)
        if (offset >= p.runs[i].start && offset < p.runs[i].start + p.runs[i].count)
            return static_cast<std::int32_t>(i);
    return -1;
}

std::int32_t RtfWordAt(const RtfParagraph& p, std::int32_t offset) {
    for (std::size_t i = 0; i < p.words.size(); ++i)
        if (offset >= p.words[i].start && offset < p.words[i].start + p.words[i].length)
            return static_cast<std::int32_t>(i);
    return -1;
}

std::int32_t RtfLineOfWord(const RtfParagraph& p, std::int32_t word) {
    for (std::size_t i = 0; i < p.lines.size(); ++i)
        if (word >= p.lines[i].firstWord && word < p.lines[i].firstWord + p.lines[i].wordCount)
            return static_cast<std::int32_t>(i);
    return -1;
}

bool RtfStepBack(const RtfDocument& d, RtfPosition& pos) {
    const std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    if (pos.paragraph < 0 || pos.paragraph >= static_cast<std::int32_t>(paragraphs.size())) return false;
    if (pos.offset > 0) {
        --pos.offset;
    } else {
        // One page: before the first paragraph is the document's start.
        if (pos.paragraph == 0) return false;
        --pos.paragraph;
        pos.offset = std::max<std::int32_t>(
            0,
            static_cast<std::int32_t>(paragraphs[static_cast<std::size_t>(pos.paragraph)].text.size()) - 1);
    }
    const RtfParagraph& p = paragraphs[static_cast<std::size_t>(pos.paragraph)];
    pos.word = std::max(0, RtfWordAt(p, pos.offset));
    pos.line = std::max(0, RtfLineOfWord(p, pos.word));
    return true;
}

std::int32_t RtfCountWords(const RtfDocument& d) {
    std::int64_t n = 0;
    for (const RtfParagraph& p : d.Page().paragraphs)
        n += static_cast<std::int64_t>(p.words.size());
    return Clamp32(n);
}

bool RtfFindWord(const RtfDocument& d, std::int32_t number, RtfPosition& out) {
    if (number < 1) return false;
    std::int64_t left = number - 1;
    const std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        const RtfParagraph& p = paragraphs[i];
        if (left < static_cast<std::int64_t>(p.words.size())) {
            const auto word = static_cast<std::int32_t>(left);
            out =
                RtfPosition{d.currentPage, static_cast<std::int32_t>(i), std::max(0, RtfLineOfWord(p, word)),
                            word, p.words[static_cast<std::size_t>(word)].start};
            return true;
        }
        left -= static_cast<std::int64_t>(p.words.size());
    }
    return false;
}

bool RtfFindLine(const RtfDocument& d, std::int32_t number, RtfPosition& out) {
    if (number < 1) return false;
    std::int64_t left = number - 1;
    const std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        const RtfParagraph& p = paragraphs[i];
        if (left < static_cast<std::int64_t>(p.lines.size())) {
            const RtfLine& line = p.lines[static_cast<std::size_t>(left)];
            const std::int32_t offset =
                line.wordCount > 0 ? p.words[static_cast<std::size_t>(line.firstWord)].start : 0;
            out = RtfPosition{d.currentPage, static_cast<std::int32_t>(i), static_cast<std::int32_t>(left),
                              line.firstWord, offset};
            return true;
        }
        left -= static_cast<std::int64_t>(p.lines.size());
    }
    return false;
}

std::int32_t RtfWordNumber(const RtfDocument& d, const RtfPosition& pos) {
    std::int64_t n = 0;
    const std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    for (std::int32_t i = 0; i < pos.paragraph && i < static_cast<std::int32_t>(paragraphs.size()); ++i)
        n += static_cast<std::int64_t>(paragraphs[static_cast<std::size_t>(i)].words.size());
    return Clamp32(n + pos.word + 1);
}

std::int32_t RtfLineNumber(const RtfDocument& d, const RtfPosition& pos) {
    std::int64_t n = 0;
    const std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    for (std::int32_t i = 0; i < pos.paragraph && i < static_cast<std::int32_t>(paragraphs.size()); ++i)
        n += static_cast<std::int64_t>(paragraphs[static_cast<std::size_t>(i)].lines.size());
    return Clamp32(n + pos.line + 1);
}

std::int64_t RtfMemoryUsed(const RtfDocument& d) {
    constexpr std::int64_t Document = 644, PerPage = 24, PerParagraph = 284, PerRun = 28, PerWord = 12,
                           PerLine = 16;
    std::int64_t total = Document;
    for (const RtfPage& page : d.pages) {
        total += PerPage;
        for (const RtfParagraph& p : page.paragraphs)
            total += PerParagraph + PerRun * static_cast<std::int64_t>(p.runs.size()) +
                     PerWord * static_cast<std::int64_t>(p.words.size()) +
                     PerLine * static_cast<std::int64_t>(p.lines.size()) +
                     static_cast<std::int64_t>(p.text.size());
    }
    return total;
}

} // namespace vtrrt
