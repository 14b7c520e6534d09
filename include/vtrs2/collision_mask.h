// The play-area collision planes of a window and the raw 1-bit mask tests they are built on.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/image_mask.h"
#include "vtrs2/sprite_window.h"
#include "win32/types.h"

struct Sprite;

// Plane bits of the creators, ClearCollisionMask and FillCollisionMaskBox.
constexpr win32::DWORD ObstaclePlane = 1;
constexpr win32::DWORD PlatformPlane = 2;

// Every operation takes the window first; a null window, or one without planes, does nothing and answers 0.
VTRS2_API int CreateCollisionMask(SpriteWindow* window, win32::LONG marginX, win32::LONG marginY,
                                  win32::DWORD planes);
VTRS2_API int CreateCollisionMaskForRect(SpriteWindow* window, win32::LONG left, win32::LONG top,
                                         win32::LONG right, win32::LONG bottom, win32::DWORD planes);
VTRS2_API void FreeCollisionMask(SpriteWindow* window);
VTRS2_API void ClearCollisionMask(SpriteWindow* window, win32::DWORD value);
VTRS2_API int FillCollisionMaskBox(SpriteWindow* window, win32::LONG left, win32::LONG top, win32::LONG right,
                                   win32::LONG bottom, win32::DWORD value);
VTRS2_API void AddImageToCollisionMask(SpriteWindow* window, win32::DWORD image, win32::LONG x, win32::LONG y,
                                       win32::DWORD mode);
VTRS2_API void AddPlatformImageToCollisionMask(SpriteWindow* window, win32::DWORD image, win32::LONG x,
                                               win32::LONG y);
VTRS2_API void OrMaskIntoCollisionMask(SpriteWindow* window, const ImageMask* mask, win32::LONG x,
                                       win32::LONG y, win32::DWORD planes, win32::DWORD mode);
// Low word: columns done; high word: the last row written.
VTRS2_API win32::DWORD CopyPlatformTopToCollisionMask(SpriteWindow* window, const ImageMask* mask,
                                                      win32::LONG x, win32::LONG y);
VTRS2_API int ScrollCollisionMask(SpriteWindow* window, win32::LONG dx, win32::LONG dy, win32::RECT* strip1,
                                  win32::RECT* strip2);
VTRS2_API void SetCollisionMaskClip(SpriteWindow* window, const win32::RECT* clip);
VTRS2_API void SetCollisionMaskOrigin(SpriteWindow* window, win32::LONG x, win32::LONG y);
VTRS2_API win32::WORD SetFineCollisions(SpriteWindow* window, win32::WORD value);
// plane 1 reads the platform plane, anything else the obstacle plane.
VTRS2_API int TestCollisionMaskPoint(SpriteWindow* window, win32::LONG x, win32::LONG y, int plane);
VTRS2_API int TestCollisionMaskRect(SpriteWindow* window, win32::LONG x, win32::LONG y, win32::LONG width,
                                    win32::LONG height, int plane);
VTRS2_API int TestSpriteAgainstCollisionMask(SpriteWindow* window, Sprite* sprite, win32::DWORD image,
                                             win32::LONG x, win32::LONG y, float angle, float scaleX,
                                             float scaleY, win32::LONG heightLimit, int plane);

// Raw masks: rows of ((width + 15) >> 4) * 2 bytes.
VTRS2_API int TestMaskPixel(const win32::BYTE* bits, win32::LONG x, win32::LONG y, win32::LONG width,
                            win32::LONG height);
VTRS2_API int TestMaskBitsInRect(const win32::BYTE* bits, win32::LONG width, win32::LONG height,
                                 win32::LONG x, win32::LONG y, win32::LONG rectWidth, win32::LONG rectHeight);
VTRS2_API int TestMaskOverlap(const win32::BYTE* a, const win32::BYTE* b, win32::LONG ax, win32::LONG ay,
                              win32::LONG aWidth, win32::LONG aHeight, win32::LONG bx, win32::LONG by,
                              win32::LONG bWidth, win32::LONG bHeight);
// B is placed by its hot spot at (bx, by) and turned about it by `angle` degrees.
VTRS2_API int TestMaskOverlapRotated(const win32::BYTE* a, const win32::BYTE* b, win32::LONG ax,
                                     win32::LONG ay, win32::LONG aWidth, win32::LONG aHeight, win32::LONG bx,
                                     win32::LONG by, win32::LONG bHotX, win32::LONG bHotY, win32::LONG bWidth,
                                     win32::LONG bHeight, float angle, win32::LONG heightLimit);
// B is placed by its top-left corner (the caller subtracts the scaled hot spot).
VTRS2_API int TestMaskOverlapScaled(const win32::BYTE* a, const win32::BYTE* b, win32::LONG ax,
                                    win32::LONG ay, win32::LONG aWidth, win32::LONG aHeight, win32::LONG bx,
                                    win32::LONG by, win32::LONG bHotX, win32::LONG bHotY, win32::LONG bWidth,
                                    win32::LONG bHeight, float scaleX, float scaleY);
VTRS2_API int TestMaskOverlapScaledRotated(const win32::BYTE* a, const win32::BYTE* b, win32::LONG ax,
                                           win32::LONG ay, win32::LONG aWidth, win32::LONG aHeight,
                                           win32::LONG bx, win32::LONG by, win32::LONG bHotX,
                                           win32::LONG bHotY, win32::LONG bWidth, win32::LONG bHeight,
                                           float angle, win32::LONG heightLimit, float scaleX, float scaleY);
// 1 when a point, given relative to the mask's hot spot, is solid.
VTRS2_API int TestImageMaskPoint(const ImageMask* mask, win32::LONG dx, win32::LONG dy);

// A box placed by its hot spot and turned about it; size and hot spot already scaled.
struct TransformedBox {
    double x, y;
    double hotX, hotY;
    double width, height;
    double angle; // degrees
};

// Points the overlap tests of turned boxes may write to their corner buffer.
constexpr int RotatedCornerCapacity = 24;

// Non-zero when box B, turned by its angle, meets the area A (taken unturned): the number of points
// gathered in `corners` (room for RotatedCornerCapacity), with their bounding box in `result`, both in
// A's frame (offsets from A's position).
VTRS2_API int TestRotatedMaskCollision(win32::RECT* result, win32::POINT* corners, const TransformedBox* area,
                                       const TransformedBox* box);
// The same for two boxes each turned by its own angle, in A's turned frame.
VTRS2_API int TestRotatedMasksOverlap(win32::RECT* result, win32::POINT* corners, const TransformedBox* a,
                                      const TransformedBox* b);
// 1 when a solid pixel of the mask (its top-left at maskX, maskY) falls inside the box placed by its hot
// spot at (boxX, boxY), turned by `angle` and scaled.
VTRS2_API int TestRotatedMaskPixels(const ImageMask* mask, const win32::BYTE* bits, double maskX,
                                    double maskY, win32::LONG maskWidth, win32::LONG maskHeight, double boxX,
                                    double boxY, win32::LONG boxHotX, win32::LONG boxHotY,
                                    win32::LONG boxWidth, win32::LONG boxHeight, double scaleX, double scaleY,
                                    double angle, win32::LONG heightLimit);
// 1 when the rectangle (right and bottom exclusive) meets a solid pixel of the mask placed by its hot spot
// at (x, y), scaled and turned.
VTRS2_API int TestRectOverlapTransformedMask(const win32::RECT* rect, const ImageMask* mask, win32::LONG x,
                                             win32::LONG y, float scaleX, float scaleY, float angle);
// 1 when the offset (dx, dy) from a box's hot spot, taken back through its angle and scales, lies inside
// the box's unturned rectangle.
VTRS2_API int TestPointInRotatedBox(const win32::RECT* box, win32::LONG hotX, win32::LONG hotY, float scaleX,
                                    float scaleY, float angle, win32::LONG dx, win32::LONG dy);
// The same against the solid pixels of an image mask, relative to its hot spot.
VTRS2_API int TestTransformedImageMaskPoint(const ImageMask* mask, float scaleX, float scaleY, float angle,
                                            win32::LONG dx, win32::LONG dy);
