// The demo's application data run headless to its level: the score's digits, the hearts of the lives and the
// level's name are drawn where the display puts them, and a new score shows at once; and its title shows the
// game's name and what starts it.
#include "application_run.h"
#include "builtin/counters.h"
#include "core/application_record.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "demo/demo_hud_layout.h"
#include "demo/title_layout.h"
#include "objects/transition_modules.h"
#include "runtime/waited_clock.h"

#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace vtrrt;
using win32::COLORREF;

std::vector<std::uint8_t> DemoData() {
    std::ifstream in(VTR_DEMO_DATA, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

COLORREF Shown(int x, int y) {
    return win32::testing::ReadWindowPixel(Services().frameWindow, x, y);
}

constexpr COLORREF Digit = win32::RGB(DigitColour[0], DigitColour[1], DigitColour[2]);

class DemoHud : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        bytes_ = DemoData();
        ASSERT_FALSE(bytes_.empty());
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
        // The title waits for a key: the level is asked for directly.
        for (int i = 0; i < 5000 && !(app_->runState == StateRunFrame && CurrentRunState()); ++i)
            ASSERT_EQ(Step(), 1);
        CurrentRunState()->exitCode = ExitNextFrame;
        for (int i = 0; i < 5000 && !(app_->currentFrameIndex == 1 && app_->runState == StateRunFrame); ++i)
            ASSERT_EQ(Step(), 1);
        ASSERT_EQ(app_->currentFrameIndex, 1);
        Loops(3);
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        FreeTransitionModules();
        SetFrameClock(previousClock_);
    }
    // The title's fade-in steps without waiting: its steps take simulated time too.
    int Step() { return runtime_test::StepApplication(app_.get(), clock_); }
    void Loops(int n) {
        const std::int64_t target = CurrentRunState()->loopCount + n;
        for (int i = 0; i < 5000 && CurrentRunState()->loopCount < target; ++i)
            ASSERT_EQ(Step(), 1);
    }
    // Whether the score shows these digits, cell by cell: lit cells in the digits' colour, the others not.
    void ExpectScore(const std::string& digits) {
        int wrong = 0;
        for (std::size_t d = 0; d < digits.size(); ++d) {
            const auto& glyph = DigitGlyphs[static_cast<std::size_t>(digits[d] - '0')];
            for (int row = 0; row < DigitRows; ++row)
                for (int cell = 0; cell < DigitCells; ++cell) {
                    const int x = ScoreLeft + static_cast<int>(d) * DigitWidth + cell * DigitScale + 1;
                    const int y = ScoreTop + row * DigitScale + 1;
                    const bool lit =
                        glyph[static_cast<std::size_t>(row)][static_cast<std::size_t>(cell)] == '#';
                    if ((Shown(x, y) == Digit) != lit && wrong++ < 5)
                        ADD_FAILURE() << "digit " << d << " of " << digits << ", cell " << cell << "," << row;
                }
        }
        EXPECT_EQ(wrong, 0);
    }

    wiringtest::BuiltModulesFolder modules_;
    runtime_test::FakeWindowClock windowClock_;
    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(DemoHud, TheLevelShowsItsScoreLivesAndName) {
    ExpectScore("00000");
    int hearts = 0;
    for (int x = LivesRight - LivesShown * HeartSize; x < LivesRight; ++x)
        if (Shown(x, LivesTop + HeartSize / 2) == win32::RGB(0xE0, 0x30, 0x50)) ++hearts;
    EXPECT_GT(hearts, LivesShown * HeartSize / 2);
    int white = 0;
    for (int y = 12; y < 40; ++y)
        for (int x = 220; x < 420; ++x)
            if (Shown(x, y) == 0xFFFFFF) ++white;
    EXPECT_GT(white, 40) << "the level's name is written";
}

TEST_F(DemoHud, ANewScoreShowsAtTheNextLoop) {
    app_->globals.scores[0] = ~1250;
    Loops(1);
    ExpectScore("01250");
}

// The title, once faded in, writes the game's name above the spinners and the way to start below the panel,
// each in its own colour and nowhere else.
TEST(DemoTitle, ShowsTheGamesNameAndHowToStart) {
    wiringtest::BuiltModulesFolder modules;
    runtime_test::FakeWindowClock windowClock;
    runtime_test::WaitedClock clock;
    FrameClock* previous = SetFrameClock(&clock);
    const std::vector<std::uint8_t> bytes = DemoData();
    ASSERT_FALSE(bytes.empty());
    loadertest::RecordPtr app;
    ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes, app));
    for (int i = 0; i < 5000 && !(app->runState == StateRunFrame && CurrentRunState()); ++i)
        ASSERT_EQ(runtime_test::StepApplication(app.get(), clock), 1);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(runtime_test::StepApplication(app.get(), clock), 1);
    const auto count = [](COLORREF colour, int top, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < 640; ++x)
                if (Shown(x, y) == colour) ++n;
        return n;
    };
    EXPECT_GT(count(TitleNameColour, TitleNameTop, TitleNameTop + TitleNameHeight), 400)
        << "the name is written";
    EXPECT_GT(count(TitlePromptColour, TitlePromptTop, TitlePromptTop + TitlePromptHeight), 300)
        << "the prompt is written";
    EXPECT_EQ(count(TitleNameColour, TitleNameTop + TitleNameHeight, 480), 0);
    EXPECT_EQ(count(TitlePromptColour, 0, TitlePromptTop), 0);
    wiringtest::StopApplicationRun(app);
    FreeTransitionModules();
    SetFrameClock(previous);
}

} // namespace
