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

// The image surfaces of the bank images drawn in one pass, each made once.
class ImageSurfaces {
public:
    explicit ImageSurfaces(SpriteWindow* window) : window_(window) {}
    // Null when the image cannot be drawn.
    cImageSurface* Get(win32::DWORD image);

private:
    static constexpr std::size_t Slots = 32;
    SpriteWindow* window_;
    std::array<win32::DWORD, Slots> images_{};
    std::array<std::optional<cImageSurface>, Slots> surfaces_;
};

} // namespace sprites
