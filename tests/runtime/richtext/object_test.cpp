// The rich text object in a running frame: made from its written data, its actions and expressions through
// the frame's events, its scroll bars and the hook that moves them, the search, and its saved state.
#include "rtf_test_support.h"
#include "runtime/builtin/counters/counters_fixture.h"

#include "events/event_evaluation.h"
#include "persist/position_file.h"
#include "richtext/rich_text_object.h"
#include "shell/window_hooks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <unistd.h>

using namespace counterstest;
using appwriter::ExpressionBuilder;
using richtexttest::BytesOf;
using richtexttest::Read;
using namespace win32;

namespace {

constexpr std::int32_t Left = 10, Top = 12;
constexpr std::int16_t Width = 120, Height = 60;

// Words that need more than the object's height.
const std::string Long = "{\\rtf1 " + [] {
    std::string s;
    for (int i = 1; i <= 12; ++i)
        s += "Line number " + std::to_string(i) + " of the long text\\par ";
    return s;
}() + "}";

const std::string Short = "{\\rtf1 one two\\par three four five\\par six}";

appwriter::EventRecordDesc Rich(std::int16_t number, std::vector<appwriter::EventParameterDesc> params = {}) {
    appwriter::EventRecordDesc r;
    r.type = TypeRichText;
    r.number = number;
    r.objectInfo = 1;
    r.parameters = std::move(params);
    return r;
}

appwriter::EventParameterDesc Int(std::int32_t v) {
    return appwriter::ExpressionParameter(22, ExpressionBuilder().Integer(v));
}

appwriter::EventParameterDesc Text(std::u16string s) {
    return appwriter::ExpressionParameter(45, ExpressionBuilder().String(std::move(s)));
}

// The counter (object 2) takes an expression's value every loop.
appwriter::EventRecordDesc CounterTakes(ExpressionBuilder e) {
    appwriter::EventRecordDesc r;
    r.type = TypeCounter;
    r.number = 80;
    r.objectInfo = 2;
    r.parameters.push_back(appwriter::ExpressionParameter(22, std::move(e)));
    return r;
}

class RichTextFrame : public CounterTest {
protected:
    // The rich text (object 1, slot 0) at (Left, Top), and a counter (object 2, slot 1); the groups run once
    // each at the first loop, in order, then `everyLoop` on every loop.
    void Start(const appwriter::RichTextDesc& text,
               const std::vector<std::vector<appwriter::EventRecordDesc>>& once = {},
               std::vector<appwriter::EventRecordDesc> everyLoop = {}) {
        appwriter::EventProgramBuilder b = Program(2);
        AddFirstLoopGroups(b, once, std::move(everyLoop));
        appwriter::ObjectInfoDesc rich;
        rich.handle = 1;
        rich.type = TypeRichText;
        rich.name = u"Rich";
        rich.definition = appwriter::RichTextDefinition(text);
        appwriter::CounterDesc shown;
        shown.displayType = CounterText;
        shown.width = 30;
        shown.height = 10;
        StartDescribed(Application({rich, CounterObject(2, TypeCounter, shown, {0, -999999999, 999999999})},
                                   {{1, 1, Left, Top, 0, 0, 0}, {2, 2, 150, 110, 0, 0, 0}},
                                   b.ChunkPayload()));
        Tick();
    }
    static appwriter::RichTextDesc Desc(std::string rtf, std::uint32_t options = 0) {
        appwriter::RichTextDesc d;
        d.options = options;
        d.width = Width;
        d.height = Height;
        d.text = std::move(rtf);
        return d;
    }
    RichTextPart& Part() {
        RichTextPart* r = RichTextOf(Slot(0));
        EXPECT_NE(r, nullptr);
        return *r;
    }
    RtfDocument& Document() { return *Part().document; }
    std::int32_t Counted() { return Value(1).integer; }
    std::vector<std::string> Paragraphs() {
        std::vector<std::string> texts;
        for (const RtfParagraph& p : Document().Page().paragraphs)
            texts.push_back(p.text);
        return texts;
    }
};

TEST_F(RichTextFrame, IsMadeFromItsDataWithTheHookFirst) {
    Start(Desc(Short, RtfVerticalBar | RtfShowSymbols));
    RichTextPart& r = Part();
    EXPECT_EQ(Slot(0)->identifier, RichTextIdentifier);
    EXPECT_EQ(r.viewWidth, Width);
    EXPECT_EQ(r.viewHeight, Height);
    EXPECT_EQ(r.barWidth, 12);
    EXPECT_EQ(Document().flags, RtfVerticalBar | RtfShowSymbols);
    EXPECT_EQ(Document().view.right - Document().view.left, Width - 12) << "room for the bar asked for";
    EXPECT_EQ(Document().view.left, Left);
    EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"one two\n", "three four five\n", "six\n"}));
    const FrameRunState& s = *CurrentRunState();
    ASSERT_GE(s.windowHookCount, 1);
    EXPECT_EQ(s.windowHooks[0].routine, &RtfObjectScrollHook);
    EXPECT_EQ(s.windowHooks[0].priority, RichTextHookPriority);
}

TEST_F(RichTextFrame, StoredTextThatIsNotRtfGivesTheEmptyDocument) {
    Start(Desc("Not RTF at all"));
    EXPECT_EQ(Paragraphs(), std::vector<std::string>{"\n"});
    EXPECT_EQ(Document().fonts.at(0).name, "Arial");
}

TEST_F(RichTextFrame, TheDocumentIsDrawnInTheObjectsPlaceOnItsBackground) {
    Start(Desc("{\\rtf1\\sb300 x}"));
    Tick();
    EXPECT_EQ(Shown(Left + 1, Top + 1), RGB(255, 255, 255)) << "the view on the object's background";
    EXPECT_EQ(Shown(Left + Width - 1, Top + Height - 1), RGB(255, 255, 255));
    EXPECT_EQ(Shown(Left - 1, Top), Background);
    EXPECT_EQ(Shown(Left + Width, Top), Background);
}

struct ActionCase {
    const char* name;
    std::string rtf;
    std::uint32_t options;
    std::vector<std::vector<appwriter::EventRecordDesc>> actions;
    std::function<void(RichTextPart&)> check;
};

class RichTextActions : public RichTextFrame, public ::testing::WithParamInterface<ActionCase> {};

TEST_P(RichTextActions, ChangeTheDocument) {
    const ActionCase& c = GetParam();
    Start(Desc(c.rtf, c.options), c.actions);
    c.check(Part());
}

const RtfRun& RunAt(const RtfDocument& d, std::size_t paragraph, std::int32_t offset) {
    const RtfParagraph& p = d.Page().paragraphs.at(paragraph);
    return p.runs.at(static_cast<std::size_t>(RtfRunAt(p, offset)));
}

std::pair<std::int32_t, std::int32_t> OnlyRange(const RtfDocument& d) {
    EXPECT_EQ(d.selection.size(), 1u);
    if (d.selection.empty()) return {-1, -1};
    return {d.selection[0].start.offset, d.selection[0].end.offset};
}

INSTANTIATE_TEST_SUITE_P(
    Actions, RichTextActions,
    ::testing::
        Values(
            ActionCase{"ScrollingMovesTheThumbWithinItsRange",
                       Long,
                       RtfVerticalBar,
                       {{Rich(81, {Int(30)})}},
                       [](RichTextPart& r) {
                           EXPECT_EQ(r.document->scrollY, 30);
                           EXPECT_EQ(GetScrollPos(r.verticalBar, SB_CTL), 30);
                       }},
            ActionCase{"ScrollingPastTheEndKeepsTheValueAndPutsTheThumbAtTheEnd",
                       Long,
                       RtfVerticalBar,
                       {{Rich(81, {Int(100000)}), Rich(80, {Int(7)})}},
                       [](RichTextPart& r) {
                           const RtfDocument& d = *r.document;
                           EXPECT_EQ(d.scrollY, 100000);
                           EXPECT_EQ(d.scrollX, 7);
                           EXPECT_EQ(GetScrollPos(r.verticalBar, SB_CTL),
                                     d.Page().extent.bottom - (d.view.bottom - d.view.top));
                       }},
            ActionCase{"ZoomScalesTheScrollPositions",
                       Long,
                       0,
                       {{Rich(81, {Int(10)}), Rich(82, {Int(200)})}},
                       [](RichTextPart& r) {
                           EXPECT_EQ(r.document->zoom, 200);
                           EXPECT_EQ(r.document->scrollY, 20);
                       }},
            ActionCase{"ZoomOutsideItsRangeDoesNothing",
                       Short,
                       0,
                       {{Rich(82, {Int(0)}), Rich(82, {Int(1001)})}},
                       [](RichTextPart& r) { EXPECT_EQ(r.document->zoom, 100); }},
            ActionCase{"SelectingAWordLeavesItsSpacesOut",
                       Short,
                       0,
                       {{Rich(87, {Int(2)})}},
                       [](RichTextPart& r) { EXPECT_EQ(OnlyRange(*r.document), std::make_pair(4, 7)); }},
            ActionCase{"NumbersOfZeroOrBackwardsSelectNothing",
                       Short,
                       0,
                       {{Rich(88, {Int(0)}), Rich(87, {Int(-1)}), Rich(92, {Int(3), Int(2)}),
                         Rich(89, {Int(9)}), Rich(90, {Int(2)})}},
                       [](RichTextPart& r) { EXPECT_TRUE(r.document->selection.empty()); }},
            ActionCase{"SelectingWordsRunsFromTheFirstToTheEndOfTheLast",
                       Short,
                       0,
                       {{Rich(92, {Int(3), Int(5)})}},
                       [](RichTextPart& r) {
                           const RtfRange& range = r.document->selection.at(0);
                           EXPECT_EQ(range.start.paragraph, 0);
                           EXPECT_EQ(range.start.offset, 7) << "word 3 is the first paragraph's mark";
                           EXPECT_EQ(range.end.paragraph, 1);
                           EXPECT_EQ(range.end.offset, 10);
                       }},
            ActionCase{"AParagraphIsSelectedWithoutItsMark",
                       Short,
                       0,
                       {{Rich(89, {Int(2)})}},
                       [](RichTextPart& r) { EXPECT_EQ(OnlyRange(*r.document), std::make_pair(0, 15)); }},
            ActionCase{"TheFirstPageIsTheWholeDocument",
                       Short,
                       0,
                       {{Rich(90, {Int(1)}), Rich(91)}},
                       [](RichTextPart& r) {
                           ASSERT_EQ(r.document->selection.size(), 2u);
                           EXPECT_EQ(r.document->selection[1].end.paragraph, 2);
                       }},
            ActionCase{"ClearingForgetsTheSelection",
                       Short,
                       0,
                       {{Rich(91), Rich(83)}},
                       [](RichTextPart& r) { EXPECT_TRUE(r.document->selection.empty()); }},
            ActionCase{
                "FormatsApplyToTheSelectedWordsOnly",
                Short,
                0,
                {{Rich(87, {Int(2)}), Rich(97), Rich(99), Rich(96, {Int(0x0000FF)}),
                  Rich(104, {Int(0x00FF00)}), Rich(103), Rich(105), Rich(100, {Int(0xFF0000), Int(0)})}},
                [](RichTextPart& r) {
                    const RtfDocument& d = *r.document;
                    const RtfRun& two = RunAt(d, 0, 5);
                    EXPECT_EQ(two.flags, RtfBold | RtfUnderline | RtfTextColour | RtfHatch | RtfMarker |
                                             RtfShading | RtfOutline);
                    EXPECT_EQ(d.colors.at(static_cast<std::size_t>(two.textColour)).value, 0x020000FFu);
                    EXPECT_EQ(d.colors.at(static_cast<std::size_t>(two.hatchColour)).value, 0x0200FF00u);
                    EXPECT_EQ(d.colors.at(static_cast<std::size_t>(two.outlineColour)).value, 0x02FF0000u);
                    EXPECT_EQ(two.outlineThickness, 1) << "at least one pixel";
                    EXPECT_EQ(RunAt(d, 0, 0).flags, 0u);
                    EXPECT_EQ(RunAt(d, 0, 3).flags, 0u) << "the space after the first word";
                }},
            ActionCase{"ResetKeepsBoldAndTakesTheRestOff",
                       "{\\rtf1\\qr one two}",
                       0,
                       {{Rich(91), Rich(97), Rich(98), Rich(101, {Int(0xFFFF00)}), Rich(95)}},
                       [](RichTextPart& r) {
                           const RtfDocument& d = *r.document;
                           EXPECT_EQ(RunAt(d, 0, 0).flags, RtfBold);
                           EXPECT_EQ(RunAt(d, 0, 0).backColour, 0);
                           EXPECT_EQ(d.Page().paragraphs[0].format.alignment, AlignLeft);
                       }},
            ActionCase{"TheWordCursorStepsAndHides",
                       Short,
                       0,
                       {{Rich(94, {Int(2)}), Rich(108), Rich(108), Rich(107)}},
                       [](RichTextPart& r) {
                           EXPECT_TRUE(r.document->cursor.visible);
                           EXPECT_EQ(r.document->cursor.word, 3);
                       }},
            ActionCase{"HidingTheWordCursor",
                       Short,
                       0,
                       {{Rich(94, {Int(2)}), Rich(109)}},
                       [](RichTextPart& r) {
                           EXPECT_FALSE(r.document->cursor.visible);
                           EXPECT_EQ(r.document->cursor.word, 0);
                       }},
            ActionCase{"RtfGivenAsAStringGoesInAtTheSelection",
                       Short,
                       0,
                       {{Rich(87, {Int(2)}),
                         Rich(112, {Text(u"{\\rtf1{\\colortbl;\\red1\\green2\\blue3;}\\cf1 NEW }")})}},
                       [](RichTextPart& r) {
                           std::vector<std::string> texts;
                           for (const RtfParagraph& p : r.document->Page().paragraphs)
                               texts.push_back(p.text);
                           EXPECT_EQ(texts.at(0), "one NEW \n");
                           EXPECT_EQ(texts.at(1), "two\n");
                       }},
            ActionCase{"InsertingWithoutASelectionDoesNothing",
                       Short,
                       0,
                       {{Rich(112, {Text(u"{\\rtf1 NEW}")})}},
                       [](RichTextPart& r) { EXPECT_EQ(r.document->Page().paragraphs.size(), 3u); }},
            ActionCase{"ARedrawChangesNothing",
                       Short,
                       0,
                       {{Rich(106), Rich(93), Rich(110), Rich(111)}},
                       [](RichTextPart& r) { EXPECT_EQ(r.document->Page().paragraphs.size(), 3u); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Files come through the embedded-file service: RTF, plain text, and what cannot be read or is too large,
// which leaves the document as it was.
class RichTextFiles : public RichTextFrame {
protected:
    std::u16string File(const std::string& name, const std::string& bytes) {
        const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        written_.push_back(path);
        return std::u16string(path.begin(), path.end());
    }
    void TearDown() override {
        RichTextFrame::TearDown();
        for (const std::string& path : written_)
            std::remove(path.c_str());
    }
    std::vector<std::string> written_;
};

TEST_F(RichTextFiles, LoadingReplacesTheDocumentOnlyWhenTheFileReads) {
    const std::u16string rtf = File("doc.rtf", "{\\rtf1 From a file\\par}");
    const std::u16string plain = File("doc.txt", "plain one\r\nplain two");
    const std::u16string control = File("bad.txt", std::string("bell\x07", 5));
    const std::u16string big = File("big.rtf", "{\\rtf1 " + std::string((16u << 20) + 1, 'x') + "}");
    Start(Desc(Short), {{Rich(113, {Text(rtf)})}});
    EXPECT_EQ(Paragraphs(), std::vector<std::string>{"From a file\n"});
    RichTextFrame::TearDown();
    for (const std::u16string& refused :
         {control, big, std::u16string(u"/no/such/file.rtf"), std::u16string()}) {
        Start(Desc(Short), {{Rich(113, {Text(refused)})}});
        EXPECT_EQ(Paragraphs().size(), 3u) << "unchanged";
        RichTextFrame::TearDown();
    }
    Start(Desc(Short), {{Rich(113, {Text(plain)})}});
    EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"plain one\n", "plain two\n"}));
}

TEST_F(RichTextFiles, AFileGoesInAtTheStartOfTheFirstSelection) {
    const std::u16string rtf = File("part.rtf", "{\\rtf1 middle\\par}");
    Start(Desc(Short), {{Rich(89, {Int(2)}), Rich(114, {Text(rtf)})}});
    EXPECT_EQ(Paragraphs(),
              (std::vector<std::string>{"one two\n", "middle\n", "three four five\n", "six\n"}));
}

struct ExpressionCase {
    const char* name;
    ExpressionBuilder expression;
    std::function<std::int32_t(RtfDocument&)> expected;
};

class RichTextExpressions : public RichTextFrame, public ::testing::WithParamInterface<ExpressionCase> {};

ExpressionBuilder Of(std::int16_t number, std::vector<std::int32_t> args = {}) {
    ExpressionBuilder e;
    e.Object(TypeRichText, number, 1);
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) e.Comma();
        e.Integer(args[i]);
    }
    if (!args.empty()) e.Close();
    return e;
}

RECT RectOf(const RtfDocument& d, int kind, std::int32_t n) {
    RtfPosition at;
    RECT r{};
    if (kind == UnitWord) RtfFindWord(d, n, at);
    if (kind == UnitLine) RtfFindLine(d, n, at);
    if (kind == UnitParagraph) at.paragraph = n - 1;
    RtfGetRect(d, r, at, kind);
    return r;
}

TEST_P(RichTextExpressions, AnswerFromTheDocument) {
    const ExpressionCase& c = GetParam();
    Start(Desc(Short, RtfVerticalBar), {{Rich(81, {Int(3)}), Rich(94, {Int(4)})}},
          {CounterTakes(c.expression)});
    Tick();
    EXPECT_EQ(Counted(), c.expected(Document()));
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, RichTextExpressions,
    ::testing::Values(
        ExpressionCase{"ScrollY", Of(81), [](RtfDocument&) { return 3; }},
        ExpressionCase{"PageHeight", Of(83), [](RtfDocument& d) { return d.Page().extent.bottom; }},
        ExpressionCase{"PageWidth", Of(82), [](RtfDocument& d) { return d.Page().extent.right; }},
        ExpressionCase{"Zoom", Of(84), [](RtfDocument&) { return 100; }},
        ExpressionCase{"WordAtAFramePoint", Of(86, {Left + 2, Top + 2 + 3}), [](RtfDocument&) { return 1; }},
        ExpressionCase{"NothingAtAPointOutside", Of(86, {0, 0}), [](RtfDocument&) { return 0; }},
        ExpressionCase{"LineAtAFramePoint", Of(93, {Left + 2, Top + 30}),
                       [](RtfDocument& d) {
                           RtfPosition at;
                           RtfHitTest(d, at, UnitLine, 2, 30 + 3);
                           return RtfLineNumber(d, at);
                       }},
        ExpressionCase{"ParagraphAtAFramePoint", Of(99, {Left + 2, Top + 30}),
                       [](RtfDocument& d) {
                           RtfPosition at;
                           RtfHitTest(d, at, UnitParagraph, 2, 30 + 3);
                           return at.paragraph + 1;
                       }},
        ExpressionCase{"WordXInTheFrame", Of(88, {3}),
                       [](RtfDocument& d) { return Left + RectOf(d, UnitWord, 3).left; }},
        ExpressionCase{"WordYInTheFrameLessTheScroll", Of(89, {3}),
                       [](RtfDocument& d) { return Top + RectOf(d, UnitWord, 3).top - 3; }},
        ExpressionCase{"WordWidth", Of(90, {2}),
                       [](RtfDocument& d) {
                           const RECT r = RectOf(d, UnitWord, 2);
                           return r.right - r.left;
                       }},
        ExpressionCase{"NumbersBelowOneCountAsOne", Of(91, {-5}),
                       [](RtfDocument& d) {
                           const RECT r = RectOf(d, UnitWord, 1);
                           return r.bottom - r.top;
                       }},
        ExpressionCase{"AWordPastTheEndIsZero", Of(90, {99}), [](RtfDocument&) { return 0; }},
        ExpressionCase{"LineYInTheFrame", Of(95, {2}),
                       [](RtfDocument& d) { return Top + RectOf(d, UnitLine, 2).top - 3; }},
        ExpressionCase{"LineWidth", Of(96, {2}),
                       [](RtfDocument& d) {
                           const RECT r = RectOf(d, UnitLine, 2);
                           return r.right - r.left;
                       }},
        ExpressionCase{"ParagraphHeight", Of(103, {2}),
                       [](RtfDocument& d) {
                           const RECT r = RectOf(d, UnitParagraph, 2);
                           return r.bottom - r.top;
                       }},
        ExpressionCase{"ParagraphYInTheDocument", Of(109, {3}),
                       [](RtfDocument& d) { return RectOf(d, UnitParagraph, 3).top; }},
        ExpressionCase{"WordXInTheDocument", Of(104, {2}),
                       [](RtfDocument& d) { return RectOf(d, UnitWord, 2).left; }},
        ExpressionCase{"LineYInTheDocument", Of(107, {3}),
                       [](RtfDocument& d) { return RectOf(d, UnitLine, 3).top; }},
        ExpressionCase{"Memory", Of(110),
                       [](RtfDocument& d) { return static_cast<std::int32_t>(RtfMemoryUsed(d)); }},
        ExpressionCase{"CursorWord", Of(111), [](RtfDocument&) { return 4; }},
        // The length of word 2's text ("two"), its trailing space left out.
        ExpressionCase{"WordText",
                       ExpressionBuilder()
                           .Raw(EventCodeOf(TypeSpecial, 22), {})
                           .Object(TypeRichText, 87, 1)
                           .Integer(2)
                           .Close()
                           .Close(),
                       [](RtfDocument&) { return 3; }}),
    [](const auto& info) { return std::string(info.param.name); });

struct BarCase {
    const char* name;
    std::string rtf;
    std::uint32_t options;
    bool vertical, horizontal;
};

class RichTextBars : public RichTextFrame, public ::testing::WithParamInterface<BarCase> {};

TEST_P(RichTextBars, ExistOnlyWhenAskedForAndNeeded) {
    const BarCase& c = GetParam();
    Start(Desc(c.rtf, c.options));
    Tick();
    RichTextPart& r = Part();
    EXPECT_EQ(r.verticalBar != nullptr, c.vertical);
    EXPECT_EQ(r.horizontalBar != nullptr, c.horizontal);
    if (r.verticalBar) {
        EXPECT_EQ(GetParent(r.verticalBar), Services().frameWindow);
        EXPECT_TRUE(IsWindowVisible(r.verticalBar));
        SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
        ASSERT_TRUE(GetScrollInfo(r.verticalBar, SB_CTL, &info));
        const RtfDocument& d = *r.document;
        EXPECT_EQ(info.nMax - static_cast<int>(info.nPage) + 1,
                  d.Page().extent.bottom - (d.view.bottom - d.view.top));
        RECT placed{};
        GetWindowRect(r.verticalBar, &placed);
        EXPECT_EQ(placed.right - placed.left, 12);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, RichTextBars,
    ::testing::Values(BarCase{"NotAskedFor", Long, 0, false, false},
                      BarCase{"NotNeeded", "{\\rtf1 short}", RtfVerticalBar | RtfHorizontalBar, false, false},
                      BarCase{"Vertical", Long, RtfVerticalBar, true, false},
                      BarCase{"Horizontal", "{\\rtf1 Averyveryverylongwordwithoutanybreak}", RtfHorizontalBar,
                              false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RichTextFrame, TheHookScrollsByTheBarsCodes) {
    Start(Desc(Long, RtfVerticalBar));
    Tick();
    RichTextPart& r = Part();
    ASSERT_NE(r.verticalBar, nullptr);
    const std::int32_t page = Document().view.bottom - Document().view.top;
    const std::int32_t range = Document().Page().extent.bottom - page;
    const auto send = [&](int code, HWND from) {
        SendMessageW(Services().frameWindow, WM_VSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(from));
        return Document().scrollY;
    };
    EXPECT_EQ(send(SB_LINEDOWN, r.verticalBar), 12);
    EXPECT_EQ(send(SB_PAGEDOWN, r.verticalBar), 12 + page);
    EXPECT_EQ(send(SB_BOTTOM, r.verticalBar), 12 + page) << "other codes change nothing";
    EXPECT_EQ(send(SB_PAGEUP, r.verticalBar), 12);
    EXPECT_EQ(send(SB_LINEUP, r.verticalBar), 0);
    EXPECT_EQ(send(SB_LINEUP, r.verticalBar), 0) << "not above the top";
    EXPECT_EQ(GetScrollPos(r.verticalBar, SB_CTL), 0);
    for (int i = 0; i < 100; ++i)
        send(SB_PAGEDOWN, r.verticalBar);
    EXPECT_EQ(Document().scrollY, range) << "not below the end";
    EXPECT_EQ(GetScrollPos(r.verticalBar, SB_CTL), range);
    // A bar that is not the object's is not heard.
    HWND stranger = CreateWindowExW(0, u"SCROLLBAR", u"", WS_CHILD | SBS_VERT, 0, 0, 12, 50,
                                    Services().frameWindow, nullptr, nullptr, nullptr);
    EXPECT_EQ(send(SB_LINEUP, stranger), range);
    DestroyWindow(stranger);
    // Dragging the thumb to the top scrolls there.
    SendMessageW(r.verticalBar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, Height - 14));
    SendMessageW(r.verticalBar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(6, -200));
    EXPECT_EQ(Document().scrollY, 0);
    SendMessageW(r.verticalBar, WM_LBUTTONUP, 0, MAKELPARAM(6, -200));
    EXPECT_EQ(GetScrollPos(r.verticalBar, SB_CTL), 0);
}

struct FindCase {
    const char* name;
    const char* needle;
    bool wholeWord;
    std::vector<std::pair<std::int32_t, std::int32_t>> hits; // offsets in the first paragraph
};

class Find : public ::testing::TestWithParam<FindCase> {};

TEST_P(Find, SelectsEveryHit) {
    const FindCase& c = GetParam();
    auto d = Read("{\\rtf1 Cat, concatenate CATHEDRAL cat}");
    RtfFind(*d, c.needle, c.wholeWord, RtfFindMode::All);
    std::vector<std::pair<std::int32_t, std::int32_t>> hits;
    for (const RtfRange& r : d->selection)
        hits.emplace_back(r.start.offset, r.end.offset);
    EXPECT_EQ(hits, c.hits);
}

INSTANTIATE_TEST_SUITE_P(Texts, Find,
                         ::testing::Values(FindCase{"WholeWordCat", "cat", true, {{0, 3}, {27, 30}}},
                                           FindCase{
                                               "AnyCat", "cat", false, {{0, 3}, {8, 11}, {17, 20}, {27, 30}}},
                                           FindCase{"WholeWordLongerThanTheWord", "cats", true, {}},
                                           FindCase{"Nothing", "", false, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FindNext, GoesOnFromTheWordAfterTheLastHit) {
    auto d = Read("{\\rtf1 cat dog cat dog}");
    RtfFind(*d, "dog", true, RtfFindMode::First);
    ASSERT_EQ(d->selection.size(), 1u);
    EXPECT_EQ(d->selection[0].start.offset, 4);
    RtfFind(*d, d->search.text, d->search.wholeWord, RtfFindMode::Next);
    ASSERT_EQ(d->selection.size(), 2u);
    EXPECT_EQ(d->selection[1].start.offset, 12);
    RtfFind(*d, d->search.text, d->search.wholeWord, RtfFindMode::Next);
    EXPECT_EQ(d->selection.size(), 2u) << "no more";
}

TEST_F(RichTextFrame, ASavedStateRestoresScrollAndZoomTogether) {
    Start(Desc(Long, RtfVerticalBar), {{Rich(82, {Int(200)}), Rich(81, {Int(30)})}});
    RunObject* o = Slot(0);
    std::vector<std::uint8_t> state;
    WriteRichTextState(o, state);
    ASSERT_EQ(state.size(), RichTextStateBytes);
    // Back to zoom 100 at the top, then restored.
    RtfSetProperty(Document(), 100, 0, PropertyZoom);
    RtfSetProperty(Document(), 0, 0, PropertyScroll);
    EXPECT_FALSE(ReadRichTextState(o, std::span(state).first(8))) << "short";
    EXPECT_EQ(Document().zoom, 100);
    ASSERT_TRUE(ReadRichTextState(o, state));
    EXPECT_EQ(Document().zoom, 200);
    EXPECT_EQ(Document().scrollY, 30);
    // Through the position file's routines of the kind: a u32 length, then the state.
    const KindPositionRoutines* kind = KindPositionRoutinesOf(TypeRichText);
    ASSERT_NE(kind, nullptr);
    PositionWriter w;
    ASSERT_TRUE(kind->write(w, o));
    ASSERT_EQ(w.bytes.size(), 4 + RichTextStateBytes);
    SavedObject saved;
    ByteReader r(w.bytes);
    ASSERT_TRUE(kind->read(r, saved));
    RtfSetProperty(Document(), 100, 0, PropertyZoom);
    ASSERT_TRUE(kind->apply(o, saved));
    EXPECT_EQ(Document().zoom, 200);
    std::vector<std::uint8_t> damaged = w.bytes;
    damaged[0] = 5;
    ByteReader bad(damaged);
    SavedObject refused;
    EXPECT_FALSE(kind->read(bad, refused));
}

} // namespace
