// The whole demo, from its title, played headless for a long run on seeded random keys and clicks (and random
// answers to the game-over frame's question): the run moves between the title and the levels as the keys take
// it, and its resident memory at the end is within a few percent of what it was early on. Run under the
// sanitizers, any fault they find ends it.
#include "runtime/app/wiring/application_run.h"
#include "runtime/builtin/question/answering_clock.h"
#include "runtime/objects/movements/movement_fixture.h"
#include "support/scene.h"

#include "win32/window_testing.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>
#include <random>

namespace {

using namespace movementtest;

constexpr int Frames = 20000;
constexpr int Baseline = 2000;
constexpr double Tolerance = 0.05;

std::vector<std::uint8_t> DemoData() {
    std::ifstream in(VTR_DEMO_DATA, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Resident set size of this process, in bytes.
std::int64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// The frame clock is the window layer's fake clock, which the fades read too: waiting for a tick moves it,
// so a run of any speed sees the same simulated time.
class SimulatedClock final : public FrameClock {
public:
    win32::DWORD Now() override { return win32::timeGetTime(); }
    void WaitForMessage(win32::DWORD timeoutMs) override {
        win32::testing::AdvanceFakeClock(timeoutMs ? timeoutMs : 1);
    }
};

// The player answers the game-over frame's question at random, through the clock it waits on.
class RandomAnswers final : public FrameClock {
public:
    RandomAnswers(FrameClock& inner, std::mt19937& random) : inner_(inner), random_(random) {}
    win32::DWORD Now() override { return inner_.Now(); }
    void WaitForMessage(win32::DWORD timeoutMs) override {
        inner_.WaitForMessage(timeoutMs);
        const QuestionLayout* asked = QuestionAsked();
        if (!asked || asked->answers.empty()) return;
        ++answered;
        const auto n = static_cast<int>(asked->answers.size());
        questiontest::Click(std::uniform_int_distribution<int>(0, n - 1)(random_))(*asked);
    }
    int answered = 0;

private:
    FrameClock& inner_;
    std::mt19937& random_;
};

// Keys held for a while (the arrows and space) and keys tapped (Escape, Return), with their odds per frame.
struct KeyOdds {
    SDL_Scancode key;
    double press;   // of going down, while up
    double release; // of coming up, while down (1: let go on the next frame)
};
constexpr KeyOdds Keys[] = {
    {SDL_SCANCODE_LEFT, 1.0 / 40, 1.0 / 25}, {SDL_SCANCODE_RIGHT, 1.0 / 30, 1.0 / 25},
    {SDL_SCANCODE_UP, 1.0 / 60, 1.0 / 15},   {SDL_SCANCODE_DOWN, 1.0 / 60, 1.0 / 15},
    {SDL_SCANCODE_SPACE, 1.0 / 45, 1.0 / 6}, {SDL_SCANCODE_ESCAPE, 1.0 / 800, 1.0},
    {SDL_SCANCODE_RETURN, 1.0 / 400, 1.0},
};
constexpr double ClickOdds = 1.0 / 250;

class DemoSoak : public MovementTest {
protected:
    // As the program starts it: the demo's own routines, its first frame, no test stand-ins.
    void StartDemo() {
        win32::testing::ResetInputState();
        win32::testing::UseFakeClock(true);
        previousClock_ = SetFrameClock(&answers_);
        bytes_ = DemoData();
        ASSERT_FALSE(bytes_.empty());
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
        frameRate_ = ClampFrameRate(app_->header.frameRate);
    }
    void TearDown() override {
        MovementTest::TearDown();
        win32::testing::UseFakeClock(false);
    }

    // One pass of the program's loop. A fade steps without waiting for the next tick, so its tick passes
    // here; an application that has quit is started again, as a player would.
    void Step() {
        const win32::DWORD before = win32::timeGetTime();
        if (!RunApplicationStep(app_.get(), 0)) {
            ASSERT_EQ(app_->run.startError, 0) << "a frame could not start";
            ++restarts_;
            scene::EndStarted(*app_);
            ASSERT_EQ(StartApplication(app_.get()), 1);
            ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
        }
        if (win32::timeGetTime() == before) win32::testing::AdvanceFakeClock(1000 / frameRate_);
        if (app_->currentFrameIndex != lastFrame_) ++frameChanges_;
        lastFrame_ = app_->currentFrameIndex;
        ++framesShown_[app_->currentFrameIndex];
    }

    void PlayRandomInput() {
        for (std::size_t k = 0; k < std::size(Keys); ++k) {
            if (held_[k] ? Chance(Keys[k].release) : Chance(Keys[k].press)) {
                held_[k] = !held_[k];
                Key(held_[k], Keys[k].key);
            }
        }
        if (Chance(ClickOdds)) Click();
    }

    // A left click somewhere in the play area, below the menu bar when one is shown.
    void Click() {
        const win32::HWND window = Services().mainWindow;
        win32::RECT bar{};
        const win32::HMENU menu = win32::GetMenu(window);
        const int top = menu && win32::testing::GetShownMenuItemRect(window, menu, 0, &bar) ? bar.bottom : 0;
        win32::RECT client{};
        win32::GetClientRect(window, &client);
        const int x = std::uniform_int_distribution<int>(0, std::max<int>(0, client.right - 1))(random_);
        const int y =
            top + std::uniform_int_distribution<int>(0, std::max<int>(0, client.bottom - 1))(random_);
        for (const std::uint32_t type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event e{};
            e.type = type;
            e.button.windowID = win32::testing::SdlWindowId(window);
            e.button.button = SDL_BUTTON_LEFT;
            e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.button.clicks = 1;
            e.button.x = x;
            e.button.y = y;
            ASSERT_EQ(SDL_PushEvent(&e), 1);
        }
    }

    bool Chance(double odds) { return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < odds; }

    // The demo's extension objects and fades come from the runtime's own modules, found where the build
    // put them.
    wiringtest::BuiltModulesFolder modules_;
    SimulatedClock simulated_;
    std::int32_t frameRate_ = 60;
    std::mt19937 random_{0x5EED};
    RandomAnswers answers_{simulated_, random_};
    bool held_[std::size(Keys)] = {};
    int restarts_ = 0;
    std::int32_t lastFrame_ = 0;
    int frameChanges_ = 0;
    std::map<std::int32_t, int> framesShown_; // frames of the loop spent in each frame of the application
};

TEST_F(DemoSoak, PlaysLongOnRandomInputAndItsMemoryStaysFlat) {
    ASSERT_NO_FATAL_FAILURE(StartDemo());
    std::int64_t early = 0;
    for (int frame = 1; frame <= Frames; ++frame) {
        ASSERT_NO_FATAL_FAILURE(PlayRandomInput());
        ASSERT_NO_FATAL_FAILURE(Step()) << "frame " << frame;
        if (frame == Baseline) early = ResidentBytes();
        if (frame % Baseline == 0)
            std::cout << "frame " << frame << ": " << ResidentBytes() / 1024 << " KiB\n";
    }
    const std::int64_t late = ResidentBytes();
    for (const auto& [index, count] : framesShown_)
        std::cout << "application frame " << index << ": " << count << " loop passes\n";
    std::cout << frameChanges_ << " changes of frame, " << restarts_ << " restarts, " << answers_.answered
              << " questions answered, resident at frame " << Baseline << ": " << early / 1024
              << " KiB, at frame " << Frames << ": " << late / 1024 << " KiB\n";
    EXPECT_GT(frameChanges_, 2) << "the keys took the run from frame to frame";
    EXPECT_LE(std::abs(late - early), static_cast<std::int64_t>(early * Tolerance))
        << "resident memory went from " << early << " to " << late << " bytes";
}

} // namespace
