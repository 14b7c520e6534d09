#include "recorder.h"

#include <algorithm>

using namespace windows_test;

namespace {

// An MDI client of 200 × 150 over the whole top window, with three children (the last one active).
class MdiClient : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        CLIENTCREATESTRUCT ccs{nullptr, 50};
        client = CreateWindowExW(0, u"mdiclient", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 200, 150, top,
                                 nullptr, nullptr, &ccs);
        ASSERT_NE(client, nullptr);
        for (HWND& child : children) {
            MDICREATESTRUCTW mdi{u"Recorder",   u"", nullptr, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 0,   0};
            child =
                reinterpret_cast<HWND>(SendMessageW(client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mdi)));
            ASSERT_NE(child, nullptr);
        }
    }
    RECT Rect(HWND child) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, client, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    HWND Active(BOOL* maximized = nullptr) {
        return reinterpret_cast<HWND>(
            SendMessageW(client, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(maximized)));
    }

    HWND client = nullptr;
    HWND children[3]{};
};

struct TileCase {
    WPARAM how;
    RECT first, last; // of the top child and the bottom child
};

class MdiTile : public MdiClient, public ::testing::WithParamInterface<TileCase> {};

TEST_P(MdiTile, SharesTheClientAreaInStrips) {
    ASSERT_TRUE(SendMessageW(client, WM_MDITILE, GetParam().how, 0));
    const RECT top = Rect(children[2]), bottom = Rect(children[0]);
    EXPECT_TRUE(EqualRect(&top, &GetParam().first))
        << top.left << "," << top.top << "," << top.right << "," << top.bottom;
    EXPECT_TRUE(EqualRect(&bottom, &GetParam().last))
        << bottom.left << "," << bottom.top << "," << bottom.right << "," << bottom.bottom;
}

INSTANTIATE_TEST_SUITE_P(Ways, MdiTile,
                         ::testing::Values(TileCase{MDITILE_HORIZONTAL, {0, 0, 200, 50}, {0, 100, 200, 150}},
                                           TileCase{MDITILE_VERTICAL, {0, 0, 66, 150}, {133, 0, 200, 150}}),
                         [](const auto& info) {
                             return std::string(info.param.how == MDITILE_HORIZONTAL ? "Horizontal"
                                                                                     : "Vertical");
                         });

TEST_F(MdiClient, CascadeStepsEachChildDownFromTheBottomOne) {
    ShowWindow(children[1], SW_MAXIMIZE);
    ASSERT_TRUE(SendMessageW(client, WM_MDICASCADE, 0, 0));
    const RECT bottom = Rect(children[0]), middle = Rect(children[1]), top = Rect(children[2]);
    EXPECT_EQ(bottom.left, 0);
    EXPECT_GT(middle.left, bottom.left);
    EXPECT_EQ(middle.top - bottom.top, middle.left - bottom.left);
    EXPECT_EQ(top.left - middle.left, middle.left - bottom.left);
    EXPECT_FALSE(IsZoomed(children[1])) << "a maximized child is restored to be cascaded";
    EXPECT_LE(top.right, 200);
    EXPECT_LE(top.bottom, 150);
}

TEST_F(MdiClient, IconsLineUpAlongTheBottomAndWrapUpwards) {
    ShowWindow(children[0], SW_MINIMIZE);
    ShowWindow(children[2], SW_MINIMIZE);
    SendMessageW(client, WM_MDIICONARRANGE, 0, 0);
    const RECT a = Rect(children[0]), b = Rect(children[2]), open = Rect(children[1]);
    EXPECT_EQ(a.left, 0);
    EXPECT_EQ(a.bottom, 150);
    // Only one icon fits a row of 200 pixels: the next goes on the row above.
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.bottom, a.top);
    EXPECT_EQ(open.top, 0) << "children that are not minimized stay";
}

TEST_F(MdiClient, NextAndPreviousGoRoundTheChildren) {
    ASSERT_EQ(Active(), children[2]);
    SendMessageW(client, WM_MDINEXT, 0, 0);
    const HWND next = Active();
    EXPECT_NE(next, children[2]);
    EXPECT_EQ(GetWindow(client, GW_CHILD), next) << "the activated child comes to the top";
    SendMessageW(client, WM_MDINEXT, 0, 1);
    EXPECT_EQ(Active(), children[2]) << "previous brings back the child sent to the bottom";
}

TEST_F(MdiClient, MaximizeFillsTheClientAndGetActiveSaysSo) {
    BOOL maximized = TRUE;
    Active(&maximized);
    EXPECT_FALSE(maximized);
    SendMessageW(client, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(children[2]), 0);
    EXPECT_EQ(Active(&maximized), children[2]);
    EXPECT_TRUE(maximized);
    RECT r{};
    GetClientRect(children[2], &r);
    EXPECT_EQ(r.right, 200);
    EXPECT_EQ(r.bottom, 150);
}

TEST_F(MdiClient, ControlF6ActivatesTheNextChildAndControlF4ClosesTheActiveOne) {
    MSG f6{children[2], WM_KEYDOWN, 0x75, 0, 0, {}};
    MSG f4{children[2], WM_KEYDOWN, 0x73, 0, 0, {}};
    EXPECT_FALSE(TranslateMDISysAccel(client, &f6)); // without Control
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_LCTRL, SDLK_LCTRL));
    Pump();
    EXPECT_TRUE(TranslateMDISysAccel(client, &f6));
    const HWND next = Active();
    EXPECT_NE(next, children[2]);
    f4.hwnd = next;
    EXPECT_TRUE(TranslateMDISysAccel(client, &f4));
    Pump();
    EXPECT_FALSE(IsWindow(next));
    Push(KeyEvent(SDL_KEYUP, Id(), SDL_SCANCODE_LCTRL, SDLK_LCTRL));
    Pump();
    MSG other{children[2], WM_CHAR, 0x75, 0, 0, {}};
    EXPECT_FALSE(TranslateMDISysAccel(client, &other));
}

TEST_F(WindowTest, AltF4InAChildClosesItsTopLevelWindow) {
    HWND child = Child(0, 0, 20, 20);
    DefWindowProcW(child, WM_SYSKEYDOWN, 0x73, 1 << 29);
    const auto seen = Pump();
    auto close =
        std::find_if(seen.begin(), seen.end(), [](const Seen& s) { return s.message == WM_SYSCOMMAND; });
    ASSERT_NE(close, seen.end());
    EXPECT_EQ(close->window, top);
    EXPECT_EQ(close->wParam, SC_CLOSE);
}

} // namespace
