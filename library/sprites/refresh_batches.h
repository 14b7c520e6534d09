// What one refresh pass gathers so that the surfaces and the update area are called once for many
// sprites: the restore of the background under every erased sprite, the update area and the image surfaces.
#pragma once

#include "sprite_drawing_internal.h"
#include "vtrs2/image_surface.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace sprites {

// Cells marked one rectangle at a time, given back as few rectangles as cover them exactly: the runs of
// each row, a run of rows with the same runs as one rectangle. A rectangle marks the bands of rows it covers
// whole once, and only the rows of the bands it covers in part one by one.
class CellBitmap {
public:
    CellBitmap(win32::LONG width, win32::LONG height);
    ~CellBitmap();
    CellBitmap(const CellBitmap&) = delete;
    CellBitmap& operator=(const CellBitmap&) = delete;
    // Marks the cells [left, right) x [top, bottom), within the bitmap.
    void Mark(win32::LONG left, win32::LONG top, win32::LONG right, win32::LONG bottom);
    // Calls take(rect) with each rectangle of marked cells and clears the bitmap.
    template <typename Take> void Drain(Take&& take);
    bool Marked() const { return top_ < bottom_; }

private:
    using Runs = std::vector<std::pair<win32::LONG, win32::LONG>>; // [begin, end) columns of a row
    void RowRuns(win32::LONG row, Runs& runs);
    void Clear();

    win32::LONG width_, height_;
    win32::LONG words_; // 64 cells per word
    std::vector<std::uint64_t> rows_;
    std::vector<std::uint64_t> bands_; // the cells marked in every row of a band
    win32::LONG top_, bottom_;         // the rows marked so far
};

class UpdateBatch;

// The background is put back under the union of the rectangles given, each pixel once, when flushed (and
// at the latest when the batch ends); what is put back goes into the update batch given.
class BackgroundRestore {
public:
    BackgroundRestore(cSurfaceImplementation& work, cSurfaceImplementation& background, UpdateBatch& updates);
    ~BackgroundRestore();
    BackgroundRestore(const BackgroundRestore&) = delete;
    BackgroundRestore& operator=(const BackgroundRestore&) = delete;
    void Add(const win32::RECT& rect);
    void Flush();

private:
    void MarkAdded();

    cSurfaceImplementation& work_;
    cSurfaceImplementation& background_;
    UpdateBatch& updates_;
    win32::RECT clip_;
    CellBitmap pixels_;
    std::vector<win32::RECT> added_; // in bitmap cells, not marked yet
    std::vector<win32::RECT> sorted_;
    std::vector<std::uint32_t> firstOfRow_;
    bool sameLayout_; // the background's pixels lie as the work surface's: rows are copied as they are
};

// The update area of a pass in cells of a few pixels, added to the window's when the batch ends: a crowd of
// sprites adds a handful of rectangles instead of two each.
class UpdateBatch {
public:
    explicit UpdateBatch(SpriteWindow* window);
    ~UpdateBatch();
    UpdateBatch(const UpdateBatch&) = delete;
    UpdateBatch& operator=(const UpdateBatch&) = delete;
    void Add(const win32::RECT& rect, win32::DWORD ink);

private:
    SpriteWindow* window_;
    win32::LONG width_, height_; // of the window's area
    CellBitmap cells_;
};

// The blits of a draw pass, kept in display order and drawn band of rows by band of rows when flushed (at
// the latest when the batch ends): the rows under a crowd of sprites then stay in the cache while every
// sprite over them is drawn, instead of being fetched again for each sprite. Each band is drawn with the
// surface's clip narrowed to it, its blits in display order, so every pixel receives the same blits in
// the same order as when each sprite is drawn whole.
class BandedBlits {
public:
    struct Item {
        cSurfaceImplementation* source;
        int x, y;
        BlitInk ink;
        int firstBand, lastBand; // the bands its rows meet (none when last < first)
    };

    explicit BandedBlits(cSurfaceImplementation& work);
    ~BandedBlits();
    BandedBlits(const BandedBlits&) = delete;
    BandedBlits& operator=(const BandedBlits&) = delete;
    // False when the blit is not one that draws each pixel from that pixel alone (an antialiased edge,
    // another depth, a packed source) or the surface draws through its device: the caller flushes the
    // batch, then draws it.
    bool Add(cSurfaceImplementation* source, int x, int y, const BlitInk& ink);
    void Flush();

private:
    void Draw(const Item& item);

    cSurfaceImplementation& work_;
    bool bandable_;
    win32::RECT clip_;
    int bandRows_;
    std::vector<Item> items_;
    std::vector<std::uint32_t> firstOfBand_;
    std::vector<std::uint32_t> order_;
};

// The image surfaces of the bank images drawn in one pass, each made once.
class ImageSurfaces {
public:
    explicit ImageSurfaces(SpriteWindow* window) : window_(window) {}
    // Null when the image cannot be drawn.
    cImageSurface* Get(win32::DWORD image);
    // Whether getting the image would replace the surface made for another one.
    bool Replaces(win32::DWORD image) const {
        const std::size_t slot = image % Slots;
        return surfaces_[slot] && images_[slot] != image;
    }

private:
    static constexpr std::size_t Slots = 32;
    SpriteWindow* window_;
    std::array<win32::DWORD, Slots> images_{};
    std::array<std::optional<cImageSurface>, Slots> surfaces_;
};

} // namespace sprites
