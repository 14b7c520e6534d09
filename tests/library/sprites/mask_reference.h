// Plain per-pixel models of 1-bit masks and the play-area planes, to check the word-wise code against.
#pragma once

#include "vtrs2/image_mask.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

// A mask as an array of booleans, convertible to the packed row layout.
struct BoolMask {
    int width = 0, height = 0;
    std::vector<bool> solid;

    BoolMask() = default;
    BoolMask(int w, int h) : width(w), height(h), solid(static_cast<std::size_t>(w) * h) {}
    bool At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && solid[static_cast<std::size_t>(y) * width + x];
    }
    void Set(int x, int y, bool v) { solid[static_cast<std::size_t>(y) * width + x] = v; }

    std::vector<win32::BYTE> Packed() const {
        const int stride = MaskStride(width);
        std::vector<win32::BYTE> bits(static_cast<std::size_t>(stride) * height + 8, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (At(x, y)) bits[static_cast<std::size_t>(y) * stride + (x >> 3)] |= 1 << (x & 7);
        return bits;
    }

    // Random blobs: a few filled rectangles and scattered pixels.
    static BoolMask Random(std::mt19937& rng, int w, int h) {
        BoolMask m(w, h);
        const int blobs = 1 + rng() % 4;
        for (int i = 0; i < blobs; ++i) {
            const int x0 = rng() % w, y0 = rng() % h;
            const int x1 = x0 + rng() % (w - x0), y1 = y0 + rng() % (h - y0);
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x)
                    m.Set(x, y, true);
        }
        for (int i = 0; i < w * h / 8; ++i)
            m.Set(rng() % w, rng() % h, rng() % 2);
        return m;
    }
};

// Cosine and sine, exact at quarter turns as the library takes them.
inline void ExactCosSin(double angle, double& c, double& s) {
    const double q = angle / 90;
    if (q == std::floor(q)) {
        const int k = static_cast<int>(std::fmod(std::fmod(q, 4) + 4, 4));
        const double table[] = {1, 0, -1, 0};
        c = table[k], s = table[(k + 3) % 4];
        return;
    }
    c = std::cos(angle * 3.141592653589 / 180), s = std::sin(angle * 3.141592653589 / 180);
}

// The naive form of the mapping used by the scaled and rotated tests: is the play-area pixel (x, y)
// covered by a solid pixel of B placed at (bx, by) by its hot spot?
inline bool TurnedPixelSolid(const BoolMask& b, int bx, int by, int hotX, int hotY, double sx, double sy,
                             double angle, int x, int y) {
    double c = 1, s = 0;
    ExactCosSin(angle, c, s);
    const double dx = x - bx, dy = y - by;
    const int u = hotX + static_cast<int>((dx * c - dy * s) / sx);
    const int v = hotY + static_cast<int>((dx * s + dy * c) / sy);
    return b.At(u, v);
}

// Rows of B's turned box (play-area y) that a height limit keeps: [first, infinity).
inline int HeightLimitFirstRow(const BoolMask& b, int by, int hotX, int hotY, double sx, double sy,
                               double angle, int limit) {
    if (limit <= 0) return INT32_MIN;
    double c = 1, s = 0;
    ExactCosSin(angle, c, s);
    const double us[] = {-hotX * sx, (b.width - 1 - hotX) * sx};
    const double vs[] = {-hotY * sy, (b.height - 1 - hotY) * sy};
    double minY = 1e300, maxY = -1e300;
    for (double u : us)
        for (double v : vs)
            minY = std::min(minY, v * c - u * s), maxY = std::max(maxY, v * c - u * s);
    const int first = by + static_cast<int>(maxY) - limit + 1;
    return first > by + static_cast<int>(minY) ? first : INT32_MIN;
}
