// The RTF reader: the hash its control words are known by, and what small RTF texts written here give:
// paragraph bytes, runs with their flags, sizes and colours, tab stops and the page.
#include "rtf_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace richtexttest;

namespace {

struct HashCase {
    const char* name;
    const char* word;
    std::int32_t hash;
};

class ControlWordHash : public ::testing::TestWithParam<HashCase> {};

TEST_P(ControlWordHash, IsTheLettersInBaseFourteen) {
    EXPECT_EQ(RtfHashControlWord(GetParam().word), GetParam().hash);
}

INSTANTIATE_TEST_SUITE_P(
    Words, ControlWordHash,
    ::testing::Values(
        HashCase{"Bold", "\\b", 1}, HashCase{"Paragraph", "\\par", 1577},
        HashCase{"MarkerWord", "\\marker", 3252657}, HashCase{"ShadingWord", "\\chovers", 9980455},
        HashCase{"OutlineColour", "\\outlcolor", 58485916}, HashCase{"HatchColor", "\\hatchcolor", 30505853},
        // Only seven letters count.
        HashCase{"HatchColour", "\\hatchcolour", 30505853}, HashCase{"IgnoredWord", "\\dok", 495},
        // Letters two by two: \qc and \pc come to the same letters; \qc is told apart.
        HashCase{"Centre", "\\qc", 114}, HashCase{"OemCharset", "\\pc", 113},
        // A control symbol hashes with its backslash.
        HashCase{"Destination", "\\*", 134}),
    [](const auto& info) { return std::string(info.param.name); });

// What one run of a paragraph must be.
struct RunExpect {
    std::int32_t start, count;
    std::uint32_t flags;
    std::int16_t size = DefaultHalfPoints;
};

struct ReadCase {
    const char* name;
    std::string rtf;
    std::vector<std::string> paragraphs;
    std::vector<RunExpect> firstRuns = {}; // of the first paragraph; empty: not checked
    std::function<void(const RtfDocument&)> more = {};
};

class ReadDocument : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadDocument, GivesItsParagraphsAndRuns) {
    const ReadCase& c = GetParam();
    int result = 0;
    const auto d = Read(c.rtf, 640, &result);
    EXPECT_EQ(result, 1);
    std::vector<std::string> texts;
    for (const RtfParagraph& p : d->Page().paragraphs)
        texts.push_back(p.text);
    EXPECT_EQ(texts, c.paragraphs);
    if (!c.firstRuns.empty() && !texts.empty()) {
        const std::vector<RtfRun>& runs = Paragraph(*d, 0).runs;
        ASSERT_EQ(runs.size(), c.firstRuns.size());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].start, c.firstRuns[i].start) << "run " << i;
            EXPECT_EQ(runs[i].count, c.firstRuns[i].count) << "run " << i;
            EXPECT_EQ(runs[i].flags, c.firstRuns[i].flags) << "run " << i;
            EXPECT_EQ(runs[i].size, c.firstRuns[i].size) << "run " << i;
        }
    }
    if (c.more) c.more(*d);
}

constexpr std::uint32_t Mark = RtfParagraphMarkFlags;

std::uint32_t ColourOf(const RtfDocument& d, std::int16_t index) {
    return d.colors.at(static_cast<std::size_t>(index)).value;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadDocument,
    ::testing::Values(
        ReadCase{"OneWordInTheDefaultFontOnALetterPage",
                 "{\\rtf1 Hello}",
                 {"Hello\n"},
                 {{0, 5, 0}, {5, 1, Mark}},
                 [](const RtfDocument& d) {
                     EXPECT_EQ(d.pageWidth, 12240);
                     EXPECT_EQ(d.pageHeight, 15840);
                     EXPECT_EQ(d.marginLeft, 1800);
                     EXPECT_EQ(d.marginTop, 1440);
                 }},
        ReadCase{"PaperSizeAndMargins",
                 "{\\rtf1\\paperw5000\\paperh6000\\margl100\\margb200 x}",
                 {"x\n"},
                 {},
                 [](const RtfDocument& d) {
                     EXPECT_EQ(d.pageWidth, 5000);
                     EXPECT_EQ(d.pageHeight, 6000);
                     EXPECT_EQ(d.marginLeft, 100);
                     EXPECT_EQ(d.marginBottom, 200);
                 }},
        ReadCase{"ParagraphsEndWithTheirMark", "{\\rtf1 One\\par Two\\par}", {"One\n", "Two\n"}},
        ReadCase{"UnderlineZeroTurnsItOff",
                 "{\\rtf1\\ul under\\ul0  plain}",
                 {"under plain\n"},
                 {{0, 5, RtfUnderline}, {5, 6, 0}, {11, 1, Mark}}},
        ReadCase{"FlagWordsAndThoseKnownByTheirHashes",
                 "{\\rtf1\\b B\\b0\\i I\\i0\\strike S\\strike0\\marker M\\marker0\\chovers H\\chovers0\\v V}",
                 {"BISMHV\n"},
                 {{0, 1, RtfBold},
                  {1, 1, RtfItalic},
                  {2, 1, RtfStrikeOut},
                  {3, 1, RtfMarker},
                  {4, 1, RtfShading},
                  {5, 1, RtfHidden},
                  {6, 1, Mark}}},
        ReadCase{"CapitalsComeUpperCase", "{\\rtf1\\caps caf\\'e9 \\scaps x}", {"CAF\xC9 X\n"}},
        ReadCase{"SymbolsAddTheirBytes",
                 "{\\rtf1 caf\\'e9 \\~x\\-y\\_z \\{\\}\\\\}",
                 {"caf\xE9 \xCAx\x1By\x1Az {}\\\n"}},
        ReadCase{"SemicolonsInTheTextStay", "{\\rtf1 a;b}", {"a;b\n"}},
        ReadCase{
            "LineBreaksTabsAndQuotes", "{\\rtf1 a\\line b\\tab c\\lquote d\\rdblquote}", {"a\nb\tc'd\"\n"}},
        ReadCase{"DestinationsLeaveNoText",
                 "{\\rtf1{\\*\\generator Writer 1.0;}{\\info{\\title T}}{\\footnote F}Body}",
                 {"Body\n"}},
        ReadCase{"FormattingInsideAGroupEndsWithIt",
                 "{\\rtf1{\\b bold}plain}",
                 {"boldplain\n"},
                 {{0, 4, RtfBold}, {4, 5, 0}, {9, 1, Mark}}},
        ReadCase{
            "SizesAreHalfPointsAndClamped",
            "{\\rtf1\\fs40 big\\fs99999 huge\\fs0 none}",
            {"bighugenone\n"},
            {{0, 3, RtfSizeSet, 40}, {3, 4, RtfSizeSet, 32767}, {7, 4, RtfSizeSet, 0}, {11, 1, Mark, 0}}},
        ReadCase{"PlainResetsTheCharacterFormat",
                 "{\\rtf1\\b\\fs40 a\\plain b}",
                 {"ab\n"},
                 {{0, 1, RtfBold | RtfSizeSet, 40}, {1, 1, 0}, {2, 1, Mark}}},
        ReadCase{"ColoursByTheirTableIndex",
                 "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue999;}\\cf2 blue\\cf0 "
                 "auto\\cb1 back\\cf7 unknown}",
                 {"blueautobackunknown\n"},
                 {},
                 [](const RtfDocument& d) {
                     const std::vector<RtfRun>& runs = Paragraph(d, 0).runs;
                     ASSERT_EQ(runs.size(), 4u);
                     EXPECT_EQ(runs[0].flags, RtfTextColour);
                     EXPECT_EQ(ColourOf(d, runs[0].textColour), 0x02FF0000u) << "blue clamped to 255";
                     EXPECT_EQ(runs[1].flags, 0u) << "\\cf0 clears the colour";
                     EXPECT_EQ(runs[2].flags, RtfBackColour);
                     EXPECT_EQ(ColourOf(d, runs[2].backColour), 0x020000FFu);
                     EXPECT_EQ(runs[2].count, 11) << "an unknown colour is index 0: the run goes on";
                     EXPECT_EQ(d.colors[0].rtfIndex, 0);
                 }},
        ReadCase{
            "FontsByNumberWithTheirFamilies",
            "{\\rtf1\\deff1{\\fonttbl{\\f0\\froman\\fcharset0{\\*\\panose 0202}Times Roman;}{\\f1\\fswiss "
            "Arial;}}Text\\f0 more\\f9 unknown}",
            {"Textmoreunknown\n"},
            {},
            [](const RtfDocument& d) {
                ASSERT_EQ(d.fonts.size(), 2u);
                EXPECT_EQ(d.fonts[0].name, "Times New Roman");
                EXPECT_EQ(d.fonts[0].family, FF_ROMAN);
                EXPECT_EQ(d.fonts[1].name, "Arial");
                EXPECT_EQ(d.fonts[1].number, 1);
                const std::vector<RtfRun>& runs = Paragraph(d, 0).runs;
                EXPECT_EQ(runs[0].font, 1) << "the default font, number 1";
                EXPECT_EQ(runs[1].font, 0);
                EXPECT_EQ(runs[2].font, 0) << "an unknown font is index 0";
            }},
        ReadCase{"StylesCopyTheirFormat",
                 "{\\rtf1{\\stylesheet{\\s0 Normal;}{\\*\\cs10 Char;}{\\s1\\qc\\b\\fs32 Heading;}}\\s1 "
                 "Title\\par\\pard\\plain Body\\par}",
                 {"Title\n", "Body\n"},
                 {{0, 5, RtfBold | RtfSizeSet, 32}, {5, 1, Mark, 32}},
                 [](const RtfDocument& d) {
                     EXPECT_EQ(Paragraph(d, 0).format.alignment, AlignCentre);
                     EXPECT_EQ(Paragraph(d, 1).format.alignment, AlignLeft);
                 }},
        ReadCase{"CentredIsNotTheOemCharset",
                 "{\\rtf1\\qc a\\par\\pc\\ql \x82\\'82}",
                 {"a\n", "\xE9\x82\n"},
                 {},
                 [](const RtfDocument& d) {
                     EXPECT_EQ(Paragraph(d, 0).format.alignment, AlignCentre);
                     EXPECT_EQ(Paragraph(d, 1).format.alignment, AlignLeft);
                 }},
        ReadCase{"ParagraphPropertiesAreClamped",
                 "{\\rtf1\\li99999\\fi-99999\\sb120\\sa240\\ri30\\sl360 x}",
                 {"x\n"},
                 {},
                 [](const RtfDocument& d) {
                     const RtfParagraphFormat& f = Paragraph(d, 0).format;
                     EXPECT_EQ(f.leftIndent, 32767);
                     EXPECT_EQ(f.firstIndent, -32768);
                     EXPECT_EQ(f.spaceBefore, 120);
                     EXPECT_EQ(f.spaceAfter, 240);
                     EXPECT_EQ(f.rightIndent, 30);
                     EXPECT_EQ(f.lineSpacing, 360);
                 }},
        ReadCase{"TabStopsAfterTheLastGoByTheDefaultWidth",
                 "{\\rtf1\\deftab100\\pard\\tqr\\tx1000\\tx1500 x}",
                 {"x\n"},
                 {},
                 [](const RtfDocument& d) {
                     const RtfParagraphFormat& f = Paragraph(d, 0).format;
                     EXPECT_EQ(f.tabCount, 2);
                     EXPECT_EQ(f.tabs[0].position, 1000);
                     EXPECT_EQ(f.tabs[0].kind, 1);
                     EXPECT_EQ(f.tabs[1].position, 1500);
                     EXPECT_EQ(f.tabs[1].kind, 0) << "the kind goes back to left after a stop";
                     EXPECT_EQ(f.tabs[2].position, 1600);
                     EXPECT_EQ(f.tabs[11].position, 2500);
                 }},
        ReadCase{"TabPositionsAreClamped",
                 "{\\rtf1\\tx99999999\\tx-5 x}",
                 {"x\n"},
                 {},
                 [](const RtfDocument& d) {
                     EXPECT_EQ(Paragraph(d, 0).format.tabs[0].position, 0x7FFFFF);
                     EXPECT_EQ(Paragraph(d, 0).format.tabs[1].position, 0);
                 }},
        ReadCase{"AThirteenthTabStopIsIgnored",
                 "{\\rtf1\\tx100\\tx200\\tx300\\tx400\\tx500\\tx600\\tx700\\tx800\\tx900\\tx1000\\tx1100"
                 "\\tx1200\\tx1300 x}",
                 {"x\n"},
                 {},
                 [](const RtfDocument& d) {
                     const RtfParagraphFormat& f = Paragraph(d, 0).format;
                     EXPECT_EQ(f.tabCount, 12);
                     EXPECT_EQ(f.tabs[11].position, 1200);
                 }},
        ReadCase{"DefaultTabStopsEveryHalfInch",
                 "{\\rtf1 x}",
                 {"x\n"},
                 {},
                 [](const RtfDocument& d) {
                     const RtfParagraphFormat& f = Paragraph(d, 0).format;
                     EXPECT_EQ(f.tabCount, 0);
                     EXPECT_EQ(f.tabs[0].position, 720);
                     EXPECT_EQ(f.tabs[11].position, 12 * 720);
                 }},
        ReadCase{"TableRowsKeepTheirAlignmentAndEndParagraphs",
                 "{\\rtf1\\qr\\trowd\\ql\\pard a\\cell b\\row c}",
                 {"a\tb\n", "c\n"},
                 {},
                 [](const RtfDocument& d) {
                     EXPECT_EQ(Paragraph(d, 0).format.alignment, AlignRight);
                     EXPECT_EQ(Paragraph(d, 0).format.tabCount, 0);
                 }},
        ReadCase{"OutlinesAreTwipsToPixels",
                 "{\\rtf1{\\colortbl;\\red1\\green2\\blue3;}\\outl30\\outlcolor1 a\\outl b}",
                 {"ab\n"},
                 {},
                 [](const RtfDocument& d) {
                     const std::vector<RtfRun>& runs = Paragraph(d, 0).runs;
                     EXPECT_EQ(runs[0].flags, RtfOutline);
                     EXPECT_EQ(runs[0].outlineThickness, 2);
                     EXPECT_EQ(ColourOf(d, runs[0].outlineColour), 0x02030201u);
                     EXPECT_EQ(runs[1].outlineThickness, 1) << "no parameter counts as 15 twips";
                     EXPECT_EQ(runs[1].outlineColour, 0);
                 }},
        ReadCase{"HatchesTakeTheirColour",
                 "{\\rtf1{\\colortbl;\\red9\\green9\\blue9;}\\hatch\\hatchcolour1 h}",
                 {"h\n"},
                 {},
                 [](const RtfDocument& d) {
                     const RtfRun& run = Paragraph(d, 0).runs[0];
                     EXPECT_EQ(run.flags, RtfHatch);
                     EXPECT_EQ(ColourOf(d, run.hatchColour), 0x02090909u);
                 }},
        ReadCase{"UnknownWordsAreIgnored", "{\\rtf1\\nosuchword42 \\viewkind4 text}", {"text\n"}},
        ReadCase{"ReadingEndsWithTheDocumentsGroup", "{\\rtf1 in}out", {"in\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDocumentStart, TextThatIsNotRtfGivesNothing) {
    for (const char* text : {"Hello", "{\\rtfx}", "{\\rt1 x}", "\\rtf1 x", ""}) {
        int result = -1;
        const auto d = Read(text, 640, &result);
        EXPECT_EQ(result, 0) << text;
        EXPECT_TRUE(d->Page().paragraphs.empty()) << text;
    }
}

// Groups deeper than the reader follows stop reading, keeping what came before.
TEST(ReadDocumentStart, TooDeepGroupsEndReadingAndKeepWhatWasRead) {
    const std::string deep =
        "{\\rtf1 before\\par" + std::string(300, '{') + "inside" + std::string(300, '}') + "}";
    int result = 0;
    const auto d = Read(deep, 640, &result);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(d->Page().paragraphs.size(), 1u);
    EXPECT_EQ(Paragraph(*d, 0).text, "before\n");
}

// A text cut anywhere reads what it holds and gives a document that is laid out.
TEST(ReadDocumentStart, ACutTextKeepsWhatItHolds) {
    const std::string whole =
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}\\b One\\par Two}";
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const auto d = Read(whole.substr(0, cut));
        for (const RtfParagraph& p : d->Page().paragraphs) {
            ASSERT_FALSE(p.text.empty());
            EXPECT_EQ(p.text.back(), '\n');
            EXPECT_FALSE(p.lines.empty());
        }
    }
}

} // namespace
