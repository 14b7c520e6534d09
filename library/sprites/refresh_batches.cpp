// The batches of a refresh pass: a bitmap of the pixels to put back, the update rectangle being joined, and
// the image surfaces already made.
#include "refresh_batches.h"
#include "window_host.h"

#include "surfaces/engine_interface.h"
#include "vtrs2/banks.h"

#include <algorithm>
#include <climits>
#include <cstring>

using namespace win32;

namespace sprites {

namespace {

constexpr int WordBits = 64;

// The words and edge masks of the bits [begin, end) of a row, set in `count` rows `stride` words apart.
struct BitSpan {
    std::uint32_t first, last;
    std::uint64_t head, tail;
    BitSpan(LONG begin, LONG end)
        : first(static_cast<std::uint32_t>(begin) / WordBits),
          last(static_cast<std::uint32_t>(end - 1) / WordBits),
          head(~std::uint64_t{0} << (static_cast<std::uint32_t>(begin) % WordBits)),
          tail(~std::uint64_t{0} >> (WordBits - 1 - static_cast<std::uint32_t>(end - 1) % WordBits)) {
        if (first == last) head &= tail;
    }
    void SetIn(std::uint64_t* row, std::size_t stride, LONG count) const {
        // Sprites are narrow: one or two words a row is the common case.
        if (first == last) {
            for (std::uint64_t* word = row + first; count-- > 0; word += stride)
                *word |= head;
        } else if (last == first + 1) {
            for (std::uint64_t* word = row + first; count-- > 0; word += stride)
                word[0] |= head, word[1] |= tail;
        } else {
            for (; count-- > 0; row += stride) {
                row[first] |= head;
                std::fill(row + first + 1, row + last, ~std::uint64_t{0});
                row[last] |= tail;
            }
        }
    }
};

constexpr LONG BandRows = 8;

// Word buffers of the bitmaps, kept clear between passes so that the next pass takes one as it is.
thread_local std::vector<std::vector<std::uint64_t>> spareWords;

// The spare buffer nearest in size at or above the count (the largest when none is), so that each bitmap
// of a pass finds the one it left.
std::vector<std::uint64_t> TakeClearWords(std::size_t count) {
    std::vector<std::uint64_t> words;
    auto best = spareWords.end();
    for (auto it = spareWords.begin(); it != spareWords.end(); ++it) {
        const bool fits = it->size() >= count;
        if (best == spareWords.end() || (fits && (best->size() < count || it->size() < best->size())) ||
            (!fits && best->size() < count && it->size() > best->size()))
            best = it;
    }
    if (best != spareWords.end()) {
        words = std::move(*best);
        spareWords.erase(best);
    }
    // Kept at its size, so that no later pass has to clear the words beyond the count.
    if (words.size() < count) words.resize(count, 0);
    return words;
}

void GiveBackClearWords(std::vector<std::uint64_t>& words) {
    if (words.empty()) return;
    spareWords.push_back(std::move(words));
    words = {};
}

} // namespace

CellBitmap::CellBitmap(LONG width, LONG height)
    : width_(std::max<LONG>(width, 0)), height_(std::max<LONG>(height, 0)),
      words_((width_ + WordBits - 1) / WordBits), top_(INT_MAX), bottom_(INT_MIN) {}

CellBitmap::~CellBitmap() {
    if (Marked()) Clear();
    GiveBackClearWords(rows_);
    GiveBackClearWords(bands_);
}

void CellBitmap::Clear() {
    std::fill(rows_.begin(), rows_.end(), 0);
    std::fill(bands_.begin(), bands_.end(), 0);
    top_ = INT_MAX, bottom_ = INT_MIN;
}

void CellBitmap::Mark(LONG left, LONG top, LONG right, LONG bottom) {
    left = std::max<LONG>(left, 0), top = std::max<LONG>(top, 0);
    right = std::min(right, width_), bottom = std::min(bottom, height_);
    if (left >= right || top >= bottom) return;
    if (rows_.empty()) {
        rows_ = TakeClearWords(static_cast<std::size_t>(words_) * height_);
        bands_ = TakeClearWords(static_cast<std::size_t>(words_) * ((height_ + BandRows - 1) / BandRows));
    }
    const BitSpan span(left, right);
    const auto stride = static_cast<std::size_t>(words_);
    auto markRows = [&](LONG from, LONG to) {
        if (from < to) span.SetIn(&rows_[static_cast<std::size_t>(from) * stride], stride, to - from);
    };
    const LONG firstBand = (top + BandRows - 1) / BandRows, endBand = bottom / BandRows;
    if (firstBand < endBand) {
        markRows(top, firstBand * BandRows);
        span.SetIn(&bands_[static_cast<std::size_t>(firstBand) * stride], stride, endBand - firstBand);
        markRows(endBand * BandRows, bottom);
    } else {
        markRows(top, bottom);
    }
    top_ = std::min(top_, top), bottom_ = std::max(bottom_, bottom);
}

// The runs of marked cells of a row; the row is cleared (its band is cleared once the drain ends).
void CellBitmap::RowRuns(LONG y, Runs& runs) {
    runs.clear();
    std::uint64_t* row = &rows_[static_cast<std::size_t>(y) * words_];
    const std::uint64_t* band = &bands_[static_cast<std::size_t>(y / BandRows) * words_];
    bool inRun = false;
    LONG begin = 0;
    for (LONG w = 0; w < words_; ++w) {
        const std::uint64_t word = std::exchange(row[w], 0) | band[w];
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
    std::fill(bands_.begin() + static_cast<std::ptrdiff_t>(top_ / BandRows) * words_,
              bands_.begin() + static_cast<std::ptrdiff_t>((bottom_ - 1) / BandRows + 1) * words_, 0);
    top_ = INT_MAX, bottom_ = INT_MIN;
}

namespace {
// Two surfaces whose pixels, once locked, are the same bytes for the same colours, with nothing beside them
// (no alpha plane) that a copy would have to carry.
bool SameLayout(const cSurfaceImplementation& a, const cSurfaceImplementation& b) {
    return a.depth == b.depth && a.bytesPerPixel == b.bytesPerPixel && a.bytesPerPixel > 0 && !a.alphaPlane &&
           !b.alphaPlane && (a.depth > 8 || a.palette == b.palette) && a.width <= b.width &&
           a.height <= b.height;
}
} // namespace

namespace {
// The lists of a restore, kept between passes.
struct RestoreLists {
    std::vector<RECT> added, sorted;
    std::vector<std::uint32_t> firstOfRow;
};
thread_local RestoreLists spareLists;
} // namespace

BackgroundRestore::BackgroundRestore(cSurfaceImplementation& work, cSurfaceImplementation& background,
                                     UpdateBatch& updates)
    : work_(work), background_(background), updates_(updates), clip_(ClipOf(work)),
      pixels_(clip_.right - clip_.left, clip_.bottom - clip_.top), added_(std::move(spareLists.added)),
      sorted_(std::move(spareLists.sorted)), firstOfRow_(std::move(spareLists.firstOfRow)),
      sameLayout_(SameLayout(work, background) && !background.IsPacked()) {
    added_.clear();
}

BackgroundRestore::~BackgroundRestore() {
    Flush();
    spareLists = {std::move(added_), std::move(sorted_), std::move(firstOfRow_)};
}

void BackgroundRestore::Add(const RECT& r) {
    const RECT cells{std::max<LONG>(r.left - clip_.left, 0), std::max<LONG>(r.top - clip_.top, 0),
                     std::min<LONG>(r.right - clip_.left, clip_.right - clip_.left),
                     std::min<LONG>(r.bottom - clip_.top, clip_.bottom - clip_.top)};
    if (cells.left < cells.right && cells.top < cells.bottom) added_.push_back(cells);
}

// Marks the rectangles added in the order of their top rows, so that the bitmap is walked down once instead
// of at random: a crowd of sprites otherwise waits on memory at every row it marks.
void BackgroundRestore::MarkAdded() {
    if (added_.empty()) return;
    const std::size_t rows = static_cast<std::size_t>(clip_.bottom - clip_.top);
    firstOfRow_.assign(rows + 1, 0);
    for (const RECT& r : added_)
        ++firstOfRow_[static_cast<std::size_t>(r.top) + 1];
    for (std::size_t y = 1; y <= rows; ++y)
        firstOfRow_[y] += firstOfRow_[y - 1];
    // Each rectangle goes to the next place of its row: a counting sort without a second list.
    sorted_.resize(added_.size());
    for (const RECT& r : added_)
        sorted_[firstOfRow_[static_cast<std::size_t>(r.top)]++] = r;
    for (const RECT& r : sorted_)
        pixels_.Mark(r.left, r.top, r.right, r.bottom);
    added_.clear();
}

void BackgroundRestore::Flush() {
    MarkAdded();
    if (!pixels_.Marked()) return;
    // A crowd of sprites leaves thousands of short runs: copied row by row, not blit by blit.
    if (sameLayout_ && work_.LockPixels()) {
        if (background_.LockPixels()) {
            const std::size_t pixel = static_cast<std::size_t>(work_.bytesPerPixel);
            pixels_.Drain([&](const RECT& r) {
                const std::size_t offset = static_cast<std::size_t>(r.left + clip_.left) * pixel;
                const std::size_t bytes = static_cast<std::size_t>(r.right - r.left) * pixel;
                for (LONG y = r.top + clip_.top; y < r.bottom + clip_.top; ++y)
                    std::memcpy(work_.Row(y) + offset, background_.Row(y) + offset, bytes);
                updates_.Add(
                    {r.left + clip_.left, r.top + clip_.top, r.right + clip_.left, r.bottom + clip_.top}, 0);
            });
            background_.UnlockPixels();
            work_.UnlockPixels();
            return;
        }
        work_.UnlockPixels();
    }
    pixels_.Drain([&](const RECT& r) {
        const LONG x = r.left + clip_.left, y = r.top + clip_.top;
        background_.Blit(&work_, x, y, x, y, r.right - r.left, r.bottom - r.top, 0, 0, 0, 0);
        updates_.Add({x, y, r.right + clip_.left, r.bottom + clip_.top}, 0);
    });
}

namespace {
// Update cells are squares of this many pixels (as a shift).
constexpr int UpdateCellShift = 3;
// A pass that leaves more rectangles than this gives, instead, for each band of rows this high, the box
// around what it drew in the band: the window copies each rectangle by itself, and a crowd scattered over the
// screen would otherwise hand it thousands.
constexpr std::size_t MaxUpdateRectangles = 128;
constexpr LONG UpdateBandRows = 64;

thread_local std::vector<RECT> spareUpdateRects;

RECT AreaOf(SpriteWindow* window) {
    return HasWindow(window) ? window->host->area(window->appWindow) : RECT{0, 0, 0, 0};
}
} // namespace

UpdateBatch::UpdateBatch(SpriteWindow* window)
    : window_(window), width_(AreaOf(window).right), height_(AreaOf(window).bottom),
      cells_((width_ + (1 << UpdateCellShift) - 1) >> UpdateCellShift,
             (height_ + (1 << UpdateCellShift) - 1) >> UpdateCellShift) {}

UpdateBatch::~UpdateBatch() {
    std::vector<RECT> rects = std::move(spareUpdateRects);
    rects.clear();
    cells_.Drain([&](const RECT& cells) {
        rects.push_back({cells.left << UpdateCellShift, cells.top << UpdateCellShift,
                         std::min(cells.right << UpdateCellShift, width_),
                         std::min(cells.bottom << UpdateCellShift, height_)});
    });
    if (!HasWindow(window_)) {
        spareUpdateRects = std::move(rects);
        return;
    }
    if (rects.size() <= MaxUpdateRectangles) {
        for (const RECT& r : rects)
            window_->host->addUpdateRect(window_->appWindow, r);
    } else {
        std::vector<RECT> bands(static_cast<std::size_t>((height_ + UpdateBandRows - 1) / UpdateBandRows),
                                RECT{width_, 0, 0, 0});
        for (const RECT& r : rects)
            for (LONG band = r.top / UpdateBandRows; band * UpdateBandRows < r.bottom; ++band) {
                RECT& box = bands[static_cast<std::size_t>(band)];
                box.left = std::min(box.left, r.left), box.right = std::max(box.right, r.right);
            }
        for (std::size_t band = 0; band < bands.size(); ++band) {
            const LONG top = static_cast<LONG>(band) * UpdateBandRows;
            const RECT r{bands[band].left, top, bands[band].right, std::min(top + UpdateBandRows, height_)};
            if (r.left < r.right) window_->host->addUpdateRect(window_->appWindow, r);
        }
    }
    spareUpdateRects = std::move(rects);
}

void UpdateBatch::Add(const RECT& rect, DWORD ink) {
    const RECT r = UpdateRectOf(rect, ink);
    if (r.right <= r.left || r.bottom <= r.top) return;
    // Cells are whole: what they cover beyond the rectangle is copied to the screen unchanged.
    cells_.Mark(r.left >> UpdateCellShift, r.top >> UpdateCellShift, ((r.right - 1) >> UpdateCellShift) + 1,
                ((r.bottom - 1) >> UpdateCellShift) + 1);
}

namespace {
// A band holds about as many bytes of the surface as the per-core cache keeps beside the images drawn.
constexpr std::size_t BandBytes = std::size_t{1} << 20;
constexpr int MinBandRows = 16;
// Fewer blits than this are drawn as they stand.
constexpr std::size_t MinBandedBlits = 64;
// A band of fewer blits than this is not fetched ahead.
constexpr std::uint32_t MinFetchedBlits = 256;

// The lists of a batch, kept between passes.
struct BlitLists {
    std::vector<BandedBlits::Item> items;
    std::vector<std::uint32_t> firstOfBand, order;
};
thread_local BlitLists spareBlitLists;
} // namespace

BandedBlits::BandedBlits(cSurfaceImplementation& work)
    : work_(work), bandable_(!work.CanBlitFrom() && !work.IsDCOnly() && work.pitch > 0), clip_(ClipOf(work)),
      bandRows_(bandable_ ? static_cast<int>(std::max<std::size_t>(
                                MinBandRows, BandBytes / static_cast<std::size_t>(work.pitch)))
                          : 1),
      items_(std::move(spareBlitLists.items)), firstOfBand_(std::move(spareBlitLists.firstOfBand)),
      order_(std::move(spareBlitLists.order)) {
    items_.clear();
}

BandedBlits::~BandedBlits() {
    Flush();
    spareBlitLists = {std::move(items_), std::move(firstOfBand_), std::move(order_)};
}

bool BandedBlits::Add(cSurfaceImplementation* source, int x, int y, const BlitInk& ink) {
    if (!bandable_ || (ink.flags & engine::BlitFlagAntialias) || source->depth != work_.depth ||
        source->IsPacked())
        return false;
    // The bands the blit's rows meet, within the clip; none when it lies above or below it.
    const long long from = std::max<long long>(y, clip_.top);
    const long long to = std::min<long long>(static_cast<long long>(y) + source->height, clip_.bottom);
    Item item{source, x, y, ink, 0, -1};
    if (from < to) {
        item.firstBand = static_cast<int>((from - clip_.top) / bandRows_);
        item.lastBand = static_cast<int>((to - 1 - clip_.top) / bandRows_);
    }
    items_.push_back(item);
    return true;
}

void BandedBlits::Draw(const Item& item) {
    item.source->Blit(&work_, item.x, item.y, 0, 0, item.source->width, item.source->height, item.ink.mode,
                      item.ink.ink, item.ink.parameter, item.ink.flags);
}

void BandedBlits::Flush() {
    if (items_.empty()) return;
    const int bands = clip_.bottom > clip_.top ? (clip_.bottom - clip_.top + bandRows_ - 1) / bandRows_ : 0;
    if (items_.size() < MinBandedBlits || bands < 2) {
        for (const Item& item : items_)
            Draw(item);
        items_.clear();
        return;
    }
    // The blits of each band in display order: a counting sort on the bands each blit meets.
    firstOfBand_.assign(static_cast<std::size_t>(bands) + 1, 0);
    for (const Item& item : items_)
        for (int b = item.firstBand; b <= item.lastBand; ++b)
            ++firstOfBand_[static_cast<std::size_t>(b) + 1];
    for (std::size_t b = 1; b <= static_cast<std::size_t>(bands); ++b)
        firstOfBand_[b] += firstOfBand_[b - 1];
    order_.resize(firstOfBand_[static_cast<std::size_t>(bands)]);
    for (std::uint32_t i = 0; i < items_.size(); ++i)
        for (int b = items_[i].firstBand; b <= items_[i].lastBand; ++b)
            order_[firstOfBand_[static_cast<std::size_t>(b)]++] = i;
    // Each band's list now ends where the next one's begins. From the bottom up: the erase pass puts rows
    // back from the top down, so the rows it touched last are drawn first.
    const RECT clip = clip_;
    for (int b = bands - 1; b >= 0; --b) {
        const LONG top = clip.top + b * bandRows_;
        const LONG bottom = std::min<LONG>(top + bandRows_, clip.bottom);
        work_.SetClipRect(clip.left, top, clip.right - clip.left, bottom - top);
        const std::uint32_t begin = b > 0 ? firstOfBand_[static_cast<std::size_t>(b) - 1] : 0;
        const std::uint32_t end = firstOfBand_[static_cast<std::size_t>(b)];
        // The band drawn next is fetched while this one is drawn, a share of its lines before each blit,
        // when its blits cover enough of it to be worth the whole band.
        const std::uint32_t nextBegin = b > 1 ? firstOfBand_[static_cast<std::size_t>(b) - 2] : 0;
        const bool ahead = b > 0 && work_.pixels && (begin - nextBegin) >= MinFetchedBlits;
        const LONG nextTop = ahead ? clip.top + (b - 1) * bandRows_ : 0;
        const std::size_t lineBytes = static_cast<std::size_t>(work_.pitch);
        const std::size_t lines = ahead ? static_cast<std::size_t>(bandRows_) * lineBytes / 64 : 0;
        std::size_t fetched = 0;
        const BYTE* base = ahead ? work_.Row(nextTop) : nullptr;
        const bool downward = work_.signedPitch > 0;
        for (std::uint32_t k = begin; k < end; ++k) {
            if (ahead) {
                const std::size_t upto = (static_cast<std::size_t>(k - begin) + 1) * lines / (end - begin);
                for (; fetched < upto; ++fetched)
                    __builtin_prefetch(downward ? base + fetched * 64 : base - fetched * 64 + lineBytes, 1,
                                       3);
            }
            Draw(items_[order_[k]]);
        }
    }
    work_.SetClipRect(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
    items_.clear();
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
