#include "win32/gdi.h"

#include <gtest/gtest.h>

using namespace win32;

namespace {

// A small 32-bit memory DC filled with one colour.
struct Canvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    Canvas(int width, int height, COLORREF fill) : bitmap(CreateCompatibleBitmap(nullptr, width, height)) {
        SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(fill);
        const RECT all{0, 0, width, height};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

constexpr COLORREF Paper = RGB(1, 2, 3);

} // namespace

TEST(SystemColours, BrushesPaintTheirColourAndUnknownIndexesHaveNone) {
    Canvas canvas(2, 1, Paper);
    for (int index : {COLOR_MENU, COLOR_MENUTEXT, COLOR_HIGHLIGHT, COLOR_GRAYTEXT, COLOR_MENUBAR}) {
        HBRUSH brush = GetSysColorBrush(index);
        ASSERT_TRUE(brush) << index;
        EXPECT_EQ(GetSysColorBrush(index), brush);
        const RECT pixel{0, 0, 1, 1};
        FillRect(canvas.dc, &pixel, brush);
        EXPECT_EQ(GetPixel(canvas.dc, 0, 0), GetSysColor(index)) << index;
        EXPECT_TRUE(DeleteObject(brush)); // stock: it stays
        EXPECT_EQ(GetSysColorBrush(index), brush);
    }
    // Text must stand out on the menu and the highlight.
    EXPECT_NE(GetSysColor(COLOR_MENUTEXT), GetSysColor(COLOR_MENU));
    EXPECT_NE(GetSysColor(COLOR_HIGHLIGHTTEXT), GetSysColor(COLOR_HIGHLIGHT));
    for (int index : {-1, 25, 31, 1000}) {
        EXPECT_EQ(GetSysColor(index), 0u) << index;
        EXPECT_EQ(GetSysColorBrush(index), nullptr) << index;
    }
}

TEST(SystemColours, EtchedTopEdgeIsAShadowLineOverAHighlightLine) {
    Canvas canvas(6, 6, Paper);
    RECT r{0, 0, 6, 6};
    EXPECT_TRUE(DrawEdge(canvas.dc, &r, EDGE_ETCHED, BF_TOP | BF_ADJUST));
    EXPECT_EQ(GetPixel(canvas.dc, 3, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(canvas.dc, 3, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(GetPixel(canvas.dc, 3, 2), Paper);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.left, 0);
}

TEST(SystemColours, RaisedRectWithMiddleFillsTheFace) {
    Canvas canvas(6, 6, Paper);
    RECT r{0, 0, 6, 6};
    EXPECT_TRUE(DrawEdge(canvas.dc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE));
    EXPECT_EQ(GetPixel(canvas.dc, 0, 0), GetSysColor(COLOR_3DLIGHT));
    EXPECT_EQ(GetPixel(canvas.dc, 5, 5), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(GetPixel(canvas.dc, 1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(GetPixel(canvas.dc, 4, 4), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(canvas.dc, 3, 3), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(r.right, 6); // no BF_ADJUST
    EXPECT_FALSE(DrawEdge(canvas.dc, nullptr, EDGE_RAISED, BF_RECT));
}

TEST(SystemColours, SettingsAnswerFlatMenusAndTheWorkArea) {
    BOOL flat = FALSE;
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0));
    EXPECT_TRUE(flat);
    RECT work{};
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_FALSE(SystemParametersInfoW(0x9999, 0, &flat, 0));
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETFLATMENU, 0, nullptr, 0));
}
