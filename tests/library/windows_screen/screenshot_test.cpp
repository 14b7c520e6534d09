// End to end: a real window made through the library on an X server, checked by a screenshot of the display.
#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"
#include "win32/kernel.h"
#include "win32/user.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// SDL's X11 driver opens a D-Bus connection that lives until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

using namespace win32;

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kStartTimeoutMs = 10000;

COLORREF Pattern(int x, int y) {
    return RGB(static_cast<BYTE>(x * 4), static_cast<BYTE>(y * 5),
               static_cast<BYTE>((x / 8 + y / 8) % 2 ? 255 : 0));
}

// An X server of our own on a free display; it is stopped by its process id when the test ends.
class VirtualDisplay {
public:
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        const std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args = {"Xvfb", "-displayfd", fd,          "-screen",
                                         "0",    "320x240x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1 /* O_WRONLY */, 0);
        const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            pid_ = 0;
            close(fds[0]);
            return false;
        }
        // The server writes its display number once it accepts connections.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, kStartTimeoutMs) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number.push_back(c);
        close(fds[0]);
        if (number.empty()) return false;
        display_ = ":" + number;
        return true;
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Name() const { return display_; }

private:
    pid_t pid_ = 0;
    std::string display_;
};

// The root window's pixels, read from an XWD dump.
struct Screenshot {
    std::uint32_t width = 0, height = 0, bytesPerLine = 0, bitsPerPixel = 0, byteOrder = 0;
    std::uint32_t masks[3] = {};
    std::vector<unsigned char> pixels;

    static std::uint32_t Big(const std::vector<unsigned char>& b, std::size_t at) {
        return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) |
               (std::uint32_t(b[at + 2]) << 8) | b[at + 3];
    }
    bool Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (b.size() < 100) return false;
        const std::uint32_t headerSize = Big(b, 0);
        const std::uint32_t colours = Big(b, 19 * 4);
        width = Big(b, 4 * 4);
        height = Big(b, 5 * 4);
        byteOrder = Big(b, 7 * 4);
        bitsPerPixel = Big(b, 11 * 4);
        bytesPerLine = Big(b, 12 * 4);
        for (int i = 0; i < 3; ++i)
            masks[i] = Big(b, (14 + i) * 4);
        const std::uint64_t start = std::uint64_t(headerSize) + std::uint64_t(colours) * 12;
        if (bitsPerPixel != 32 && bitsPerPixel != 24) return false;
        if (start + std::uint64_t(bytesPerLine) * height > b.size()) return false;
        pixels.assign(b.begin() + static_cast<std::ptrdiff_t>(start), b.end());
        return true;
    }
    static BYTE Component(std::uint32_t value, std::uint32_t mask) {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        return static_cast<BYTE>((value & mask) >> shift);
    }
    COLORREF At(int x, int y) const {
        const std::size_t bytes = bitsPerPixel / 8;
        const std::size_t at = std::size_t(y) * bytesPerLine + std::size_t(x) * bytes;
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            const std::uint32_t byte = pixels[at + i];
            v |= byteOrder == 0 ? byte << (8 * i) : byte << (8 * (bytes - 1 - i));
        }
        return RGB(Component(v, masks[0]), Component(v, masks[1]), Component(v, masks[2]));
    }
};

bool TakeScreenshot(const std::string& display, const std::string& path) {
    std::vector<std::string> args = {"xwd", "-root", "-silent", "-display", display, "-out", path};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, "xwd", nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AppWindowProcW(window, message, wParam, lParam);
}

void PumpFor(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(10);
    }
}

int Mismatches(const Screenshot& shot, POINT origin) {
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (shot.At(origin.x + x, origin.y + y) != Pattern(x, y)) ++wrong;
    return wrong;
}

TEST(Screen, WindowDrawnThroughTheLibraryShowsThePatternOnTheDisplay) {
    VirtualDisplay display;
    if (!display.Start()) GTEST_SKIP() << "no X server could be started";
    setenv("DISPLAY", display.Name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = Procedure;
    wc.cbWndExtra = 12;
    wc.lpszClassName = u"ScreenTest";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    AppContext* context = CreateAppContext(nullptr, nullptr);
    ASSERT_NE(context, nullptr);
    SetAppDisplayMode(context, 8);
    AppWindowParams p{};
    p.size = sizeof p;
    p.x = 16;
    p.y = 24;
    p.width = -kWidth;
    p.height = -kHeight;
    p.style = WS_POPUP | WS_VISIBLE;
    p.className = u"ScreenTest";
    p.title = u"screen";
    p.areaWidth = -kWidth;
    p.areaHeight = -kHeight;
    p.cursor = reinterpret_cast<HCURSOR>(1);
    p.windowType = AppWindowMain;
    AppWindow* window = CreateAppWindowW(context, &p);
    ASSERT_TRUE(IsAppWindow(window));
    if (!win32::testing::SdlWindowId(GetAppWindowHandle(window))) {
        DestroyAppContext(context);
        GTEST_SKIP() << "SDL cannot open windows on the X server";
    }

    cSurface prototype;
    auto* model = new cBufferSurface;
    model->SetDepth(32);
    prototype.SetImplementation(model);
    cSurface* surface = NewSurface();
    ASSERT_TRUE(surface->Create(kWidth, kHeight, &prototype));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            surface->SetPixel(x, y, Pattern(x, y));
    ASSERT_TRUE(AttachWindowSurface(window, surface));

    POINT origin{0, 0};
    ClientToScreen(GetAppWindowHandle(window), &origin);
    const std::string path = "/tmp/vtr-screen-" + std::to_string(getpid()) + ".xwd";
    int wrong = kWidth * kHeight;
    // The server maps the window in its own time: draw and look again until the picture is there.
    for (int attempt = 0; attempt < 20 && wrong; ++attempt) {
        AddUpdateRect(window, nullptr);
        UpdateWindowFromSurface(window);
        PumpFor(5);
        Screenshot shot;
        if (!TakeScreenshot(display.Name(), path) || !shot.Read(path)) {
            std::remove(path.c_str());
            DestroyAppContext(context);
            GTEST_SKIP() << "no screenshot of the X display could be taken";
        }
        ASSERT_GE(shot.width, static_cast<std::uint32_t>(origin.x + kWidth));
        ASSERT_GE(shot.height, static_cast<std::uint32_t>(origin.y + kHeight));
        wrong = Mismatches(shot, origin);
    }
    std::remove(path.c_str());
    EXPECT_EQ(wrong, 0) << "pixels of the window that differ from the pattern";
    DestroyAppContext(context);
}

} // namespace
