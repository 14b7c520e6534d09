// The message-filter hook: a key pressed in a dialog reaches the dialog as the dialog-key message.
#include "app_window_fixture.h"
#include "support/window_class.h"

#include <vector>

using namespace app_window_test;

namespace {

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Posted>& DialogLog() {
    static std::vector<Posted> log;
    return log;
}

LRESULT DialogProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == DialogKeyMessage) DialogLog().push_back({m, wp, lp});
    return DefWindowProcW(w, m, wp, lp);
}

class MessageFilter : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::RegisterWindowClass(u"FilterDialog", DialogProc);
        dialog = CreateWindowExW(0, u"FilterDialog", u"", WS_POPUP, 0, 0, 100, 80, nullptr, nullptr, nullptr,
                                 nullptr);
        control = CreateWindowExW(0, u"FilterDialog", u"", WS_CHILD, 5, 5, 20, 10, dialog, nullptr, nullptr,
                                  nullptr);
        ASSERT_NE(control, nullptr);
        DialogLog().clear();
    }
    void TearDown() override {
        while (RemoveMessageFilterHook()) {
        }
        DestroyWindow(dialog);
        Pump();
    }
    // What the dialog's modal loop does with a message of the control.
    bool Offer(UINT message, int code, WPARAM key = 'K') {
        MSG msg{control, message, key, 0x250001, 0, {}};
        return CallMsgFilterW(&msg, code) != FALSE;
    }
    HWND dialog = nullptr;
    HWND control = nullptr;
};

TEST_F(MessageFilter, AKeyDownInADialogIsSwallowedAndPostedToTheDialog) {
    ASSERT_EQ(InstallMessageFilterHook(), 1);
    EXPECT_TRUE(Offer(WM_KEYDOWN, MSGF_DIALOGBOX, VK_F1));
    // Key releases, other messages and other modal loops pass through untouched.
    EXPECT_FALSE(Offer(WM_KEYUP, MSGF_DIALOGBOX));
    EXPECT_FALSE(Offer(WM_LBUTTONDOWN, MSGF_DIALOGBOX));
    EXPECT_FALSE(Offer(WM_KEYDOWN, MSGF_MENU));
    Pump();
    ASSERT_EQ(DialogLog().size(), 1u);
    EXPECT_EQ(DialogLog()[0].wParam, static_cast<WPARAM>(VK_F1));
    EXPECT_EQ(DialogLog()[0].lParam, 0x250001);
}

TEST_F(MessageFilter, InstallationsAreCountedAndTheLastRemovalRemovesTheHook) {
    EXPECT_EQ(RemoveMessageFilterHook(), 0) << "none installed";
    ASSERT_EQ(InstallMessageFilterHook(), 1);
    ASSERT_EQ(InstallMessageFilterHook(), 1);
    EXPECT_EQ(RemoveMessageFilterHook(), 1);
    EXPECT_TRUE(Offer(WM_KEYDOWN, MSGF_DIALOGBOX)) << "one installation is left";
    EXPECT_EQ(RemoveMessageFilterHook(), 1);
    EXPECT_FALSE(Offer(WM_KEYDOWN, MSGF_DIALOGBOX));
    EXPECT_EQ(RemoveMessageFilterHook(), 0);
}

} // namespace
