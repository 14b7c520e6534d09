#include "app_window_fixture.h"
#include "win32/font.h"

#include <cstring>

using namespace app_window_test;

namespace {

// A memory surface that also answers a DC over a bitmap of its own, as the surfaces with a DC do.
class DcSurface : public cBufferSurface {
public:
    DcSurface() {
        BITMAPINFO info{};
        info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 40, -30, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        dc_ = CreateCompatibleDC(nullptr);
        SelectObject(dc_, bitmap_);
        SetDepth(32);
        AllocatePixels(40, 30);
    }
    ~DcSurface() override {
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    HDC GetDeviceContext() override { return dc_; }
    HDC dc_;

private:
    HBITMAP bitmap_;
};

struct Drawing : AppWindowTest {
    void SetUp() override {
        AppWindowTest::SetUp();
        window = Create(Params(AppWindowMain, 40, 30));
        auto* implementation = new DcSurface;
        dc = implementation->dc_;
        surface = NewSurface();
        surface->SetImplementation(implementation);
        ASSERT_TRUE(AttachWindowSurface(window, surface));
        ClearUpdateRects(window);
    }
    AppWindow* window = nullptr;
    cSurface* surface = nullptr;
    HDC dc = nullptr;
};

TEST_F(Drawing, BrushFillDrawsOnTheSurfaceDCAndListsTheRectangle) {
    HBRUSH brush = CreateSolidBrush(RGB(9, 8, 7));
    FillWindowRectBrush(window, 2, 3, 6, 7, brush);
    DeleteObject(brush);
    EXPECT_EQ(GetPixel(dc, 2, 3), RGB(9, 8, 7));
    EXPECT_EQ(GetPixel(dc, 6, 7), RGB(0, 0, 0));
    ASSERT_EQ(GetUpdateRectList(window)->count, 1);
    EXPECT_EQ(GetUpdateRectList(window)->rects[0].right, 6);
}

TEST_F(Drawing, RectangleUsesTheWindowPenAndLeavesTheInsideAlone) {
    SetWindowPen(window, RGB(200, 0, 0), PS_SOLID, 1);
    const RECT r{1, 1, 10, 8};
    DrawWindowRect(window, &r);
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(200, 0, 0));
    EXPECT_EQ(GetPixel(dc, 9, 7), RGB(200, 0, 0));
    EXPECT_EQ(GetPixel(dc, 4, 4), RGB(0, 0, 0)) << "drawn with a null brush";
    ASSERT_EQ(GetUpdateRectList(window)->count, 1) << "the edges merge into the rectangle";
}

TEST_F(Drawing, XorModeWithAThinPenDrawsAFocusRectangleThatUndoesItself) {
    window->rop2 = R2_XORPEN;
    window->penWidthLessOne = 0;
    const SHORT edges[4] = {2, 2, 9, 9};
    DrawWindowRect16(window, edges);
    EXPECT_NE(GetPixel(dc, 2, 2), RGB(0, 0, 0));
    DrawWindowRect16(window, edges);
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(0, 0, 0));
}

TEST_F(Drawing, PolylineDrawsWithThePenAndListsItsBoundingBox) {
    SetWindowPen(window, RGB(0, 0, 255), PS_SOLID, 1);
    const POINT points[] = {{3, 3}, {12, 3}, {12, 9}};
    DrawWindowPolyline(window, points, 2);
    EXPECT_EQ(GetPixel(dc, 5, 3), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 12, 6), RGB(0, 0, 255));
    ASSERT_EQ(GetUpdateRectList(window)->count, 1);
    const RECT& box = GetUpdateRectList(window)->rects[0];
    EXPECT_LE(box.left, 3);
    EXPECT_GE(box.right, 13);
    EXPECT_GE(box.bottom, 10);
}

HFONT SmallFont() {
    LOGFONTW font{};
    font.lfHeight = -10;
    font.lfWeight = 400;
    std::memcpy(font.lfFaceName, u"DejaVu Sans", sizeof u"DejaVu Sans");
    return CreateFontIndirectW(&font);
}

// Where ink differs from black inside and outside a rectangle of the DC.
struct InkPlaces {
    int inside = 0, outside = 0;
};
InkPlaces InkAround(HDC dc, const RECT& r) {
    InkPlaces ink;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            if (GetPixel(dc, x, y) != RGB(0, 0, 0))
                ++(x >= r.left && x < r.right && y >= r.top && y < r.bottom ? ink.inside : ink.outside);
    return ink;
}

TEST_F(Drawing, TextIsDrawnInsideItsRectangleAndListed) {
    HFONT font = SmallFont();
    RECT r{4, 5, 30, 20};
    const int height = DrawWindowText(window, font, &r, u"Hi", RGB(255, 255, 255), DT_SINGLELINE);
    EXPECT_GT(height, 0);
    const InkPlaces ink = InkAround(dc, r);
    EXPECT_GT(ink.inside, 0);
    EXPECT_EQ(ink.outside, 0);
    ASSERT_EQ(GetUpdateRectList(window)->count, 1);
    EXPECT_EQ(GetUpdateRectList(window)->rects[0].left, 4);
    EXPECT_EQ(GetUpdateRectList(window)->rects[0].bottom, 20);
    DeleteFont(font);
}

TEST_F(Drawing, MeasuringWrapsWordsKeepsTheRightEdgeAndDrawsNothing) {
    HFONT font = SmallFont();
    const WCHAR* text = u"one two three four";
    // The reference: the layer's own measurement of the same text with the flags the measure uses.
    SelectObject(dc, font);
    RECT expected{0, 0, 30, 0};
    DrawTextW(dc, text, -1, &expected, DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_CALCRECT);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    ASSERT_GT(expected.bottom, 12) << "several lines";

    RECT r{0, 0, 30, 0};
    const int height = DrawWindowText(window, font, &r, text, RGB(255, 255, 255), DrawWindowTextMeasure);
    EXPECT_EQ(height, expected.bottom);
    EXPECT_EQ(r.bottom, expected.bottom);
    EXPECT_EQ(r.right, 30) << "the right edge is kept";
    EXPECT_EQ(InkAround(dc, RECT{0, 0, 40, 30}).inside, 0);
    EXPECT_EQ(GetUpdateRectList(window)->count, 0);

    RECT single{0, 0, 30, 0};
    EXPECT_LT(DrawWindowText(window, font, &single, text, 0, DrawWindowTextMeasure | DT_SINGLELINE),
              expected.bottom)
        << "single-line is kept from the caller's flags";
    DeleteFont(font);
}

} // namespace
