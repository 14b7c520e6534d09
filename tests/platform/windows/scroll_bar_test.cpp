// Scroll-bar controls: what the parent hears from the arrows, the track and the thumb, how the range, page
// and position hold together, and how the bar is drawn.
#include "recorder.h"

using namespace windows_test;

namespace {

constexpr int Thickness = 12;
constexpr int Length = 120;

struct Step {
    UINT message;
    int code;
    int position; // high word of wParam
    bool operator==(const Step&) const = default;
};

class ScrollBar : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        bar = CreateWindowExW(0, u"SCROLLBAR", u"", WS_CHILD | WS_VISIBLE | SBS_VERT, 10, 10, Thickness,
                              Length, top, nullptr, nullptr, nullptr);
        ASSERT_NE(bar, nullptr);
        SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 199, 100, 0, 0};
        EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &info, TRUE), 0);
        Pump();
    }
    // What the parent heard of the bar since the last call.
    std::vector<Step> Heard() {
        std::vector<Step> steps;
        for (const Seen& s : Pump())
            if (s.window == top && (s.message == WM_VSCROLL || s.message == WM_HSCROLL)) {
                EXPECT_EQ(reinterpret_cast<HWND>(s.lParam), bar);
                steps.push_back({s.message, LOWORD(s.wParam), HIWORD(s.wParam)});
            }
        return steps;
    }
    void Mouse(UINT message, int y) { PostMessageW(bar, message, MK_LBUTTON, MAKELPARAM(5, y)); }
    // Where the thumb is drawn: the rows whose middle pixel is not the track's colour, inside the arrows.
    std::pair<int, int> ThumbRows() {
        Pump();
        int first = -1, last = -1;
        for (int y = Thickness; y < Length - Thickness; ++y)
            if (win32::testing::ReadWindowPixel(bar, Thickness / 2, y) != GetSysColor(COLOR_SCROLLBAR)) {
                if (first < 0) first = y;
                last = y;
            }
        return {first, last};
    }
    HWND bar = nullptr;
};

} // namespace

TEST_F(ScrollBar, ArrowsAndTrackScrollByLinesAndPagesWhileHeld) {
    SetScrollPos(bar, SB_CTL, 50, TRUE);
    Mouse(WM_LBUTTONDOWN, 3);
    Mouse(WM_LBUTTONUP, 3);
    EXPECT_EQ(Heard(), (std::vector<Step>{{WM_VSCROLL, SB_LINEUP, 0}, {WM_VSCROLL, SB_ENDSCROLL, 0}}));
    Mouse(WM_LBUTTONDOWN, Length - 3);
    Mouse(WM_LBUTTONUP, Length - 3);
    EXPECT_EQ(Heard(), (std::vector<Step>{{WM_VSCROLL, SB_LINEDOWN, 0}, {WM_VSCROLL, SB_ENDSCROLL, 0}}));
    // The thumb at 50 of 0..100 is in the middle: above it is a page up, below it a page down.
    Mouse(WM_LBUTTONDOWN, Thickness + 2);
    Mouse(WM_LBUTTONUP, Thickness + 2);
    Mouse(WM_LBUTTONDOWN, Length - Thickness - 2);
    EXPECT_EQ(Heard(),
              (std::vector<Step>{
                  {WM_VSCROLL, SB_PAGEUP, 0}, {WM_VSCROLL, SB_ENDSCROLL, 0}, {WM_VSCROLL, SB_PAGEDOWN, 0}}));
    // Held, it repeats after a pause and then quickly, until the pointer leaves the part.
    win32::testing::AdvanceFakeClock(399);
    EXPECT_TRUE(Heard().empty());
    win32::testing::AdvanceFakeClock(1);
    EXPECT_EQ(Heard().size(), 1u);
    win32::testing::AdvanceFakeClock(50);
    EXPECT_EQ(Heard().size(), 1u);
    Mouse(WM_MOUSEMOVE, 3);
    win32::testing::AdvanceFakeClock(50);
    EXPECT_TRUE(Heard().empty()) << "the pointer is over the arrow now";
    Mouse(WM_LBUTTONUP, 3);
    EXPECT_EQ(Heard(), (std::vector<Step>{{WM_VSCROLL, SB_ENDSCROLL, 0}}));
    win32::testing::AdvanceFakeClock(500);
    EXPECT_TRUE(Heard().empty());
}

TEST_F(ScrollBar, DraggingTheThumbTracksItAndDropsItWhereLetGo) {
    const auto [start, end] = ThumbRows();
    ASSERT_EQ(start, Thickness) << "at position 0 the thumb starts below the arrow";
    // The page is half the range: the thumb is half the track.
    EXPECT_EQ(end - start + 1, (Length - 2 * Thickness) / 2);
    const int room = (Length - 2 * Thickness) - (end - start + 1);
    Mouse(WM_LBUTTONDOWN, start + 5);
    Mouse(WM_MOUSEMOVE, start + 5 + room / 2);
    Mouse(WM_MOUSEMOVE, start + 5 + room + 40); // past the end: held at the last position
    Mouse(WM_LBUTTONUP, start + 5 + room + 40);
    EXPECT_EQ(Heard(), (std::vector<Step>{{WM_VSCROLL, SB_THUMBTRACK, 50},
                                          {WM_VSCROLL, SB_THUMBTRACK, 100},
                                          {WM_VSCROLL, SB_THUMBPOSITION, 100},
                                          {WM_VSCROLL, SB_ENDSCROLL, 0}}));
    // The position is the parent's to set; the track position remembers the drop.
    SCROLLINFO info{sizeof info, SIF_POS | SIF_TRACKPOS, 0, 0, 0, -1, -1};
    ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &info));
    EXPECT_EQ(info.nPos, 0);
    EXPECT_EQ(info.nTrackPos, 100);
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 100, TRUE), 0);
    EXPECT_EQ(ThumbRows().second, Length - Thickness - 1) << "the thumb at the end of the track";
}

TEST_F(ScrollBar, PositionsStayInTheRangeLessThePage) {
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 500, FALSE), 0);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 100) << "199 - 100 + 1";
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, -5, FALSE), 100);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 0);
    // Without a page the position reaches the maximum; the range alone keeps the position within it.
    SCROLLINFO info{sizeof info, SIF_PAGE, 0, 0, 0, 0, 0};
    SetScrollInfo(bar, SB_CTL, &info, FALSE);
    EXPECT_TRUE(SetScrollRange(bar, SB_CTL, 10, 40, FALSE));
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 10);
    SetScrollPos(bar, SB_CTL, 99, FALSE);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 40);
    int low = 0, high = 0;
    EXPECT_TRUE(GetScrollRange(bar, SB_CTL, &low, &high));
    EXPECT_EQ(low, 10);
    EXPECT_EQ(high, 40);
    // Only a control's own bar is known.
    EXPECT_EQ(GetScrollPos(bar, SB_VERT), 0);
    EXPECT_FALSE(SetScrollRange(top, SB_CTL, 0, 5, FALSE)) << "not a scroll bar";
}

TEST_F(ScrollBar, HorizontalBarsTellWmHscrollAndNothingScrollsWhenThereIsNoRoom) {
    HWND across = CreateWindowExW(0, u"ScrollBar", u"", WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, 130, Length,
                                  Thickness, top, nullptr, nullptr, nullptr);
    SetScrollRange(across, SB_CTL, 0, 10, TRUE);
    PostMessageW(across, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Length - 2, 5));
    PostMessageW(across, WM_LBUTTONUP, 0, MAKELPARAM(Length - 2, 5));
    std::vector<Step> steps;
    for (const Seen& s : Pump())
        if (s.message == WM_HSCROLL && reinterpret_cast<HWND>(s.lParam) == across)
            steps.push_back({s.message, LOWORD(s.wParam), HIWORD(s.wParam)});
    EXPECT_EQ(steps, (std::vector<Step>{{WM_HSCROLL, SB_LINERIGHT, 0}, {WM_HSCROLL, SB_ENDSCROLL, 0}}));
    // A page as large as the range leaves no thumb: the track stays empty.
    SCROLLINFO info{sizeof info, SIF_PAGE, 0, 0, 200, 0, 0};
    SetScrollInfo(bar, SB_CTL, &info, TRUE);
    EXPECT_EQ(ThumbRows().first, -1);
    DestroyWindow(across);
}

TEST(ScrollBarMetrics, BothKindsAreTwelvePixelsThick) {
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 12);
    EXPECT_EQ(GetSystemMetrics(SM_CYHSCROLL), 12);
}
