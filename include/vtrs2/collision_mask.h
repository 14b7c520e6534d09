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
