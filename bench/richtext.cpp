// The rich text object's document: a 1 MB RTF text of 2,000 paragraphs of mixed runs read and laid out,
// beside the layer's DrawTextW measuring the same text at the same width; a 640 x 480 view drawn, beside
// DrawTextW of the text it shows; and 10,000 hit tests.
#include "richtext/rtf_document.h"
#include "richtext/rtf_drawing.h"
#include "richtext/rtf_reader.h"

#include "bench/targets.h"

#include "win32/font.h"
#include "win32/gdi.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

using namespace vtrrt;
using namespace win32;

namespace {

constexpr int Paragraphs = 2000;
constexpr int ViewWidth = 640, ViewHeight = 480;

struct Text {
    std::string rtf;
    std::u16string plain; // the same words, one line per paragraph
};

// Words in runs that change every few words between plain, bold, italic, underlined and coloured.
const Text& Megabyte() {
    static const Text text = [] {
        static const char* const Words[] = {"the",  "player", "walks", "over",   "hills", "and",   "collects",
                                            "gems", "while",  "balls", "bounce", "in",    "their", "pen",
                                            "a",    "bird",   "flies", "to",     "and",   "fro",   "doors"};
        static const char* const Formats[] = {"\\plain ", "\\b ", "\\i ", "\\ul ", "\\cf1 ", "\\b\\cf2 "};
        std::mt19937 random(11);
        Text t;
        t.rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss DejaVu Sans;}}"
                "{\\colortbl;\\red200\\green0\\blue0;\\red0\\green0\\blue200;}\n";
        const std::size_t target = 1u << 20;
        for (int p = 0; p < Paragraphs; ++p) {
            std::string line;
            const std::size_t length = target / Paragraphs - 60;
            while (line.size() < length) {
                const char* word = Words[random() % std::size(Words)];
                if (random() % 5 == 0) {
                    t.rtf += Formats[random() % std::size(Formats)];
                }
                t.rtf += word;
                t.rtf += ' ';
                line += word;
                line += ' ';
            }
            t.rtf += "\\par\n";
            t.plain.append(line.begin(), line.end());
            t.plain += u'\n';
        }
        t.rtf += "}";
        return t;
    }();
    return text;
}

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A 640 x 480 DIB section in a memory DC.
class Canvas {
public:
    Canvas() {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = ViewWidth;
        info.bmiHeader.biHeight = -ViewHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        dc_ = CreateCompatibleDC(nullptr);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC Dc() const { return dc_; }

private:
    HBITMAP bitmap_;
    HDC dc_;
    HGDIOBJ previous_;
};

// The font the document realises for its plain runs, for DrawTextW.
class DocumentFont {
public:
    DocumentFont() {
        LOGFONTW lf{};
        lf.lfHeight = -(24 * 25 / 36);
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = PROOF_QUALITY;
        lf.lfPitchAndFamily = FF_SWISS;
        const std::u16string face = u"DejaVu Sans";
        face.copy(lf.lfFaceName, face.size());
        font_ = CreateFontIndirectW(&lf);
    }
    ~DocumentFont() { DeleteFont(font_); }
    DocumentFont(const DocumentFont&) = delete;
    DocumentFont& operator=(const DocumentFont&) = delete;
    HFONT Get() const { return font_; }

private:
    HFONT font_;
};

std::unique_ptr<RtfDocument> ReadMegabyte() {
    auto d = RtfNewContext(1252);
    d->view = RECT{0, 0, ViewWidth, ViewHeight};
    RtfParseDocument(*d, Bytes(Megabyte().rtf));
    return d;
}

void ParseAndLayOutMegabyte(benchmark::State& state) {
    bench::ShowTarget(state, "within 2x of DrawTextMeasuresMegabyte's time");
    // The layer's faces stay cached while a document of theirs lives, as in a running frame.
    const auto warm = ReadMegabyte();
    for (auto _ : state) {
        const auto d = ReadMegabyte();
        benchmark::DoNotOptimize(d->Page().extent);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Megabyte().rtf.size()));
}

void DrawTextMeasuresMegabyte(benchmark::State& state) {
    const DocumentFont font;
    const Canvas canvas;
    SelectFont(canvas.Dc(), font.Get());
    const std::u16string& text = Megabyte().plain;
    for (auto _ : state) {
        RECT box{0, 0, ViewWidth, ViewHeight};
        DrawTextW(canvas.Dc(), text.c_str(), static_cast<int>(text.size()), &box,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        benchmark::DoNotOptimize(box);
    }
    SelectFont(canvas.Dc(), GetStockFont(SYSTEM_FONT));
}

void DrawView(benchmark::State& state) {
    bench::ShowTarget(state, "within 2x of DrawTextOfTheView's time");
    const auto d = ReadMegabyte();
    const Canvas canvas;
    RtfSetProperty(*d, 0, 100000, PropertyScroll);
    for (auto _ : state)
        RtfDrawDocument(*d, canvas.Dc(), DrawPage | DrawClipToView | DrawFillView);
}

// The paragraphs the view shows, drawn by DrawTextW in the same box.
void DrawTextOfTheView(benchmark::State& state) {
    const auto d = ReadMegabyte();
    std::u16string shown;
    for (const RtfParagraph& p : d->Page().paragraphs) {
        if (p.rect.bottom <= 100000) continue;
        if (p.rect.top >= 100000 + ViewHeight) break;
        shown.append(p.text.begin(), p.text.end());
    }
    const DocumentFont font;
    const Canvas canvas;
    SelectFont(canvas.Dc(), font.Get());
    SetBkMode(canvas.Dc(), TRANSPARENT);
    for (auto _ : state) {
        RECT box{0, 0, ViewWidth, ViewHeight};
        DrawTextW(canvas.Dc(), shown.c_str(), static_cast<int>(shown.size()), &box,
                  DT_WORDBREAK | DT_NOPREFIX);
    }
    SelectFont(canvas.Dc(), GetStockFont(SYSTEM_FONT));
}

// Points under a mouse over the object's 640 x 480 view, partway down the document.
void TenThousandHitTests(benchmark::State& state) {
    bench::ShowTarget(state, "under 1 ms");
    const auto d = ReadMegabyte();
    constexpr std::int32_t Scrolled = 100000;
    std::mt19937 random(5);
    std::vector<POINT> points(10000);
    for (POINT& p : points)
        p = POINT{static_cast<LONG>(random() % ViewWidth),
                  static_cast<LONG>(Scrolled + random() % ViewHeight)};
    for (auto _ : state) {
        int found = 0;
        for (const POINT& p : points) {
            RtfPosition at;
            found += RtfHitTest(*d, at, UnitWord, p.x, p.y);
        }
        benchmark::DoNotOptimize(found);
    }
}

} // namespace

BENCHMARK(ParseAndLayOutMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawTextMeasuresMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawView)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawTextOfTheView)->Unit(benchmark::kMillisecond);
BENCHMARK(TenThousandHitTests)->Unit(benchmark::kMicrosecond);
