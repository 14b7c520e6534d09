// Runs the packed demo in a real X window (Xvfb) and ends it with the File menu's Quit shortcut, Ctrl+Q.
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

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("SDL_VIDEODRIVER=", 0) != 0 && entry.rfind("DISPLAY=", 0) != 0 &&
            entry.rfind("TMPDIR=", 0) != 0)
            env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        if (std::chrono::steady_clock::now() > end) return std::nullopt;
        std::this_thread::sleep_for(20ms);
    }
}

bool Runs(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    const pid_t pid = Spawn(args, env);
    return pid > 0 && WaitFor(pid, 10s) == 0;
}

class DemoMenu : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/Xvfb") || !Runs({Python, "-c", "import Xlib.ext.xtest"}))
            GTEST_SKIP() << "needs Xvfb and python3-xlib";
        display_ = ":" + std::to_string(100 + (getpid() + 401) % 800);
        xvfb_ = Spawn({"/usr/bin/Xvfb", display_, "-screen", "0", "800x600x24", "-nolisten", "tcp"}, {});
        ASSERT_GT(xvfb_, 0);
        const fs::path socket = "/tmp/.X11-unix/X" + display_.substr(1);
        for (int i = 0; i < 250 && !fs::exists(socket); ++i)
            std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(fs::exists(socket));
        char folder[] = "/tmp/vtr-e2e-menu-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        temp_ = folder;
    }
    void TearDown() override {
        if (demo_ > 0 && !WaitFor(demo_, 0ms)) {
            kill(demo_, SIGKILL);
            WaitFor(demo_, 5s);
        }
        if (xvfb_ > 0) {
            kill(xvfb_, SIGTERM);
            WaitFor(xvfb_, 5s);
        }
        if (!temp_.empty()) fs::remove_all(temp_);
    }

    std::string display_;
    pid_t xvfb_ = -1;
    pid_t demo_ = -1;
    fs::path temp_;
};

TEST_F(DemoMenu, ControlQQuitsLikeTheFileMenu) {
    demo_ = Spawn({std::string(VTR_BIN_DIR) + "/vtrdemo"},
                  {"DISPLAY=" + display_, "SDL_VIDEODRIVER=x11", "TMPDIR=" + temp_.string(),
                   "LSAN_OPTIONS=suppressions=" + (Here / "lsan.supp").string()});
    ASSERT_GT(demo_, 0);
    const std::vector<std::string> press = {Python, (Here / "x11_keys.py").string(), display_, "Demo", "q"};
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
