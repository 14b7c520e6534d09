// Fill objects: flat colours, gradients in bands, and tiles.
#include "vtrs2/fills.h"

#include "vtrs2/gdi_drawing.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

using namespace win32;

namespace {

COLORREF NotBlack(COLORREF colour) {
    return colour == 0 ? FillBlack : colour;
}

// The band colours of a gradient: colour 1 plus i steps of the increment, each channel truncated to a byte
// (a band index past the last runs on and wraps).
class Bands {
public:
    Bands(COLORREF first, COLORREF second, int avoidBlack) : avoidBlack_(avoidBlack) {
        for (int c = 0; c < 3; ++c) {
            start_[c] = static_cast<int>((first >> (8 * c)) & 0xFF);
            const int d = static_cast<int>((second >> (8 * c)) & 0xFF) - start_[c];
            count_ = std::max(count_, std::abs(d));
            difference_[c] = d;
        }
        for (int c = 0; c < 3; ++c)
            step_[c] = static_cast<double>(difference_[c]) / count_;
    }
    int Count() const { return count_; }
    COLORREF Colour(long long band) const {
        COLORREF colour = 0;
        for (int c = 0; c < 3; ++c) {
            const auto channel = static_cast<long long>(start_[c] + static_cast<double>(band) * step_[c]);
            colour |= static_cast<COLORREF>(channel & 0xFF) << (8 * c);
        }
        return avoidBlack_ ? AvoidBlack(colour) : colour;
    }

private:
    int start_[3]{};
    int difference_[3]{};
    double step_[3]{};
    int count_ = 1;
    int avoidBlack_;
};

// Paints bands through the surface's device context as GDI would, or with the surface's own fill where it
// has none (memory surfaces), so that every surface kind shows the gradient.
class BandPainter {
public:
    explicit BandPainter(cSurface* surface) : surface_(surface), dc_(surface->GetDeviceContext()) {}
    ~BandPainter() {
        if (dc_) surface_->ReleaseDeviceContext(dc_);
    }
    BandPainter(const BandPainter&) = delete;
    BandPainter& operator=(const BandPainter&) = delete;
    void Paint(int left, int top, int right, int bottom, COLORREF colour) {
        if (right <= left || bottom <= top) return;
        if (dc_) {
            const RECT r{left, top, right, bottom};
            FillRectSolid(dc_, &r, colour);
        } else {
            surface_->FillRect(left, top, right - left, bottom - top, colour);
        }
    }

private:
    cSurface* surface_;
    HDC dc_;
};

bool IsDirect3D(const cSurface* surface) {
    const int kind = surface->GetDriverKind();
    return kind == DriverKindDirect3D9 || kind == DriverKindDirect3D8;
}

// The non-negative remainder, so that a tile offset of any sign lands inside the tile.
int Wrap(long long value, int size) {
    const long long r = value % size;
    return static_cast<int>(r < 0 ? r + size : r);
}

} // namespace

COLORREF AvoidBlack(COLORREF colour) {
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    if (r > 7 || g > 7 || b > 7) return colour;
    if (b > r && b > g) return RGB(r, g, 8);
    if (g > r && g > b) return RGB(r, 8, b);
    return RGB(8, g, b);
}

// --- CFillData ------------------------------------------------------------------------------------------

CFillData::~CFillData() = default;

CFillData* CFillData::DestroyAndFree(unsigned flags) {
    CFillData* self = this;
    if (flags & 1)
        delete this;
    else
        this->~CFillData();
    return self;
}

POINT CFillData::SetOrigin(int, int) {
    return POINT{0, 0};
}

int CFillData::FillSurface(cSurface* surface, int, int, int avoidBlack) {
    if (!surface) return 0;
    return Fill(surface, 0, 0, surface->GetWidth(), surface->GetHeight(), avoidBlack);
}

// --- CFillFlat ------------------------------------------------------------------------------------------

CFillFlat::CFillFlat(COLORREF c) : colour(NotBlack(c)) {}
CFillFlat::CFillFlat(const CFillFlat& other) = default;
CFillFlat::~CFillFlat() = default;

CFillData* CFillFlat::DestroyAndFree(unsigned flags) {
    CFillData* self = this;
    if (flags & 1)
        delete this;
    else
        this->~CFillFlat();
    return self;
}

int CFillFlat::Fill(cSurface* surface, int left, int top, int right, int bottom, int avoidBlack) {
    if (!surface) return 0;
    const COLORREF c = colour == 0 && avoidBlack ? FillBlack : colour;
    return surface->FillRect(left, top, right - left, bottom - top, c);
}

// --- CFillDir -------------------------------------------------------------------------------------------

CFillDir::CFillDir(COLORREF c1, COLORREF c2, int isVertical, int x, int y)
    : originX(x), originY(y), first(NotBlack(c1)), second(NotBlack(c2)), vertical(isVertical) {}
CFillDir::CFillDir(const CFillDir& other) = default;
CFillDir::~CFillDir() = default;

CFillData* CFillDir::DestroyAndFree(unsigned flags) {
    CFillData* self = this;
    if (flags & 1)
        delete this;
    else
        this->~CFillDir();
    return self;
}

POINT CFillDir::SetOrigin(int x, int y) {
    const POINT previous{originX, originY};
    originX = x;
    originY = y;
    return previous;
}

int CFillDir::Fill(cSurface* surface, int left, int top, int right, int bottom, int avoidBlack) {
    if (!surface) return 0;
    if (IsDirect3D(surface)) {
        const COLORREF corners[4] = {first, vertical ? first : second, second, vertical ? second : first};
        surface->FillRectGradient(left, top, right - left, bottom - top, corners, 0);
        return 1;
    }
    const Bands bands(first, second, avoidBlack);
    const long long n = bands.Count();
    BandPainter painter(surface);
    const long long extent =
        vertical ? static_cast<long long>(bottom) - top : static_cast<long long>(right) - left;
    // Band i covers trunc(i x extent / n) to trunc((i + 1) x extent / n), worked out exactly so that the last
    // band ends at the edge.
    for (long long i = 0; i < n; ++i) {
        const int from = static_cast<int>(i * extent / n), to = static_cast<int>((i + 1) * extent / n);
        if (vertical)
            painter.Paint(left, top + from, right, top + to, bands.Colour(i));
        else
            painter.Paint(left + from, top, left + to, bottom, bands.Colour(i));
    }
    return 1;
}

int CFillDir::FillSurface(cSurface* surface, int width, int height, int avoidBlack) {
    if (!surface) return 0;
    // A size beyond the surface's is the whole surface.
    width = std::min(width, surface->GetWidth());
    height = std::min(height, surface->GetHeight());
    if (IsDirect3D(surface)) {
        const COLORREF corners[4] = {first, vertical ? first : second, second, vertical ? second : first};
        surface->FillRectGradient(0, 0, width, height, corners, 0);
        return 1;
    }
    // Nothing to lay the gradient over.
    if (width <= 0 || height <= 0) return 1;
    const Bands bands(first, second, avoidBlack);
    const int extent = vertical ? height : width;
    const double origin = vertical ? originY : originX;
    const double h = static_cast<double>(extent) / bands.Count();
    const double f = std::fmod(origin, h);
    long long band = static_cast<long long>(origin / h);
    BandPainter painter(surface);
    const auto paint = [&](int from, int to) {
        if (vertical)
            painter.Paint(0, from, width, to, bands.Colour(band));
        else
            painter.Paint(from, 0, to, height, bands.Colour(band));
    };
    double boundary = h - f;
    int last = static_cast<int>(boundary);
    paint(0, last);
    ++band;
    const long long further = static_cast<long long>((extent - boundary) / h) - 1;
    for (long long i = 0; i < further; ++i) {
        boundary += h;
        const int next = static_cast<int>(boundary);
        if (next != last) paint(last, next);
        last = next;
        ++band;
    }
    if (last != extent) paint(last, extent);
    return 1;
}

// --- CFillMosaic ----------------------------------------------------------------------------------------

CFillMosaic::CFillMosaic(cSurface* t, int x, int y) : tile(t), offsetX(x), offsetY(y) {}
CFillMosaic::CFillMosaic(const CFillMosaic& other) = default;
CFillMosaic::~CFillMosaic() = default;

CFillData* CFillMosaic::DestroyAndFree(unsigned flags) {
    CFillData* self = this;
    if (flags & 1)
        delete this;
    else
        this->~CFillMosaic();
    return self;
}

POINT CFillMosaic::SetOrigin(int x, int y) {
    const POINT previous{offsetX, offsetY};
    offsetX = x;
    offsetY = y;
    return previous;
}

int CFillMosaic::Fill(cSurface* surface, int left, int top, int right, int bottom, int) {
    if (!surface || !tile) return 0;
    const int tw = tile->GetWidth(), th = tile->GetHeight();
    // An empty tile has nothing to repeat.
    if (tw <= 0 || th <= 0) return 0;
    const int width = right - left, height = bottom - top;
    if (width <= 0 || height <= 0) return 1;
    const int sx0 = Wrap(static_cast<long long>(offsetX) + left, tw);
    const int sy0 = Wrap(static_cast<long long>(offsetY) + top, th);
    const int w0 = std::min(width, tw - sx0), h0 = std::min(height, th - sy0);
    tile->Blit(*surface, left, top, sx0, sy0, w0, h0, 0, 0, 0, 0);
    const int columns = (width - w0 + tw - 1) / tw, rows = (height - h0 + th - 1) / th;
    if (columns == 0 && rows == 0) return 1;
    for (int r = 0; r < rows; ++r)
        tile->Blit(*surface, left, top + h0 + r * th, sx0, 0, w0, std::min(th, height - h0 - r * th), 0, 0, 0,
                   0);
    for (int j = 0; j < columns; ++j)
        tile->Blit(*surface, left + w0 + j * tw, top, 0, sy0, std::min(tw, width - w0 - j * tw), h0, 0, 0, 0,
                   0);
    for (int r = 0; r < rows; ++r)
        for (int j = 0; j < columns; ++j)
            tile->Blit(*surface, left + w0 + j * tw, top + h0 + r * th, 0, 0,
                       std::min(tw, width - w0 - j * tw), std::min(th, height - h0 - r * th), 0, 0, 0, 0);
    return 1;
}
