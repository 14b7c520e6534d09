// Text objects: the paragraph shown and the run-time string, their actions and expressions through a frame's
// events, their text drawn in their box, and a paragraph shown again where a text already stands.
#include "counters_fixture.h"

#include "events/event_evaluation.h"
#include "objects/object_sprites.h"

using namespace counterstest;
using appwriter::ExpressionBuilder;

namespace {

constexpr COLORREF Yellow = RGB(250, 230, 20);
constexpr COLORREF CounterInk = RGB(10, 20, 30);

const std::vector<appwriter::ParagraphDesc> ThreeParagraphs{
    {1, 0, Yellow, u"First"}, {1, 0, Yellow, u"42"}, {1, 0, Yellow, u"Third"}};

const std::vector<appwriter::FontItemDesc> Fonts{{14, 700, u"DejaVu Sans"}};

appwriter::EventRecordDesc TextAction(std::int16_t number,
                                      std::vector<appwriter::EventParameterDesc> params = {}) {
    appwriter::EventRecordDesc r;
    r.type = TypeText;
    r.number = number;
    r.objectInfo = 1;
    r.parameters = std::move(params);
    return r;
}

// An action of any object type on one object info.
appwriter::EventRecordDesc On(std::int16_t type, std::uint16_t objectInfo, std::int16_t number,
                              std::vector<appwriter::EventParameterDesc> params = {}) {
    appwriter::EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.objectInfo = objectInfo;
    r.parameters = std::move(params);
    return r;
}

appwriter::EventParameterDesc Expression(ExpressionBuilder e) {
    return appwriter::ExpressionParameter(22, std::move(e));
}

// A counter (object 2) takes the value of an expression every loop.
appwriter::EventRecordDesc CounterTakes(ExpressionBuilder e) {
    appwriter::EventRecordDesc r;
    r.type = TypeCounter;
    r.number = 80;
    r.objectInfo = 2;
    r.parameters.push_back(Expression(std::move(e)));
    return r;
}

class TextObjects : public CounterTest {
protected:
    // A text (object 1, slot 0) at (20, 30) in a 100 x 30 box, a counter (object 2, slot 1) and a text
    // counter in the font (object 3, slot 2); the groups run once each at the first loop, in order, then
    // `everyLoop` on every loop.
    void Start(const std::vector<std::vector<appwriter::EventRecordDesc>>& once,
               std::vector<appwriter::EventRecordDesc> everyLoop = {}) {
        appwriter::EventProgramBuilder b = Program(3);
        AddFirstLoopGroups(b, once, std::move(everyLoop));
        appwriter::CounterDesc inFont;
        inFont.displayType = CounterText;
        inFont.width = 60;
        inFont.height = 20;
        inFont.colour1 = CounterInk;
        inFont.font = 1;
        StartDescribed(
            Application({TextObject(1, 100, 30, ThreeParagraphs),
                         CounterObject(2, TypeCounter, Digits(), {0, -999999999, 999999999}),
                         CounterObject(3, TypeCounter, inFont)},
                        {{1, 1, 20, 30, 0, 0, 0}, {2, 2, 150, 110, 0, 0, 0}, {3, 3, 200, 150, 0, 0, 0}},
                        b.ChunkPayload(), Fonts));
        Tick();
    }
    TextPart& Text() {
        TextPart* t = TextOf(Slot(0));
        EXPECT_NE(t, nullptr);
        return *t;
    }
    std::u16string RunTimeString() { return Text().string ? std::u16string(Text().string) : u"<none>"; }
};

struct ClampCase {
    const char* name;
    std::int32_t index, shown;
};

class ParagraphClamping : public TextObjects, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(ParagraphClamping, TheIndexStaysAmongTheParagraphsOrTheString) {
    Start({});
    SelectTextParagraph(Slot(0), GetParam().index);
    EXPECT_EQ(Text().index, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, ParagraphClamping,
                         ::testing::Values(ClampCase{"FarBelow", -5, -1}, ClampCase{"TheString", -1, -1},
                                           ClampCase{"First", 0, 0}, ClampCase{"Last", 2, 2},
                                           ClampCase{"PastTheLast", 3, 2}, ClampCase{"FarPast", 1000, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextObjects, AChosenParagraphIsCopiedIntoTheString) {
    Start({});
    EXPECT_EQ(Text().count, 3);
    EXPECT_EQ(Text().index, 0);
    SelectTextParagraph(Slot(0), 2);
    EXPECT_EQ(RunTimeString(), u"Third");
}

TEST_F(TextObjects, ParagraphZeroCountedFromOneShowsTheString) {
    Start({{TextAction(84, {Expression(ExpressionBuilder().Integer(0))})}});
    EXPECT_EQ(Text().index, -1);
}

TEST_F(TextObjects, AConstantParagraphIsCountedFromZero) {
    Start({{TextAction(84, {appwriter::ShortParameter(31, 1)})}});
    EXPECT_EQ(Text().index, 1);
}

TEST_F(TextObjects, NextOnTheLastParagraphKeepsIt) {
    Start({{TextAction(84, {appwriter::ShortParameter(31, 2)}), TextAction(86)}});
    EXPECT_EQ(Text().index, 2);
}

TEST_F(TextObjects, PreviousStopsAtTheFirstParagraph) {
    Start({{TextAction(85), TextAction(85)}});
    EXPECT_EQ(Text().index, 0);
}

TEST_F(TextObjects, AStringEqualToTheCurrentOneIsNotShownAgain) {
    Start({{TextAction(88, {Expression(ExpressionBuilder().String(u"Hello"))})}},
          {TextAction(88, {Expression(ExpressionBuilder().String(u"Hello"))})});
    EXPECT_EQ(RunTimeString(), u"Hello");
    EXPECT_EQ(Text().index, -1);
    Tick();
    EXPECT_EQ(ExtendedOf(Slot(0))->changed, 0);
}

TEST_F(TextObjects, TheStringsValueAndTheParagraphsAreReadByExpressions) {
    ExpressionBuilder sum;
    // The string's number (42), plus 100 times the paragraph number (2), plus 1000 times the count (3).
    sum.Object(TypeText, 83, 1)
        .Operator(appwriter::OperatorAddCode)
        .Object(TypeText, 80, 1)
        .Operator(appwriter::OperatorMultiplyCode)
        .Integer(100)
        .Operator(appwriter::OperatorAddCode)
        .Object(TypeText, 84, 1)
        .Operator(appwriter::OperatorMultiplyCode)
        .Integer(100);
    Start({{TextAction(84, {appwriter::ShortParameter(31, 1)})}}, {CounterTakes(sum)});
    Tick();
    EXPECT_EQ(CounterValue(*CounterOf(Slot(1))).integer, 42 + 200 + 300);
}

TEST_F(TextObjects, AParagraphsTextIsReadByItsNumberFromZero) {
    // The length of paragraph 2 ("Third"), and of the last for a number past the count.
    ExpressionBuilder lengths;
    lengths.Raw(EventCodeOf(TypeSpecial, 22), {})
        .Object(TypeText, 82, 1)
        .Integer(2)
        .Close()
        .Close()
        .Operator(appwriter::OperatorMultiplyCode)
        .Integer(10)
        .Operator(appwriter::OperatorAddCode)
        .Raw(EventCodeOf(TypeSpecial, 22), {})
        .Object(TypeText, 82, 1)
        .Integer(9)
        .Close()
        .Close();
    Start({}, {CounterTakes(lengths)});
    Tick();
    EXPECT_EQ(CounterValue(*CounterOf(Slot(1))).integer, 55);
}

TEST_F(TextObjects, TheTextIsDrawnInItsColourInsideItsBox) {
    Start({});
    int inked = 0, outside = 0;
    for (int y = 0; y < FrameHeight; ++y)
        for (int x = 0; x < 140; ++x) {
            if (Shown(x, y) == Background) continue;
            const bool inBox = x >= 20 && x < 120 && y >= 30 && y < 60;
            (inBox && Shown(x, y) == Yellow ? inked : outside) += 1;
        }
    EXPECT_GT(inked, 20);
    EXPECT_EQ(outside, 0);
}

TEST_F(TextObjects, DestroyingATextRemovesIt) {
    Start({{TextAction(80)}});
    Tick();
    EXPECT_EQ(Slot(0), nullptr);
}

TEST_F(TextObjects, AParagraphShownWhereATextStandsReusesIt) {
    Start({});
    const std::int32_t count = CurrentRunState()->objectCount;
    EXPECT_EQ(ShowTextParagraphAt(1, 2, 20, 30), 0);
    EXPECT_EQ(CurrentRunState()->objectCount, count);
    EXPECT_EQ(Text().index, 2);
    const std::int32_t other = ShowTextParagraphAt(1, 1, 60, 80);
    ASSERT_GE(other, 0);
    EXPECT_EQ(CurrentRunState()->objectCount, count + 1);
    EXPECT_EQ(TextOf(Slot(other))->index, 1);
}

struct ShowAtCase {
    const char* name;
    appwriter::PositionDesc at;
    std::int16_t paragraph;
    std::int32_t x, y;
    bool reused;
};

class ShowParagraphAt : public TextObjects, public ::testing::WithParamInterface<ShowAtCase> {};

TEST_P(ShowParagraphAt, ReusesTheTextStandingThereOrMakesOne) {
    const ShowAtCase& c = GetParam();
    Start({{TextAction(
        81, {appwriter::PositionParameter(16, c.at), appwriter::ShortParameter(31, c.paragraph)})}});
    const std::int32_t made = CurrentRunState()->objectCount - 3;
    EXPECT_EQ(made, c.reused ? 0 : 1);
    RunObject* shown = nullptr;
    for (int slot = 0; slot < 8 && !shown; ++slot)
        if (RunObject* o = Slot(slot); o && TextOf(o) && o->x == c.x && o->y == c.y) shown = o;
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown == Slot(0), c.reused);
    EXPECT_EQ(TextOf(shown)->index, c.paragraph);
    EXPECT_EQ(TextShown(shown), ThreeParagraphs[static_cast<std::size_t>(c.paragraph)].text);
}

appwriter::PositionDesc Absolute(std::int16_t x, std::int16_t y) {
    appwriter::PositionDesc at;
    at.x = x;
    at.y = y;
    return at;
}
appwriter::PositionDesc NextToTheCounter(std::int16_t dx, std::int16_t dy) {
    appwriter::PositionDesc at = Absolute(dx, dy);
    at.parent = 2;
    at.parentType = TypeCounter;
    return at;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShowParagraphAt,
    ::testing::Values(ShowAtCase{"WhereTheTextStands", Absolute(20, 30), 2, 20, 30, true},
                      ShowAtCase{"Elsewhere", Absolute(60, 80), 1, 60, 80, false},
                      ShowAtCase{"NextToAnObject", NextToTheCounter(5, -5), 0, 155, 105, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextObjects, AParagraphShownToFlashFlashesAtItsInterval) {
    Start({{TextAction(82, {appwriter::PositionParameter(16, Absolute(60, 80)),
                            appwriter::ShortParameter(31, 1), appwriter::IntParameter(2, 300)})}});
    RunObject* made = Slot(3);
    ASSERT_NE(made, nullptr);
    ASSERT_NE(SpriteBlockOf(made), nullptr);
    EXPECT_EQ(SpriteBlockOf(made)->flashInterval, 300);
}

TEST_F(TextObjects, TheCommonDestroyOnlyHidesATextKeepingItsOwnCopy) {
    Start({}, {On(TypeText, 1, 24)});
    Tick();
    EXPECT_EQ(Slot(0), nullptr);
    const int kept = CreateObject(-1, 1, 60, 80, 0, TextKeepsOwnCopy, 0, -1);
    ASSERT_GE(kept, 0);
    Tick();
    Tick();
    ASSERT_NE(Slot(kept), nullptr);
    EXPECT_TRUE(SpriteBlockOf(Slot(kept))->displayFlags & DisplayHidden);
    EXPECT_TRUE(TextOf(Slot(kept))->state & TextHiddenByDestroy);
}

// The font and colour of texts and counters, read by the common expressions and changed by the common
// actions: the counter of slot 1 takes (length of the font name) << 24 | text colour every loop.
struct FontColourCase {
    const char* name;
    std::int16_t type;
    std::uint16_t objectInfo;
    bool change;
    std::int32_t value;
};

class FontsAndColours : public TextObjects, public ::testing::WithParamInterface<FontColourCase> {};

TEST_P(FontsAndColours, ReachTheObjectsOwnFontAndColour) {
    const FontColourCase& c = GetParam();
    ExpressionBuilder both;
    both.Raw(EventCodeOf(TypeSpecial, 22), {})
        .Object(c.type, 20, c.objectInfo)
        .Close()
        .Operator(appwriter::OperatorMultiplyCode)
        .Integer(1 << 24)
        .Operator(appwriter::OperatorAddCode)
        .Object(c.type, 22, c.objectInfo);
    std::vector<std::vector<appwriter::EventRecordDesc>> once;
    if (c.change)
        once.push_back({On(c.type, c.objectInfo, 50,
                           {appwriter::ExpressionParameter(45, ExpressionBuilder().String(u"Serif"))}),
                        On(c.type, c.objectInfo, 56, {appwriter::IntParameter(24, 0x123456)})});
    Start(once, {CounterTakes(both)});
    Tick();
    EXPECT_EQ(CounterValue(*CounterOf(Slot(1))).integer, c.value);
    RunObject* o = Slot(c.objectInfo == 1 ? 0 : 2);
    win32::LOGFONTW font{};
    if (c.type == TypeText)
        GetTextFont(o, &font);
    else
        GetCounterFont(o, &font);
    EXPECT_EQ(std::u16string(font.lfFaceName), c.change ? u"Serif" : u"DejaVu Sans");
}

INSTANTIATE_TEST_SUITE_P(
    Objects, FontsAndColours,
    ::testing::Values(FontColourCase{"TextRead", TypeText, 1, false,
                                     (11 << 24) + static_cast<std::int32_t>(Yellow)},
                      FontColourCase{"TextChanged", TypeText, 1, true, (5 << 24) + 0x123456},
                      FontColourCase{"CounterRead", TypeCounter, 3, false,
                                     (11 << 24) + static_cast<std::int32_t>(CounterInk)},
                      FontColourCase{"CounterChanged", TypeCounter, 3, true, (5 << 24) + 0x123456}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
