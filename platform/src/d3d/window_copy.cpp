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

} // namespace

bool CopyToWindowClient(HWND window, std::span<const D3DCOLOR> pixels, UINT width, UINT height,
                        bool keepRatio) {
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
    for (const RECT& clip : target.clip) {
        RECT visible{}, part{};
        if (!IntersectRect(&visible, &clip, &area) || !IntersectRect(&part, &visible, &bounds)) continue;
        for (LONG y = part.top; y < part.bottom; ++y) {
            const UINT row = rows[y - area.top];
            const D3DCOLOR* source =
                row == Outside ? nullptr : pixels.data() + static_cast<std::size_t>(row) * width;
            if (unscaled && bitmap->bpp == 32) {
                // The common case, a picture of the window's size: one pass over the row.
                auto* out = reinterpret_cast<std::uint32_t*>(bitmap->Row(y));
                const D3DCOLOR* in = source + (part.left - area.left);
                for (LONG x = part.left; x < part.right; ++x)
                    out[x] = *in++ & 0xFFFFFF;
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

} // namespace win32::d3d
