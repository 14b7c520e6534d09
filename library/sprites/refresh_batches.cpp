// The batches of a refresh pass: a bitmap of the pixels to put back, the update rectangle being joined, and
// the image surfaces already made.
#include "refresh_batches.h"

#include "vtrs2/app_window.h"
#include "vtrs2/banks.h"

#include <algorithm>
#include <climits>

using namespace win32;

namespace sprites {

namespace {

constexpr int WordBits = 64;

// The words and edge masks of the bits [begin, end) of a row.
struct BitSpan {
    LONG first, last;
    std::uint64_t head, tail;
    BitSpan(LONG begin, LONG end)
        : first(begin / WordBits), last((end - 1) / WordBits), head(~std::uint64_t{0} << (begin % WordBits)),
          tail(~std::uint64_t{0} >> (WordBits - 1 - (end - 1) % WordBits)) {
        if (first == last) head &= tail;
    }
    void SetIn(std::uint64_t* row) const {
        row[first] |= head;
        if (first == last) return;
        for (LONG w = first + 1; w < last; ++w)
            row[w] = ~std::uint64_t{0};
        row[last] |= tail;
    }
};

} // namespace

CellBitmap::CellBitmap(LONG width, LONG height)
    : width_(std::max<LONG>(width, 0)), height_(std::max<LONG>(height, 0)),
      words_((width_ + WordBits - 1) / WordBits), top_(INT_MAX), bottom_(INT_MIN) {}

void CellBitmap::Mark(LONG left, LONG top, LONG right, LONG bottom) {
    left = std::max<LONG>(left, 0), top = std::max<LONG>(top, 0);
    right = std::min(right, width_), bottom = std::min(bottom, height_);
    if (left >= right || top >= bottom) return;
    if (rows_.empty()) rows_.assign(static_cast<std::size_t>(words_) * height_, 0);
    const BitSpan span(left, right);
    std::uint64_t* row = &rows_[static_cast<std::size_t>(top) * words_];
    for (LONG y = top; y < bottom; ++y, row += words_)
        span.SetIn(row);
    top_ = std::min(top_, top), bottom_ = std::max(bottom_, bottom);
}

// The runs of marked cells of a row; the row is cleared.
void CellBitmap::RowRuns(LONG y, Runs& runs) {
    runs.clear();
    std::uint64_t* row = &rows_[static_cast<std::size_t>(y) * words_];
    bool inRun = false;
    LONG begin = 0;
    for (LONG w = 0; w < words_; ++w) {
        const std::uint64_t word = std::exchange(row[w], 0);
        if (word == (inRun ? ~std::uint64_t{0} : 0)) continue;
        const LONG base = w * WordBits;
        for (int bit = 0; bit < WordBits;) {
            // The next change: a set bit outside a run, a clear one inside.
            const std::uint64_t rest = (inRun ? ~word : word) >> bit;
            if (!rest) break;
            bit += __builtin_ctzll(rest);
            if (inRun)
                runs.emplace_back(begin, base + bit);
            else
                begin = base + bit;
            inRun = !inRun;
        }
    }
    if (inRun) runs.emplace_back(begin, width_);
}

template <typename Take> void CellBitmap::Drain(Take&& take) {
    if (!Marked()) return;
    Runs held, current;
    LONG heldTop = top_;
    auto give = [&](LONG bottom) {
        for (const auto& [left, right] : held)
            take(RECT{left, heldTop, right, bottom});
    };
    for (LONG y = top_; y < bottom_; ++y) {
        RowRuns(y, current);
        if (current == held) continue;
        give(y);
        std::swap(held, current);
        heldTop = y;
    }
    give(bottom_);
    top_ = INT_MAX, bottom_ = INT_MIN;
}

BackgroundRestore::BackgroundRestore(cSurfaceImplementation& work, cSurfaceImplementation& background)
    : work_(work), background_(background), clip_(ClipOf(work)),
      pixels_(clip_.right - clip_.left, clip_.bottom - clip_.top) {}

BackgroundRestore::~BackgroundRestore() {
    Flush();
}

void BackgroundRestore::Add(const RECT& r) {
    pixels_.Mark(r.left - clip_.left, r.top - clip_.top, r.right - clip_.left, r.bottom - clip_.top);
}

void BackgroundRestore::Flush() {
    pixels_.Drain([&](const RECT& r) {
        const LONG x = r.left + clip_.left, y = r.top + clip_.top;
        background_.Blit(&work_, x, y, x, y, r.right - r.left, r.bottom - r.top, 0, 0, 0, 0);
    });
}

namespace {
// Update cells are squares of this many pixels (as a shift).
constexpr int UpdateCellShift = 3;

RECT AreaOf(SpriteWindow* window) {
    RECT area{0, 0, 0, 0};
    if (window && window->appWindow) GetAppWindowArea(window->appWindow, &area);
    return area;
}
} // namespace

UpdateBatch::UpdateBatch(SpriteWindow* window)
    : window_(window), width_(AreaOf(window).right), height_(AreaOf(window).bottom),
      cells_((width_ + (1 << UpdateCellShift) - 1) >> UpdateCellShift,
             (height_ + (1 << UpdateCellShift) - 1) >> UpdateCellShift) {}

UpdateBatch::~UpdateBatch() {
    cells_.Drain([&](const RECT& cells) {
        const RECT r{cells.left << UpdateCellShift, cells.top << UpdateCellShift,
                     std::min(cells.right << UpdateCellShift, width_),
                     std::min(cells.bottom << UpdateCellShift, height_)};
        AddUpdateRect(window_->appWindow, &r);
    });
}

void UpdateBatch::Add(const RECT& rect, DWORD ink) {
    const RECT r = UpdateRectOf(rect, ink);
    if (r.right <= r.left || r.bottom <= r.top) return;
    // Cells are whole: what they cover beyond the rectangle is copied to the screen unchanged.
    cells_.Mark(r.left >> UpdateCellShift, r.top >> UpdateCellShift, ((r.right - 1) >> UpdateCellShift) + 1,
                ((r.bottom - 1) >> UpdateCellShift) + 1);
}

cImageSurface* ImageSurfaces::Get(DWORD image) {
    const std::size_t slot = image % Slots;
    std::optional<cImageSurface>& surface = surfaces_[slot];
    if (!surface || images_[slot] != image) {
        surface.reset();
        images_[slot] = image;
        const ImageItem* item = ImageItemOf(window_, image);
        if (!item) return nullptr;
        surface.emplace(item);
    }
    return surface->width > 0 ? &*surface : nullptr;
}

} // namespace sprites
