// Runs the packed demo in a real X window (Xvfb) and ends it with the File menu's Quit shortcut, Ctrl+Q.
#include "support/child_process.h"
#include "support/x_display.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
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

using vtrtest::Runs;
using vtrtest::WaitFor;

class DemoMenu : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/Xvfb") || !Runs({Python, "-c", "import Xlib.ext.xtest"}))
            GTEST_SKIP() << "needs Xvfb and python3-xlib";
        ASSERT_TRUE(display_.Start(800, 600)) << "Xvfb did not start";
        char folder[] = "/tmp/vtr-e2e-menu-XXXXXX";
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

    vtrtest::VirtualDisplay display_;
    pid_t demo_ = -1;
    fs::path temp_;
};

TEST_F(DemoMenu, ControlQQuitsLikeTheFileMenu) {
    demo_ =
        vtrtest::Spawn({std::string(VTR_BIN_DIR) + "/vtrdemo"},
                       vtrtest::ChildEnvironment(
                           {"DISPLAY=" + display_.Name(), "SDL_VIDEODRIVER=x11", "TMPDIR=" + temp_.string(),
                            "LSAN_OPTIONS=suppressions=" + (Here / "lsan.supp").string()}));
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
    EXPECT_EQ(*code, 0);
}

} // namespace
