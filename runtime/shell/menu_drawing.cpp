#include "shell/menu_drawing.h"

#include "core/application_record.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "shell/main_window.h"
#include "startup/banks.h"
#include "startup/frame_loader.h"

#include "vtrs2/app_context.h"
#include "vtrs2/banks.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/palettes.h"

#include "win32/font.h"
#include "win32/gdi.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

using namespace win32;

namespace vtrrt {

namespace {

constexpr UINT SeparatorWidth = 64;
constexpr UINT SeparatorHeight = 6;
constexpr UINT ShortTextHeight = 8; // texts lower than this get the fixed height
constexpr UINT ShortItemHeight = 16;
constexpr UINT ItemPadding = 8;
constexpr UINT PopupExtraWidth = 39; // room for the icon column and the submenu arrow

constexpr int IconCell = 16;
constexpr int IconLeft = 5;
constexpr int IconTop = 4;
constexpr int BarTextMargin = 5;
constexpr int PopupTextLeft = 26;
constexpr int PopupTextRight = 13;

constexpr std::uint16_t CheckedIconCommand = 0xFFFE;
constexpr int BlitTransparent = 1;
constexpr int InkMono = 10;
constexpr int StretchScaleAlpha = 0x4; // the stretch also scales the alpha plane
constexpr UINT SelectionStates = ODS_SELECTED | ODS_HOTLIGHT;
constexpr UINT GreyedStates = ODS_GRAYED | ODS_DISABLED;

// The record an item's data word points at: {u16 top-level flag, text, NUL}.
struct ItemRecord {
    bool topLevel;
    std::u16string_view text;
};

ItemRecord RecordOf(ULONG_PTR data) {
    const auto* record = reinterpret_cast<const char16_t*>(data);
    return {record[0] != 0, std::u16string_view(record + 1)};
}

bool ReadsRightToLeft(const ApplicationRecord& app) {
    return (ExtendedOptionFlags(app) & ExtendedRtlReading) != 0;
}

// The image of the menu icon table for a command, 0 when it has none.
std::uint16_t FindMenuIcon(const ApplicationRecord& app, std::uint16_t command) {
    const std::span<const std::uint8_t> entries = ImageListEntries(app);
    for (std::size_t at = 0; at < entries.size(); at += ImageListEntrySize)
        if (ImageListEntryCommand(entries, at) == command) return ImageListEntryImage(entries, at);
    return 0;
}

class GuiFontScope {
public:
    explicit GuiFontScope(HDC dc) : dc_(dc), previous_(SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT))) {}
    ~GuiFontScope() {
        if (previous_) SelectObject(dc_, previous_);
    }
    GuiFontScope(const GuiFontScope&) = delete;
    GuiFontScope& operator=(const GuiFontScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

struct MenuColours {
    COLORREF menu, bar, text, greyed, selection, selectionText, outline;
};

MenuColours ChooseColours() {
    MenuColours c{GetSysColor(COLOR_MENU),     GetSysColor(COLOR_BTNFACE),   GetSysColor(COLOR_MENUTEXT),
                  GetSysColor(COLOR_GRAYTEXT), GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT),
                  GetSysColor(COLOR_HIGHLIGHT)};
    BOOL flat = FALSE;
    if (Services().isNewerNT && SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0) && flat) {
        c.selection = GetSysColor(COLOR_MENUHILIGHT);
        c.bar = GetSysColor(COLOR_MENUBAR);
    }
    return c;
}

void FillWithColour(HDC dc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// A rectangle outlined with a 1-pixel pen of one colour and filled with another.
void OutlineWithColour(HDC dc, const RECT& rect, COLORREF outline, COLORREF inside) {
    HPEN pen = CreatePen(PS_SOLID, 1, outline);
    HBRUSH brush = CreateSolidBrush(inside);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

void DrawSeparator(HDC dc, const RECT& rect, const MenuColours& colours) {
    FillWithColour(dc, rect, colours.menu);
    RECT line = rect;
    line.top += (rect.bottom - rect.top) / 2;
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
}

// The text left of a Tab goes at the start of the area (centred on the bar), the rest against its end.
void DrawItemText(HDC dc, const RECT& area, std::u16string_view text, bool topLevel, COLORREF colour,
                  bool rightToLeft) {
    GuiFontScope font(dc);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, colour);
    const UINT format = DT_SINGLELINE | DT_VCENTER | (rightToLeft ? DT_RTLREADING : 0);
    const std::size_t tab = text.find(u'\t');
    const std::u16string_view first = text.substr(0, tab);
    RECT box = area;
    DrawTextW(dc, first.data(), static_cast<int>(first.size()), &box,
              format | (topLevel ? DT_CENTER : DT_LEFT));
    if (tab != std::u16string_view::npos) {
        const std::u16string_view second = text.substr(tab + 1);
        box = area;
        DrawTextW(dc, second.data(), static_cast<int>(second.size()), &box, format | DT_RIGHT);
    }
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

// Icons ---------------------------------------------------------------------------------------------------

// Surfaces here are views over bitmaps of their own depth; 8-bit ones draw in the context's palette.
bool DrawableDepth(int depth) {
    return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

// Pixels of one depth laid out as a top-down bitmap, with the header that both a library bitmap view and
// StretchDIBits read; at 8 bits the colour table holds the palette's colours.
class DibPixels {
public:
    DibPixels(int width, int height, int depth, const SharedPalette* palette)
        : rowBytes_(static_cast<std::size_t>((width * (depth == 15 ? 16 : depth) + 31) >> 5) * 4),
          info_(sizeof(BITMAPINFOHEADER) + std::max(sizeof(Masks16), sizeof(RGBQUAD) * PaletteSize)),
          pixels_(rowBytes_ * static_cast<std::size_t>(height)) {
        BITMAPINFOHEADER header{};
        header.biSize = sizeof(BITMAPINFOHEADER);
        header.biWidth = width;
        header.biHeight = -height;
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(depth == 15 ? 16 : depth);
        header.biCompression = depth == 16 ? BI_BITFIELDS : BI_RGB;
        std::memcpy(info_.data(), &header, sizeof(header));
        if (depth == 8 && palette)
            PaletteToRgbQuads(reinterpret_cast<RGBQUAD*>(info_.data() + sizeof(header)),
                              palette->palette.entries, palette->palette.count);
        else
            std::memcpy(info_.data() + sizeof(header), Masks16, sizeof(Masks16));
    }
    const BITMAPINFOHEADER* Header() const { return reinterpret_cast<const BITMAPINFOHEADER*>(info_.data()); }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(info_.data()); }
    BYTE* Bits() { return pixels_.data(); }
    BYTE* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * rowBytes_; }
    std::size_t RowBytes() const { return rowBytes_; }

private:
    static constexpr DWORD Masks16[3] = {0xF800, 0x07E0, 0x001F};
    std::size_t rowBytes_;
    std::vector<BYTE> info_;
    std::vector<BYTE> pixels_;
};

// A library surface over a bitmap; the fourth byte of 32-bit pixels is no alpha here.
class DibView {
public:
    DibView(DibPixels& pixels, SharedPalette* palette) : surface_(pixels.Header(), pixels.Bits(), 0) {
        surface_.FreeAlphaPlane();
        if (surface_.depth == 8) surface_.SetPalette(palette, 0);
    }
    cSurfaceImplementation& operator*() { return surface_; }
    cSurfaceImplementation* operator->() { return &surface_; }
    bool Valid() const { return surface_.width > 0; }

private:
    cDIBSurface surface_;
};

struct IconPlace {
    int x, y, width, height;
};

// A larger image shrinks to fit the cell keeping its shape (the longer side 16, the other at least 1);
// either way it is centred.
IconPlace PlaceIcon(int width, int height) {
    if (width > IconCell || height > IconCell) {
        if (width >= height) {
            height = std::max(1, height * IconCell / width);
            width = IconCell;
        } else {
            width = std::max(1, width * IconCell / height);
            height = IconCell;
        }
    }
    return {(IconCell - width) / 2, (IconCell - height) / 2, width, height};
}

// The image's pixels in bitmap rows; its alpha plane, when it has one, comes as a second block.
bool ReadImage(ContextBanks* banks, DWORD image, const ImageInfo& info, DibPixels& pixels,
               std::vector<BYTE>& alpha) {
    const DWORD size = GetImageData(banks, image, 0, nullptr, 0);
    const DWORD pixelBytes = GetImageDataSize(info.width, info.height, info.displayMode);
    if (size == 0 || pixelBytes == 0 || pixelBytes > size) return false;
    std::vector<BYTE> data(size);
    if (GetImageData(banks, image, 0, data.data(), data.size()) != size) return false;
    const std::size_t rowBytes = pixelBytes / info.height;
    const std::size_t copied = std::min(rowBytes, pixels.RowBytes());
    for (int y = 0; y < info.height; ++y)
        std::memcpy(pixels.Row(y), data.data() + y * rowBytes, copied);
    const std::size_t alphaBytes =
        ((static_cast<std::size_t>(info.width) + 3) & ~std::size_t{3}) * info.height;
    if ((info.flags & ImageAlpha) && size - pixelBytes >= alphaBytes)
        alpha.assign(data.begin() + pixelBytes,
                     data.begin() + static_cast<std::ptrdiff_t>(pixelBytes + alphaBytes));
    return true;
}

// Draws the image through a 16 x 16 cell of the application's display mode filled with the item's
// background, with transparency, and in the mono ink when the item is greyed.
void DrawMenuIcon(HDC dc, int x, int y, const ApplicationRecord& app, DWORD image, COLORREF background,
                  bool greyed) {
    ContextBanks* banks = app.banks ? app.banks->library : nullptr;
    ImageInfo info{};
    if (!banks || !GetImageInfo(banks, image, &info) || info.width == 0 || info.height == 0) return;
    const int depth = DisplayModeBits(static_cast<int>(app.banks->targetMode));
    // Images are kept in the application's display mode; one of another depth would need a conversion
    // surface that bitmap views cannot make.
    if (!DrawableDepth(depth) || DisplayModeBits(info.displayMode) != depth) return;
    const AppContext* context = Services().libraryContext;
    SharedPalette* palette = context ? context->sharedPalette : nullptr;
    if (depth == 8 && !palette) return;

    DibPixels imagePixels(info.width, info.height, depth, palette);
    std::vector<BYTE> alpha;
    if (!ReadImage(banks, image, info, imagePixels, alpha)) return;
    DibView source(imagePixels, palette);
    if (!source.Valid()) return;
    const int alphaPitch = (info.width + 3) & ~3;
    if (!alpha.empty()) source->SetAlphaRows(alpha.data(), alphaPitch);
    source->SetColorKey(info.transparent);

    // A shrunk image is scaled first with plain copies, so that its transparent pixels stay the key colour.
    const IconPlace place = PlaceIcon(info.width, info.height);
    DibPixels scaledPixels(place.width, place.height, depth, palette);
    DibView scaled(scaledPixels, palette);
    cSurfaceImplementation* drawn = &*source;
    if (place.width != info.width || place.height != info.height) {
        if (!scaled.Valid() ||
            !source->StretchBlit(&*scaled, 0, 0, place.width, place.height, 0, 0, info.width, info.height, 0,
                                 0, 0, alpha.empty() ? 0 : StretchScaleAlpha))
            return;
        scaled->SetColorKey(info.transparent);
        drawn = &*scaled;
    }

    DibPixels cellPixels(IconCell, IconCell, depth, palette);
    DibView cell(cellPixels, palette);
    if (!cell.Valid()) return;
    cell->FillRect(0, 0, IconCell, IconCell, background);
    if (!drawn->Blit(&*cell, place.x, place.y, 0, 0, place.width, place.height, BlitTransparent,
                     greyed ? InkMono : 0, 0, 0))
        return;
    StretchDIBits(dc, x, y, IconCell, IconCell, 0, 0, IconCell, IconCell, cellPixels.Bits(),
                  cellPixels.Info(), DIB_RGB_COLORS, SRCCOPY);
}

} // namespace

void MeasureMenuItem(MEASUREITEMSTRUCT& item) {
    if (!item.itemData) {
        item.itemWidth = SeparatorWidth;
        item.itemHeight = SeparatorHeight;
        return;
    }
    const ItemRecord record = RecordOf(item.itemData);
    DWORD extent = 0;
    if (HDC dc = GetDC(nullptr)) {
        {
            GuiFontScope font(dc);
            extent = GetTabbedTextExtentW(dc, record.text.data(), static_cast<int>(record.text.size()), 0,
                                          nullptr);
        }
        ReleaseDC(nullptr, dc);
    }
    const UINT width = LOWORD(extent), height = HIWORD(extent);
    item.itemHeight = height < ShortTextHeight ? ShortItemHeight : height + ItemPadding;
    item.itemWidth = width + (record.topLevel ? 0 : PopupExtraWidth);
}

void DrawMenuItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    if (!dc) return;
    const MenuColours colours = ChooseColours();
    if (!item.itemData) {
        DrawSeparator(dc, item.rcItem, colours);
        return;
    }
    const ItemRecord record = RecordOf(item.itemData);
    const bool selected = item.itemState & SelectionStates;
    const bool greyed = item.itemState & GreyedStates;
    const COLORREF background = selected ? colours.selection : record.topLevel ? colours.bar : colours.menu;
    const COLORREF text = greyed ? colours.greyed : selected ? colours.selectionText : colours.text;
    if (item.itemState & ODS_SELECTED)
        OutlineWithColour(dc, item.rcItem, colours.outline, background);
    else
        FillWithColour(dc, item.rcItem, background);

    const RECT& r = item.rcItem;
    const ApplicationRecord* app = CurrentApplication();
    if (!record.topLevel && app) {
        const auto command =
            static_cast<std::uint16_t>((item.itemState & ODS_CHECKED) ? CheckedIconCommand : item.itemID);
        if (const std::uint16_t image = FindMenuIcon(*app, command))
            DrawMenuIcon(dc, r.left + IconLeft, r.top + IconTop, *app, image, background, greyed);
    }
    const RECT area = record.topLevel
                          ? RECT{r.left + BarTextMargin, r.top, r.right - BarTextMargin, r.bottom}
                          : RECT{r.left + PopupTextLeft, r.top, r.right - PopupTextRight, r.bottom};
    DrawItemText(dc, area, record.text, record.topLevel, text, app && ReadsRightToLeft(*app));
}

} // namespace vtrrt
