// Test support for end-to-end checks on a real X server: a private Xvfb and XWD screenshots.
#pragma once

#include "support/child_process.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vtrtest {

// An X server of our own on a display it picks itself (-displayfd), so that parallel tests never collide;
// stopped by its process id when the object goes.
class VirtualDisplay {
public:
    bool Start(int width, int height, int startTimeoutMs = 20000) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        std::vector<std::string> args = {"Xvfb", "-displayfd", fd,          "-screen",
                                         "0",    screen,       "-nolisten", "tcp"};
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
        while (poll(&p, 1, startTimeoutMs) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
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
    // The server dies at once, as a crashed one would; its clients lose their connection.
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    const std::string& Name() const { return display_; }

private:
    pid_t pid_ = 0;
    std::string display_;
};

// The root window's pixels, read from an XWD dump; colours come back as red, green, blue.
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
    static std::uint8_t Component(std::uint32_t value, std::uint32_t mask) {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        return static_cast<std::uint8_t>((value & mask) >> shift);
    }
    // Red, green and blue of one pixel, or nothing outside the picture.
    std::optional<std::array<std::uint8_t, 3>> Rgb(int x, int y) const {
        if (x < 0 || y < 0 || std::uint32_t(x) >= width || std::uint32_t(y) >= height) return std::nullopt;
        const std::size_t bytes = bitsPerPixel / 8;
        const std::size_t at = std::size_t(y) * bytesPerLine + std::size_t(x) * bytes;
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            const std::uint32_t byte = pixels[at + i];
            v |= byteOrder == 0 ? byte << (8 * i) : byte << (8 * (bytes - 1 - i));
        }
        return std::array<std::uint8_t, 3>{Component(v, masks[0]), Component(v, masks[1]),
                                           Component(v, masks[2])};
    }
};

// Dumps the root window of a display into an XWD file.
inline bool TakeScreenshot(const std::string& display, const std::string& path) {
    std::vector<std::string> args = {"xwd", "-root", "-silent", "-display", display, "-out", path};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, "xwd", nullptr, nullptr, argv.data(), environ) != 0) return false;
    // A stuck dump fails the test instead of hanging it.
    const std::optional<int> code = WaitFor(pid, std::chrono::seconds(20));
    if (!code) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return code == 0;
}

} // namespace vtrtest
