// Runs the packed demo in a real X window (Xvfb), checks the first frame's colour on a screenshot, closes the
// window like a window manager would, and checks the program's exit and clean-up.
#include "support/child_process.h"
#include "support/x_display.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

const fs::path Here = fs::path(__FILE__).parent_path();
constexpr const char* Python = "/usr/bin/python3";

// The first frame's background colour, RGB(0x20, 0x60, 0xC0).
constexpr std::uint8_t FirstFrame[3] = {0x20, 0x60, 0xC0};

using vtrtest::ReadFile;
using vtrtest::Runs;
using vtrtest::Spawn;
using vtrtest::WaitFor;

class DemoWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/Xvfb") || !fs::exists("/usr/bin/xwd") ||
            !Runs({Python, "-c", "import Xlib"}))
            GTEST_SKIP() << "needs Xvfb, xwd and python3-xlib";
        ASSERT_TRUE(display_.Start(800, 600)) << "Xvfb did not start";
        char folder[] = "/tmp/vtr-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        temp_ = folder;
    }
    void TearDown() override {
        if (demo_ > 0 && !WaitFor(demo_, 0ms)) {
            kill(demo_, SIGKILL);
            WaitFor(demo_, 5s);
        }
        if (!temp_.empty()) fs::remove_all(temp_);
    }

    std::optional<std::string> Window(const char* command) {
        const fs::path out = temp_ / "window.txt";
        const pid_t pid = Spawn({Python, (Here / "x11_window.py").string(), display_.Name(), command, "Demo"},
                                vtrtest::ChildEnvironment({}), out.c_str());
        if (pid <= 0 || WaitFor(pid, 10s) != 0) return std::nullopt;
        return ReadFile(out);
    }

    vtrtest::VirtualDisplay display_;
    pid_t demo_ = -1;
    fs::path temp_;
};

TEST_F(DemoWindow, ShowsTheFirstFrameAndEndsCleanlyWhenClosed) {
    const fs::path runTemp = temp_ / "run";
    fs::create_directory(runTemp);
    demo_ = Spawn({std::string(VTR_BIN_DIR) + "/vtrdemo"},
                  vtrtest::ChildEnvironment({"DISPLAY=" + display_.Name(), "SDL_VIDEODRIVER=x11",
                                             "TMPDIR=" + runTemp.string(),
                                             "LSAN_OPTIONS=suppressions=" + (Here / "lsan.supp").string()}),
                  nullptr, (temp_ / "demo.err").c_str());
    ASSERT_GT(demo_, 0);

    std::optional<std::string> geometry;
    for (int i = 0; i < 300 && !(geometry = Window("geometry")); ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(geometry) << "the demo's window did not appear: " << ReadFile(temp_ / "demo.err");
    std::this_thread::sleep_for(1s);
    ASSERT_FALSE(WaitFor(demo_, 0ms)) << "the demo ended on its own";

    int x = 0, y = 0, width = 0, height = 0;
    std::istringstream(*Window("geometry")) >> x >> y >> width >> height;
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    const fs::path path = temp_ / "screen.xwd";
    vtrtest::Screenshot shot;
    ASSERT_TRUE(vtrtest::TakeScreenshot(display_.Name(), path.string()) && shot.Read(path.string()));
    for (auto [px, py] : {std::pair{x + width / 2, y + height / 2}, std::pair{x + 5, y + 5},
                          std::pair{x + width - 5, y + height - 5}}) {
        const auto pixel = shot.Rgb(px, py);
        ASSERT_TRUE(pixel);
        EXPECT_EQ((*pixel)[0], FirstFrame[0]);
        EXPECT_EQ((*pixel)[1], FirstFrame[1]);
        EXPECT_EQ((*pixel)[2], FirstFrame[2]);
    }

    ASSERT_TRUE(Window("close"));
    const auto code = WaitFor(demo_, 30s);
    ASSERT_TRUE(code) << "the demo did not end after its window was closed";
    demo_ = -1;
    EXPECT_EQ(*code, 0) << ReadFile(temp_ / "demo.err");
    EXPECT_TRUE(fs::is_empty(runTemp)) << "the run's temporary folder was left behind";
}

} // namespace
