// The rich-text document: pages of paragraphs, each with its 8-bit text, its character-format runs, the
// words the line breaker measures and the lines it builds, with the document's font and colour tables and
// the fonts realised to measure and draw them. Distances inside paragraphs are in twips at zoom 100 (15 to a
// pixel); pixels come from one conversion that applies the zoom.
#pragma once

#include "win32/font.h"
#include "win32/gdi.h"

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vtrrt {

// Character-format flags of runs and format states.
constexpr std::uint32_t RtfBold = 0x0001;
constexpr std::uint32_t RtfItalic = 0x0002;
constexpr std::uint32_t RtfUnderline = 0x0004;
constexpr std::uint32_t RtfStrikeOut = 0x0008;
constexpr std::uint32_t RtfSmallCaps = 0x0010;
constexpr std::uint32_t RtfCaps = 0x0020;
constexpr std::uint32_t RtfOutline = 0x0040;
constexpr std::uint32_t RtfMarker = 0x0080; // the highlighter shape
constexpr std::uint32_t RtfHatch = 0x0100;
constexpr std::uint32_t RtfShading = 0x0200; // with a text colour, the piece's box is filled
constexpr std::uint32_t RtfTextColour = 0x0400;
constexpr std::uint32_t RtfBackColour = 0x0800;
constexpr std::uint32_t RtfFontSet = 0x1000;
constexpr std::uint32_t RtfSizeSet = 0x2000;
constexpr std::uint32_t RtfEndOfParagraph = 0x4000;
constexpr std::uint32_t RtfHidden = 0x8000;
// What the paragraph's "\n" run carries once the paragraph is finished.
constexpr std::uint32_t RtfParagraphMarkFlags = RtfFontSet | RtfSizeSet | RtfEndOfParagraph;

// Document flags (the object's options).
constexpr std::uint32_t RtfTransparent = 0x01;
constexpr std::uint32_t RtfVerticalBar = 0x02;
constexpr std::uint32_t RtfHorizontalBar = 0x04;
constexpr std::uint32_t RtfShowSymbols = 0x08; // hidden text, tabs and paragraph marks
constexpr std::uint32_t RtfNoInversion = 0x10;

constexpr std::int32_t TwipsPerPixel = 15;
constexpr std::int16_t DefaultHalfPoints = 24;
constexpr std::int32_t DefaultTabTwips = 720;
constexpr int TabStopCount = 12;
constexpr std::int32_t MinimumZoom = 1;
constexpr std::int32_t MaximumZoom = 1000;
// Realised fonts are at most this many pixels high.
constexpr std::int32_t MaximumFontPixels = 1000;

enum RtfAlignment : std::int16_t { AlignLeft = 0, AlignRight = 1, AlignCentre = 2, AlignJustified = 3 };

struct RtfCharFormat {
    std::uint32_t flags = 0;
    std::int16_t font = 0; // index in the document's font table
    std::int16_t size = DefaultHalfPoints;
    std::int16_t textColour = 0; // indexes in the colour table
    std::int16_t backColour = 0;
    std::int16_t outlineThickness = 0; // pixels
    std::int16_t outlineColour = 0;
    std::int16_t hatchColour = 0;
    bool operator==(const RtfCharFormat&) const = default;
};

struct RtfTabStop {
    std::int16_t kind = 0; // 0 left, 1 right, 2 centre, 3 decimal: all laid out as left stops
    std::int32_t position = 0;
};

struct RtfParagraphFormat {
    std::int16_t alignment = AlignLeft;
    std::int16_t firstIndent = 0, leftIndent = 0, rightIndent = 0;
    std::int16_t spaceBefore = 0, spaceAfter = 0;
    std::int32_t lineSpacing = 1000; // kept, not used
    std::int16_t tabCount = 0;       // stops set explicitly
    std::array<RtfTabStop, TabStopCount> tabs{};
};

// Paragraph properties at their defaults, with the 12 stops every `tabTwips`.
RtfParagraphFormat RtfDefaultParagraph(std::int32_t tabTwips);

// The paragraph and character properties in force while reading.
struct RtfFormatState {
    std::int32_t style = 0;
    std::int32_t basedOn = 222; // none
    std::int32_t next = -1;
    std::string name;
    RtfParagraphFormat paragraph;
    RtfCharFormat chars;
};

struct RtfRun : RtfCharFormat {
    std::int32_t start = 0;
    std::int32_t count = 0;
    std::int32_t realFont = -1; // until realised
};

struct RtfWord {
    std::int32_t x = 0;      // twips from its line's start
    std::int32_t ascent = 0; // the line's largest, after layout
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t start = 0;
    std::int32_t length = 0;
};

struct RtfLine {
    std::int32_t x = 0; // twips from the paragraph's left edge (its left indent)
    std::int32_t y = 0; // twips below the paragraph's first line
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t firstWord = 0;
    std::int32_t wordCount = 0;
};

struct RtfParagraph {
    win32::RECT rect{};                 // pixels in the page, set when the pages are placed
    std::int32_t left = 0, top = 0;     // the left indent and the space before
    std::int32_t width = 0, height = 0; // of the laid-out lines, twips
    std::int64_t pageTop = 0;           // twips from the page's top
    RtfParagraphFormat format;
    std::string text;
    std::vector<RtfRun> runs;
    std::vector<RtfWord> words;
    std::vector<RtfLine> lines;
};

struct RtfPage {
    win32::RECT extent{};
    std::vector<RtfParagraph> paragraphs;
};

struct RtfFontEntry {
    std::string name; // at most 31 bytes
    std::uint8_t family = 0;
    std::int16_t number = -1; // -1: added by formatting or insertion
};

struct RtfColorEntry {
    std::uint32_t value = 0;
    std::int16_t rtfIndex = -1; // -1: not from the RTF
};

// A font made for the runs that share its LOGFONT, with what measuring needs of it.
struct RtfRealFont {
    win32::HFONT font = nullptr;
    win32::LOGFONTW logFont{};
    std::int32_t height = 0, ascent = 0, defaultWidth = 0;
    std::int32_t first = 0;           // the first byte of the width table
    std::vector<std::int32_t> widths; // -1 until measured
    std::int32_t uses = 0;
};

// A place in the document; offsets count bytes of the paragraph's text.
struct RtfPosition {
    std::int32_t page = 0, paragraph = 0, line = 0, word = 0, offset = 0;
    bool operator==(const RtfPosition&) const = default;
};

// A selected range: from the start up to the end's offset (exclusive), possibly over several paragraphs.
struct RtfRange {
    RtfPosition start, end;
};

struct RtfSearch {
    std::string text; // at most 255 bytes
    bool wholeWord = false;
    std::int32_t word = 0; // where find next goes on: a word number from 1
};

struct RtfWordCursor {
    bool visible = false;
    std::int32_t word = 0; // from 1; 0 when none
};

class RtfDocument {
public:
    explicit RtfDocument(win32::UINT codePage);
    ~RtfDocument();
    RtfDocument(const RtfDocument&) = delete;
    RtfDocument& operator=(const RtfDocument&) = delete;

    win32::RECT view{0, 0, 640, 480};
    std::int32_t scrollX = 0, scrollY = 0;
    std::int32_t zoom = 100;
    win32::COLORREF background;
    win32::HPALETTE palette = nullptr;
    win32::COLORREF black = 0;
    std::uint32_t flags = 0;
    // Set for the length of a measuring or drawing call.
    win32::HDC dc = nullptr;
    std::int32_t pageWidth = 12240, pageHeight = 15840;
    std::int32_t marginLeft = 1800, marginRight = 1800, marginTop = 1440, marginBottom = 1440;
    std::vector<RtfFontEntry> fonts;
    std::vector<RtfColorEntry> colors;
    std::vector<RtfRealFont> realFonts;
    std::vector<RtfPage> pages;
    std::int32_t currentPage = 0;
    std::vector<RtfRange> selection;
    RtfSearch search;
    RtfWordCursor cursor;
    win32::RECT damaged{};
    win32::UINT codePage;
    // While set, finishing a paragraph leaves the pages to be placed once at the end (a whole text read).
    bool placeLater = false;
    // The UTF-16 character of each byte in the code page.
    const std::array<char16_t, 256>& byteChars;

    RtfPage& Page() { return pages[static_cast<std::size_t>(currentPage)]; }
    const RtfPage& Page() const { return pages[static_cast<std::size_t>(currentPage)]; }
    // Drops every realised font; runs realise theirs again when next measured.
    void ForgetFonts();
    // A DC to measure with: the one set for the call, or one of the document's own.
    win32::HDC MeasuringDc();

private:
    win32::HDC ownDc_ = nullptr;
};

// Sets the document's device context for a scope and takes it away after.
class RtfDcScope {
public:
    RtfDcScope(RtfDocument& document, win32::HDC dc) : document_(document), previous_(document.dc) {
        document.dc = dc;
    }
    ~RtfDcScope() { document_.dc = previous_; }
    RtfDcScope(const RtfDcScope&) = delete;
    RtfDcScope& operator=(const RtfDcScope&) = delete;

private:
    RtfDocument& document_;
    win32::HDC previous_;
};

// Twips to pixels at a zoom, the one conversion of placing, drawing and hit testing; and back, for what
// is measured in pixels of fonts realised at the zoom.
inline std::int32_t TwipsToPixels(std::int64_t twips, std::int32_t zoom) {
    std::int64_t p = (twips + 7) / TwipsPerPixel;
    if (zoom != 100) p = p * zoom / 100;
    return static_cast<std::int32_t>(p < INT32_MIN ? INT32_MIN : p > INT32_MAX ? INT32_MAX : p);
}
std::int32_t PixelsToTwips(std::int64_t pixels, std::int32_t zoom);

std::unique_ptr<RtfDocument> RtfNewContext(win32::UINT codePage);

// Property codes of RtfSetProperty.
enum RtfProperty : int {
    PropertyMoveView = 0,
    PropertyViewSize = 1,
    PropertyScrollX = 2,
    PropertyScrollY = 3,
    PropertyScroll = 4,
    PropertyZoom = 5,
    PropertyBackground = 6,
    PropertyPalette = 7,
    PropertyBlack = 8,
    PropertyGetFlags = 9,
    PropertyFlags = 10,
};
// 1 when something changed (code 9: the flags).
std::int32_t RtfSetProperty(RtfDocument& document, std::int64_t a, std::int64_t b, int code);

// The index of the realised font of a format, made (and measured) on first use and shared after.
std::int32_t RtfRealizeFont(RtfDocument& document, const RtfCharFormat& format);
void RtfSplitWords(RtfParagraph& paragraph);
// The width in pixels of one byte of a run, `x` being where it stands in its paragraph (twips; it places a
// tab).
std::int32_t RtfCharWidth(RtfDocument& document, const RtfParagraph& paragraph, RtfRun& run,
                          std::uint8_t byte, std::int64_t x);
void RtfLayoutParagraph(RtfDocument& document, RtfParagraph& paragraph);
void RtfFinishParagraph(RtfDocument& document, RtfParagraph& paragraph);
void RtfPlacePages(RtfDocument& document);
// Every paragraph laid out again (a new view width or zoom), and the pages placed.
void RtfLayoutDocument(RtfDocument& document);
// Appends text to a paragraph in a format, starting a run when the format changes.
void RtfAppendText(RtfDocument& document, RtfParagraph& paragraph, std::string_view text,
                   const RtfCharFormat& format);
// Paragraphs of plain text: false when a byte other than TAB, CR, LF, FF and 32..255 comes.
bool RtfSetPlainText(RtfDocument& document, std::span<const std::uint8_t> text);

// One change of character format: the flags of `mask` take their values from `flags`, and the values
// that go with the flags set are taken as given; an alignment other than -1 goes to every paragraph.
struct RtfFormatChange {
    std::uint32_t mask = 0;
    std::uint32_t flags = 0;
    RtfCharFormat values;
    std::int16_t alignment = -1;
};
// Applies the change over the range; the union of the touched paragraphs' rectangles (page pixels).
win32::RECT RtfApplyFormat(RtfDocument& document, const RtfRange& range, const RtfFormatChange& change);
// Inserts the other document's paragraphs at a position, its fonts and colours mapped into this one's.
bool RtfInsertDocument(RtfDocument& document, const RtfPosition& at, const RtfDocument& other);

// The values that go with the flags given (outline, hatch, colours, font and size), copied.
void RtfCopyFormatValues(RtfCharFormat& to, const RtfCharFormat& from, std::uint32_t flags);
// The capital of a byte in the code page: ASCII, and the Latin letters of 1252.
char RtfUpper(char c, win32::UINT codePage);
// The colour-table index of a colour (added when missing, as not from the RTF).
std::int16_t RtfColorIndex(RtfDocument& document, win32::COLORREF colour);
// The run, word or line of a paragraph that holds a byte offset (or a word); -1 when none.
std::int32_t RtfRunAt(const RtfParagraph& paragraph, std::int32_t offset);
std::int32_t RtfWordAt(const RtfParagraph& paragraph, std::int32_t offset);
std::int32_t RtfLineOfWord(const RtfParagraph& paragraph, std::int32_t word);
// The position one byte back, over paragraph and page boundaries, its word and line found again; false
// at the document's start.
bool RtfStepBack(const RtfDocument& document, RtfPosition& position);
// Word, line and paragraph numbers from 1 over the current page, and the positions they name.
std::int32_t RtfCountWords(const RtfDocument& document);
bool RtfFindWord(const RtfDocument& document, std::int32_t number, RtfPosition& out);
bool RtfFindLine(const RtfDocument& document, std::int32_t number, RtfPosition& out);
std::int32_t RtfWordNumber(const RtfDocument& document, const RtfPosition& position);
std::int32_t RtfLineNumber(const RtfDocument& document, const RtfPosition& position);
// The memory the document takes, as the object's expression counts it.
std::int64_t RtfMemoryUsed(const RtfDocument& document);

} // namespace vtrrt
