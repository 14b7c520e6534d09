#include "recorder.h"

#include <cstring>

using namespace windows_test;

namespace {

struct Dib {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    BYTE* bits = nullptr;
    int stride = 0;
    Dib(int width, int height, int bpp, DWORD compression = BI_RGB, const DWORD* masks = nullptr,
        const RGBQUAD* palette = nullptr) {
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD colors[256];
        } info{};
        info.h.biSize = sizeof(BITMAPINFOHEADER);
        info.h.biWidth = width;
        info.h.biHeight = height;
        info.h.biPlanes = 1;
        info.h.biBitCount = static_cast<WORD>(bpp);
        info.h.biCompression = compression;
        if (masks) std::memcpy(info.colors, masks, 3 * sizeof(DWORD));
        if (palette) std::memcpy(info.colors, palette, 256 * sizeof(RGBQUAD));
        void* p = nullptr;
        bitmap =
            CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<BYTE*>(p);
        stride = ((width * bpp + 31) / 32) * 4;
        dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, bitmap);
    }
    ~Dib() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

struct FormatCase {
    int bpp;
    DWORD compression;
    DWORD masks[3];
    bool topDown;
    COLORREF colour;
    std::vector<BYTE> bytes; // how the colour is stored
};

class DibFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DibFormat, PixelLandsInTheRightRowWithTheFormatsBytes) {
    const FormatCase& c = GetParam();
    // A bottom-up bitmap is stored with its last row first.
    Dib target(3, c.topDown ? -2 : 2, c.bpp, c.compression,
               c.compression == BI_BITFIELDS ? c.masks : nullptr);
    ASSERT_NE(target.bits, nullptr);
    SetPixel(target.dc, 1, 0, c.colour);
    const int row = c.topDown ? 0 : 1;
    const BYTE* p = target.bits + row * target.stride + (c.bpp / 8);
    EXPECT_EQ(std::vector<BYTE>(p, p + c.bpp / 8), c.bytes);
    EXPECT_EQ(GetPixel(target.dc, 1, 0), c.colour);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DibFormat,
    ::testing::Values(
        FormatCase{32, BI_RGB, {}, true, RGB(0x12, 0x34, 0x56), {0x56, 0x34, 0x12, 0x00}},
        FormatCase{32, BI_RGB, {}, false, RGB(0x12, 0x34, 0x56), {0x56, 0x34, 0x12, 0x00}},
        FormatCase{24, BI_RGB, {}, false, RGB(0xAA, 0xBB, 0xCC), {0xCC, 0xBB, 0xAA}},
        FormatCase{16, BI_RGB, {}, true, RGB(0xFF, 0x00, 0x00), {0x00, 0x7C}},
        FormatCase{16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, false, RGB(0x00, 0xFF, 0x00), {0xE0, 0x07}},
        FormatCase{16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}, true, RGB(0x00, 0x00, 0xFF), {0x1F, 0x00}}));

TEST(Dib, EightBitPixelsAreIndexesIntoTheColourTable) {
    RGBQUAD palette[256]{};
    palette[7] = RGBQUAD{0x30, 0x20, 0x10, 0};
    Dib dib(4, -4, 8, BI_RGB, nullptr, palette);
    RECT r{0, 0, 2, 2};
    HBRUSH brush = CreateSolidBrush(RGB(0x10, 0x20, 0x30));
    FillRect(dib.dc, &r, brush);
    DeleteObject(brush);
    EXPECT_EQ(dib.bits[0], 7);
    EXPECT_EQ(dib.bits[dib.stride + 1], 7);
    EXPECT_EQ(dib.bits[2], 0);
    RGBQUAD grey{0x80, 0x80, 0x80, 0};
    EXPECT_EQ(SetDIBColorTable(dib.dc, 7, 1, &grey), 1u);
    EXPECT_EQ(GetPixel(dib.dc, 0, 0), RGB(0x80, 0x80, 0x80));
}

TEST(Dib, MalformedHeadersAreRefused) {
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, 4, 1, 12, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = &info;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biWidth = 0;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    info.bmiHeader.biWidth = 100000;
    info.bmiHeader.biHeight = 100000;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << "too large";
}

TEST(Blit, CopyConvertsBetweenFormatsAndClipsToTheSource) {
    const DWORD masks565[3] = {0xF800, 0x07E0, 0x001F};
    Dib src(2, 2, 16, BI_BITFIELDS, masks565);
    Dib dst(4, -4, 32);
    SetPixel(src.dc, 0, 0, RGB(255, 0, 0));
    SetPixel(src.dc, 1, 1, RGB(0, 0, 255));
    ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 3, 3, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 2, 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dst.dc, 3, 3), RGB(0, 0, 0)) << "outside the source nothing is copied";
}

TEST(Blit, StretchScalesByWholePixelsAndMirrorsOnANegativeExtent) {
    Dib src(2, -1, 32);
    Dib dst(4, -2, 32);
    SetPixel(src.dc, 0, 0, RGB(10, 0, 0));
    SetPixel(src.dc, 1, 0, RGB(20, 0, 0));
    StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, SRCCOPY);
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), RGB(10, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), RGB(20, 0, 0));
    StretchBlt(dst.dc, 3, 0, -4, 1, src.dc, 0, 0, 2, 1, SRCCOPY);
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(20, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 3, 0), RGB(10, 0, 0));
}

TEST(Shapes, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
    Dib dib(6, -6, 32);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    HGDIOBJ oldPen = SelectObject(dib.dc, pen);
    HGDIOBJ oldBrush = SelectObject(dib.dc, brush);
    Rectangle(dib.dc, 1, 1, 5, 5);
    EXPECT_EQ(GetPixel(dib.dc, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dib.dc, 4, 4), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dib.dc, 2, 2), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dib.dc, 5, 5), RGB(0, 0, 0)) << "right and bottom are exclusive";
    EXPECT_FALSE(DeleteObject(pen)) << "still selected";
    SelectObject(dib.dc, oldPen);
    SelectObject(dib.dc, oldBrush);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
}

TEST(Shapes, FocusRectangleDrawnTwiceRestoresThePicture) {
    Dib dib(8, -8, 32);
    RECT all{0, 0, 8, 8};
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    FillRect(dib.dc, &all, brush);
    RECT r{1, 1, 7, 7};
    DrawFocusRect(dib.dc, &r);
    EXPECT_NE(GetPixel(dib.dc, 1, 1), RGB(1, 2, 3));
    DrawFocusRect(dib.dc, &r);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(GetPixel(dib.dc, x, y), RGB(1, 2, 3));
    DeleteObject(brush);
}

TEST(Shapes, PolylineAndLineToLeaveTheEndPointOut) {
    Dib dib(8, -8, 32);
    SelectObject(dib.dc, GetStockObject(WHITE_PEN));
    POINT points[] = {{0, 0}, {4, 0}, {4, 3}};
    Polyline(dib.dc, points, 3);
    EXPECT_EQ(GetPixel(dib.dc, 3, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dib.dc, 4, 2), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dib.dc, 4, 3), RGB(0, 0, 0));
    SetROP2(dib.dc, R2_XORPEN);
    MoveToEx(dib.dc, 0, 0, nullptr);
    LineTo(dib.dc, 2, 0);
    EXPECT_EQ(GetPixel(dib.dc, 1, 0), RGB(0, 0, 0)) << "XOR with white on white gives black";
}

// A polygon that goes round its middle twice: the alternate rule leaves the middle out, winding fills it.
TEST(Shapes, WindingFillsWhatTheAlternateRuleLeavesOut) {
    Dib dib(12, -12, 32);
    SelectObject(dib.dc, GetStockObject(NULL_PEN));
    SelectObject(dib.dc, GetStockObject(WHITE_BRUSH));
    // A square traced round twice, the second time inside the first, both the same way round.
    const POINT points[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0},
                            {3, 3}, {7, 3},  {7, 7},   {3, 7},  {3, 3}};
    EXPECT_EQ(GetPolyFillMode(dib.dc), ALTERNATE);
    Polygon(dib.dc, points, 10);
    EXPECT_EQ(GetPixel(dib.dc, 1, 5), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dib.dc, 5, 5), RGB(0, 0, 0)) << "inside both: crossed twice";
    EXPECT_EQ(SetPolyFillMode(dib.dc, WINDING), ALTERNATE);
    Polygon(dib.dc, points, 10);
    EXPECT_EQ(GetPixel(dib.dc, 5, 5), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dib.dc, 10, 5), RGB(0, 0, 0)) << "right edge exclusive";
    EXPECT_EQ(SetPolyFillMode(dib.dc, 7), 0);
    EXPECT_EQ(GetPolyFillMode(dib.dc), WINDING);
}

// Backward-diagonal hatching: lines rising to the right, 8 pixels apart, the gaps in the background colour
// or left alone when the background is transparent.
TEST(Shapes, HatchedBrushDrawsRisingLinesOverTheBackground) {
    EXPECT_EQ(CreateHatchBrush(0, RGB(1, 2, 3)), nullptr) << "only the backward diagonal";
    Dib dib(16, -16, 32);
    HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, RGB(255, 0, 0));
    ASSERT_NE(hatch, nullptr);
    SetBkColor(dib.dc, RGB(0, 0, 255));
    const RECT all{0, 0, 16, 16};
    FillRect(dib.dc, &all, hatch);
    int lines = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const COLORREF c = GetPixel(dib.dc, x, y);
            ASSERT_TRUE(c == RGB(255, 0, 0) || c == RGB(0, 0, 255));
            if (c == RGB(255, 0, 0)) {
                ++lines;
                if (x + 1 < 16 && y > 0) {
                    ASSERT_EQ(GetPixel(dib.dc, x + 1, y - 1), c) << "rises to the right";
                }
                if (x + 8 < 16) {
                    ASSERT_EQ(GetPixel(dib.dc, x + 8, y), c) << "8 apart";
                }
                ASSERT_NE(GetPixel(dib.dc, (x + 1) % 16, y), c) << "one pixel wide";
            }
        }
    EXPECT_EQ(lines, 16 * 2);
    // A rectangle without a pen, over green, on a transparent background: the gaps stay green.
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dib.dc, &all, green);
    SetBkMode(dib.dc, TRANSPARENT);
    SelectObject(dib.dc, GetStockObject(NULL_PEN));
    HGDIOBJ old = SelectObject(dib.dc, hatch);
    Rectangle(dib.dc, 0, 0, 17, 17);
    int red = 0, kept = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            (GetPixel(dib.dc, x, y) == RGB(255, 0, 0) ? red : kept) += 1;
    EXPECT_EQ(red, 32);
    EXPECT_EQ(kept, 256 - 32);
    SelectObject(dib.dc, old);
    DeleteObject(hatch);
    DeleteObject(green);
}

TEST(Shapes, InvertRectInvertsEachPixelOnceAndTwiceRestores) {
    Dib dib(6, -6, 32);
    SetPixel(dib.dc, 2, 2, RGB(0x12, 0x34, 0x56));
    const RECT r{1, 1, 4, 4};
    EXPECT_TRUE(InvertRect(dib.dc, &r));
    EXPECT_EQ(GetPixel(dib.dc, 2, 2), RGB(0xED, 0xCB, 0xA9));
    EXPECT_EQ(GetPixel(dib.dc, 1, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dib.dc, 4, 4), RGB(0, 0, 0)) << "right and bottom are exclusive";
    InvertRect(dib.dc, &r);
    EXPECT_EQ(GetPixel(dib.dc, 2, 2), RGB(0x12, 0x34, 0x56));
}

TEST(Shapes, DottedPenDrawsThreeAndSkipsThree) {
    Dib dib(16, -2, 32);
    HPEN dots = CreatePen(PS_DOT, 1, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dib.dc, dots);
    MoveToEx(dib.dc, 0, 0, nullptr);
    LineTo(dib.dc, 14, 0);
    std::string seen;
    for (int x = 0; x < 15; ++x)
        seen += GetPixel(dib.dc, x, 0) ? '#' : '.';
    EXPECT_EQ(seen, "###...###...##.");
    SelectObject(dib.dc, old);
    DeleteObject(dots);
}

TEST(Shapes, LogicalPointsMoveByTheWindowOrigin) {
    Dib dib(4, -4, 32);
    SetWindowOrgEx(dib.dc, 10, -5, nullptr);
    POINT points[] = {{10, -5}, {12, 0}};
    EXPECT_TRUE(LPtoDP(dib.dc, points, 2));
    EXPECT_EQ(points[0].x, 0);
    EXPECT_EQ(points[0].y, 0);
    EXPECT_EQ(points[1].x, 2);
    EXPECT_EQ(points[1].y, 5);
    EXPECT_FALSE(LPtoDP(nullptr, points, 2));
}

TEST_F(WindowTest, ChildDrawingLandsInsideTheChildOfTheTopLevelBitmap) {
    HWND child = Child(30, 40, 52, 22, WS_BORDER);
    Pump();
    HDC dc = GetDC(child);
    RECT big{-10, -10, 500, 500};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &big, red);
    ReleaseDC(child, dc);
    DeleteObject(red);
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, 31, 41), RGB(255, 0, 0));
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, 80, 60), RGB(255, 0, 0));
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, 30, 40), RGB(0, 0, 0)) << "the border is not client";
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, 81, 61), RGB(0, 0, 0));
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 0, 0), RGB(255, 0, 0));
    Pump();
    EXPECT_EQ(win32::testing::ReadPresentedPixel(top, 31, 41), RGB(255, 0, 0))
        << "presented to the SDL window";
    EXPECT_EQ(win32::testing::ReadPresentedPixel(top, 10, 10), RGB(0, 0, 0));
}

TEST_F(WindowTest, ParentThatClipsChildrenDoesNotDrawOverThem) {
    HWND parent = Child(0, 0, 100, 100, WS_CLIPCHILDREN);
    HWND child = CreateWindowExW(0, u"Recorder", nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, parent,
                                 nullptr, nullptr, nullptr);
    HDC childDc = GetDC(child);
    RECT all{0, 0, 100, 100};
    FillRect(childDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(child, childDc);
    HDC dc = GetDC(parent);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
    ReleaseDC(parent, dc);
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, 15, 15), RGB(255, 255, 255));
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, 5, 15), RGB(128, 128, 128));
}

TEST_F(WindowTest, HiddenChildDrawsNothing) {
    HWND child =
        CreateWindowExW(0, u"Recorder", nullptr, WS_CHILD, 0, 0, 20, 20, top, nullptr, nullptr, nullptr);
    HDC dc = GetDC(child);
    RECT all{0, 0, 20, 20};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(child, dc);
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, 5, 5), RGB(0, 0, 0));
}

TEST_F(WindowTest, PaintDrawsOnlyInsideTheUpdateRectangleAndEraseUsesTheClassBrush) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = u"WhiteBack";
    RegisterClassExW(&wc);
    HWND child =
        CreateWindowExW(0, u"WhiteBack", nullptr, WS_CHILD, 0, 0, 50, 50, top, nullptr, nullptr, nullptr);
    ShowWindow(child, SW_SHOW);
    ValidateRect(child, nullptr);
    RECT part{10, 10, 20, 20};
    InvalidateRect(child, &part, TRUE);
    Pump();
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 15, 15), RGB(255, 255, 255));
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 5, 5), RGB(0, 0, 0));
}

} // namespace

namespace {

TEST(Blit, StretchDIBitsReadsBottomUpSourcesFromTheirLowerLeftCorner) {
    // A 2 x 2 bottom-up 32-bit bitmap: the first row in memory is the bottom row.
    const DWORD pixels[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}; // bottom: blue, green; top: red, white
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    Dib dst(4, -4, 32);
    EXPECT_EQ(StretchDIBits(dst.dc, 0, 0, 2, 2, 0, 0, 2, 2, pixels, &info, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 0, 1), RGB(0, 0, 255));
    // The bottom row alone: source y 0 is the bottom of a bottom-up bitmap.
    EXPECT_EQ(StretchDIBits(dst.dc, 2, 2, 2, 1, 0, 0, 2, 1, pixels, &info, DIB_RGB_COLORS, SRCCOPY), 1);
    EXPECT_EQ(GetPixel(dst.dc, 3, 2), RGB(0, 255, 0));
    EXPECT_EQ(StretchDIBits(dst.dc, 0, 0, 2, 2, 0, 0, 2, 2, pixels, nullptr, DIB_RGB_COLORS, SRCCOPY), 0);
}

} // namespace

namespace {

// The layer is a true-colour display: palettes hold their entries and select into DCs, and nothing more.
TEST(Palettes, HoldTheirEntriesAndSelectIntoDeviceContexts) {
    std::vector<BYTE> block(4 + 4 * 3);
    auto* log = reinterpret_cast<LOGPALETTE*>(block.data());
    log->palVersion = 0x300;
    log->palNumEntries = 3;
    PALETTEENTRY* entries = log->palPalEntry;
    entries[0] = {1, 2, 3, 0};
    entries[2] = {7, 8, 9, 4};
    HPALETTE palette = CreatePalette(log);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 3u);
    PALETTEENTRY read[4] = {};
    EXPECT_EQ(GetPaletteEntries(palette, 1, 4, read), 2u);
    EXPECT_EQ(read[1].peBlue, 9);
    EXPECT_EQ(read[1].peFlags, 4);
    EXPECT_EQ(GetPaletteEntries(palette, 3, 1, read), 0u);
    log->palVersion = 0x200;
    EXPECT_EQ(CreatePalette(log), nullptr);

    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectPalette(dc, palette, FALSE), nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), palette);
    EXPECT_EQ(RealizePalette(dc), 0u);
    EXPECT_EQ(DeleteObject(palette), FALSE) << "still selected";
    const auto stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(SelectPalette(dc, stock, FALSE), palette);
    EXPECT_EQ(DeleteObject(palette), TRUE) << "the default palette took its place";
    EXPECT_EQ(DeleteObject(stock), TRUE) << "a stock object stays all the same";
    PALETTEENTRY statics[20]{};
    EXPECT_EQ(GetPaletteEntries(stock, 0, 20, statics), 20u);
    EXPECT_EQ(statics[1].peRed, 128);
    EXPECT_EQ(statics[19].peBlue, 255);
    log->palVersion = 0x300;
    palette = CreatePalette(log);
    SelectPalette(dc, palette, FALSE);
    EXPECT_EQ(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);
    // Fonts are laid out at 96 logical pixels per inch, the point sizes of the events with them.
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    PALETTEENTRY system[16];
    EXPECT_EQ(GetSystemPaletteEntries(dc, 0, 16, system), 0u);
    DeleteDC(dc);
    EXPECT_EQ(DeleteObject(palette), TRUE);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 0u) << "a deleted palette answers nothing";
}

} // namespace
