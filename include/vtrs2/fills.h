// Fill objects: how an area is painted, with one colour, a two-colour gradient or a surface repeated as
// tiles. Shapes and backdrops take them and call their operations; they paint through cSurface, so they
// work on every surface kind.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

class cSurface;

// Colour 0 (black) is the usual transparent colour, so fills store this in its place.
constexpr win32::COLORREF FillBlack = 0x000008;

class VTRS2_API CFillData {
public:
    CFillData() = default;
    CFillData(const CFillData&) = default;
    CFillData& operator=(const CFillData&) = default;
    virtual ~CFillData();
    // Slot 0: runs the destructor; bit 0 of the flags also frees the object. Answers the old address.
    virtual CFillData* DestroyAndFree(unsigned flags);
    // Slot 1: the origin the fill is laid from (the gradient's start, the tile's offset); answers the
    // previous one. Nothing for fills without an origin.
    virtual win32::POINT SetOrigin(int x, int y);
    // Slot 2: the whole width x height area from (0, 0).
    virtual int FillSurface(cSurface* surface, int width, int height, int avoidBlack);
    // Slot 3: the rectangle left..right, top..bottom (right and bottom exclusive). With `avoidBlack` no
    // colour is painted so dark that it would read as black at 15 or 16 bits.
    virtual int Fill(cSurface* surface, int left, int top, int right, int bottom, int avoidBlack) = 0;
};

class VTRS2_API CFillFlat : public CFillData {
public:
    explicit CFillFlat(win32::COLORREF colour);
    CFillFlat(const CFillFlat& other);
    ~CFillFlat() override;
    CFillData* DestroyAndFree(unsigned flags) override;
    int Fill(cSurface* surface, int left, int top, int right, int bottom, int avoidBlack) override;

    win32::COLORREF colour;
};

class VTRS2_API CFillDir : public CFillData {
public:
    CFillDir(win32::COLORREF first, win32::COLORREF second, int vertical, int originX = 0, int originY = 0);
    CFillDir(const CFillDir& other);
    ~CFillDir() override;
    CFillData* DestroyAndFree(unsigned flags) override;
    win32::POINT SetOrigin(int x, int y) override;
    // The gradient laid over the whole height (vertical) or width, shifted by the origin so that scrolled
    // copies line up.
    int FillSurface(cSurface* surface, int width, int height, int avoidBlack) override;
    // The gradient over the rectangle, in as many bands as the largest channel difference.
    int Fill(cSurface* surface, int left, int top, int right, int bottom, int avoidBlack) override;

    int originX;
    int originY;
    win32::COLORREF first;
    win32::COLORREF second;
    int vertical;
};

class VTRS2_API CFillMosaic : public CFillData {
public:
    // The tile is not owned.
    CFillMosaic(cSurface* tile, int offsetX = 0, int offsetY = 0);
    CFillMosaic(const CFillMosaic& other);
    ~CFillMosaic() override;
    CFillData* DestroyAndFree(unsigned flags) override;
    win32::POINT SetOrigin(int x, int y) override;
    // The tile repeated over the rectangle, its grid anchored at minus the offset; 0 without a tile.
    int Fill(cSurface* surface, int left, int top, int right, int bottom, int avoidBlack) override;

    cSurface* tile;
    int offsetX;
    int offsetY;
};

// A band colour of a gradient with the avoid-black correction: a colour whose channels are all 7 or less
// gets 8 in its strictly greatest channel (blue, then green), or else in red.
VTRS2_API win32::COLORREF AvoidBlack(win32::COLORREF colour);
