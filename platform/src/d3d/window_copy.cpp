// A present is the layer's ordinary window drawing: the picture goes through a window DC's target (so
// windows above the device window keep their pixels) and the top-level window is told it changed.
#include "window_copy.h"

#include "gdi_internal.h"

#include <algorithm>
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

// Nearest-source scaling: the source column of each destination column, exact when the sizes match.
std::vector<UINT> SourceIndex(LONG destination, UINT source) {
    std::vector<UINT> index(static_cast<std::size_t>(std::max<LONG>(0, destination)));
    for (std::size_t i = 0; i < index.size(); ++i)
        index[i] = static_cast<UINT>(i * source / index.size());
    return index;
}

} // namespace

bool CopyToWindowClient(HWND window, std::span<const D3DCOLOR> pixels, UINT width, UINT height) {
    RECT client{};
    if (!IsWindow(window) || !GetClientRect(window, &client)) return false;
    if (width == 0 || height == 0 || pixels.size() < static_cast<std::size_t>(width) * height) return false;
    DcHold hold{window, GetDC(window)};
    if (!hold.dc) return false;
    const DrawTarget target = TargetOf(hold.dc);
    BitmapObject* bitmap = target.bitmap;
    if (!bitmap) return false;
    const std::vector<UINT> columns = SourceIndex(client.right, width);
    const std::vector<UINT> rows = SourceIndex(client.bottom, height);
    RECT area = client;
    OffsetRect(&area, target.origin.x, target.origin.y);
    const RECT bounds{0, 0, bitmap->width, bitmap->height};
    for (const RECT& clip : target.clip) {
        RECT visible{}, part{};
        if (!IntersectRect(&visible, &clip, &area) || !IntersectRect(&part, &visible, &bounds)) continue;
        for (LONG y = part.top; y < part.bottom; ++y) {
            const D3DCOLOR* source = pixels.data() + static_cast<std::size_t>(rows[y - area.top]) * width;
            for (LONG x = part.left; x < part.right; ++x) {
                const D3DCOLOR colour = source[columns[x - area.left]];
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
