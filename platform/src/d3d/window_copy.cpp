// A present is the layer's ordinary window drawing: the picture goes through a window DC's target (so
// windows above the device window keep their pixels) and the top-level window is told it changed.
#include "window_copy.h"

#include "gdi_internal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace win32::d3d {

namespace {

struct DcHold {
    HWND window;
    HDC dc;
    ~DcHold() {
        if (dc) ReleaseDC(window, dc);
    }
};

constexpr UINT Outside = ~0u;

// Nearest-source scaling: the source column of each destination column of [0, extent), exact when the
// sizes match; Outside for the columns before and after the shown span [start, start + length).
std::vector<UINT> SourceIndex(LONG extent, LONG start, LONG length, UINT source) {
    std::vector<UINT> index(static_cast<std::size_t>(std::max<LONG>(0, extent)), Outside);
    for (LONG i = std::max<LONG>(0, start); i < std::min(extent, start + length); ++i)
        index[static_cast<std::size_t>(i)] = static_cast<UINT>(static_cast<std::uint64_t>(i - start) *
                                                               source / static_cast<std::uint64_t>(length));
    return index;
}

// Where the picture goes in the client area: all of it, or its shape kept and centred.
RECT ShownIn(const RECT& client, UINT width, UINT height, bool keepRatio) {
    if (!keepRatio) return client;
    const std::int64_t cw = client.right, ch = client.bottom;
    std::int64_t w = cw, h = ch;
    if (cw * height >= ch * width)
        w = std::max<std::int64_t>(1, ch * width / height);
    else
        h = std::max<std::int64_t>(1, cw * height / width);
    const auto x = static_cast<LONG>((cw - w) / 2), y = static_cast<LONG>((ch - h) / 2);
    return RECT{x, y, x + static_cast<LONG>(w), y + static_cast<LONG>(h)};
}

using Four = std::uint32_t __attribute__((vector_size(16)));
constexpr std::size_t Lanes = sizeof(Four) / sizeof(std::uint32_t);

// A row of pixels without their alpha, four at a time: the window's bitmap keeps its top byte clear. The
// vectors are loaded and stored through memcpy, so neither row needs their alignment.
void CopyOpaqueRow(std::uint32_t* out, const D3DCOLOR* in, std::size_t count) {
    const Four mask = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    std::size_t i = 0;
    for (; i + Lanes <= count; i += Lanes) {
        Four v;
        std::memcpy(&v, in + i, sizeof v);
        v &= mask;
        std::memcpy(out + i, &v, sizeof v);
    }
    for (; i < count; ++i)
        out[i] = in[i] & 0xFFFFFF;
}

// A row read as red, green, blue, alpha bytes turned into the bitmap's 0x00RRGGBB, in place.
void SwapToOpaqueRow(std::uint32_t* row, std::size_t count) {
    const Four low = {0xFF, 0xFF, 0xFF, 0xFF}, middle = {0xFF00, 0xFF00, 0xFF00, 0xFF00};
    std::size_t i = 0;
    for (; i + Lanes <= count; i += Lanes) {
        Four v;
        std::memcpy(&v, row + i, sizeof v);
        v = ((v & low) << 16) | (v & middle) | ((v >> 16) & low);
        std::memcpy(row + i, &v, sizeof v);
    }
    for (; i < count; ++i) {
        const std::uint32_t v = row[i];
        row[i] = ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
    }
}

// The parts of the bitmap a window DC draws to: a full-screen device's top-level window is drawn whole, over
// its child windows too (the device holds the screen).
std::vector<RECT> ClipOf(const DrawTarget& target, const RECT& area, bool fullScreen) {
    if (!fullScreen || target.clip.empty() || !target.bitmap) return target.clip;
    const RECT bounds{0, 0, target.bitmap->width, target.bitmap->height};
    RECT whole{};
    if (!IntersectRect(&whole, &area, &bounds)) return {};
    return {whole};
}

} // namespace

bool CopyToWindowClient(HWND window, std::span<const D3DCOLOR> pixels, UINT width, UINT height,
                        bool fullScreen) {
    const bool keepRatio = fullScreen;
    RECT client{};
    if (!IsWindow(window) || !GetClientRect(window, &client)) return false;
    if (width == 0 || height == 0 || pixels.size() < static_cast<std::size_t>(width) * height) return false;
    DcHold hold{window, GetDC(window)};
    if (!hold.dc) return false;
    const DrawTarget target = TargetOf(hold.dc);
    BitmapObject* bitmap = target.bitmap;
    if (!bitmap) return false;
    const RECT shown = ShownIn(client, width, height, keepRatio);
    const std::vector<UINT> columns = SourceIndex(client.right, shown.left, shown.right - shown.left, width);
    const std::vector<UINT> rows = SourceIndex(client.bottom, shown.top, shown.bottom - shown.top, height);
    const bool unscaled =
        static_cast<UINT>(client.right) == width && static_cast<UINT>(client.bottom) == height;
    RECT area = client;
    OffsetRect(&area, target.origin.x, target.origin.y);
    const RECT bounds{0, 0, bitmap->width, bitmap->height};
    for (const RECT& clip : ClipOf(target, area, fullScreen)) {
        RECT visible{}, part{};
        if (!IntersectRect(&visible, &clip, &area) || !IntersectRect(&part, &visible, &bounds)) continue;
        for (LONG y = part.top; y < part.bottom; ++y) {
            const UINT row = rows[y - area.top];
            const D3DCOLOR* source =
                row == Outside ? nullptr : pixels.data() + static_cast<std::size_t>(row) * width;
            if (unscaled && bitmap->bpp == 32) {
                // The common case, a picture of the window's size: one pass over the row.
                CopyOpaqueRow(reinterpret_cast<std::uint32_t*>(bitmap->Row(y)) + part.left,
                              source + (part.left - area.left),
                              static_cast<std::size_t>(part.right - part.left));
                continue;
            }
            for (LONG x = part.left; x < part.right; ++x) {
                const UINT column = columns[x - area.left];
                const D3DCOLOR colour = source && column != Outside ? source[column] : 0;
                if (bitmap->bpp == 32)
                    reinterpret_cast<std::uint32_t*>(bitmap->Row(y))[x] = colour & 0xFFFFFF;
                else
                    bitmap->StoreRaw(
                        x, y,
                        bitmap->Encode(RGB(static_cast<BYTE>(colour >> 16), static_cast<BYTE>(colour >> 8),
                                           static_cast<BYTE>(colour))));
            }
        }
    }
    TouchDc(hold.dc);
    return true;
}

bool BeginDirectCopy(HWND window, UINT width, UINT height, bool fullScreen, DirectCopy* copy) {
    RECT client{};
    if (!copy || !IsWindow(window) || !GetClientRect(window, &client)) return false;
    if (width == 0 || static_cast<UINT>(client.right) != width || static_cast<UINT>(client.bottom) != height)
        return false;
    HDC dc = GetDC(window);
    if (!dc) return false;
    const DrawTarget target = TargetOf(dc);
    const BitmapObject* bitmap = target.bitmap;
    RECT area = client;
    OffsetRect(&area, target.origin.x, target.origin.y);
    const std::vector<RECT> clip = ClipOf(target, area, fullScreen);
    const bool whole = clip.size() == 1 && EqualRect(&clip[0], &area) && area.left >= 0 && area.top >= 0;
    if (!bitmap || bitmap->bpp != 32 || !bitmap->topDown || bitmap->stride % 4 != 0 || !whole ||
        area.right > bitmap->width || area.bottom > bitmap->height) {
        ReleaseDC(window, dc);
        return false;
    }
    copy->window = window;
    copy->dc = dc;
    copy->first = reinterpret_cast<std::uint32_t*>(bitmap->Row(area.top)) + area.left;
    copy->pitch = static_cast<std::size_t>(bitmap->stride / 4);
    copy->width = width;
    copy->height = height;
    return true;
}

void FinishDirectCopy(DirectCopy& copy) {
    for (UINT y = 0; y < copy.height; ++y) {
        SwapToOpaqueRow(copy.first + y * copy.pitch, copy.width);
    }
    TouchDc(copy.dc);
    AbandonDirectCopy(copy);
}

void AbandonDirectCopy(DirectCopy& copy) {
    if (copy.dc) ReleaseDC(copy.window, copy.dc);
    copy = DirectCopy{};
}

} // namespace win32::d3d
