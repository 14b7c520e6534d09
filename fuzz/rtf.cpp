// RTF as a rich text object reads it from its data, files and strings: read (as plain text when it is not
// RTF), laid out at two zooms, drawn into a small bitmap with every document flag the first byte gives,
// hit-tested over a grid, searched, formatted and inserted into another document. An empty first corpus
// folder receives a few documents written here.
#include "richtext/rich_text_object.h"
#include "richtext/rtf_drawing.h"
#include "richtext/rtf_reader.h"

#include "seed_folder.h"
#include "tests/support/section_dc.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace vtrrt;
using namespace win32;

namespace {

// Outlines are drawn by copies of the text around it, as many as the thickness squared: thick ones are
// legal but slow, and the target keeps to a few pixels.
constexpr std::int16_t OutlineDrawn = 4;

void Seeds(const std::filesystem::path& folder) {
    const std::pair<const char*, std::string> documents[] = {
        {"formatted",
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman{\\*\\panose 02}Times Roman;}}"
         "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}{\\stylesheet{\\s1\\b\\fs32 Head;}}"
         "\\s1\\qc Title\\par\\pard\\plain\\li300\\fi-300\\tx1000\\tqr\\tx2000 a\\tab b\\line "
         "{\\cb1\\marker mark}{\\hatch\\hatchcolor2 hatch}{\\outl30\\outlcolor1 out}{\\v hid}\\par}"},
        {"tables",
         "{\\rtf1\\trowd\\cellx1000\\cellx2000 a\\cell b\\cell\\row\\pard\\qr right\\sb100\\sa200\\par}"},
        {"oem", "{\\rtf1\\pc \x82\x81\\'e9\\~\\-\\_ {\\*\\generator x;}{\\info{\\title t}}end}"},
        {"plain", "Plain text\r\nwith\ttabs\fand pages"},
    };
    for (const auto& [name, text] : documents)
        framerun::WriteFile(folder / name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

HDC SmallDc() {
    static vtrtest::SectionDc canvas(96, 64);
    return canvas.dc;
}

void KeepOutlinesThin(RtfDocument& d) {
    for (RtfParagraph& p : d.Page().paragraphs)
        for (RtfRun& run : p.runs)
            run.outlineThickness = std::min(run.outlineThickness, OutlineDrawn);
}

void DrawAndHit(RtfDocument& d, std::uint32_t flags) {
    KeepOutlinesThin(d);
    RtfDrawDocument(d, SmallDc(), flags);
    const RECT& page = d.Page().extent;
    for (int y = -4; y < 68; y += 9)
        for (int x = -4; x < 100; x += 13)
            for (int kind : {UnitWord, UnitLine, UnitParagraph}) {
                RtfPosition at;
                RECT r{};
                if (RtfHitTest(d, at, kind, x * (page.right + 1) / 96, y * (page.bottom + 1) / 64))
                    RtfGetRect(d, r, at, kind);
            }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::uint32_t flags = size ? data[0] & 0x1F : 0;
    auto d = RtfNewContext(1252);
    d->view = RECT{2, 3, 2 + 20 + static_cast<LONG>(size % 90), 60};
    RtfSetProperty(*d, flags, 0, PropertyFlags);
    if (!RtfParseDocument(*d, bytes) && !RtfSetPlainText(*d, bytes)) return 0;
    RtfSetProperty(*d, 3, 5, PropertyScroll);
    d->cursor = RtfWordCursor{true, 2};
    DrawAndHit(*d, DrawPage | DrawClipToView | DrawFillView | DrawFillGaps);
    // The first word searched for, selected, formatted and stepped back from.
    RtfPosition first;
    if (RtfFindWord(*d, 1, first)) {
        const RtfParagraph& p = d->Page().paragraphs[static_cast<std::size_t>(first.paragraph)];
        const RtfWord& w = p.words[static_cast<std::size_t>(first.word)];
        RtfFind(*d, p.text.substr(static_cast<std::size_t>(w.start), 3), (flags & 1) != 0, RtfFindMode::All);
        RtfFormatChange change;
        change.mask = 0xFFFF;
        change.flags = flags * 0x9E37u;
        change.values.outlineThickness = 2;
        change.alignment = static_cast<std::int16_t>(flags % 4);
        for (const RtfRange& range : std::vector<RtfRange>(d->selection))
            RtfApplyFormat(*d, range, change);
        RtfPosition back{0, static_cast<std::int32_t>(d->Page().paragraphs.size()) - 1, 0, 0, 0};
        for (int i = 0; i < 4 && RtfStepBack(*d, back); ++i) {
        }
    }
    RtfSetProperty(*d, 37 + (size % 300), 0, PropertyZoom);
    DrawAndHit(*d, DrawPage | DrawClipToView);
    // Read again, into the middle of a small document.
    auto other = RtfNewContext(1252);
    static const std::string_view Base = "{\\rtf1 one two\\par three}";
    RtfParseDocument(*other, {reinterpret_cast<const std::uint8_t*>(Base.data()), Base.size()});
    RtfInsertDocument(*other, RtfPosition{0, 0, 0, 0, 4}, *d);
    DrawAndHit(*other, DrawPage | DrawFillView);
    RtfMemoryUsed(*other);
    return 0;
}

// fontconfig leaks a block while it parses its configuration, once per process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
