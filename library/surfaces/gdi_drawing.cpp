// GDI shapes with temporary pens and brushes, solid rectangles, and the DC-to-DC copy through DIB bits.
#include "vtrs2/gdi_drawing.h"

#include "win32/user.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace win32;

namespace {

// A pen and a solid brush for one shape, selected back and deleted when the shape is drawn.
class ShapeTools {
public:
    ShapeTools(HDC dc, COLORREF fill, int penWidth, COLORREF penColour, bool filled)
        : dc_(dc), pen_(CreatePen(PS_SOLID, penWidth, penColour)), brush_(CreateSolidBrush(fill)) {
        previousBrush_ = SelectObject(dc, filled ? static_cast<HGDIOBJ>(brush_) : GetStockObject(NULL_BRUSH));
        previousPen_ = SelectObject(dc, filled && penWidth == 0 ? GetStockObject(NULL_PEN) : pen_);
    }
    ~ShapeTools() {
        SelectObject(dc_, previousBrush_);
        SelectObject(dc_, previousPen_);
        DeleteObject(pen_);
        DeleteObject(brush_);
    }
    ShapeTools(const ShapeTools&) = delete;
    ShapeTools& operator=(const ShapeTools&) = delete;
    HBRUSH Brush() const { return brush_; }

private:
    HDC dc_;
    HPEN pen_;
    HBRUSH brush_;
    HGDIOBJ previousBrush_ = nullptr;
    HGDIOBJ previousPen_ = nullptr;
};

// The box moved inward so that a centred pen of width w keeps inside the caller's box.
RECT PenInside(int left, int top, int right, int bottom, int w) {
    return RECT{left + w / 2, top + w / 2, right - (w - 1) / 2, bottom - (w - 1) / 2};
}

// A 40-byte header and room for 256 colours, zeroed.
struct DibHeader {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
    std::uint8_t spare[4];
};
static_assert(sizeof(DibHeader) == 1068);

} // namespace

void GdiEllipse(HDC dc, int left, int top, int right, int bottom, COLORREF fill, int penWidth,
                COLORREF penColour, int filled) {
    if (!dc) return;
    ShapeTools tools(dc, fill, penWidth, penColour, filled != 0);
    const RECT box = filled && penWidth == 0 ? RECT{left, top, right, bottom}
                                             : PenInside(left, top, right, bottom, penWidth);
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
}

void GdiRectangle(HDC dc, int left, int top, int right, int bottom, COLORREF fill, int penWidth,
                  COLORREF penColour, int filled) {
    if (!dc) return;
    ShapeTools tools(dc, fill, penWidth, penColour, filled != 0);
    if (filled && penWidth == 0) {
        // Without an outline the whole box is the inside.
        const RECT box{left, top, right, bottom};
        FillRect(dc, &box, tools.Brush());
        return;
    }
    const RECT box = PenInside(left, top, right, bottom, penWidth);
    Rectangle(dc, box.left, box.top, box.right, box.bottom);
}

void GdiPolygon(HDC dc, const POINT* points, int count, COLORREF fill, int penWidth, COLORREF penColour,
                int filled) {
    if (!dc || !points || count <= 0) return;
    ShapeTools tools(dc, fill, penWidth, penColour, filled != 0);
    Polygon(dc, points, count);
}

void GdiLine(HDC dc, int x1, int y1, int x2, int y2, int penWidth, COLORREF colour) {
    if (!dc) return;
    HPEN pen = CreatePen(PS_SOLID, penWidth, colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

void FillRectSolid(HDC dc, const RECT* rect, COLORREF colour) {
    if (!dc || !rect) return;
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, rect, brush);
    DeleteObject(brush);
}

int SetBackgroundMode(HDC dc, int mode) {
    return SetBkMode(dc, mode);
}

int StretchDCToDC(HDC source, HDC destination, int sourceX, int sourceY, int x, int y, int width, int height,
                  int destinationWidth, int destinationHeight, int pump, int keepAspect) {
    if (!source || !destination || width <= 0 || height <= 0) return 0;
    if (pump) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    int outWidth = destinationWidth, outHeight = destinationHeight;
    if (keepAspect) {
        const double f = std::min(static_cast<double>(destinationWidth) / width,
                                  static_cast<double>(destinationHeight) / height);
        outWidth = static_cast<int>(width * f);
        outHeight = static_cast<int>(height * f);
    }
    HDC memory = CreateCompatibleDC(source);
    if (!memory) return 0;
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ previous = bitmap ? SelectObject(memory, bitmap) : nullptr;
    int result = 0;
    // The captured area is the caller's (sourceX, sourceY) corner: the bits then start at (0, 0).
    if (bitmap && previous && BitBlt(memory, 0, 0, width, height, source, sourceX, sourceY, SRCCOPY)) {
        // Bits are read from a bitmap that no DC holds.
        SelectObject(memory, previous);
        previous = nullptr;
        DibHeader info{};
        info.header.biSize = sizeof(BITMAPINFOHEADER);
        info.header.biWidth = width;
        info.header.biHeight = height;
        info.header.biPlanes = static_cast<WORD>(GetDeviceCaps(source, PLANES));
        info.header.biBitCount = static_cast<WORD>(GetDeviceCaps(source, BITSPIXEL));
        info.header.biCompression = BI_RGB;
        auto* header = reinterpret_cast<BITMAPINFO*>(&info);
        if (GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), nullptr, header, DIB_RGB_COLORS) &&
            info.header.biSizeImage) {
            std::vector<std::uint8_t> bits(info.header.biSizeImage);
            if (GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), bits.data(), header,
                          DIB_RGB_COLORS)) {
                HPALETTE created = nullptr, kept = nullptr;
                if (info.header.biBitCount <= 8) {
                    // The destination draws the colours through a palette of the bits' own table, selected
                    // only for the copy.
                    const int count = 1 << info.header.biBitCount;
                    std::vector<std::uint8_t> block(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
                    auto* palette = reinterpret_cast<LOGPALETTE*>(block.data());
                    palette->palVersion = 0x300;
                    palette->palNumEntries = static_cast<WORD>(count);
                    for (int i = 0; i < count; ++i)
                        palette->palPalEntry[i] = PALETTEENTRY{
                            info.colours[i].rgbRed, info.colours[i].rgbGreen, info.colours[i].rgbBlue, 0};
                    if ((created = CreatePalette(palette))) {
                        kept = SelectPalette(destination, created, TRUE);
                        RealizePalette(destination);
                    }
                }
                result = StretchDIBits(destination, x, y, outWidth, outHeight, 0, 0, width, height,
                                       bits.data(), header, DIB_RGB_COLORS, SRCCOPY);
                if (created) {
                    SelectPalette(destination, kept, TRUE);
                    DeleteObject(created);
                }
            }
        }
    }
    if (previous) SelectObject(memory, previous);
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    return result;
}
