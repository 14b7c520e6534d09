// Hook chains: what WH_CALLWNDPROC hooks see of sent messages, the order of a chain, and the message filter
// that modal loops call.
#include "recorder.h"
#include "win32/kernel.h"

#include <thread>
#include <vector>

using namespace windows_test;

namespace {

struct Heard {
    char hook;
    UINT message;
    HWND window;
    WPARAM wParam;
    int code;
};

std::vector<Heard>& HookLog() {
    static std::vector<Heard> log;
    return log;
}

HHOOK first = nullptr, second = nullptr;

LRESULT Hear(char name, HHOOK self, int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (sent->message >= WM_USER) HookLog().push_back({name, sent->message, sent->hwnd, sent->wParam, code});
    return CallNextHookEx(self, code, wParam, lParam);
}
LRESULT FirstHook(int code, WPARAM wParam, LPARAM lParam) {
    return Hear('1', first, code, wParam, lParam);
}
LRESULT SecondHook(int code, WPARAM wParam, LPARAM lParam) {
    return Hear('2', second, code, wParam, lParam);
}

class Hooks : public WindowTest {
protected:
    void TearDown() override {
        for (HHOOK* h : {&first, &second})
            if (*h) UnhookWindowsHookEx(std::exchange(*h, nullptr));
        HookLog().clear();
        WindowTest::TearDown();
    }
    // The user messages the window procedure saw.
    std::vector<UINT> Delivered() const {
        std::vector<UINT> out;
        for (const Seen& s : Log())
            if (s.message >= WM_USER) out.push_back(s.message);
        return out;
    }
};

TEST_F(Hooks, SentMessagesPassTheChainNewestFirstBeforeTheProcedure) {
    first = SetWindowsHookExW(WH_CALLWNDPROC, FirstHook, nullptr, GetCurrentThreadId());
    second = SetWindowsHookExW(WH_CALLWNDPROC, SecondHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    Log().clear();
    SendMessageW(top, WM_USER + 1, 7, 8);
    ASSERT_EQ(HookLog().size(), 2u);
    EXPECT_EQ(HookLog()[0].hook, '2');
    EXPECT_EQ(HookLog()[1].hook, '1');
    EXPECT_EQ(HookLog()[0].window, top);
    EXPECT_EQ(HookLog()[0].wParam, 7u);
    EXPECT_EQ(HookLog()[0].code, HC_ACTION);
    EXPECT_EQ(Delivered(), std::vector<UINT>{WM_USER + 1});

    // A posted message is dispatched to the procedure alone.
    HookLog().clear();
    PostMessageW(top, WM_USER + 2, 0, 0);
    EXPECT_EQ(Messages(Pump()), std::vector<UINT>{WM_USER + 2});
    EXPECT_TRUE(HookLog().empty());

    // Removed, a hook hears nothing more, and its handle is refused from then on.
    ASSERT_TRUE(UnhookWindowsHookEx(second));
    EXPECT_FALSE(UnhookWindowsHookEx(second));
    second = nullptr;
    SendMessageW(top, WM_USER + 3, 0, 0);
    ASSERT_EQ(HookLog().size(), 1u);
    EXPECT_EQ(HookLog()[0].hook, '1');
}

TEST_F(Hooks, AHookOfAnotherThreadHearsNothingHere) {
    DWORD other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    ASSERT_NE(other, GetCurrentThreadId());
    first = SetWindowsHookExW(WH_CALLWNDPROC, FirstHook, nullptr, other);
    SendMessageW(top, WM_USER, 0, 0);
    EXPECT_TRUE(HookLog().empty());
    EXPECT_EQ(SetWindowsHookExW(12345, FirstHook, nullptr, 0), nullptr) << "a kind the layer has not";
}

// What a hook sends while it runs does not call it again.
LRESULT Resender(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (sent->message == WM_USER) {
        HookLog().push_back({'r', sent->message, sent->hwnd, 0, code});
        SendMessageW(sent->hwnd, WM_USER + 5, 0, 0);
    }
    return CallNextHookEx(first, code, wParam, lParam);
}

TEST_F(Hooks, AHookIsNotCalledForWhatItSendsItself) {
    first = SetWindowsHookExW(WH_CALLWNDPROC, Resender, nullptr, 0);
    Log().clear();
    SendMessageW(top, WM_USER, 0, 0);
    EXPECT_EQ(HookLog().size(), 1u);
    EXPECT_EQ(Delivered(), (std::vector<UINT>{WM_USER + 5, WM_USER}));
}

int filterCode = -1;
LRESULT TakeKeys(int code, WPARAM wParam, LPARAM lParam) {
    filterCode = code;
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code >= 0 && msg->message == WM_KEYDOWN) return 1;
    return CallNextHookEx(first, code, wParam, lParam);
}

TEST_F(Hooks, MessageFilterTellsTheModalLoopWhatAHookTook) {
    MSG key{top, WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_FALSE(CallMsgFilterW(&key, MSGF_DIALOGBOX)) << "no hook takes nothing";
    first = SetWindowsHookExW(WH_MSGFILTER, TakeKeys, nullptr, GetCurrentThreadId());
    EXPECT_TRUE(CallMsgFilterW(&key, MSGF_DIALOGBOX));
    EXPECT_EQ(filterCode, MSGF_DIALOGBOX);
    MSG click{top, WM_LBUTTONDOWN, 0, 0, 0, {}};
    EXPECT_FALSE(CallMsgFilterW(&click, MSGF_MENU));
    EXPECT_EQ(filterCode, MSGF_MENU);
    // The filter hooks are not those of sent messages.
    SendMessageW(top, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(filterCode, MSGF_MENU);
}

} // namespace
