// Rotation by any angle: nearest or bilinear sampling of the source around its centre, a background colour
// outside it, the alpha plane turned alike; and the bounds of a rotated image.
#include "engine_common.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface_engine.h"

#include <cmath>
#include <cstring>

using namespace win32;
using namespace engine;

namespace {

constexpr float Pi = 3.141592653589f;

// cos and sin of an angle in degrees, exact at the quarter turns.
void CosSin(float angle, float& c, float& s) {
    if (angle == 90.0f) {
        c = 0;
        s = 1;
    } else if (angle == 180.0f) {
        c = -1;
        s = 0;
    } else if (angle == 270.0f) {
        c = 0;
        s = -1;
    } else {
        const float radians = angle * Pi / 180.0f;
        c = std::cos(radians);
        s = std::sin(radians);
    }
}

// Raw pixel access for the rotation: whole pixels of 1 to 4 bytes.
DWORD Load(const cSurfaceImplementation& s, int x, int y) {
    DWORD v = 0;
    std::memcpy(&v, s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.bytesPerPixel,
                static_cast<std::size_t>(s.bytesPerPixel));
    return v;
}

void Store(cSurfaceImplementation& s, int x, int y, DWORD v) {
    std::memcpy(s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.bytesPerPixel, &v,
                static_cast<std::size_t>(s.bytesPerPixel));
}

// A colour as a pixel value of a surface's format.
DWORD ValueOf(cSurfaceImplementation& s, COLORREF c) {
    const DWORD r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    switch (s.depth) {
    case 8:
        return static_cast<DWORD>(s.GetNearestIndex(c)) & 0xFF;
    case 15:
        return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case 16:
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default:
        return (r << 16) | (g << 8) | b;
    }
}

// The colour of a pixel value (8 bits: through the palette, or the byte itself for planes without one).
COLORREF ColorOf(const cSurfaceImplementation& s, int x, int y, bool plainBytes) {
    if (plainBytes) return Load(s, x, y) & 0xFF;
    return s.GetPixelColorFast(x, y);
}

DWORD ValueOfColor(cSurfaceImplementation& s, COLORREF c, bool plainBytes) {
    return plainBytes ? (c & 0xFF) : ValueOf(s, c);
}

struct Sampling {
    bool antialias;
    bool transparency; // pixels of the background colour are not blended
    bool plainBytes;   // an alpha plane: one channel, no palette
    COLORREF background;
};

COLORREF Bilinear(const cSurfaceImplementation& s, float u, float v, const Sampling& how) {
    const int x = static_cast<int>(std::floor(u)), y = static_cast<int>(std::floor(v));
    const float fx = u - static_cast<float>(x), fy = v - static_cast<float>(y);
    const COLORREF own = ColorOf(s, x, y, how.plainBytes);
    if (how.transparency && SameColor(own, how.background)) return how.background;
    auto neighbour = [&](int nx, int ny) {
        if (nx >= s.width || ny >= s.height) return own;
        const COLORREF c = ColorOf(s, nx, ny, how.plainBytes);
        return how.transparency && SameColor(c, how.background) ? own : c;
    };
    const COLORREF corners[4] = {own, neighbour(x + 1, y), neighbour(x, y + 1), neighbour(x + 1, y + 1)};
    const float weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    COLORREF out = 0;
    for (int ch = 0; ch < 3; ++ch) {
        float sum = 0.5f;
        for (int k = 0; k < 4; ++k)
            sum += weights[k] * static_cast<float>((corners[k] >> (8 * ch)) & 0xFF);
        out |= static_cast<COLORREF>(std::min(255, static_cast<int>(sum))) << (8 * ch);
    }
    return out;
}

// Turns source into destination about both centres. Sampling uses pixel centres, so that the quarter turns
// come out as exact permutations of the pixels.
void RotatePixels(const cSurfaceImplementation& source, cSurfaceImplementation& destination, float c, float s,
                  const Sampling& how) {
    const float ws = static_cast<float>(source.width), hs = static_cast<float>(source.height);
    const float wd = static_cast<float>(destination.width), hd = static_cast<float>(destination.height);
    const DWORD background = ValueOfColor(destination, how.background, how.plainBytes);
    for (int y = 0; y < destination.height; ++y) {
        const float ry = static_cast<float>(y) + 0.5f - hd / 2;
        for (int x = 0; x < destination.width; ++x) {
            const float rx = static_cast<float>(x) + 0.5f - wd / 2;
            const float u = ws / 2 + rx * c - ry * s - 0.5f;
            const float v = hs / 2 + rx * s + ry * c - 0.5f;
            if (!(u > -0.5f && v > -0.5f && u < ws - 0.5f && v < hs - 0.5f)) {
                Store(destination, x, y, background);
                continue;
            }
            if (!how.antialias) {
                const int nx = std::clamp(static_cast<int>(std::lround(u)), 0, source.width - 1);
                const int ny = std::clamp(static_cast<int>(std::lround(v)), 0, source.height - 1);
                Store(destination, x, y, Load(source, nx, ny));
                continue;
            }
            const COLORREF color = Bilinear(source, std::max(u, 0.0f), std::max(v, 0.0f), how);
            Store(destination, x, y, ValueOfColor(destination, color, how.plainBytes));
        }
    }
}

} // namespace

int cSurfaceImplementation::Rotate(cSurfaceImplementation* destination, float angle, int antialias,
                                   COLORREF background, int transparency) {
    if (angle == 0.0f || angle == 180.0f) {
        if (!Blit(destination, 0, 0, 0, 0, width, height, 0, 0, 0, BlitFlagCopyAlpha)) return 0;
        if (angle == 180.0f) {
            destination->MirrorHorizontal(0, 0, width, height);
            destination->MirrorVertical(0, 0, width, height);
        }
        return 1;
    }
    if (!destination || destination->IsDCOnly() || destination->depth != depth) return 0;
    float c, s;
    CosSin(angle, c, s);
    {
        PixelLock sourceLock(*this);
        PixelLock destinationLock(*destination);
        if (!sourceLock || !destinationLock) return 0;
        const Sampling how{antialias != 0, transparency != 0 && !alphaPlane, false, background};
        RotatePixels(*this, *destination, c, s, how);
    }
    if (alphaPlane && (destination->alphaPlane || destination->AllocateAlphaPlane())) {
        cAlphaBufferSurface from(alphaPlane, width, height, signedAlphaPitch);
        cAlphaBufferSurface to(destination->alphaPlane, destination->width, destination->height,
                               destination->signedAlphaPitch);
        RotatePixels(from, to, c, s, Sampling{antialias != 0, false, true, 0});
    }
    return 1;
}

void RotateImageBounds(SIZE* size, POINT* hotSpot, POINT* actionPoint, float angle) {
    if (!size) return;
    float c, s;
    CosSin(angle, c, s);
    const float hx = hotSpot ? static_cast<float>(hotSpot->x) : 0,
                hy = hotSpot ? static_cast<float>(hotSpot->y) : 0;
    const float w = static_cast<float>(size->cx), h = static_cast<float>(size->cy);
    const float xs[4] = {-hx, w - hx, w - hx, -hx}, ys[4] = {-hy, -hy, h - hy, h - hy};
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
        const int x = static_cast<int>(xs[i] * c + ys[i] * s);
        const int y = static_cast<int>(ys[i] * c - xs[i] * s);
        if (i == 0 || x < minX) minX = x;
        if (i == 0 || x > maxX) maxX = x;
        if (i == 0 || y < minY) minY = y;
        if (i == 0 || y > maxY) maxY = y;
    }
    size->cx = maxX - minX;
    size->cy = maxY - minY;
    if (actionPoint) {
        const float ax = static_cast<float>(actionPoint->x) - hx,
                    ay = static_cast<float>(actionPoint->y) - hy;
        actionPoint->x = static_cast<int>(ay * s + ax * c) - minX;
        actionPoint->y = static_cast<int>(ay * c - ax * s) - minY;
    }
    if (hotSpot) {
        hotSpot->x = -minX;
        hotSpot->y = -minY;
    }
}
