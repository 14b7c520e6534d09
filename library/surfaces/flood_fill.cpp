// Scan-line seed fill of the area around a point whose colours lie within a tolerance of the seed's.
#include "vtrs2/memory.h"
#include "vtrs2/surface.h"

#include <cstdlib>

using namespace win32;

namespace {

constexpr int MaxSpans = 10000;

struct Span {
    short row, left, right, direction;
};

int ChannelDistance(COLORREF a, COLORREF b, int shift) {
    return std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
}

// The work of one fill: where to read, where to write, and the spans still to visit.
class SeedFill {
public:
    SeedFill(cSurfaceImplementation& source, cSurfaceImplementation& target, COLORREF seed, COLORREF fill,
             int fillIndex, int tolerance, Span* stack)
        : source_(source), target_(target), seed_(seed), fill_(fill), fillIndex_(fillIndex),
          tolerance_(tolerance), stack_(stack) {}

    void Run(int x, int y, int& left, int& top, int& right, int& bottom) {
        left = right = x;
        top = bottom = y;
        bounds_ = {&left, &top, &right, &bottom};
        Push(y, x, x, 1);
        Push(y - 1, x, x, -1);
        while (count_ > 0) {
            const Span span = stack_[--count_];
            Scan(span.row, span.left, span.right, span.direction);
        }
    }

private:
    // Inside the clip, close enough to the seed colour, and not filled yet.
    bool Accept(int x, int y) {
        if (x < source_.clipLeft || x >= source_.clipRight || y < source_.clipTop || y >= source_.clipBottom)
            return false;
        COLORREF colour = 0, already = 0;
        if (!source_.GetPixel(x, y, colour)) return false;
        if (ChannelDistance(colour, seed_, 0) > tolerance_ ||
            ChannelDistance(colour, seed_, 8) > tolerance_ || ChannelDistance(colour, seed_, 16) > tolerance_)
            return false;
        return !target_.GetPixel(x, y, already) || (already & 0xFFFFFF) != fill_;
    }

    void Set(int x, int y) {
        if (target_.depth <= 8)
            target_.SetPixelIndex(x, y, fillIndex_);
        else
            target_.SetPixel(x, y, fill_);
        if (x < *bounds_.left) *bounds_.left = x;
        if (x > *bounds_.right) *bounds_.right = x;
        if (y < *bounds_.top) *bounds_.top = y;
        if (y > *bounds_.bottom) *bounds_.bottom = y;
    }

    void Push(int row, int left, int right, int direction) {
        if (row < source_.clipTop || row >= source_.clipBottom || count_ >= MaxSpans) return;
        stack_[count_++] = Span{static_cast<short>(row), static_cast<short>(left), static_cast<short>(right),
                                static_cast<short>(direction)};
    }

    void Scan(int y, int x1, int x2, int dy) {
        int x = x1;
        if (Accept(x, y)) {
            while (Accept(x - 1, y)) {
                Set(x - 1, y);
                --x;
            }
            if (x < x1) Push(y - dy, x, x1 - 1, -dy);
        }
        while (x1 <= x2) {
            while (Accept(x1, y)) {
                Set(x1, y);
                ++x1;
            }
            if (x1 > x) Push(y + dy, x, x1 - 1, dy);
            if (x1 - 1 > x2) Push(y - dy, x2 + 1, x1 - 1, -dy);
            ++x1;
            while (x1 < x2 && !Accept(x1, y))
                ++x1;
            x = x1;
        }
    }

    struct Bounds {
        int *left, *top, *right, *bottom;
    };
    cSurfaceImplementation& source_;
    cSurfaceImplementation& target_;
    COLORREF seed_, fill_;
    int fillIndex_, tolerance_;
    Span* stack_;
    int count_ = 0;
    Bounds bounds_{};
};

} // namespace

int cSurface::FloodFill(int x, int y, int& left, int& top, int& right, int& bottom, COLORREF color,
                        int blitFlags, int tolerance, LPARAM, int ink, LPARAM parameter) {
    cSurfaceImplementation& self = *implementation_;
    x -= originX_;
    y -= originY_;
    int fillIndex = 0;
    COLORREF fill = color & 0xFFFFFF;
    switch (DepthIndexOf(self.depth)) {
    case 0:
        fillIndex = self.GetNearestIndex(color);
        fill = self.GetPaletteColor(fillIndex);
        break;
    case 1:
        fill &= 0xF8F8F8;
        break;
    case 2:
        fill &= 0xF8FCF8;
        break;
    default:
        break;
    }
    COLORREF seed = 0;
    if (!self.GetPixel(x, y, seed) || (seed & 0xFFFFFF) == fill) return 0;
    Span* stack = nullptr;
    if (!AllocMemory(sizeof(Span) * MaxSpans, &stack)) {
        lastError_ = SurfaceErrorNoMemory;
        return 0;
    }
    // A fill drawn with an effect goes through a cleared temporary, then onto this surface.
    cSurfaceImplementation* temporary = nullptr;
    if (fill != 0 && parameter != 0) {
        temporary = self.CreateSameKind(self.width, self.height);
        if (!temporary) {
            FreeMemoryBlock(stack);
            lastError_ = SurfaceErrorNoMemory;
            return 0;
        }
        temporary->SetClipRect(self.clipLeft, self.clipTop, self.clipRight - self.clipLeft,
                               self.clipBottom - self.clipTop);
        temporary->FillRectValue(0, 0, self.width, self.height, 0);
    }
    SeedFill(self, temporary ? *temporary : self, seed & 0xFFFFFF, fill, fillIndex, tolerance, stack)
        .Run(x, y, left, top, right, bottom);
    FreeMemoryBlock(stack);
    int drawn = 1;
    if (temporary) {
        // A fill that cannot be drawn with its effect is reported as not drawn.
        drawn = temporary->Blit(&self, 0, 0, 0, 0, self.width, self.height, 1, ink, parameter, blitFlags);
        temporary->Delete();
    }
    left += originX_;
    top += originY_;
    right += originX_ + 1;
    bottom += originY_ + 1;
    return drawn ? 1 : 0;
}
