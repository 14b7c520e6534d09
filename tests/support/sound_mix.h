// What the sound tests share: the mix pulled in frames, measures over the pulled samples, and a hidden
// window that MCI end notices are posted to.
#pragma once

#include "win32/mm.h"
#include "win32/sound_testing.h"
#include "win32/user.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace sound_test {

using Samples = std::vector<std::int16_t>; // stereo, left first

inline Samples Pull(std::size_t frames) {
    Samples out(frames * 2);
    win32::testing::PullSound(out.data(), frames);
    return out;
}

inline std::size_t Frames(const Samples& s) {
    return s.size() / 2;
}

// The largest magnitude on one side (0 left, 1 right).
inline int Peak(const Samples& s, int side) {
    int peak = 0;
    for (std::size_t i = static_cast<std::size_t>(side); i < s.size(); i += 2)
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    return peak;
}

inline bool Silent(const Samples& s) {
    return Peak(s, 0) == 0 && Peak(s, 1) == 0;
}

// Sign changes from negative to non-negative on one side.
inline int RisingZeroCrossings(const Samples& s, int side) {
    int count = 0;
    for (std::size_t i = static_cast<std::size_t>(side) + 2; i < s.size(); i += 2)
        if (s[i - 2] < 0 && s[i] >= 0) ++count;
    return count;
}

// The gain of a DirectSound level in hundredths of a decibel, worked out here on its own.
inline double GainOfHundredths(double hundredths) {
    return hundredths <= -10000 ? 0.0 : std::pow(10.0, hundredths / 2000.0);
}

// The mix pulled by the test alone, for the length of a test.
class PulledMix {
public:
    PulledMix() { win32::testing::UsePulledSound(true); }
    ~PulledMix() { win32::testing::UsePulledSound(false); }
    PulledMix(const PulledMix&) = delete;
    PulledMix& operator=(const PulledMix&) = delete;
};

// A hidden top-level window that receives posted notices.
class NoticeWindow {
public:
    NoticeWindow() {
        win32::WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = win32::DefWindowProcW;
        wc.lpszClassName = u"SoundTestNotices";
        win32::RegisterClassExW(&wc);
        window_ = win32::CreateWindowExW(0, u"SoundTestNotices", u"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                         nullptr, nullptr);
    }
    ~NoticeWindow() {
        if (window_) win32::DestroyWindow(window_);
    }
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    win32::HWND Handle() const { return window_; }

    // The next MCI notice posted to the window, removed from its queue; -1 when none is waiting.
    long TakeNotice(win32::LPARAM* device = nullptr) {
        win32::MSG msg{};
        if (!win32::PeekMessageW(&msg, window_, win32::MM_MCINOTIFY, win32::MM_MCINOTIFY, win32::PM_REMOVE))
            return -1;
        if (device) *device = msg.lParam;
        return static_cast<long>(msg.wParam);
    }

private:
    win32::HWND window_ = nullptr;
};

} // namespace sound_test
