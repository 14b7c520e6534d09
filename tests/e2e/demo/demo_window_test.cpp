// Runs the packed demo in a real X window (Xvfb): the first frame's colour and the menu bar on a screenshot,
// the title's fade, the level's player walking and jumping, its walkers and the sparkle of a collected gem,
// full screen and back through the Options menu, the About dialog and the instructions (scrolled with the
// mouse) from the Help menu, the paused dialog and a
// position saved and loaded again from the File menu, closing the window like a window manager would,
// quitting by the menu shortcut and by the File menu, and the program's exit and clean-up; the title's
// attract box and the game-over frame's question answered with a click.
#include "demo/attract_layout.h"
#include "demo/demo_enemies_layout.h"
#include "demo/demo_gauge_layout.h"
#include "demo/demo_hud_layout.h"
#include "demo/game_over_layout.h"
#include "demo/how_to_play_layout.h"
#include "demo/level_layout.h"
#include "demo/title_layout.h"
#include "demo/title_panel.h"
#include "support/child_process.h"
#include "support/x_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The helpers beside this file, by an absolute path: __FILE__ may be relative to the build folder, which is
// not where the test runs.
const fs::path Here = DEMO_TEST_DIR;
constexpr const char* Python = "/usr/bin/python3";

// The first frame's background colour, RGB(0x20, 0x60, 0xC0).
constexpr std::uint8_t FirstFrame[3] = {0x20, 0x60, 0xC0};
// Xvfb's screen, which full screen covers.
constexpr std::array<int, 4> Screen = {0, 0, 1024, 768};

using Pixel = std::optional<std::array<std::uint8_t, 3>>;

bool Is(const Pixel& p, const std::uint8_t (&c)[3]) {
    return p && (*p)[0] == c[0] && (*p)[1] == c[1] && (*p)[2] == c[2];
}

// The red, green and blue of a colour given as red in its low byte.
std::array<std::uint8_t, 3> RgbOf(std::uint32_t colour) {
    return {static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8),
            static_cast<std::uint8_t>(colour >> 16)};
}

// The text of the menu bar and of its popups.
bool Dark(const Pixel& p) {
    return p && std::max({(*p)[0], (*p)[1], (*p)[2]}) < 100;
}

// Runs of columns (or rows) holding text, split where at least `gap` of them hold none.
std::vector<std::pair<int, int>> TextRuns(const std::vector<bool>& text, int first, int gap) {
    std::vector<std::pair<int, int>> runs;
    int empty = gap;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int at = first + static_cast<int>(i);
        if (!text[i]) {
            ++empty;
            continue;
        }
        if (empty >= gap || runs.empty())
            runs.push_back({at, at});
        else
            runs.back().second = at;
        empty = 0;
    }
    return runs;
}

// The titles of a menu bar that spans rows y to y + bar, left to right.
std::vector<std::pair<int, int>> MenuTitles(const vtrtest::Screenshot& shot, int x, int y, int width,
                                            int bar) {
    std::vector<bool> text(static_cast<std::size_t>(width));
    for (int px = x; px < x + width; ++px)
        for (int py = y + 2; py < y + bar - 2; ++py)
            if (Dark(shot.Rgb(px, py))) text[static_cast<std::size_t>(px - x)] = true;
    return TextRuns(text, x, 6);
}

// The text lines of a popup opened below a title whose text starts at `left`, top to bottom (past the
// column of check marks).
std::vector<std::pair<int, int>> PopupLines(const vtrtest::Screenshot& shot, int left, int top) {
    std::vector<bool> text(200);
    for (int py = top; py < top + 200; ++py)
        for (int px = left + 20; px < left + 140; ++px)
            if (Dark(shot.Rgb(px, py))) text[static_cast<std::size_t>(py - top)] = true;
    return TextRuns(text, top, 3);
}

// The digit drawn in `colour` with its top left corner at x, y, read cell by cell against the display's own
// glyphs ('?' for one that matches none).
char DigitShown(const vtrtest::Screenshot& shot, int x, int y, const std::array<std::uint8_t, 3>& colour) {
    for (int glyph = 0; glyph < 10; ++glyph) {
        bool same = true;
        for (int row = 0; row < DigitRows && same; ++row)
            for (int cell = 0; cell < DigitCells && same; ++cell) {
                const auto p = shot.Rgb(x + cell * DigitScale + 1, y + row * DigitScale + 1);
                const bool lit = DigitGlyphs[static_cast<std::size_t>(glyph)][static_cast<std::size_t>(row)]
                                            [static_cast<std::size_t>(cell)] == '#';
                same = (p && *p == colour) == lit;
            }
        if (same) return static_cast<char>('0' + glyph);
    }
    return '?';
}

// The digits the score shows.
std::string ScoreShown(const vtrtest::Screenshot& shot, int x, int top) {
    std::string digits;
    for (int d = 0; d < ScoreDigits; ++d)
        digits.push_back(DigitShown(shot, x + ScoreLeft + d * DigitWidth, top + ScoreTop, DigitColour));
    return digits;
}

using vtrtest::ReadFile;
using vtrtest::Runs;
using vtrtest::Spawn;
using vtrtest::WaitFor;

class DemoWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/Xvfb") || !fs::exists("/usr/bin/xwd") ||
            !Runs({Python, "-c", "import Xlib.ext.xtest"}))
            GTEST_SKIP() << "needs Xvfb, xwd and python3-xlib";
        ASSERT_TRUE(display_.Start(1024, 768)) << "Xvfb did not start";
        std::string folder = (fs::temp_directory_path() / "vtr-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        temp_ = folder;
    }
    void TearDown() override {
        if (demo_ > 0 && !WaitFor(demo_, 0ms)) {
            kill(demo_, SIGKILL);
            WaitFor(demo_, 5s);
        }
        if (!temp_.empty()) fs::remove_all(temp_);
    }

    // Starts the demo and waits for its window: x, y, width, height of what the window shows.
    // The sound goes to SDL's dummy device unless `sound` names other settings.
    std::optional<std::array<int, 4>>
    Launch(const fs::path& runTemp, const std::vector<std::string>& args = {},
           const std::string& program = "vtrdemo",
           const std::vector<std::string>& sound = {"SDL_AUDIODRIVER=dummy"}) {
        std::vector<std::string> command{std::string(VTR_BIN_DIR) + "/" + program};
        command.insert(command.end(), args.begin(), args.end());
        std::vector<std::string> env{"DISPLAY=" + display_.Name(), "SDL_VIDEODRIVER=x11",
                                     "LIBGL_ALWAYS_SOFTWARE=1", "TMPDIR=" + runTemp.string(),
                                     "LSAN_OPTIONS=suppressions=" + std::string(VTR_LSAN_SUPPRESSIONS_FILE)};
        env.insert(env.end(), sound.begin(), sound.end());
        demo_ = Spawn(command, vtrtest::ChildEnvironment(env), nullptr, (temp_ / "demo.err").c_str());
        if (demo_ <= 0) return std::nullopt;
        std::optional<std::string> geometry;
        std::optional<int> early;
        for (int i = 0; i < 300 && !(geometry = Window("geometry")) && !(early = WaitFor(demo_, 50ms)); ++i) {
        }
        if (early) {
            demo_ = -1;
            ADD_FAILURE() << "the demo ended with " << *early
                          << " before its window appeared: " << ReadFile(temp_ / "demo.err");
            return std::nullopt;
        }
        if (!geometry) {
            ADD_FAILURE() << "the demo's window did not appear: " << ReadFile(temp_ / "demo.err");
            return std::nullopt;
        }
        std::this_thread::sleep_for(1s);
        std::array<int, 4> box{};
        std::istringstream(*Window("geometry")) >> box[0] >> box[1] >> box[2] >> box[3];
        return box;
    }

    bool Click(int x, int y) {
        return Runs({Python, (Here / "x11_click.py").string(), display_.Name(), std::to_string(x),
                     std::to_string(y)});
    }

    std::optional<std::string> Window(const char* command, const char* title = "Demo") {
        const fs::path out = temp_ / "window.txt";
        const pid_t pid = Spawn({Python, (Here / "x11_window.py").string(), display_.Name(), command, title},
                                vtrtest::ChildEnvironment({}), out.c_str());
        if (pid <= 0 || WaitFor(pid, 10s) != 0) return std::nullopt;
        return ReadFile(out);
    }

    std::optional<vtrtest::Screenshot> Shot() {
        const fs::path path = temp_ / "shot.xwd";
        vtrtest::Screenshot shot;
        if (!vtrtest::TakeScreenshot(display_.Name(), path.string()) || !shot.Read(path.string()))
            return std::nullopt;
        return shot;
    }

    // Opens the menu of a title of the bar (spanning rows y to y + bar of a window at x of that width) with
    // the mouse and clicks one of its items, both counted from 0.
    bool ChooseMenuItem(int x, int y, int width, int bar, std::size_t title, std::size_t item) {
        std::vector<std::pair<int, int>> titles;
        for (int i = 0; i < 50 && titles.size() <= title; ++i) {
            if (const auto shot = Shot()) titles = MenuTitles(*shot, x, y, width, bar);
            if (titles.size() <= title) std::this_thread::sleep_for(100ms);
        }
        if (titles.size() <= title) {
            ADD_FAILURE() << "the menu bar shows " << titles.size() << " titles";
            return false;
        }
        const auto [left, right] = titles[title];
        std::vector<std::pair<int, int>> lines;
        // A click that comes before the window takes the mouse opens nothing: click again.
        for (int attempt = 0; attempt < 5 && lines.size() <= item; ++attempt) {
            if (!Click((left + right) / 2, y + bar / 2)) return false;
            for (int i = 0; i < 20 && lines.size() <= item; ++i) {
                std::this_thread::sleep_for(100ms);
                if (const auto shot = Shot()) lines = PopupLines(*shot, left, y + bar + 2);
            }
        }
        if (lines.size() <= item) {
            ADD_FAILURE() << "the menu did not open with " << item + 1 << " items";
            return false;
        }
        return Click(left + 40, (lines[item].first + lines[item].second) / 2);
    }

    // The window's place and size once it is `wanted`, or as it last was.
    std::optional<std::array<int, 4>> WaitForGeometry(const std::array<int, 4>& wanted) {
        std::optional<std::array<int, 4>> box;
        for (int i = 0; i < 50; ++i) {
            if (const auto geometry = Window("geometry")) {
                box.emplace();
                std::istringstream(*geometry) >> (*box)[0] >> (*box)[1] >> (*box)[2] >> (*box)[3];
                if (*box == wanted) break;
            }
            std::this_thread::sleep_for(100ms);
        }
        return box;
    }

    // Waits until the screen shows a colour at a point.
    bool WaitForColour(int x, int y, const std::uint8_t (&colour)[3]) {
        for (int i = 0; i < 100; ++i) {
            if (const auto shot = Shot(); shot && Is(shot->Rgb(x, y), colour)) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // Closes the demo's window as a window manager's close box does and waits for the run to end: its exit
    // status, or nothing when the window was not there or the run did not end within 30 s. Now and then
    // (about one time in ten under load) the window system's close message never becomes a close event in
    // SDL's queue, and a second one is taken: the close is asked again every 5 s, as a player clicks again.
    std::optional<int> CloseAndWait() {
        if (!Window("close")) return std::nullopt;
        for (int attempt = 0; attempt < 6; ++attempt) {
            if (const auto code = WaitFor(demo_, 5s)) return code;
            Window("close");
        }
        return std::nullopt;
    }

    // Waits for the demo to end after its window is closed, with status 0.
    // Full screen from the Options menu shows the title centred on the screen, and Return starts the level;
    // with a switch the run goes through the display driver.
    void FullScreenReturnStartsTheLevel(const std::vector<std::string>& args);
    void HowToPlayScrollsWithTheMouse(const std::vector<std::string>& args);
    // The title panel's first, middle and last columns in a run with these switches; none on a failure.
    std::optional<std::array<Pixel, 3>> PanelColumns(const std::vector<std::string>& args);

    void CloseAndExpectCleanEnd() {
        const auto code = CloseAndWait();
        ASSERT_TRUE(code) << "the demo did not end after its window was closed";
        demo_ = -1;
        EXPECT_EQ(*code, 0) << ReadFile(temp_ / "demo.err");
    }

    // Waits for a window of that title: its x, y, width, height.
    std::optional<std::array<int, 4>> WaitForWindow(const char* title) {
        std::optional<std::string> geometry;
        for (int i = 0; i < 100 && !(geometry = Window("geometry", title)); ++i)
            std::this_thread::sleep_for(100ms);
        if (!geometry) return std::nullopt;
        std::array<int, 4> box{};
        std::istringstream(*geometry) >> box[0] >> box[1] >> box[2] >> box[3];
        return box;
    }

    // Closes a window by its close box and waits until it has gone.
    bool CloseWindow(const char* title) {
        if (!Window("close", title)) return false;
        for (int i = 0; i < 50; ++i) {
            if (!Window("geometry", title)) return true;
            // A close message that was lost (see CloseAndWait) is sent again.
            if (i % 20 == 19) Window("close", title);
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // Holds a key down in the demo's window for that many seconds.
    bool Hold(const char* key, const char* seconds) {
        return Runs({Python, (Here / "x11_hold.py").string(), display_.Name(), "Demo", key, seconds});
    }

    // Control and a key, in the demo's window.
    bool PressWithControl(const char* key) {
        return Runs({Python, (Here / "x11_keys.py").string(), display_.Name(), "Demo", key});
    }

    vtrtest::VirtualDisplay display_;
    pid_t demo_ = -1;
    fs::path temp_;
    // The paused dialog last waited for.
    std::optional<std::array<int, 4>> paused_;
};

TEST_F(DemoWindow, ShowsTheFirstFrameAndEndsCleanlyWhenClosed) {
    const fs::path runTemp = temp_ / "run";
    fs::create_directory(runTemp);
    const auto box = Launch(runTemp);
    ASSERT_TRUE(box);
    ASSERT_FALSE(WaitFor(demo_, 0ms)) << "the demo ended on its own";

    const auto [x, y, width, height] = *box;
    // The menu bar sits above the play area, which keeps the application's size.
    const int bar = height - 480;
    EXPECT_EQ(width, 640);
    EXPECT_GT(bar, 0);
    EXPECT_LT(bar, 40);
    // A loaded machine may take a while to draw the first frame and the bar: look until both are there.
    const fs::path path = temp_ / "screen.xwd";
    vtrtest::Screenshot shot;
    const auto drawn = [&] {
        const auto centre = shot.Rgb(x + width / 2, y + bar + 240),
                   right = shot.Rgb(x + width - 5, y + bar / 2);
        // All three channels: near the end of the fade-in from white the blue one is already there.
        return centre && right && (*centre)[0] == FirstFrame[0] && (*centre)[1] == FirstFrame[1] &&
               (*centre)[2] == FirstFrame[2] && (*right)[0] > 200;
    };
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(vtrtest::TakeScreenshot(display_.Name(), path.string()) && shot.Read(path.string()));
        if (drawn()) break;
        std::this_thread::sleep_for(100ms);
    }
    for (auto [px, py] : {std::pair{x + width / 2, y + bar + 240}, std::pair{x + 5, y + bar},
                          std::pair{x + width - 5, y + height - 5}}) {
        const auto pixel = shot.Rgb(px, py);
        ASSERT_TRUE(pixel) << px << "," << py << " in " << x << "," << y << " " << width << "x" << height;
        EXPECT_EQ((*pixel)[0], FirstFrame[0]);
        EXPECT_EQ((*pixel)[1], FirstFrame[1]);
        EXPECT_EQ((*pixel)[2], FirstFrame[2]);
    }
    // The bar: a light menu colour past its items, and dark text over it where its items are.
    const auto light = shot.Rgb(x + width - 5, y + bar / 2);
    ASSERT_TRUE(light);
    EXPECT_GT(std::min({(*light)[0], (*light)[1], (*light)[2]}), 200);
    int text = 0;
    for (int py = y; py < y + bar; ++py)
        for (int px = x; px < x + 150; ++px)
            if (const auto p = shot.Rgb(px, py); p && std::max({(*p)[0], (*p)[1], (*p)[2]}) < 100) ++text;
    EXPECT_GT(text, 20) << "the bar shows its items' text";

    const auto code = CloseAndWait();
    ASSERT_TRUE(code) << "the demo did not end after its window was closed";
    demo_ = -1;
    EXPECT_EQ(*code, 0) << ReadFile(temp_ / "demo.err");
    EXPECT_TRUE(fs::is_empty(runTemp)) << "the run's temporary folder was left behind";
}

// The title's five spinners stand where they were placed, keyed over the background, and turn: a point of
// each disc takes the turning quarter's colour and then the disc's colour again.
TEST_F(DemoWindow, TheTitlesSpinnersAreDrawnWhereTheyWerePlacedAndTurn) {
    const auto box = Launch(temp_);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    constexpr std::uint8_t Quarter[3] = {0xFF, 0xD0, 0x20}, Disc[3] = {0xE0, 0x30, 0x30};
    const auto is = [](const std::optional<std::array<std::uint8_t, 3>>& p, const std::uint8_t(&c)[3]) {
        return p && (*p)[0] == c[0] && (*p)[1] == c[1] && (*p)[2] == c[2];
    };
    std::array<bool, 5> sawQuarter{}, sawDisc{};
    const fs::path path = temp_ / "spin.xwd";
    for (int shot = 0; shot < 60; ++shot) {
        vtrtest::Screenshot screen;
        ASSERT_TRUE(vtrtest::TakeScreenshot(display_.Name(), path.string()) && screen.Read(path.string()));
        for (int i = 0; i < 5; ++i) {
            const int cx = x + 80 + 120 * i, cy = y + bar + 120;
            // A point of the upper left quarter of the disc, and the square's see-through corner.
            const auto point = screen.Rgb(cx - 8, cy - 8), corner = screen.Rgb(cx + 15, cy + 15);
            if (!is(point, Quarter) && !is(point, Disc)) continue;
            EXPECT_TRUE(is(corner, FirstFrame)) << "spinner " << i << " shows its see-through corner";
            (is(point, Quarter) ? sawQuarter : sawDisc)[static_cast<std::size_t>(i)] = true;
        }
        if (std::all_of(sawQuarter.begin(), sawQuarter.end(), [](bool b) { return b; }) &&
            std::all_of(sawDisc.begin(), sawDisc.end(), [](bool b) { return b; }))
            break;
        std::this_thread::sleep_for(50ms);
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(sawQuarter[static_cast<std::size_t>(i)])
            << "spinner " << i << " never showed its turning quarter";
        EXPECT_TRUE(sawDisc[static_cast<std::size_t>(i)]) << "spinner " << i << " never turned past it";
    }
    const auto code = CloseAndWait();
    ASSERT_TRUE(code);
    demo_ = -1;
    EXPECT_EQ(*code, 0) << ReadFile(temp_ / "demo.err");
}

// A key on the title shows the level, which gives the title back on Escape; a click on the title shows the
// level again.
TEST_F(DemoWindow, AKeyOrAClickOnTheTitleShowsTheLevelWhichGoesBackToTheTitle) {
    const auto box = Launch(temp_);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    const fs::path path = temp_ / "flow.xwd";
    // Points of the play area and the colours a frame shows there: the title's background at its centre
    // and far corner; the level's ground and the top of its sky.
    struct Spot {
        int x, y;
        std::array<std::uint8_t, 3> colour;
    };
    const std::vector<Spot> title{{320, 240, {0x20, 0x60, 0xC0}}, {635, 475, {0x20, 0x60, 0xC0}}};
    const std::vector<Spot> level{{320, 420, {0x70, 0x48, 0x20}}, {10, 0, {0x20, 0x50, 0xC0}}};
    const auto shows = [&](const std::vector<Spot>& spots) {
        vtrtest::Screenshot shot;
        if (!vtrtest::TakeScreenshot(display_.Name(), path.string()) || !shot.Read(path.string()))
            return false;
        for (const Spot& spot : spots)
            if (shot.Rgb(x + spot.x, y + bar + spot.y) != spot.colour) return false;
        return true;
    };
    const auto waitFor = [&](const std::vector<Spot>& spots, int tenths, const std::function<void()>& act) {
        for (int i = 0; i < tenths; ++i) {
            if (shows(spots)) return true;
            if (act && i % 5 == 0) act();
            std::this_thread::sleep_for(100ms);
        }
        return shows(spots);
    };
    ASSERT_TRUE(waitFor(title, 100, nullptr)) << "the title did not show";
    // The key may arrive before the window has the focus: press again until the level shows.
    const std::vector<std::string> press = {Python, (Here / "x11_press.py").string(), display_.Name(), "Demo",
                                            "space"};
    ASSERT_TRUE(waitFor(level, 300, [&] { Runs(press); })) << "a key did not show the level";
    // Held for a few loops: the level asks whether Escape is down in each loop.
    const std::vector<std::string> escape = {
        Python, (Here / "x11_hold.py").string(), display_.Name(), "Demo", "Escape", "0.1"};
    // Once: the title fades in for three seconds and any key there would show the level again. The level
    // shows its colours as its fade-in ends, a little before its events run.
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(Runs(escape));
    ASSERT_TRUE(waitFor(title, 300, nullptr)) << "Escape did not give the title back";
    ASSERT_TRUE(waitFor(level, 300, [&] { Click(x + width / 2, y + bar + 300); }))
        << "a click did not show the level";
    const auto code = CloseAndWait();
    ASSERT_TRUE(code);
    demo_ = -1;
    EXPECT_EQ(*code, 0) << ReadFile(temp_ / "demo.err");
}

// The title's glass panel: its first, middle and last columns on the row of its centre, once the fade-in
// has ended (the point below the panel shows the frame's colour and the panel's columns stay as they are).
std::optional<std::array<Pixel, 3>> DemoWindow::PanelColumns(const std::vector<std::string>& args) {
    const auto box = Launch(temp_, args);
    if (!box) return std::nullopt;
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    const int left = x + TitlePanelX - TitlePanelSize / 2, row = y + bar + TitlePanelY;
    const fs::path path = temp_ / "panel.xwd";
    std::array<Pixel, 3> columns, previous;
    for (int shot = 0; shot < 60; ++shot) {
        vtrtest::Screenshot screen;
        if (!vtrtest::TakeScreenshot(display_.Name(), path.string()) || !screen.Read(path.string()))
            return std::nullopt;
        columns = {screen.Rgb(left, row), screen.Rgb(left + TitlePanelSize / 2, row),
                   screen.Rgb(left + TitlePanelSize - 1, row)};
        // The fade-in from white reaches some channels before the others: both shots alike, below settled.
        if (Is(screen.Rgb(x + 320, y + bar + 340), FirstFrame) && columns == previous) break;
        previous = columns;
        std::this_thread::sleep_for(50ms);
    }
    const auto code = CloseAndWait();
    demo_ = -1;
    if (!code || *code != 0) {
        ADD_FAILURE() << "the demo did not end cleanly: " << ReadFile(temp_ / "demo.err");
        return std::nullopt;
    }
    return columns;
}

// On the library's surfaces the panel shows its effect's coefficient alone: blended half and half with the
// background under it, the same across.
TEST_F(DemoWindow, TheTitlesPanelIsBlendedOverTheBackground) {
    const auto columns = PanelColumns({});
    ASSERT_TRUE(columns);
    // (0xF0, 0xF0, 0xE0) and the background, each weighing half.
    constexpr std::uint8_t Blended[3] = {0x88, 0xA8, 0xD0};
    for (const Pixel& p : *columns)
        EXPECT_TRUE(Is(p, Blended)) << (p ? int((*p)[0]) : -1) << "," << (p ? int((*p)[1]) : -1) << ","
                                    << (p ? int((*p)[2]) : -1);
}

// Through the Direct3D 8 driver the panel is drawn through the effect of the demo's bank: tinted from one
// colour at its left edge to the other at its right, then blended by its coefficient's alpha.
TEST_F(DemoWindow, ThroughTheDriverTheTitlesPanelShowsItsEffectsTint) {
    const auto columns = PanelColumns({"-D3D8"});
    ASSERT_TRUE(columns);
    const std::array<int, 3> panel = {TitlePanelColour & 0xFF, (TitlePanelColour >> 8) & 0xFF,
                                      (TitlePanelColour >> 16) & 0xFF};
    const double alpha = (TitlePanelCoefficient >> 24) / 255.0;
    const int at[3] = {0, TitlePanelSize / 2, TitlePanelSize - 1};
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE((*columns)[i]) << "column " << at[i];
        // The tint's first colour lies on the first column's centre: column c takes c / size of the way.
        const double w = at[i] / static_cast<double>(TitlePanelSize);
        for (std::size_t c = 0; c < 3; ++c) {
            const double tint = TitlePanelTintFrom[c] + (TitlePanelTintTo[c] - TitlePanelTintFrom[c]) * w;
            const double want = panel[c] * tint * alpha + FirstFrame[c] * (1 - alpha);
            EXPECT_NEAR((*(*columns)[i])[c], want, 3) << "column " << at[i] << " channel " << c;
        }
    }
}

// The title writes the game's name above the spinners and how to start below the panel.
TEST_F(DemoWindow, TheTitleWritesTheGamesNameAndHowToStart) {
    const auto box = Launch(temp_);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int top = y + height - 480;
    ASSERT_TRUE(WaitForColour(x + width / 2, y + height - 40, FirstFrame)) << "the title's fade did not end";
    const auto shot = Shot();
    ASSERT_TRUE(shot);
    const auto count = [&](std::uint32_t colour, int from, int to) {
        const std::array<std::uint8_t, 3> c = RgbOf(colour);
        int n = 0;
        for (int py = from; py < to; ++py)
            for (int px = 0; px < 640; ++px)
                if (shot->Rgb(x + px, top + py) == c) ++n;
        return n;
    };
    EXPECT_GT(count(TitleNameColour, TitleNameTop, TitleNameTop + TitleNameHeight), 400) << "no name";
    EXPECT_GT(count(TitlePromptColour, TitlePromptTop, TitlePromptTop + TitlePromptHeight), 300)
        << "no prompt";
    CloseAndExpectCleanEnd();
}

// The level, run from the same game written to start there: a sky going from deep to pale blue downwards,
// the ground, and platforms with a darker border, all placed as backdrops; and the time gauge, an object of
// the gauge extension (found beside the program, nothing being packed), filling from its left end.
TEST_F(DemoWindow, TheLevelShowsItsGradientSkyGroundAndPlatforms) {
    const auto box = Launch(temp_, {"-F", std::string(VTR_BIN_DIR) + "/demo_level.vtg"}, "vtrrt");
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    const int top = y + bar;
    const auto is = [](const std::optional<std::array<std::uint8_t, 3>>& p, int r, int g, int b) {
        return p && (*p)[0] == r && (*p)[1] == g && (*p)[2] == b;
    };
    const fs::path path = temp_ / "level.xwd";
    vtrtest::Screenshot shot;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(vtrtest::TakeScreenshot(display_.Name(), path.string()) && shot.Read(path.string()));
        // The ground, and the gauge once it has gained its first step.
        if (is(shot.Rgb(x + 20, top + 470), 0x70, 0x48, 0x20) &&
            is(shot.Rgb(x + GaugeX + 2, top + GaugeY + 2), 0xFF, 0xD0, 0x20))
            break;
        std::this_thread::sleep_for(100ms);
    }
    // The sky's first row is its first colour; its last row the last of its 144 bands (red steps by one a
    // band), one step short of the second colour.
    EXPECT_TRUE(is(shot.Rgb(x + 10, top), 0x20, 0x50, 0xC0));
    EXPECT_TRUE(is(shot.Rgb(x + 10, top + 359), 0x20 + 143, 0x50 + 143 * 136 / 144, 0xC0 + 143 * 63 / 144));
    int previous = -1, rising = 0;
    // A column clear of the score, the lives and the level's name.
    for (int row = 0; row < 360; row += 20) {
        const auto p = shot.Rgb(x + 630, top + row);
        ASSERT_TRUE(p);
        EXPECT_EQ((*p)[0] > 0x20 || row == 0, true) << row;
        if ((*p)[0] > previous) ++rising;
        previous = (*p)[0];
    }
    EXPECT_EQ(rising, 18) << "the sky lightens all the way down";
    EXPECT_TRUE(is(shot.Rgb(x + 320, top + 420), 0x70, 0x48, 0x20)) << "the ground";
    EXPECT_TRUE(is(shot.Rgb(x + GaugeX + 2, top + GaugeY + 2), 0xFF, 0xD0, 0x20)) << "the gauge's bar";
    EXPECT_TRUE(is(shot.Rgb(x + GaugeX + GaugeWidth - 1, top + GaugeY + 2), 0x30, 0x30, 0x30))
        << "the rest of the gauge";
    for (const auto& [px, py] : Level1Layout.platforms) {
        if (px + PlatformWidth > 640) continue;
        EXPECT_TRUE(is(shot.Rgb(x + px + 60, top + py + 8), 0x40, 0xB0, 0x40)) << "platform at " << px;
        EXPECT_TRUE(is(shot.Rgb(x + px, top + py + 8), 0x10, 0x50, 0x10)) << "its border at " << px;
        EXPECT_FALSE(is(shot.Rgb(x + px + 60, top + py - 2), 0x40, 0xB0, 0x40)) << "above it, the sky";
    }
    const auto code = CloseAndWait();
    ASSERT_TRUE(code);
    demo_ = -1;
    EXPECT_EQ(*code, 0) << ReadFile(temp_ / "demo.err");
}

// The level's display: the score's digits cell by cell, the hearts of three lives and the level's name.
TEST_F(DemoWindow, TheLevelShowsTheScoreTheLivesAndItsName) {
    const auto box = Launch(temp_, {"-F", std::string(VTR_BIN_DIR) + "/demo_level.vtg"}, "vtrrt");
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int top = y + height - 480;
    const fs::path path = temp_ / "hud.xwd";
    vtrtest::Screenshot shot;
    const auto digitLit = [&](int digit, int cell, int row) {
        const auto p = shot.Rgb(x + ScoreLeft + digit * DigitWidth + cell * DigitScale + 1,
                                top + ScoreTop + row * DigitScale + 1);
        return p && *p == DigitColour;
    };
    for (int i = 0; i < 100 && !digitLit(0, 1, 0); ++i) {
        std::this_thread::sleep_for(100ms);
        ASSERT_TRUE(vtrtest::TakeScreenshot(display_.Name(), path.string()) && shot.Read(path.string()));
    }
    EXPECT_EQ(ScoreShown(shot, x, top), "00000");
    int hearts = 0, white = 0;
    for (int px = LivesRight - LivesShown * HeartSize; px < LivesRight; ++px)
        if (shot.Rgb(x + px, top + LivesTop + HeartSize / 2) == std::array<std::uint8_t, 3>{0xE0, 0x30, 0x50})
            ++hearts;
    for (int py = 12; py < 40; ++py)
        for (int px = 220; px < 420; ++px)
            if (shot.Rgb(x + px, top + py) == std::array<std::uint8_t, 3>{0xFF, 0xFF, 0xFF}) ++white;
    EXPECT_GT(hearts, LivesShown * HeartSize / 2);
    EXPECT_GT(white, 40) << "the level's name";
    CloseAndExpectCleanEnd();
}

// The level's player, an orange block standing on a platform, walks right while the right arrow is held,
// taking the gems it walks over for 10 points each, stands still again when it is let go, and jumps with the
// space bar and lands back on the platform.
TEST_F(DemoWindow, ThePlayerWalksAndJumpsOntoThePlatform) {
    const auto box = Launch(temp_, {"-F", std::string(VTR_BIN_DIR) + "/demo_level.vtg"}, "vtrrt");
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int top = y + height - 480;
    // The middle of the player's orange pixels in the play area's left third (its posts pen the balls in
    // the middle).
    const auto player = [&]() -> std::optional<std::pair<double, double>> {
        const auto shot = Shot();
        if (!shot) return std::nullopt;
        double sx = 0, sy = 0;
        int n = 0;
        for (int py = 0; py < 360; ++py)
            for (int px = 0; px < 220; ++px)
                if (shot->Rgb(x + px, top + py) == std::array<std::uint8_t, 3>{0xF0, 0x80, 0x20}) {
                    sx += px, sy += py;
                    ++n;
                }
        if (n < 100) return std::nullopt;
        return std::pair{sx / n, sy / n};
    };
    std::optional<std::pair<double, double>> before;
    for (int i = 0; i < 100 && !(before = player()); ++i)
        std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(before) << "the player is not shown";
    // The score its first gem gives, 10 points a gem (the player walks over the gems on its platform).
    const auto score = [&] {
        const auto shot = Shot();
        return shot ? ScoreShown(*shot, x, top) : std::string{};
    };
    EXPECT_EQ(score(), "00000");
    // The key may arrive before the window has the focus: hold it again until the player has moved and
    // taken a gem.
    std::optional<std::pair<double, double>> after = before;
    for (int attempt = 0; attempt < 6 && after && (after->first < before->first + 20 || score() == "00000");
         ++attempt) {
        ASSERT_TRUE(Runs({Python, (Here / "x11_hold.py").string(), display_.Name(), "Demo", "Right", "0.3"}));
        std::this_thread::sleep_for(300ms);
        after = player();
    }
    ASSERT_TRUE(after) << "the player is no longer shown";
    EXPECT_GT(after->first, before->first + 20) << "right";
    const std::string taken = score();
    EXPECT_TRUE(taken == "00010" || taken == "00020" || taken == "00030") << taken;
    EXPECT_NEAR(after->second, before->second, 1.0) << "along its platform";
    // Let go, it slows down and stays: two pictures 300 ms apart show it in the same place. A loaded
    // machine may take a while to run the loops of its slowing down: look again until then.
    std::optional<std::pair<double, double>> settled, still;
    for (int i = 0; i < 20 && (!settled || still != settled); ++i) {
        settled = player();
        std::this_thread::sleep_for(300ms);
        still = player();
    }
    ASSERT_TRUE(settled);
    EXPECT_EQ(still, settled);
    // A jump: the player is seen well above the platform, then standing on it again.
    double highest = settled->second;
    for (int attempt = 0; attempt < 5 && highest > settled->second - 30; ++attempt) {
        ASSERT_TRUE(
            Runs({Python, (Here / "x11_hold.py").string(), display_.Name(), "Demo", "space", "0.05"}));
        for (int i = 0; i < 10; ++i) {
            if (const auto now = player()) highest = std::min(highest, now->second);
            std::this_thread::sleep_for(50ms);
        }
    }
    EXPECT_LT(highest, settled->second - 30) << "the jump";
    std::this_thread::sleep_for(2s);
    const auto landed = player();
    ASSERT_TRUE(landed);
    EXPECT_NEAR(landed->second, settled->second, 1.0) << "back on the platform";
    CloseAndExpectCleanEnd();
}

// Walking right, the player takes the display along: the level's platforms show moved left by the display's
// scroll, the player near the window's middle, the hills behind moved by half the scroll (a naive picture
// of a row of sky and hills from the layout), and the score where it was.
TEST_F(DemoWindow, TheDisplayScrollsWithThePlayerOverSlowerHills) {
    const auto box = Launch(temp_, {"-F", std::string(VTR_BIN_DIR) + "/demo_level.vtg"}, "vtrrt");
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int top = y + height - 480;
    const auto colour = [](const Rgb3& c) { return std::array<std::uint8_t, 3>{c[0], c[1], c[2]}; };
    const auto platform = colour(Level1Layout.platform), border = colour(Level1Layout.platformBorder),
               hill = colour(Level1Layout.hill);
    // The scroll at which every platform in the window shows its fill and its left border, if any does.
    const auto scrollOf = [&](const vtrtest::Screenshot& shot) -> std::optional<int> {
        for (int scroll = 0; scroll <= Level1Layout.width - 640; ++scroll) {
            int seen = 0;
            bool all = true;
            for (const auto& [px, py] : Level1Layout.platforms) {
                const int left = px - scroll;
                if (left < 0 || left + PlatformWidth > 640) continue;
                ++seen;
                all = all && shot.Rgb(x + left + 60, top + py + 8) == platform &&
                      shot.Rgb(x + left, top + py + 8) == border;
            }
            if (seen > 0 && all) return scroll;
        }
        return std::nullopt;
    };
    std::optional<vtrtest::Screenshot> shot;
    for (int i = 0; i < 100 && !(shot && scrollOf(*shot) == 0); ++i) {
        std::this_thread::sleep_for(100ms);
        shot = Shot();
    }
    ASSERT_TRUE(shot && scrollOf(*shot) == 0) << "the level is not shown at its left end";
    // The key may arrive before the window has the focus: hold it again until the display has moved.
    std::optional<int> scroll = 0;
    for (int attempt = 0; attempt < 4 && scroll == 0; ++attempt) {
        ASSERT_TRUE(Runs({Python, (Here / "x11_hold.py").string(), display_.Name(), "Demo", "Right", "1.5"}));
        std::this_thread::sleep_for(500ms);
        shot = Shot();
        scroll = shot ? scrollOf(*shot) : std::nullopt;
    }
    ASSERT_TRUE(scroll) << "no platform shows where the layout puts it";
    ASSERT_GT(*scroll, 0) << "the display did not move";
    // The player, centred in the window as far as the level allows.
    double sum = 0;
    int n = 0;
    for (int py = 0; py < GroundY; ++py)
        for (int px = 0; px < 640; ++px)
            if (shot->Rgb(x + px, top + py) == std::array<std::uint8_t, 3>{0xF0, 0x80, 0x20}) {
                sum += px;
                ++n;
            }
    ASSERT_GT(n, 100) << "the player is not shown";
    if (*scroll < Level1Layout.width - 640) {
        EXPECT_NEAR(sum / n, 320 + PlayerSize / 2, 12);
    }
    // A row below the platforms and above the player on the ground.
    const int row = 320, shift = *scroll / 2;
    int inside = 0, outside = 0;
    for (int px = 0; px < 640; ++px) {
        double nearest = 1e9;
        for (int left : Level1Layout.hills) {
            const double dx = (px + shift + 0.5 - (left + HillWidth / 2.0)) / (HillWidth / 2.0);
            const double dy = (row + 0.5 - (HillY + HillHeight / 2.0)) / (HillHeight / 2.0);
            nearest = std::min(nearest, dx * dx + dy * dy);
        }
        const auto p = shot->Rgb(x + px, top + row);
        if (nearest < 0.8) {
            ++inside;
            EXPECT_EQ(p, hill) << "a hill at " << px;
        }
        if (nearest > 1.2 && p == hill) ++outside;
    }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(outside, 0) << "hill pixels where the sky should be";
    const std::string score = ScoreShown(*shot, x, top);
    EXPECT_EQ(score.find('?'), std::string::npos) << "the score is not where it was: " << score;
    // Nor was the gauge dragged along: its row left of it shows none of its colours.
    const auto gaugeBar = RgbOf(GaugeBar), gaugeBack = RgbOf(GaugeBack);
    int dragged = 0;
    for (int py = GaugeY; py < GaugeY + GaugeHeight; ++py)
        for (int px = 0; px < GaugeX; ++px)
            if (const auto p = shot->Rgb(x + px, top + py); p == gaugeBar || p == gaugeBack) ++dragged;
    EXPECT_EQ(dragged, 0) << "the gauge smeared towards the window's left edge";
    CloseAndExpectCleanEnd();
}

// The level's enemies and what collecting leaves: a purple walker seen patrolling right of the pen, a pale
// sparkle where the first gem was once the player walks into it, and the gem count showing 1.
TEST_F(DemoWindow, AWalkerPatrolsAndACollectedGemSparkles) {
    const auto box = Launch(temp_, {"-F", std::string(VTR_BIN_DIR) + "/demo_level.vtg"}, "vtrrt");
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int top = y + height - 480;
    // Pixels of a colour in a part of the play area, and the leftmost of their columns.
    const auto find = [&](const std::uint8_t(&colour)[3], int left, int upper, int right, int lower) {
        std::pair<int, int> found{0, right};
        if (const auto shot = Shot())
            for (int py = upper; py < lower; ++py)
                for (int px = left; px < right; ++px)
                    if (Is(shot->Rgb(x + px, top + py), colour)) {
                        ++found.first;
                        found.second = std::min(found.second, px);
                    }
        return found;
    };
    const auto walkers = [&] {
        return find(WalkerColour, WalkerSpawns[0].x, WalkerSpawns[0].y,
                    WalkerSpawns[0].x + WalkerSpan + WalkerSize, WalkerSpawns[0].y + WalkerSize);
    };
    std::pair<int, int> seen{};
    for (int i = 0; i < 100 && (seen = walkers()).first < WalkerSize * WalkerSize / 2; ++i)
        std::this_thread::sleep_for(100ms);
    ASSERT_GE(seen.first, WalkerSize * WalkerSize / 2) << "no walker on the ground right of the pen";
    std::pair<int, int> later = seen;
    for (int i = 0; i < 50 && (later = walkers()).second == seen.second; ++i)
        std::this_thread::sleep_for(100ms);
    EXPECT_NE(later.second, seen.second) << "the walker stands still";

    // Right until a sparkle shows in the left third, over the player's platform where the gems are; the key
    // may arrive before the window has the focus.
    int sparkle = 0;
    for (int attempt = 0; attempt < 6 && sparkle < 10; ++attempt) {
        ASSERT_TRUE(Runs({Python, (Here / "x11_hold.py").string(), display_.Name(), "Demo", "Right", "0.3"}));
        for (int i = 0; i < 10 && sparkle < 10; ++i)
            sparkle = find(SparkleColour, 0, 0, 220, 360).first;
    }
    EXPECT_GE(sparkle, 10) << "no sparkle where a gem was";
    // The gem count under the score, in the gems' colour: one for each 10 points.
    std::this_thread::sleep_for(500ms);
    const auto shot = Shot();
    ASSERT_TRUE(shot);
    const std::string score = ScoreShown(*shot, x, top);
    const char count = DigitShown(*shot, x + GemCountRight - DigitWidth, top + GemCountBottom - DigitHeight,
                                  {GemCountColour[0], GemCountColour[1], GemCountColour[2]});
    EXPECT_TRUE(count >= '1' && count <= '3') << count;
    EXPECT_EQ(score, std::string("000") + count + "0");
    CloseAndExpectCleanEnd();
}

// Ctrl+Q is the File menu's Quit shortcut.
TEST_F(DemoWindow, ControlQQuitsLikeTheFileMenu) {
    demo_ = vtrtest::Spawn(
        {std::string(VTR_BIN_DIR) + "/vtrdemo"},
        vtrtest::ChildEnvironment({"DISPLAY=" + display_.Name(), "SDL_VIDEODRIVER=x11",
                                   "SDL_AUDIODRIVER=dummy", "TMPDIR=" + temp_.string(),
                                   "LSAN_OPTIONS=suppressions=" + std::string(VTR_LSAN_SUPPRESSIONS_FILE)}),
        nullptr, (temp_ / "demo.err").c_str());
    ASSERT_GT(demo_, 0);
    const std::vector<std::string> press = {Python, (Here / "x11_keys.py").string(), display_.Name(), "Demo",
                                            "q"};
    bool pressed = false;
    for (int i = 0; i < 100 && !(pressed = Runs(press)); ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(pressed) << "the demo's window did not appear";
    std::optional<int> code;
    // The key may arrive before the window takes the focus: press again until the demo ends.
    for (int i = 0; i < 20 && !(code = WaitFor(demo_, 500ms)); ++i)
        Runs(press);
    ASSERT_TRUE(code) << "Ctrl+Q did not end the demo";
    demo_ = -1;
    EXPECT_EQ(*code, 0) << ReadFile(temp_ / "demo.err");
}

// The File menu opened with the mouse: its Quit item, below the separator, ends the demo.
TEST_F(DemoWindow, QuitChosenFromTheFileMenuEndsTheDemo) {
    const auto box = Launch(temp_);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    ASSERT_TRUE(Click(x + 12, y + bar / 2));
    // The separator is an etched line: a shadow row over a highlight row.
    std::optional<int> separator;
    const fs::path path = temp_ / "menu.xwd";
    for (int attempt = 0; attempt < 100 && !separator; ++attempt) {
        std::this_thread::sleep_for(100ms);
        vtrtest::Screenshot shot;
        if (!vtrtest::TakeScreenshot(display_.Name(), path.string()) || !shot.Read(path.string())) continue;
        for (int py = y + bar; py < y + bar + 120 && !separator; ++py) {
            const auto shadow = shot.Rgb(x + 20, py), highlight = shot.Rgb(x + 20, py + 1);
            if (shadow && highlight && (*shadow)[0] == (*shadow)[1] && (*shadow)[0] > 100 &&
                (*shadow)[0] < 200 && (*highlight)[0] == 255 && (*highlight)[1] == 255 &&
                (*highlight)[2] == 255)
                separator = py;
        }
    }
    ASSERT_TRUE(separator) << "the File menu did not open";
    ASSERT_TRUE(Click(x + 30, *separator + 10));
    const auto code = WaitFor(demo_, 30s);
    ASSERT_TRUE(code) << "choosing Quit did not end the demo";
    demo_ = -1;
    EXPECT_EQ(*code, 0) << ReadFile(temp_ / "demo.err");
}

// The title fades in from white through the runtime's cross-fade: on the way the play area shows neither
// white nor the title's colour but a mix of the two, and the fade ends on the title's colour.
TEST_F(DemoWindow, TheTitleFadesInFromWhiteThroughMixedColours) {
    const auto box = Launch(temp_);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int px = x + width / 2, py = y + height - 40; // below the spinners
    constexpr std::uint8_t White = 0xFF;
    const auto mixed = [](const Pixel& p) {
        for (int c = 0; c < 3; ++c)
            if (!p || (*p)[c] <= FirstFrame[c] || (*p)[c] >= White) return false;
        return true;
    };
    std::optional<std::array<std::uint8_t, 3>> seen;
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        const auto shot = Shot();
        ASSERT_TRUE(shot);
        const Pixel p = shot->Rgb(px, py);
        if (mixed(p) && !seen) seen = p;
        ended = Is(p, FirstFrame);
    }
    ASSERT_TRUE(seen) << "no screenshot caught the fade half-way";
    EXPECT_TRUE(ended) << "the fade did not end on the title's colour";
    CloseAndExpectCleanEnd();
}

// Options > Full screen covers Xvfb's screen with the window, the play area centred in it; choosing it again
// gives the window back where it was and at its size, twice in a row.
TEST_F(DemoWindow, TheOptionsMenuSwitchesToFullScreenAndBack) {
    const auto box = Launch(temp_);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    // The switch waits for the end of the title's fade.
    ASSERT_TRUE(WaitForColour(x + width / 2, y + height - 40, FirstFrame)) << "the title's fade did not end";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(ChooseMenuItem(x, y, width, bar, 1, 3));
        EXPECT_EQ(WaitForGeometry(Screen), Screen) << "full screen did not cover the screen";
        // The play area keeps its size, centred below the menu bar, with the border colour around it.
        const int top = bar + (Screen[3] - bar - 480) / 2;
        EXPECT_TRUE(WaitForColour(Screen[2] / 2, top + 470, FirstFrame));
        const auto shot = Shot();
        ASSERT_TRUE(shot);
        EXPECT_FALSE(Is(shot->Rgb(Screen[2] / 2 - 330, top + 240), FirstFrame)) << "left of the play area";
        ASSERT_TRUE(ChooseMenuItem(Screen[0], Screen[1], Screen[2], bar, 1, 3));
        EXPECT_EQ(WaitForGeometry(*box), box) << "the window did not come back as it was";
    }
    CloseAndExpectCleanEnd();
}

// Full screen chosen while the title still fades in is refused; the fade ends all the same and a key then
// starts the level.
TEST_F(DemoWindow, FullScreenChosenDuringTheTitlesFadeLeavesTheFadeToEndAndKeysToWork) {
    const auto box = Launch(temp_);
    ASSERT_TRUE(box);
    const auto launched = std::chrono::steady_clock::now();
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    ASSERT_TRUE(ChooseMenuItem(x, y, width, bar, 1, 3));
    // The fade lasts three seconds from about when the window shows, a second before Launch returns: on a
    // machine so busy that the choice came later, the switch is allowed and only what follows is checked.
    if (std::chrono::steady_clock::now() - launched < 1500ms)
        EXPECT_EQ(WaitForGeometry(*box), box) << "the switch was made during the fade";
    else if (WaitForGeometry(*box) != box) {
        ASSERT_TRUE(ChooseMenuItem(0, 0, Screen[2], bar, 1, 3)) << "full screen could not be left";
        ASSERT_EQ(WaitForGeometry(*box), box) << "the window did not come back from full screen";
    }
    ASSERT_TRUE(WaitForColour(x + width / 2, y + height - 40, FirstFrame)) << "the title stayed half-faded";
    constexpr std::uint8_t Ground[3] = {0x70, 0x48, 0x20};
    bool level = false;
    for (int i = 0; i < 20 && !level; ++i) {
        Runs({Python, (Here / "x11_press.py").string(), display_.Name(), "Demo", "Return"});
        if (const auto shot = Shot()) level = Is(shot->Rgb(x + 320, y + bar + 420), Ground);
        if (!level) std::this_thread::sleep_for(500ms);
    }
    EXPECT_TRUE(level) << "Return did not start the level";
    CloseAndExpectCleanEnd();
}

// In full screen the title takes Return and the level fades in and runs there.
TEST_F(DemoWindow, InFullScreenReturnStartsTheLevel) {
    FullScreenReturnStartsTheLevel({});
}

// The same through the Direct3D 8 display driver: its screen takes the whole screen without the menu bar,
// the frame centred in it.
TEST_F(DemoWindow, InFullScreenThroughTheDriverReturnStartsTheLevel) {
    FullScreenReturnStartsTheLevel({"-D3D8"});
}

void DemoWindow::FullScreenReturnStartsTheLevel(const std::vector<std::string>& args) {
    const bool driver = !args.empty();
    const auto box = Launch(temp_, args);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    ASSERT_TRUE(WaitForColour(x + width / 2, y + height - 40, FirstFrame)) << "the title's fade did not end";
    ASSERT_TRUE(ChooseMenuItem(x, y, width, bar, 1, 3));
    ASSERT_EQ(WaitForGeometry(Screen), Screen) << "full screen did not cover the screen";
    const int shownBar = driver ? 0 : bar;
    const int top = shownBar + (Screen[3] - shownBar - 480) / 2, left = (Screen[2] - 640) / 2;
    ASSERT_TRUE(WaitForColour(left + 320, top + 470, FirstFrame)) << "the title did not show in full screen";
    constexpr std::uint8_t Ground[3] = {0x70, 0x48, 0x20};
    bool level = false;
    for (int i = 0; i < 20 && !level; ++i) {
        Runs({Python, (Here / "x11_press.py").string(), display_.Name(), "Demo", "Return"});
        if (const auto shot = Shot()) level = Is(shot->Rgb(left + 320, top + 420), Ground);
        if (!level) std::this_thread::sleep_for(500ms);
    }
    EXPECT_TRUE(level) << "Return did not start the level in full screen";
    CloseAndExpectCleanEnd();
}

// Help > About opens the dialog in a window of its own over the demo, and its close box closes it; Ctrl+A,
// the item's shortcut, opens it too.
TEST_F(DemoWindow, AboutOpensFromTheHelpMenuAndItsShortcut) {
    const auto box = Launch(temp_);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    const auto expectDialogThenClose = [&](const char* how) {
        std::optional<std::string> about;
        for (int i = 0; i < 50 && !(about = Window("geometry", "About")); ++i)
            std::this_thread::sleep_for(100ms);
        ASSERT_TRUE(about) << "the About dialog did not open from " << how << ": "
                           << ReadFile(temp_ / "demo.err");
        std::array<int, 4> dialog{};
        std::istringstream(*about) >> dialog[0] >> dialog[1] >> dialog[2] >> dialog[3];
        EXPECT_GT(dialog[2], 100);
        EXPECT_GT(dialog[3], 50);
        // The dialog's face, in the button-face grey, round its texts.
        Pixel face;
        for (int i = 0; i < 50; ++i) {
            const auto shot = Shot();
            ASSERT_TRUE(shot);
            face = shot->Rgb(dialog[0] + dialog[2] - 3, dialog[1] + 3);
            if (face && (*face)[0] == (*face)[1] && (*face)[1] == (*face)[2] && (*face)[0] > 150) break;
            std::this_thread::sleep_for(100ms);
        }
        ASSERT_TRUE(face);
        EXPECT_EQ((*face)[0], (*face)[2]);
        EXPECT_GT((*face)[0], 150);
        EXPECT_TRUE(CloseWindow("About")) << "the close box closed the dialog";
    };
    // About is not shown while a frame fades.
    ASSERT_TRUE(WaitForColour(x + width / 2, y + height - 40, FirstFrame)) << "the title's fade did not end";
    ASSERT_TRUE(ChooseMenuItem(x, y, width, bar, 2, 0));
    expectDialogThenClose("the Help menu");
    const std::vector<std::string> press = {Python, (Here / "x11_keys.py").string(), display_.Name(), "Demo",
                                            "a"};
    std::optional<std::string> about;
    // The key may arrive before the window has the focus back: press again until the dialog shows. The key
    // also starts a game, and the dialog waits for the frames' fades: wait for them before pressing again,
    // or the dialog would be asked for twice.
    for (int i = 0; i < 6 && !(about = Window("geometry", "About")); ++i) {
        Runs(press);
        for (int wait = 0; wait < 20 && !(about = Window("geometry", "About")); ++wait)
            std::this_thread::sleep_for(100ms);
    }
    expectDialogThenClose("Ctrl+A");
    CloseAndExpectCleanEnd();
}

// The demo packed with its French language files shows the runtime's dialogs in French: About from its
// shortcut, then the paused dialog from its own.
TEST_F(DemoWindow, TheFrenchDemoShowsTheRuntimesDialogsInFrench) {
    const auto box = Launch(temp_, {}, "vtrdemo_fr");
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    ASSERT_TRUE(WaitForColour(x + width / 2, y + height - 40, FirstFrame)) << "the title's fade did not end";
    // The key may arrive before the window has the focus, and the dialogs wait for the frames' fades (the
    // key also starts the game): press again until the dialog shows.
    const auto openWith = [&](const char* key, const char* title) {
        for (int i = 0; i < 6 && !Window("geometry", title); ++i) {
            PressWithControl(key);
            for (int wait = 0; wait < 20 && !Window("geometry", title); ++wait)
                std::this_thread::sleep_for(100ms);
        }
        return WaitForWindow(title).has_value();
    };
    ASSERT_TRUE(openWith("a", "\u00C0 propos")) << "no French About dialog: " << ReadFile(temp_ / "demo.err");
    EXPECT_FALSE(Window("geometry", "About"));
    ASSERT_TRUE(CloseWindow("\u00C0 propos"));
    ASSERT_TRUE(openWith("p", "Application en pause")) << ReadFile(temp_ / "demo.err");
    ASSERT_TRUE(CloseWindow("Application en pause"));
    CloseAndExpectCleanEnd();
}

// The pixels of the play area (640 x 480 from (x, top)) that differ between two screenshots, leaving out
// rectangles (x, y, width, height on the screen) such as a window shown over it.
int PlayAreaDifferences(const vtrtest::Screenshot& a, const vtrtest::Screenshot& b, int x, int top,
                        const std::vector<std::array<int, 4>>& left = {}) {
    int differences = 0;
    for (int py = top; py < top + 480; ++py)
        for (int px = x; px < x + 640; ++px) {
            const bool out = std::any_of(left.begin(), left.end(), [&](const std::array<int, 4>& r) {
                return px >= r[0] && px < r[0] + r[2] && py >= r[1] && py < r[1] + r[3];
            });
            if (!out && a.Rgb(px, py) != b.Rgb(px, py)) ++differences;
        }
    return differences;
}

// Help > How to play shows the instructions with a scroll bar; clicks on its lower arrow scroll the text up
// by a line each, and what was shown moves up by as much.
TEST_F(DemoWindow, HowToPlayScrollsWithTheMouse) {
    HowToPlayScrollsWithTheMouse({});
}

// The same through the Direct3D 8 display driver: the text drawn in its own surface and blitted onto the
// driver's, the scroll bar a window over the device's.
TEST_F(DemoWindow, HowToPlayScrollsWithTheMouseThroughTheDriver) {
    HowToPlayScrollsWithTheMouse({"-D3D8"});
}

void DemoWindow::HowToPlayScrollsWithTheMouse(const std::vector<std::string>& args) {
    const auto box = Launch(temp_, args);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    const int top = y + bar;
    ASSERT_TRUE(WaitForColour(x + width / 2, y + height - 40, FirstFrame)) << "the title's fade did not end";
    ASSERT_TRUE(ChooseMenuItem(x, y, width, bar, 2, 1));
    const auto background = RgbOf(InstructionsBackground);
    const std::uint8_t paper[3] = {background[0], background[1], background[2]};
    // The text's paper, once the frame's fade is over.
    ASSERT_TRUE(
        WaitForColour(x + InstructionsLeft + 3, top + InstructionsTop + InstructionsHeight - 3, paper))
        << "the instructions did not show: " << ReadFile(temp_ / "demo.err");
    std::this_thread::sleep_for(500ms);
    const auto before = Shot();
    ASSERT_TRUE(before);
    // The scroll bar along the right edge: its lower arrow is its last 12 pixels.
    constexpr int Line = 12, Clicks = 4;
    const int arrowX = x + InstructionsLeft + InstructionsWidth - 6;
    const int arrowY = top + InstructionsTop + InstructionsHeight - 6;
    for (int i = 0; i < Clicks; ++i) {
        ASSERT_TRUE(Click(arrowX, arrowY));
        std::this_thread::sleep_for(150ms);
    }
    // The view less its bar, moved up by the lines scrolled: each row now shows what the row that many pixels
    // below showed.
    const int left = x + InstructionsLeft, right = left + InstructionsWidth - Line;
    const int viewTop = top + InstructionsTop, viewBottom = viewTop + InstructionsHeight;
    constexpr int Moved = Line * Clicks;
    const auto sameMoved = [&](const vtrtest::Screenshot& after) {
        int same = 0, all = 0, inked = 0;
        for (int py = viewTop; py < viewBottom - Moved; ++py)
            for (int px = left; px < right; ++px) {
                const Pixel was = before->Rgb(px, py + Moved);
                ++all;
                inked += !Is(was, paper);
                same += after.Rgb(px, py) == was;
            }
        return std::make_pair(all - same, inked);
    };
    std::pair<int, int> result{-1, 0};
    for (int i = 0; i < 50 && result.first != 0; ++i) {
        std::this_thread::sleep_for(100ms);
        if (const auto after = Shot()) result = sameMoved(*after);
    }
    EXPECT_EQ(result.first, 0) << "pixels that did not move with the text";
    EXPECT_GT(result.second, 1000) << "the text itself is there";
    const auto after = Shot();
    ASSERT_TRUE(after);
    EXPECT_GT(PlayAreaDifferences(*before, *after, x, top), 1000) << "the text scrolled";
    CloseAndExpectCleanEnd();
}

// The middle of the level's player, the orange block, on the whole play area.
std::optional<std::pair<double, double>> PlayerOn(const vtrtest::Screenshot& shot, int x, int top) {
    double sx = 0, sy = 0;
    int n = 0;
    for (int py = 0; py < 480; ++py)
        for (int px = 0; px < 640; ++px)
            if (shot.Rgb(x + px, top + py) == std::array<std::uint8_t, 3>{0xF0, 0x80, 0x20}) {
                sx += px, sy += py;
                ++n;
            }
    if (n < 100) return std::nullopt;
    return std::pair{sx / n, sy / n};
}

// File > Pause and its shortcut Ctrl+P show the runtime's paused dialog; the level's balls and gauge stand
// still behind it until its close box closes it, and move again after.
TEST_F(DemoWindow, PauseFromTheFileMenuAndItsShortcutHoldsTheLevelUntilTheDialogCloses) {
    const auto box = Launch(temp_, {"-F", std::string(VTR_BIN_DIR) + "/demo_level.vtg"}, "vtrrt");
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480, top = y + bar;
    const auto moving = [&](const std::array<int, 4>& over) -> std::optional<bool> {
        const auto first = Shot();
        std::this_thread::sleep_for(500ms);
        const auto second = Shot();
        if (!first || !second) return std::nullopt;
        return PlayAreaDifferences(*first, *second, x, top, {over}) > 0;
    };
    for (const char* how : {"menu", "shortcut"}) {
        SCOPED_TRACE(how);
        EXPECT_EQ(moving({0, 0, 0, 0}), true) << "the level plays before the pause";
        if (std::string(how) == "menu") {
            ASSERT_TRUE(ChooseMenuItem(x, y, width, bar, 0, 1));
        } else {
            // The key may arrive before the window has the focus back: press again until the dialog shows.
            for (int i = 0; i < 20 && !Window("geometry", "Application paused"); ++i) {
                PressWithControl("p");
                std::this_thread::sleep_for(300ms);
            }
        }
        const auto dialog = WaitForWindow("Application paused");
        ASSERT_TRUE(dialog) << "the paused dialog did not open: " << ReadFile(temp_ / "demo.err");
        // The last frame drawn before the pause may still reach the screen.
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(moving(*dialog), false) << "the level went on behind the paused dialog";
        ASSERT_TRUE(CloseWindow("Application paused"));
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(moving({0, 0, 0, 0}), true) << "the level did not go on after the dialog";
    }
    CloseAndExpectCleanEnd();
}

// Escape that closes the About dialog is let go after the dialog has gone: the game must not keep it down,
// or the level a key starts next would go back to the title at once.
TEST_F(DemoWindow, AboutClosedWithEscapeLeavesTheNextLevelRunning) {
    const auto box = Launch(temp_);
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    ASSERT_TRUE(WaitForColour(x + width / 2, y + height - 40, FirstFrame)) << "the title's fade did not end";
    ASSERT_TRUE(ChooseMenuItem(x, y, width, bar, 2, 0));
    ASSERT_TRUE(WaitForWindow("About")) << "the About dialog did not open: " << ReadFile(temp_ / "demo.err");
    const std::vector<std::string> escape = {Python, (Here / "x11_press.py").string(), display_.Name(),
                                             "About", "Escape"};
    for (int i = 0; i < 20 && Window("geometry", "About"); ++i) {
        Runs(escape);
        std::this_thread::sleep_for(300ms);
    }
    ASSERT_FALSE(Window("geometry", "About")) << "Escape did not close the About dialog";
    // The level's ground and the top of its sky.
    const auto level = [&] {
        const auto shot = Shot();
        return shot && Is(shot->Rgb(x + 320, y + bar + 420), {0x70, 0x48, 0x20}) &&
               Is(shot->Rgb(x + 10, y + bar), {0x20, 0x50, 0xC0});
    };
    const std::vector<std::string> start = {Python, (Here / "x11_press.py").string(), display_.Name(), "Demo",
                                            "Return"};
    bool shown = false;
    for (int i = 0; i < 100 && !(shown = level()); ++i) {
        if (i % 10 == 0) Runs(start);
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(shown) << "Return did not start the game: " << [&] {
        const auto shot = Shot();
        std::ostringstream seen;
        for (auto [px, py] : {std::pair{x + 320, y + bar + 420}, std::pair{x + 10, y + bar}})
            if (const auto p = shot ? shot->Rgb(px, py) : Pixel{})
                seen << std::hex << int((*p)[0]) << "," << int((*p)[1]) << "," << int((*p)[2]) << " ";
        return seen.str() + ReadFile(temp_ / "demo.err");
    }();
    // Well past the second after which a held Escape had given the title back.
    std::this_thread::sleep_for(3s);
    EXPECT_TRUE(level()) << "the level went back to the title";
    CloseAndExpectCleanEnd();
}

// File > Pause and Continue with the mouse, on a machine whose sound device does not open: the run goes on
// for ten seconds with no X error, and the missing device is told once.
TEST_F(DemoWindow, ThePausedDialogClosedWithTheMouseLeavesTenSecondsWithoutAnXError) {
    const auto box = Launch(temp_, {"-F", std::string(VTR_BIN_DIR) + "/demo_level.vtg"}, "vtrrt",
                            {"SDL_AUDIODRIVER=alsa", "AUDIODEV=vtr-no-such-device"});
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480;
    ASSERT_TRUE(ChooseMenuItem(x, y, width, bar, 0, 1));
    const auto dialog = WaitForWindow("Application paused");
    ASSERT_TRUE(dialog) << "the paused dialog did not open: " << ReadFile(temp_ / "demo.err");
    // Continue fills the middle of the dialog.
    const auto [dx, dy, dw, dh] = *dialog;
    for (int i = 0; i < 10 && Window("geometry", "Application paused"); ++i) {
        Click(dx + dw / 2, dy + dh / 2);
        std::this_thread::sleep_for(500ms);
    }
    ASSERT_FALSE(Window("geometry", "Application paused")) << "Continue did not close the dialog";
    std::this_thread::sleep_for(10s);
    ASSERT_FALSE(WaitFor(demo_, 0ms)) << "the run ended: " << ReadFile(temp_ / "demo.err");
    const std::string said = ReadFile(temp_ / "demo.err");
    EXPECT_EQ(said.find("X error"), std::string::npos) << said;
    EXPECT_EQ(said.find("X Error"), std::string::npos) << said;
    EXPECT_EQ(said.find("ALSA lib"), std::string::npos) << said;
    std::size_t told = 0;
    for (std::size_t at = said.find("no sound"); at != std::string::npos; at = said.find("no sound", at + 1))
        ++told;
    EXPECT_EQ(told, 1u) << said;
    EXPECT_NE(said.find("vtr-no-such-device"), std::string::npos) << said;
    CloseAndExpectCleanEnd();
}

// A position saved from the File menu in the middle of the level, and loaded again from it after the player
// has walked away, gives the same picture. Both are taken in the paused dialog that follows a save and a
// load, each one loop after the position, so the bouncing balls and the lift are where they were too; the
// dialog's own rectangle and the time gauge (below) are left out. The file dialogs are driven by keys: the
// name typed, then Return.
TEST_F(DemoWindow, APositionSavedFromTheMenuAndLoadedAgainGivesTheSamePicture) {
    const auto box = Launch(temp_, {"-F", std::string(VTR_BIN_DIR) + "/demo_level.vtg"}, "vtrrt");
    ASSERT_TRUE(box);
    const auto [x, y, width, height] = *box;
    const int bar = height - 480, top = y + bar;
    const auto player = [&]() -> std::optional<std::pair<double, double>> {
        const auto shot = Shot();
        return shot ? PlayerOn(*shot, x, top) : std::nullopt;
    };
    std::optional<std::pair<double, double>> start;
    for (int i = 0; i < 100 && !(start = player()); ++i)
        std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(start) << "the player is not shown";
    // Walk right until the player has moved, then let it come to a stop.
    std::pair<double, double> walked = *start;
    for (int attempt = 0; attempt < 6 && walked.first < start->first + 20; ++attempt) {
        ASSERT_TRUE(Hold("Right", "0.3"));
        std::this_thread::sleep_for(300ms);
        const auto now = player();
        ASSERT_TRUE(now) << "the player is not shown";
        walked = *now;
    }
    ASSERT_GE(walked.first, start->first + 20) << "the player did not walk";
    std::this_thread::sleep_for(800ms);
    const std::string file = (temp_ / "middle").string();
    // Saves or loads through the File menu's item; the picture in the paused dialog that follows.
    const auto through = [&](std::size_t item,
                             const char* dialogTitle) -> std::optional<vtrtest::Screenshot> {
        if (!ChooseMenuItem(x, y, width, bar, 0, item)) return std::nullopt;
        if (!WaitForWindow(dialogTitle)) {
            ADD_FAILURE() << "no " << dialogTitle << " dialog: " << ReadFile(temp_ / "demo.err");
            return std::nullopt;
        }
        if (!Runs({Python, (Here / "x11_type.py").string(), display_.Name(), dialogTitle, file})) {
            ADD_FAILURE() << "the name could not be typed";
            return std::nullopt;
        }
        paused_ = WaitForWindow("Application paused");
        if (!paused_) {
            ADD_FAILURE() << "no paused dialog after the " << dialogTitle
                          << " dialog: " << ReadFile(temp_ / "demo.err");
            return std::nullopt;
        }
        std::this_thread::sleep_for(500ms);
        return Shot();
    };
    const auto saved = through(2, "Save As");
    ASSERT_TRUE(saved);
    const std::array<int, 4> savedDialog = *paused_;
    EXPECT_TRUE(fs::exists(file + ".vpp")) << "the name typed without extension takes the position's";
    const auto atSave = PlayerOn(*saved, x, top);
    ASSERT_TRUE(atSave);
    ASSERT_TRUE(CloseWindow("Application paused"));
    // Away to the left, past where it was saved.
    std::pair<double, double> away = *atSave;
    for (int attempt = 0; attempt < 6 && away.first > atSave->first - 30; ++attempt) {
        ASSERT_TRUE(Hold("Left", "0.3"));
        std::this_thread::sleep_for(300ms);
        const auto now = player();
        ASSERT_TRUE(now) << "the player is not shown";
        away = *now;
    }
    ASSERT_LE(away.first, atSave->first - 30) << "the player did not walk away";
    std::this_thread::sleep_for(800ms);
    const auto loaded = through(3, "Open");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*paused_, savedDialog);
    EXPECT_EQ(PlayerOn(*loaded, x, top), atSave);
    // The time gauge is left out: its bar moves every loop.
    const std::array<int, 4> gauge{x + GaugeX, top + GaugeY, GaugeWidth, GaugeHeight};
    EXPECT_EQ(PlayAreaDifferences(*saved, *loaded, x, top, {savedDialog, gauge}), 0) << [&] {
        int l = 640, t = 480, r = -1, b = -1;
        for (int py = 0; py < 480; ++py)
            for (int px = 0; px < 640; ++px)
                if (saved->Rgb(x + px, top + py) != loaded->Rgb(x + px, top + py))
                    l = std::min(l, px), t = std::min(t, py), r = std::max(r, px), b = std::max(b, py);
        return "differences within " + std::to_string(l) + "," + std::to_string(t) + " to " +
               std::to_string(r) + "," + std::to_string(b);
    }();
    ASSERT_TRUE(CloseWindow("Application paused"));
    CloseAndExpectCleanEnd();
}

// The title runs the game's attract frame in a box drawn into it: the attract frame's ground fills the box,
// the title's colour lies around it, and the attract frame's spinners turn inside it.
TEST_F(DemoWindow, TheTitleRunsItsAttractFrameInABox) {
    const auto window = Launch(temp_);
    ASSERT_TRUE(window);
    const auto [x, y, width, height] = *window;
    const int left = x + AttractBoxX, top = y + height - 480 + AttractBoxY;
    const auto ground = RgbOf(AttractBackground);
    const std::uint8_t Ground[3] = {ground[0], ground[1], ground[2]};
    // Once the title has faded in from white.
    ASSERT_TRUE(WaitForColour(left + 1, top + 1, Ground)) << "the box did not show";
    const auto shot = Shot();
    ASSERT_TRUE(shot);
    EXPECT_TRUE(Is(shot->Rgb(left + AttractWidth - 2, top + AttractHeight - 2), Ground));
    EXPECT_TRUE(Is(shot->Rgb(left - 3, top + AttractHeight / 2), FirstFrame)) << "the title around the box";
    EXPECT_TRUE(Is(shot->Rgb(left + AttractWidth + 2, top + AttractHeight / 2), FirstFrame));
    constexpr std::uint8_t Quarter[3] = {0xFF, 0xD0, 0x20}, Disc[3] = {0xE0, 0x30, 0x30};
    bool sawQuarter = false, sawDisc = false;
    for (int i = 0; i < 60 && !(sawQuarter && sawDisc); ++i) {
        const auto box = Shot();
        ASSERT_TRUE(box);
        const auto point = box->Rgb(left + AttractSpinnerX[0] - 8, top + AttractSpinnerY - 8);
        sawQuarter = sawQuarter || Is(point, Quarter);
        sawDisc = sawDisc || Is(point, Disc);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(sawQuarter && sawDisc) << "the attract frame's spinner did not turn";
    CloseAndExpectCleanEnd();
}

// The game that starts at its game-over frame asks "Play again?" in its grey box; the answer is clicked:
// the first starts the first level, the second gives the title back.
class GameOverQuestion : public DemoWindow, public ::testing::WithParamInterface<int> {};

TEST_P(GameOverQuestion, IsAnsweredWithAClick) {
    const auto window = Launch(temp_, {"-F", std::string(VTR_BIN_DIR) + "/demo_game_over.vtg"}, "vtrrt");
    ASSERT_TRUE(window);
    const auto [x, y, width, height] = *window;
    const int left = x + QuestionX, top = y + height - 480 + QuestionY;
    constexpr std::uint8_t Grey[3] = {0xC0, 0xC0, 0xC0}, White[3] = {0xFF, 0xFF, 0xFF};
    ASSERT_TRUE(WaitForColour(left + 3, top + 3, Grey)) << "the question's box did not show";
    const auto shot = Shot();
    ASSERT_TRUE(shot);
    EXPECT_TRUE(Is(shot->Rgb(left, top), White)) << "the box is raised";
    // The answers' buttons: their light top edges, down the box's inner column.
    std::vector<int> answers;
    for (int py = top + 2; py < top + 300 && answers.size() < 2; ++py)
        if (Is(shot->Rgb(left + 10, py), White) && !Is(shot->Rgb(left + 10, py - 1), White))
            answers.push_back(py);
    ASSERT_EQ(answers.size(), 2u) << "two answers";
    ASSERT_TRUE(Click(left + 40, answers[static_cast<std::size_t>(GetParam())] + 8));
    const std::uint8_t ground[3] = {Level1Layout.ground[0], Level1Layout.ground[1], Level1Layout.ground[2]};
    if (GetParam() == 0) {
        EXPECT_TRUE(WaitForColour(x + 5, y + height - 480 + GroundY + 20, ground))
            << "the first level did not start";
    } else {
        EXPECT_TRUE(WaitForColour(x + 20, y + height - 240, FirstFrame)) << "the title did not show";
    }
    CloseAndExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(Answers, GameOverQuestion, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "PlayAgain" : "BackToTheTitle"; });

struct SignalCase {
    const char* name;
    int number;
};

class SignalledDemo : public DemoWindow, public ::testing::WithParamInterface<SignalCase> {};

// NOX keeps the close box from quitting, not a signal: the run ends in order, with nothing left behind and no
// leak reported (the leak checker runs with only the desktop bus suppressed).
TEST_P(SignalledDemo, EndsInOrderWhateverNoxSays) {
    const fs::path runTemp = temp_ / "run";
    fs::create_directory(runTemp);
    ASSERT_TRUE(Launch(runTemp, {"-NOX"}));
    ASSERT_TRUE(Window("close"));
    ASSERT_FALSE(WaitFor(demo_, 1s)) << "the close box ended the demo despite NOX";
    ASSERT_EQ(kill(demo_, GetParam().number), 0);
    const auto code = WaitFor(demo_, 30s);
    ASSERT_TRUE(code) << "the signal did not end the demo";
    demo_ = -1;
    EXPECT_EQ(*code, 0) << ReadFile(temp_ / "demo.err");
    EXPECT_EQ(ReadFile(temp_ / "demo.err").find("LeakSanitizer"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(runTemp)) << "the run's temporary folder was left behind";
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalledDemo,
                         ::testing::Values(SignalCase{"Interrupt", SIGINT},
                                           SignalCase{"Termination", SIGTERM}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
