// The document's words, lines and rectangles, worked out here from the widths the layer measures for each
// character, so that a font upgrade moves expected and laid-out places alike.
#include "rtf_test_support.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

using namespace richtexttest;

namespace {

std::vector<std::string> WordTexts(const RtfParagraph& p) {
    std::vector<std::string> words;
    for (const RtfWord& w : p.words)
        words.push_back(p.text.substr(static_cast<std::size_t>(w.start), static_cast<std::size_t>(w.length)));
    return words;
}

struct SplitCase {
    const char* name;
    std::string text;
    std::vector<std::string> words;
};

class WordSplitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(WordSplitting, SpacesStayWithTheirWordAndTabsAndBreaksStandAlone) {
    RtfParagraph p;
    p.text = GetParam().text;
    RtfSplitWords(p);
    EXPECT_EQ(WordTexts(p), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WordSplitting,
    ::testing::Values(SplitCase{"Spaces", "ab cd  e\n", {"ab ", "cd  ", "e", "\n"}},
                      SplitCase{"Tabs", "a\t\tb \tc\n", {"a", "\t", "\t", "b ", "\t", "c", "\n"}},
                      SplitCase{"LeadingSpaces", "  a\n", {"  ", "a", "\n"}},
                      SplitCase{"LineBreaks", "a\nb\n", {"a", "\n", "b", "\n"}},
                      SplitCase{"MarkAlone", "\n", {"\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Greedy lines over measured words, as wide as the view allows: the word indexes of each line.
std::vector<std::vector<int>> ExpectedLines(const std::vector<int>& widths, int viewPixels) {
    std::vector<std::vector<int>> lines(1);
    int e = 0;
    for (int i = 0; i < static_cast<int>(widths.size()); ++i) {
        if (!lines.back().empty() && (e + widths[i]) * 15 > viewPixels * 15) {
            lines.emplace_back();
            e = 0;
        }
        lines.back().push_back(i);
        e += widths[i];
    }
    return lines;
}

std::vector<std::vector<int>> LaidOut(const RtfParagraph& p) {
    std::vector<std::vector<int>> lines;
    for (const RtfLine& l : p.lines) {
        lines.emplace_back(static_cast<std::size_t>(l.wordCount));
        std::iota(lines.back().begin(), lines.back().end(), l.firstWord);
    }
    return lines;
}

TEST(Layout, LinesBreakWhereTheMeasuredWordsNoLongerFit) {
    const MeasuredFont font;
    const std::vector<std::string> words{"one ", "two ", "three ", "four ", "five ", "six"};
    std::vector<int> widths;
    for (const std::string& w : words)
        widths.push_back(font.Width(w));
    widths.push_back(font.DefaultWidth()); // the paragraph's mark
    const int view = widths[0] + widths[1] + widths[2] + 2;
    const auto d = Read("{\\rtf1 one two three four five six}", view);
    const RtfParagraph& p = Paragraph(*d, 0);
    const auto expected = ExpectedLines(widths, view);
    ASSERT_EQ(LaidOut(p), expected);
    ASSERT_GE(expected.size(), 2u);
    // Every line's first word at its start, the others after the widths before them; lines one font high.
    int top = 0;
    for (std::size_t l = 0; l < p.lines.size(); ++l) {
        const RtfLine& line = p.lines[l];
        int x = 0;
        for (int w : expected[l]) {
            EXPECT_EQ(p.words[static_cast<std::size_t>(w)].x, x * 15) << "word " << w;
            x += widths[static_cast<std::size_t>(w)];
        }
        EXPECT_EQ(line.width, x * 15);
        EXPECT_EQ(line.height, font.Height() * 15);
        EXPECT_EQ(line.y, top * 15);
        const RECT r = RtfLineRect(*d, p, line);
        EXPECT_EQ(r.top, top);
        EXPECT_EQ(r.right - r.left, x);
        top += font.Height();
    }
    EXPECT_EQ(p.rect.bottom - p.rect.top, top);
    EXPECT_EQ(d->Page().extent.bottom, top);
}

TEST(Layout, AWordWiderThanTheViewStaysOnItsOwnLine) {
    const auto d = Read("{\\rtf1 Supercalifragilistic tiny}", 20);
    const RtfParagraph& p = Paragraph(*d, 0);
    ASSERT_GE(p.lines.size(), 2u);
    EXPECT_EQ(p.lines[0].wordCount, 1);
    EXPECT_EQ(p.lines[0].width, MeasuredFont().Width("Supercalifragilistic ") * 15);
    EXPECT_EQ(p.lines[1].firstWord, 1);
}

TEST(Layout, AParagraphOfItsMarkAloneHasOneWordAndOneLine) {
    const auto d = Read("{\\rtf1\\par}");
    const RtfParagraph& p = Paragraph(*d, 0);
    EXPECT_EQ(p.text, "\n");
    EXPECT_EQ(p.words.size(), 1u);
    ASSERT_EQ(p.lines.size(), 1u);
    EXPECT_EQ(p.lines[0].height, MeasuredFont().Height() * 15);
}

TEST(Layout, ALineBreakInsideAParagraphStartsANewLine) {
    const auto d = Read("{\\rtf1 a\\line b}");
    const RtfParagraph& p = Paragraph(*d, 0);
    ASSERT_EQ(p.lines.size(), 2u);
    EXPECT_EQ(p.lines[0].wordCount, 2) << "a and its break";
    EXPECT_EQ(p.words[static_cast<std::size_t>(p.lines[1].firstWord)].start, 2);
}

TEST(Layout, ATabReachesTheNextStopOrTheLeftIndent) {
    const MeasuredFont font;
    const int a = font.Width("a");
    {
        const auto d = Read("{\\rtf1 a\\tab b}");
        const RtfParagraph& p = Paragraph(*d, 0);
        ASSERT_EQ(WordTexts(p), (std::vector<std::string>{"a", "\t", "b", "\n"}));
        const int tab = (720 - a * 15 + 7) / 15;
        EXPECT_EQ(p.words[1].width, tab * 15);
        EXPECT_EQ(p.words[2].x, (a + tab) * 15);
    }
    {
        // Left of a hanging paragraph's indent, a tab goes to the indent.
        const auto d = Read("{\\rtf1\\li1500\\fi-1500 a\\tab b}");
        const RtfParagraph& p = Paragraph(*d, 0);
        EXPECT_EQ(p.words[1].width, (1500 - a * 15 + 7) / 15 * 15);
        EXPECT_EQ(p.lines[0].x, -1500) << "the first line starts at its own indent";
    }
}

TEST(Layout, AlignmentsPlaceTheLineInTheView) {
    const MeasuredFont font;
    constexpr int View = 300;
    const int width = font.Width("word") + font.DefaultWidth();
    for (const auto& [control, left] :
         {std::pair{"\\ql", 0}, std::pair{"\\qj", 0}, std::pair{"\\qr", View - width},
          std::pair{"\\qc", (View - width) / 2}}) {
        const auto d = Read(std::string("{\\rtf1") + control + " word}", View);
        const RtfParagraph& p = Paragraph(*d, 0);
        const RECT r = RtfLineRect(*d, p, p.lines[0]);
        EXPECT_NEAR(r.left, left, 1) << control;
        EXPECT_EQ(r.right - r.left, width) << control;
    }
    // A right indent narrows the view a right-aligned line ends at.
    const auto d = Read("{\\rtf1\\qr\\ri1500 word}", View);
    const RtfParagraph& p = Paragraph(*d, 0);
    EXPECT_EQ(RtfLineRect(*d, p, p.lines[0]).right, View - 100);
}

TEST(Layout, SpaceBeforeAndAfterLieInsideTheParagraph) {
    const MeasuredFont font;
    const auto d = Read("{\\rtf1\\sb150\\sa300 a\\par\\pard b}");
    const RtfParagraph& first = Paragraph(*d, 0);
    const RtfParagraph& second = Paragraph(*d, 1);
    EXPECT_EQ(first.height, 450 + font.Height() * 15);
    EXPECT_EQ(RtfLineRect(*d, first, first.lines[0]).top, 10) << "the line starts below the space before";
    EXPECT_EQ(second.rect.top, first.rect.bottom);
    EXPECT_EQ(first.rect.bottom, (450 + font.Height() * 15 + 7) / 15);
}

TEST(Layout, HiddenTextTakesRoomOnlyWhenSymbolsShow) {
    const MeasuredFont font;
    const auto d = Read("{\\rtf1 a{\\v hidden}b}");
    EXPECT_EQ(Paragraph(*d, 0).words[0].width, font.Width("ab") * 15);
    RtfSetProperty(*d, RtfShowSymbols, 0, PropertyFlags);
    EXPECT_EQ(Paragraph(*d, 0).words[0].width, font.Width("ahiddenb") * 15);
}

TEST(Layout, ZoomScalesFontsAndScrollPositionsAndOnlyWithinItsRange) {
    const auto d = Read("{\\rtf1 Zoomed}");
    RtfSetProperty(*d, 10, 20, PropertyScroll);
    const MeasuredFont single(24, 100), twice(24, 200);
    EXPECT_EQ(d->realFonts[0].height, single.Height());
    EXPECT_EQ(RtfSetProperty(*d, 200, 0, PropertyZoom), 1);
    EXPECT_EQ(d->scrollX, 20);
    EXPECT_EQ(d->scrollY, 40);
    ASSERT_FALSE(d->realFonts.empty());
    EXPECT_EQ(d->realFonts[0].height, twice.Height());
    const RtfParagraph& p = Paragraph(*d, 0);
    EXPECT_NEAR(p.rect.bottom - p.rect.top, twice.Height(), 1);
    EXPECT_NEAR(p.rect.right - p.rect.left, twice.Width("Zoomed") + twice.DefaultWidth(), 2);
    for (std::int64_t refused : {0, 1001, 200}) {
        EXPECT_EQ(RtfSetProperty(*d, refused, 0, PropertyZoom), 0) << refused;
        EXPECT_EQ(d->zoom, 200);
    }
}

TEST(Layout, FontsAreAtMostAThousandPixelsHighAndSizeZeroIsTwelvePoints) {
    const auto d = Read("{\\rtf1\\fs32767 X\\fs0 y}");
    ASSERT_GE(d->realFonts.size(), 2u);
    EXPECT_EQ(d->realFonts[0].logFont.lfHeight, -1000);
    EXPECT_EQ(d->realFonts[1].logFont.lfHeight, -(24 * 25 / 36));
    RtfSetProperty(*d, 1000, 0, PropertyZoom);
    EXPECT_EQ(d->realFonts.at(0).logFont.lfHeight, -1000) << "zoomed too";
}

TEST(Layout, PlainTextEndsParagraphsAtLineEndsAndRefusesControlBytes) {
    auto d = RtfNewContext(Western);
    ASSERT_TRUE(RtfSetPlainText(*d, BytesOf("one\r\ntwo\rthree\nfour\ffive\ttab")));
    std::vector<std::string> texts;
    for (const RtfParagraph& p : d->Page().paragraphs)
        texts.push_back(p.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"one\n", "two\n", "three\n", "four\n", "five\ttab\n"}));
    auto refused = RtfNewContext(Western);
    EXPECT_FALSE(RtfSetPlainText(*refused, BytesOf("bell\x07")));
}

TEST(Layout, FormatChangesSplitAndMergeRuns) {
    const auto d = Read("{\\rtf1 abcdef}");
    RtfFormatChange bold;
    bold.mask = bold.flags = RtfBold;
    const RtfPosition at{0, 0, 0, 0, 2}, to{0, 0, 0, 0, 4};
    const RECT changed = RtfApplyFormat(*d, RtfRange{at, to}, bold);
    EXPECT_TRUE(EqualRect(&changed, &Paragraph(*d, 0).rect));
    const std::vector<RtfRun>& runs = Paragraph(*d, 0).runs;
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[1].start, 2);
    EXPECT_EQ(runs[1].count, 2);
    EXPECT_EQ(runs[1].flags, RtfBold);
    EXPECT_EQ(runs[2].flags, 0u);
    // Bold over all of it: one run again, the mark apart; centred on the way.
    bold.alignment = AlignCentre;
    RtfApplyFormat(*d, RtfRange{RtfPosition{0, 0, 0, 0, 0}, RtfPosition{0, 0, 0, 0, 6}}, bold);
    EXPECT_EQ(Paragraph(*d, 0).runs.size(), 2u);
    EXPECT_EQ(Paragraph(*d, 0).format.alignment, AlignCentre);
    EXPECT_GT(Paragraph(*d, 0).words[0].width, MeasuredFont().Width("abcdef") * 15) << "measured bold";
}

TEST(Layout, AnInsertedDocumentSplitsTheParagraphAndMapsItsFontsAndColours) {
    const auto d = Read("{\\rtf1{\\colortbl;\\red9\\green9\\blue9;}head tail}");
    const auto other =
        Read("{\\rtf1{\\fonttbl{\\f0 Courier;}}{\\colortbl;\\red1\\green2\\blue3;}\\cf1 X\\par Y}");
    ASSERT_TRUE(RtfInsertDocument(*d, RtfPosition{0, 0, 0, 0, 5}, *other));
    std::vector<std::string> texts;
    for (const RtfParagraph& p : d->Page().paragraphs)
        texts.push_back(p.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"head X\n", "Y\n", "tail\n"}));
    const RtfRun& x = Paragraph(*d, 0).runs.at(1);
    EXPECT_EQ(d->fonts.at(static_cast<std::size_t>(x.font)).name, "Courier");
    EXPECT_EQ(d->colors.at(static_cast<std::size_t>(x.textColour)).value, 0x02030201u);
    EXPECT_EQ(Paragraph(*d, 2).rect.top, Paragraph(*d, 1).rect.bottom);
}

TEST(Layout, NumbersAndPositionsRunOverTheWholeDocument) {
    const auto d = Read("{\\rtf1 a b\\par c\\par}");
    EXPECT_EQ(RtfCountWords(*d), 5); // "a ", "b", mark, "c", mark
    RtfPosition at;
    ASSERT_TRUE(RtfFindWord(*d, 4, at));
    EXPECT_EQ(at.paragraph, 1);
    EXPECT_EQ(at.word, 0);
    EXPECT_EQ(RtfWordNumber(*d, at), 4);
    EXPECT_FALSE(RtfFindWord(*d, 6, at));
    EXPECT_FALSE(RtfFindWord(*d, 0, at));
    ASSERT_TRUE(RtfFindLine(*d, 2, at));
    EXPECT_EQ(at.paragraph, 1);
    // One byte back from the second paragraph's start is the first one's mark.
    RtfPosition back{0, 1, 0, 0, 0};
    ASSERT_TRUE(RtfStepBack(*d, back));
    EXPECT_EQ(back.paragraph, 0);
    EXPECT_EQ(back.offset, 3);
    EXPECT_EQ(back.word, 2);
    RtfPosition start{0, 0, 0, 0, 0};
    EXPECT_FALSE(RtfStepBack(*d, start));
    EXPECT_EQ(RtfMemoryUsed(*d), 644 + 24 + 2 * 284 + 28 * 4 + 12 * 5 + 16 * 2 + 6);
}

} // namespace
