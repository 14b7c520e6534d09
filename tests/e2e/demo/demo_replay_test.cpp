// The recorded play-through of the demo's first level (tests/fixtures, made by scripts/record-demo) replayed
// in a real X window (Xvfb) by the copy of the game that plays it back from the level's start and stops in
// the paused dialog at fixed loops: at each stop the score's digits, the three hearts and the player's box
// where it stood when the replay was recorded; then the door reached, which shows the second level, and the
// program's end with status 0 when its window is closed. Played again through the Direct3D 8 display
// driver, it stops at the same places and shows the same pictures.
#include "demo/demo_hud_layout.h"
#include "demo/level_layout.h"
#include "demo/replay_layout.h"
#include "support/child_process.h"
#include "support/x_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path Here = DEMO_TEST_DIR;
constexpr const char* Python = "/usr/bin/python3";
constexpr const char* Paused = "Application paused";

using Rgb = std::array<std::uint8_t, 3>;
// Left, top, right, bottom on the play area.
using Box = std::array<int, 4>;

// The box of the pixels of exactly that colour on the play area (640 x 480 from x, top).
std::optional<Box> BoxOf(const vtrtest::Screenshot& shot, int x, int top, const Rgb& colour) {
    std::optional<Box> box;
    for (int py = 0; py < 480; ++py)
        for (int px = 0; px < 640; ++px)
            if (shot.Rgb(x + px, top + py) == colour) {
                if (!box) box = Box{px, py, px, py};
                *box = {std::min((*box)[0], px), std::min((*box)[1], py), std::max((*box)[2], px),
                        std::max((*box)[3], py)};
            }
    return box;
}

// The score's digits, read cell by cell against the display's glyphs ('?' for a digit that matches none).
std::string Score(const vtrtest::Screenshot& shot, int x, int top) {
    std::string digits;
    for (int d = 0; d < ScoreDigits; ++d) {
        char shown = '?';
        for (int glyph = 0; glyph < 10 && shown == '?'; ++glyph) {
            bool same = true;
            for (int row = 0; row < DigitRows && same; ++row)
                for (int cell = 0; cell < DigitCells && same; ++cell) {
                    const auto p = shot.Rgb(x + ScoreLeft + d * DigitWidth + cell * DigitScale + 1,
                                            top + ScoreTop + row * DigitScale + 1);
                    const bool lit =
                        DigitGlyphs[static_cast<std::size_t>(glyph)][static_cast<std::size_t>(row)]
                                   [static_cast<std::size_t>(cell)] == '#';
                    same = (p && *p == DigitColour) == lit;
                }
            if (same) shown = static_cast<char>('0' + glyph);
        }
        digits.push_back(shown);
    }
    return digits;
}

// The hearts shown: runs of the hearts' red across the middle of the lives' row.
int Hearts(const vtrtest::Screenshot& shot, int x, int top) {
    int hearts = 0;
    bool in = false;
    for (int px = LivesRight - LivesShown * HeartSize; px < LivesRight; ++px) {
        const bool red = shot.Rgb(x + px, top + LivesTop + HeartSize / 2) == Rgb{0xE0, 0x30, 0x50};
        if (red && !in) ++hearts;
        in = red;
    }
    return hearts;
}

// The play area at a stop, row by row.
using PlayArea = std::vector<Rgb>;

PlayArea PlayAreaOf(const vtrtest::Screenshot& shot, int x, int top) {
    PlayArea area(640 * 480);
    for (int py = 0; py < 480; ++py)
        for (int px = 0; px < 640; ++px)
            if (const auto p = shot.Rgb(x + px, top + py)) area[static_cast<std::size_t>(py * 640 + px)] = *p;
    return area;
}

// What a replay showed at its stops.
struct ReplayRun {
    std::vector<std::optional<Box>> players;
    std::vector<PlayArea> pictures;
};

class DemoReplay : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/Xvfb") || !fs::exists("/usr/bin/xwd") ||
            !vtrtest::Runs({Python, "-c", "import Xlib.ext.xtest"}))
            GTEST_SKIP() << "needs Xvfb, xwd and python3-xlib";
        ASSERT_TRUE(display_.Start(1024, 768)) << "Xvfb did not start";
        char folder[] = "/tmp/vtr-replay-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        temp_ = folder;
    }
    void TearDown() override {
        if (demo_ > 0 && !vtrtest::WaitFor(demo_, 0ms)) {
            kill(demo_, SIGKILL);
            vtrtest::WaitFor(demo_, 5s);
        }
        if (!temp_.empty()) fs::remove_all(temp_);
    }

    // x, y, width, height of a window of that title, once it is there.
    std::optional<std::array<int, 4>> Window(const char* title, int tenths = 1) {
        const fs::path out = temp_ / "window.txt";
        for (int i = 0; i < tenths; ++i) {
            const pid_t pid = vtrtest::Spawn(
                {Python, (Here / "x11_window.py").string(), display_.Name(), "geometry", title},
                vtrtest::ChildEnvironment({}), out.c_str());
            if (pid > 0 && vtrtest::WaitFor(pid, 10s) == 0) {
                std::array<int, 4> box{};
                std::istringstream(vtrtest::ReadFile(out)) >> box[0] >> box[1] >> box[2] >> box[3];
                return box;
            }
            std::this_thread::sleep_for(100ms);
        }
        return std::nullopt;
    }
    bool Close(const char* title) {
        return vtrtest::Runs({Python, (Here / "x11_window.py").string(), display_.Name(), "close", title});
    }
    std::optional<vtrtest::Screenshot> Shot() {
        const fs::path path = temp_ / "shot.xwd";
        vtrtest::Screenshot shot;
        if (!vtrtest::TakeScreenshot(display_.Name(), path.string()) || !shot.Read(path.string()))
            return std::nullopt;
        return shot;
    }

    void Replay(const std::vector<std::string>& switches, ReplayRun& run);

    vtrtest::VirtualDisplay display_;
    pid_t demo_ = -1;
    fs::path temp_;
};

// Replays the play-through with the switches given: at each stop the score and the hearts are checked, the
// player's box and the play area kept; then the second level is reached and the program ends with 0.
void DemoReplay::Replay(const std::vector<std::string>& switches, ReplayRun& run) {
    std::vector<std::string> command = {std::string(VTR_BIN_DIR) + "/vtrrt"};
    command.insert(command.end(), switches.begin(), switches.end());
    command.insert(command.end(), {"-F", std::string(VTR_BIN_DIR) + "/demo_replay.vtg"});
    demo_ = vtrtest::Spawn(command,
                           vtrtest::ChildEnvironment(
                               {"DISPLAY=" + display_.Name(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                                "LIBGL_ALWAYS_SOFTWARE=1", "TMPDIR=" + temp_.string(),
                                "LSAN_OPTIONS=suppressions=" + std::string(VTR_LSAN_SUPPRESSIONS_FILE)}),
                           nullptr, (temp_ / "demo.err").c_str());
    ASSERT_GT(demo_, 0);
    ASSERT_TRUE(Window("Demo", 300)) << "the demo's window did not appear";
    // Where the play area is on the screen, asked again at each look: the window is shown before the frame
    // places it, and a fast start may be asked before it moves.
    int x = 0, top = 0;
    const auto placeWindow = [&] {
        const auto window = Window("Demo");
        ASSERT_TRUE(window) << "the demo's window went";
        x = (*window)[0];
        top = (*window)[1] + (*window)[3] - 480;
    };

    for (std::size_t stop = 0; stop < CheckpointLoops.size(); ++stop) {
        SCOPED_TRACE("stop at loop " + std::to_string(CheckpointLoops[stop]));
        ASSERT_TRUE(Window(Paused, 300))
            << "the replay did not stop: " << vtrtest::ReadFile(temp_ / "demo.err");
        ASSERT_NO_FATAL_FAILURE(placeWindow());
        // The last picture drawn before the stop reaches the screen.
        std::this_thread::sleep_for(500ms);
        const auto shot = Shot();
        ASSERT_TRUE(shot);
        EXPECT_EQ(Score(*shot, x, top), "00030") << "the three gems of the first platform, taken first";
        EXPECT_EQ(Hearts(*shot, x, top), LivesShown) << "the play-through loses no life";
        const Rgb player{PlayerColour[0], PlayerColour[1], PlayerColour[2]};
        run.players.push_back(BoxOf(*shot, x, top, player));
        run.pictures.push_back(PlayAreaOf(*shot, x, top));
        ASSERT_TRUE(Close(Paused));
        // The next stop's dialog has the same title: this one must be gone before it is looked for, however
        // slowly a busy machine takes it down. Now and then under load the window system's close message
        // never becomes a close event in SDL's queue (as in the window tests): it is asked again every 5 s.
        bool gone = false;
        for (int i = 1; i <= 300 && !gone; ++i) {
            gone = !Window(Paused);
            if (!gone && i % 50 == 0) Close(Paused);
            if (!gone) std::this_thread::sleep_for(100ms);
        }
        ASSERT_TRUE(gone) << "the paused dialog stayed after it was closed";
    }

    // The door: the second level's sky and ground.
    ASSERT_NO_FATAL_FAILURE(placeWindow());
    const Rgb sky{Level2Layout.skyTop}, ground{Level2Layout.ground};
    bool second = false;
    for (int i = 0; i < 200 && !second; ++i) {
        const auto shot = Shot();
        second = shot && shot->Rgb(x + 10, top) == sky && shot->Rgb(x + 320, top + 420) == ground;
        if (!second) std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(second) << "the replay did not reach the second level";
    EXPECT_FALSE(Window(Paused)) << "no stop past the last";

    ASSERT_TRUE(Close("Demo"));
    std::optional<int> code;
    for (int attempt = 0; attempt < 6 && !(code = vtrtest::WaitFor(demo_, 5s)); ++attempt)
        Close("Demo");
    ASSERT_TRUE(code) << "the demo did not end after its window was closed";
    demo_ = -1;
    EXPECT_EQ(*code, 0) << vtrtest::ReadFile(temp_ / "demo.err");
}

// Where the player stood at each stop when the replay was recorded.
std::vector<std::optional<Box>> RecordedPlayers() {
    std::vector<std::optional<Box>> expected;
    std::ifstream checkpoints(fs::path(VTR_FIXTURES_DIR) / CheckpointFixture);
    for (Box b{}; checkpoints >> b[0] >> b[1] >> b[2] >> b[3];)
        expected.push_back(b);
    return expected;
}

TEST_F(DemoReplay, TheRecordedPlayThroughStopsAtItsLoopsAsRecordedAndReachesTheSecondLevel) {
    const std::vector<std::optional<Box>> expected = RecordedPlayers();
    ASSERT_EQ(expected.size(), CheckpointLoops.size());
    ReplayRun run;
    ASSERT_NO_FATAL_FAILURE(Replay({}, run));
    EXPECT_EQ(run.players, expected);
}

// Through the Direct3D 8 driver the play-through stops where it did in software, and each stop shows the
// same picture within 2 a channel (the level's pictures are unscaled copies, keyed copies and fills).
TEST_F(DemoReplay, ThroughTheDisplayDriverTheStopsShowWhatTheSoftwareRunShows) {
    ReplayRun software, driver;
    ASSERT_NO_FATAL_FAILURE(Replay({}, software));
    ASSERT_NO_FATAL_FAILURE(Replay({"-D3D8"}, driver));
    EXPECT_EQ(driver.players, RecordedPlayers());
    ASSERT_EQ(driver.pictures.size(), software.pictures.size());
    for (std::size_t stop = 0; stop < driver.pictures.size(); ++stop) {
        int different = 0;
        for (std::size_t i = 0; i < driver.pictures[stop].size(); ++i)
            for (std::size_t c = 0; c < 3; ++c)
                if (std::abs(driver.pictures[stop][i][c] - software.pictures[stop][i][c]) > 2) {
                    ++different;
                    break;
                }
        EXPECT_EQ(different, 0) << "pixels that differ at stop " << stop;
    }
}

} // namespace
