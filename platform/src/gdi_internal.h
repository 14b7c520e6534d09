// The layer's GDI objects: bitmaps with their pixel formats, pens, brushes and device contexts.
#pragma once

#include "win32/gdi.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace win32 {

enum class GdiKind : std::uint32_t {
    Bitmap = 0x4D425447,
    Pen = 0x4E455047,
    Brush = 0x52425447,
    Palette = 0x4C415047,
    Region = 0x4E475247
};

struct GdiHeader {
    GdiKind kind;
    bool stock = false;
    int selections = 0; // DCs that hold this pen or brush
};

struct BitmapObject {
    GdiHeader header{GdiKind::Bitmap};
    int width = 0;
    int height = 0;
    int bpp = 32;
    int stride = 0;
    bool topDown = true;
    BYTE* bits = nullptr;
    std::vector<BYTE> storage;
    std::array<RGBQUAD, 256> colors{};
    DWORD masks[3] = {0x7C00, 0x03E0, 0x001F};
    DeviceContextObject* selectedInto = nullptr;

    BYTE* Row(int y) const {
        return bits + static_cast<std::ptrdiff_t>(topDown ? y : height - 1 - y) * stride;
    }
    // Raw pixel values in this bitmap's format, and their conversion from and to colours. 1 and 4 bits per
    // pixel are only read and decoded: only packed bitmaps handed over as bytes hold them.
    std::uint32_t LoadRaw(int x, int y) const;
    void StoreRaw(int x, int y, std::uint32_t raw);
    std::uint32_t Encode(COLORREF color) const;
    COLORREF Decode(std::uint32_t raw) const;
    bool SameFormat(const BitmapObject& other) const;
};

struct PenObject {
    GdiHeader header{GdiKind::Pen};
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct BrushObject {
    GdiHeader header{GdiKind::Brush};
    bool null = false;
    COLORREF color = 0;
    int hatch = -1; // a hatch style, or -1 for a solid brush
};

// A logical palette. The layer draws in true colour, so a palette only holds its entries for whoever asks.
struct PaletteObject {
    GdiHeader header{GdiKind::Palette};
    std::vector<PALETTEENTRY> entries;
};

// A rectangular region.
struct RegionObject {
    GdiHeader header{GdiKind::Region};
    RECT rect{};
};

enum class DcKind { Memory, Window, Screen };

struct DeviceContextObject {
    DcKind kind = DcKind::Memory;
    HWND window = nullptr;
    bool ownDc = false;
    BitmapObject* bitmap = nullptr;
    PenObject* pen = nullptr;
    BrushObject* brush = nullptr;
    PaletteObject* palette = nullptr;
    int rop2 = R2_COPYPEN;
    int polyFillMode = ALTERNATE;
    int bkMode = OPAQUE;
    COLORREF bkColor = 0xFFFFFF;
    COLORREF textColor = 0;
    POINT position{0, 0};
    // The logical point that maps to the DC's device origin (SetWindowOrgEx).
    POINT windowOrg{0, 0};
    // IntersectClipRect's narrowing, in device coordinates; none until it is first called.
    bool clipped = false;
    RECT clipRect{};
    // Set while painting: the drawing is limited to the update rectangle (window coordinates).
    bool paintClip = false;
    RECT paintRect{};
};

// Where a DC's drawing lands: a bitmap, the offset of the DC's origin in it, and the visible rectangles.
struct DrawTarget {
    BitmapObject* bitmap = nullptr;
    POINT origin{0, 0};
    std::vector<RECT> clip;
};

DrawTarget TargetOf(const DeviceContextObject* dc);
// Fills a rectangle given in DC coordinates with a colour, applying a mix mode, within the target's clip.
void FillTargetRect(const DrawTarget& target, RECT rect, COLORREF color, int rop2);
// Fills a rectangle in DC coordinates with the DC's brush (solid, or hatched over the DC's background).
void FillBrushRect(const DeviceContextObject* dc, const DrawTarget& target, RECT rect);
// A line of a pen, end point excluded, as thick as the pen (squares of its width along the line).
void DrawPenLine(const DrawTarget& target, const PenObject* pen, int rop2, POINT a, POINT b);
// Tells a window DC's top-level window that its picture changed: all of it, or an area of its backing.
void TouchDc(const DeviceContextObject* dc);
void TouchDc(const DeviceContextObject* dc, const RECT& backingArea);
bool IsGdiObject(const void* handle, GdiKind kind);
// A solid brush that is never deleted, for the system colours.
BrushObject* MakeStockBrush(COLORREF color);
BitmapObject* NewBitmap(int width, int height, int bpp, bool topDown);
// Reads the format of a bitmap header and its colour table or masks; false when the header is refused.
bool ReadDibHeader(const BITMAPINFO* info, BitmapObject* out);
// The same for a packed bitmap held in `bytes`, its fields read one by one: the header, then the colour
// table (1, 4 and 8 bits per pixel) or the masks, each checked against the bytes; `bitsAt` is where the
// pixels start, which the caller checks for the rows it reads. Its `bits` are left unset.
bool ReadPackedDib(std::span<const BYTE> bytes, BitmapObject* out, std::size_t* bitsAt);
void FreeBitmap(BitmapObject* bitmap);
// Called when drawing through a window DC changed its top-level window's backing bitmap: all of it, or the
// rectangle of the backing that was drawn.
void MarkWindowDrawn(HWND window);
void MarkWindowDrawn(HWND window, const RECT& backingArea);
// Lets go of the pen, brush and bitmap a DC holds, before the DC is freed.
void DropDcSelections(DeviceContextObject* dc);
// Makes a handle known to the object registry, so that IsGdiObject and DeleteObject find it.
void RegisterGdiObject(const void* object);
// GetStockObject (DEFAULT_PALETTE).
PaletteObject* StockPalette();
void UnregisterGdiObject(const void* object);
// DCs of every kind are made and freed here, so that a DC handle can be checked before it is followed.
DeviceContextObject* NewDc(DcKind kind, HWND window);
bool IsLiveDc(const DeviceContextObject* dc);
void FreeDc(DeviceContextObject* dc);

} // namespace win32
