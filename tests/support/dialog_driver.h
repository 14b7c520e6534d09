// Plays a script of steps into the modal dialogs a test opens, as a user would: each step runs in the
// dialog's own message loop with the dialog shown last (still open) as its argument, on a window timer, so
// that what a step posts, paints and timers are all handled before the next step runs. A script that runs
// out ends the dialog with -2, so a test never hangs.
#pragma once

#include "win32/dialog.h"
#include "win32/window_testing.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace test_support {

class DialogDriver {
public:
    using Step = std::function<void(win32::HWND dialog)>;

    DialogDriver() {
        win32::WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DriverProc;
        wc.lpszClassName = u"DialogDriver";
        win32::RegisterClassExW(&wc);
        window_ = win32::CreateWindowExW(0, u"DialogDriver", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                         nullptr);
        win32::SetTimer(window_, 1, StepPeriodMs, nullptr);
        Current() = this;
        win32::testing::SetDialogShownHook(OnShown);
    }
    ~DialogDriver() {
        if (Current() == this) {
            win32::testing::SetDialogShownHook(nullptr);
            Current() = nullptr;
        }
        win32::DestroyWindow(window_);
    }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    DialogDriver& Then(Step step) {
        steps_.push_back(std::move(step));
        return *this;
    }
    // The dialogs shown so far, in order.
    const std::vector<win32::HWND>& Shown() const { return shown_; }

    // Steps.
    static Step Key(int vk) {
        return [vk](win32::HWND) {
            win32::PostMessageW(win32::GetFocus(), win32::WM_KEYDOWN, static_cast<win32::WPARAM>(vk), 1);
            win32::PostMessageW(win32::GetFocus(), win32::WM_KEYUP, static_cast<win32::WPARAM>(vk),
                                static_cast<win32::LPARAM>(0xC0000001));
        };
    }
    static Step Type(std::u16string text) {
        return [text](win32::HWND) {
            for (char16_t c : text)
                win32::PostMessageW(win32::GetFocus(), win32::WM_CHAR, c, 1);
        };
    }
    // The button of the dialog pressed as a click would.
    static Step Press(int id) {
        return [id](win32::HWND dialog) { win32::SendDlgItemMessageW(dialog, id, win32::BM_CLICK, 0, 0); };
    }
    // A left click on the dialog itself, at a point of its client area.
    static Step ClickDialog(int x, int y) {
        return [x, y](win32::HWND dialog) {
            win32::PostMessageW(dialog, win32::WM_LBUTTONDOWN, 1, win32::MAKELPARAM(x, y));
            win32::PostMessageW(dialog, win32::WM_LBUTTONUP, 0, win32::MAKELPARAM(x, y));
        };
    }
    static void Idle(win32::HWND) {}

private:
    static constexpr win32::UINT StepPeriodMs = 10;

    static DialogDriver*& Current() {
        static DialogDriver* current = nullptr;
        return current;
    }
    static void OnShown(win32::HWND dialog) {
        DialogDriver* d = Current();
        if (!d) return;
        d->shown_.push_back(dialog);
        d->open_.push_back(dialog);
    }
    void RunNext() {
        while (!open_.empty() && !win32::IsWindowVisible(open_.back()))
            open_.pop_back();
        if (open_.empty()) return;
        const win32::HWND dialog = open_.back();
        if (steps_.empty()) {
            win32::EndDialog(dialog, -2);
            return;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(dialog);
    }
    static win32::LRESULT DriverProc(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                     win32::LPARAM lParam) {
        if (message == win32::WM_TIMER && Current()) {
            Current()->RunNext();
            return 0;
        }
        return win32::DefWindowProcW(window, message, wParam, lParam);
    }

    win32::HWND window_ = nullptr;
    std::deque<Step> steps_;
    std::vector<win32::HWND> shown_;
    std::vector<win32::HWND> open_;
};

// A window's text, as a test reads a control's caption.
inline std::u16string WindowText(win32::HWND window) {
    std::u16string text(static_cast<std::size_t>(win32::GetWindowTextLengthW(window)), u'\0');
    win32::GetWindowTextW(window, text.data(), static_cast<int>(text.size()) + 1);
    return text;
}

// The items of a dialog's list box, in its order.
inline std::vector<std::u16string> ListBoxItems(win32::HWND dialog, int id) {
    std::vector<std::u16string> items;
    const auto count = win32::SendDlgItemMessageW(dialog, id, win32::LB_GETCOUNT, 0, 0);
    for (win32::LRESULT i = 0; i < count; ++i) {
        std::u16string item(
            static_cast<std::size_t>(win32::SendDlgItemMessageW(dialog, id, win32::LB_GETTEXTLEN, i, 0)),
            u'\0');
        win32::SendDlgItemMessageW(dialog, id, win32::LB_GETTEXT, i,
                                   reinterpret_cast<win32::LPARAM>(item.data()));
        items.push_back(item);
    }
    return items;
}

} // namespace test_support
