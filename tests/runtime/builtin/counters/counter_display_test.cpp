// Score, lives and counter objects drawn in the frame window: digit images right-aligned on the object's
// position, bars between their limits, animation frames chosen by the value and lives in rows, each against
// a picture the test composes itself.
#include "counters_fixture.h"

#include <limits>

using namespace counterstest;

namespace {

// Puts the digit pictures of a text so that they end at (right, bottom), as the counter's hot spot asks.
void PutDigits(NaiveCompositor& picture, const std::string& text, int right, int bottom) {
    int x = right - DigitWidth * static_cast<int>(text.size());
    for (char c : text) {
        const int image = c == '-' ? 10 : c == '+' ? 11 : c == '.' ? 12 : c == 'e' ? 13 : c - '0';
        picture.Put(DigitPicture(image), x, bottom - DigitHeight, KeyedInk);
        x += DigitWidth;
    }
}

void FillBox(NaiveCompositor& picture, int left, int top, int width, int height, COLORREF colour) {
    Picture box;
    box.width = static_cast<std::int16_t>(width);
    box.height = static_cast<std::int16_t>(height);
    box.colour = [colour](int, int) { return colour; };
    if (width > 0 && height > 0) picture.Put(box, left, top, 0);
}

class CounterDisplay : public CounterTest {};

TEST_F(CounterDisplay, DigitsEndAtTheCountersPosition) {
    StartDescribed(Application({CounterObject(1, TypeCounter, Digits(), {345, 0, 1000}),
                                CounterObject(2, TypeCounter, Digits(3), {-7, -100, 100})},
                               {{1, 1, 100, 50, 0, 0, 0}, {2, 2, 60, 90, 0, 0, 0}}));
    Tick();
    NaiveCompositor expected;
    PutDigits(expected, "345", 100, 50);
    PutDigits(expected, "-007", 60, 90);
    ExpectWindowShows(expected);
}

TEST_F(CounterDisplay, NewDigitsReplaceTheOldOnes) {
    StartDescribed(Application({CounterObject(1, TypeCounter, Digits(), {1234, 0, 100000})},
                               {{1, 1, 100, 50, 0, 0, 0}}));
    Tick();
    SetCounterValue(Object(0), TypedValue::Int(56));
    Tick();
    NaiveCompositor expected;
    PutDigits(expected, "56", 100, 50);
    ExpectWindowShows(expected);
}

TEST_F(CounterDisplay, AScoreDisplayShowsItsPlayersScoreAndFollowsIt) {
    appwriter::ApplicationDescription d =
        Application({CounterObject(1, TypeScoreDisplay, Digits())}, {{1, 1, 80, 40, 0, 0, 0}});
    d.header->initialScore = 120;
    StartDescribed(d);
    Tick();
    EXPECT_EQ(Value(0).integer, 120);
    app_->globals.scores[0] = ~95;
    Tick();
    NaiveCompositor expected;
    PutDigits(expected, "95", 80, 40);
    ExpectWindowShows(expected);
}

TEST_F(CounterDisplay, ADoubleCounterShowsItsFormattedValue) {
    StartDescribed(
        Application({CounterObject(1, TypeCounter, Digits(), {0, -10, 10})}, {{1, 1, 100, 50, 0, 0, 0}}));
    SetCounterValue(Object(0), TypedValue::Double(-2.5));
    Tick();
    NaiveCompositor expected;
    PutDigits(expected, "-2.5", 100, 50);
    ExpectWindowShows(expected);
}

struct BarCase {
    const char* name;
    std::int32_t value;
    std::int32_t length; // of a 200-pixel bar between 0 and 100
};

class BarLength : public CounterTest, public ::testing::WithParamInterface<BarCase> {};

TEST_P(BarLength, FillsItsShareOfTheFullSize) {
    constexpr COLORREF Green = RGB(20, 180, 40);
    StartDescribed(
        Application({CounterObject(1, TypeCounter, Bar(CounterHorizontalBar, 200, 8, Green), {0, 0, 100})},
                    {{1, 1, 10, 20, 0, 0, 0}}));
    // Set past the limits, the value is held at them; the length is then checked on a value outside them.
    CounterPart& c = Counter(0);
    c.value = TypedValue::Int(~GetParam().value);
    Object(0)->displayRoutine(Object(0));
    Tick();
    EXPECT_EQ(c.frame, GetParam().length);
    NaiveCompositor expected;
    FillBox(expected, 10, 20, std::min(GetParam().length, FrameWidth - 10), 8, Green);
    ExpectWindowShows(expected);
}

INSTANTIATE_TEST_SUITE_P(Counters, BarLength,
                         ::testing::Values(BarCase{"AtTheMinimum", 0, 0}, BarCase{"Half", 50, 100},
                                           BarCase{"AtTheMaximum", 100, 200},
                                           BarCase{"BeyondTheMaximum", 250, 200},
                                           BarCase{"BelowTheMinimum", -40, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CounterDisplay, AVerticalBarFromItsFarEndGrowsUpFromTheBottom) {
    constexpr COLORREF Blue = RGB(30, 60, 220);
    StartDescribed(Application({CounterObject(1, TypeCounter,
                                              [] {
                                                  appwriter::CounterDesc c =
                                                      Bar(CounterVerticalBar, 6, 40, Blue);
                                                  c.format = FormatBarFromFarEnd;
                                                  return c;
                                              }(),
                                              {25, 0, 100})},
                               {{1, 1, 30, 30, 0, 0, 0}}));
    Tick();
    NaiveCompositor expected;
    FillBox(expected, 30, 30 + 40 - 10, 6, 10, Blue);
    ExpectWindowShows(expected);
}

struct RangeCase {
    const char* name;
    std::int32_t minimum, maximum, value, full, length;
};

class BarRange : public ::testing::TestWithParam<RangeCase> {};

// The whole range of scores, or limits that leave no room, never overflow or divide by zero.
TEST_P(BarRange, LengthIsComputedInSixtyFourBitsAndClamped) {
    CounterPart c{};
    c.limits.minimum = GetParam().minimum;
    c.limits.maximum = GetParam().maximum;
    c.value = TypedValue::Int(~GetParam().value);
    EXPECT_EQ(CounterBarLength(c, GetParam().full), GetParam().length);
}

constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Counters, BarRange,
    ::testing::Values(RangeCase{"FullScoreRangeTop", -999999999, 999999999, 999999999, 200, 200},
                      RangeCase{"FullScoreRangeMiddle", -999999999, 999999999, 0, 200, 100},
                      RangeCase{"WidestLimits", Min32, Max32, Max32, Max32, Max32},
                      RangeCase{"WidestLimitsLow", Min32, Max32, Min32, Max32, 0},
                      RangeCase{"EqualLimits", 5, 5, 5, 200, 0},
                      RangeCase{"LimitsCrossed", 10, 0, 5, 200, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CounterFrames, TheFrameIndexStaysAmongTheFrames) {
    CounterPart c{};
    c.limits.minimum = 0;
    c.limits.maximum = 10;
    for (auto [value, frame] : {std::pair{0, 0}, {5, 1}, {10, 2}, {99, 2}, {-5, 0}}) {
        c.value = TypedValue::Int(~value);
        EXPECT_EQ(CounterFrameIndex(c, 3), frame) << value;
    }
    c.limits.maximumReal = 10;
    c.value = TypedValue::Double(1e300);
    EXPECT_EQ(CounterFrameIndex(c, 3), 2);
    EXPECT_EQ(CounterFrameIndex(c, 0), -1);
}

TEST_F(CounterDisplay, AnAnimatedCounterShowsTheFrameItsValueChooses) {
    appwriter::CounterDesc frames;
    frames.displayType = CounterAnimation;
    frames.images = {FirstFrame, FirstFrame + 1, FirstFrame + 2};
    StartDescribed(
        Application({CounterObject(1, TypeCounter, frames, {5, 0, 10})}, {{1, 1, 50, 50, 0, 0, 0}}));
    Tick();
    NaiveCompositor expected;
    expected.Put(FramePicture(1), 50 - 3, 50 - 2, KeyedInk);
    ExpectWindowShows(expected);
}

TEST_F(CounterDisplay, ALivesDisplayThatOutgrowsItsWidthTakesTwoRows) {
    appwriter::CounterDesc lives;
    lives.displayType = CounterAnimation;
    lives.width = 2 * LifeSize;
    lives.height = LifeSize;
    lives.images = {LifeImage};
    appwriter::ApplicationDescription d =
        Application({CounterObject(1, TypeLivesDisplay, lives)}, {{1, 1, 40, 30, 0, 0, 0}});
    d.header->initialLives = 3;
    StartDescribed(d);
    Tick();
    EXPECT_EQ(Object(0)->width, 2 * LifeSize);
    EXPECT_EQ(Object(0)->height, 2 * LifeSize);
    NaiveCompositor expected;
    expected.Put(LifePicture(), 40, 30, KeyedInk);
    expected.Put(LifePicture(), 40 + LifeSize, 30, KeyedInk);
    expected.Put(LifePicture(), 40, 30 + LifeSize, KeyedInk);
    ExpectWindowShows(expected);
}

TEST_F(CounterDisplay, LivesThatFitInTheWidthStayInOneRow) {
    appwriter::CounterDesc lives;
    lives.displayType = CounterAnimation;
    lives.width = 4 * LifeSize;
    lives.height = LifeSize;
    lives.images = {LifeImage};
    appwriter::ApplicationDescription d =
        Application({CounterObject(1, TypeLivesDisplay, lives)}, {{1, 1, 10, 10, 0, 0, 0}});
    d.header->initialLives = 3;
    StartDescribed(d);
    Tick();
    EXPECT_EQ(Object(0)->width, 3 * LifeSize);
    EXPECT_EQ(Object(0)->height, LifeSize);
}

// A billion lives: the box stays within what can be drawn, and only what the window shows is drawn.
TEST_F(CounterDisplay, AHugeNumberOfLivesIsDrawnOnlyWhereItFits) {
    appwriter::CounterDesc lives;
    lives.displayType = CounterAnimation;
    lives.width = 3 * LifeSize;
    lives.height = LifeSize;
    lives.images = {LifeImage};
    appwriter::ApplicationDescription d =
        Application({CounterObject(1, TypeLivesDisplay, lives)}, {{1, 1, 0, 0, 0, 0, 0}});
    d.header->initialLives = 999999999;
    StartDescribed(d);
    Tick();
    EXPECT_EQ(Object(0)->width, 3 * LifeSize);
    EXPECT_LE(Object(0)->height, 0x7FFF);
    NaiveCompositor expected;
    for (int y = 0; y < FrameHeight; y += LifeSize)
        for (int x = 0; x < 3 * LifeSize; x += LifeSize)
            expected.Put(LifePicture(), x, y, KeyedInk);
    ExpectWindowShows(expected);
}

TEST_F(CounterDisplay, ATextCounterDrawsItsDigitsInItsColour) {
    constexpr COLORREF Ink = RGB(250, 250, 0);
    appwriter::CounterDesc text;
    text.displayType = CounterText;
    text.width = 60;
    text.height = 20;
    text.font = 1;
    text.colour1 = Ink;
    StartDescribed(Application({CounterObject(1, TypeCounter, text, {88, 0, 100})}, {{1, 1, 20, 20, 0, 0, 0}},
                               {}, {appwriter::FontItemDesc{14, 700, u"DejaVu Sans"}}));
    Tick();
    int inked = 0, outside = 0;
    for (int y = 0; y < FrameHeight; ++y)
        for (int x = 0; x < FrameWidth; ++x) {
            if (Shown(x, y) == Background) continue;
            const bool inBox = x >= 20 && x < 80 && y >= 20 && y < 40;
            (inBox && Shown(x, y) == Ink ? inked : outside) += 1;
        }
    EXPECT_GT(inked, 10) << "the digits are drawn in the box";
    EXPECT_EQ(outside, 0);
    // Right-aligned: the text ends near the box's right edge and leaves its left half empty.
    bool leftHalfEmpty = true;
    for (int y = 20; y < 40; ++y)
        for (int x = 20; x < 50; ++x)
            leftHalfEmpty = leftHalfEmpty && Shown(x, y) == Background;
    EXPECT_TRUE(leftHalfEmpty);
}

} // namespace
