// A texture put on another surface: drawn through the destination's screen when it has one, read back into
// its pixels otherwise. Shared by the texture kinds, the render texture and the screen.
#pragma once

#include "vtrs2/surface_implementation.h"
#include "win32/d3d8.h"

// The library's blit flags as the workers take them: the tiling and hold flags, and replace for a copy of
// the alpha plane.
int WorkerFlags(int flags);

// The flags of a transformed blit: 1 smooths, 2 copies the alpha (the workers' replace).
int TransformFlags(int flags);

// The ink-1 rule of Blit and StretchBlit: parameter 0 draws as a plain copy, 128 draws nothing (false).
bool ApplyInkOneRule(int& ink, win32::LPARAM parameter);

int BlitTexture(win32::IDirect3DTexture8* texture, cSurfaceImplementation* destination, int x, int y,
                int sourceX, int sourceY, int width, int height, int mode, int ink, win32::LPARAM parameter,
                int flags);
int StretchBlitTexture(win32::IDirect3DTexture8* texture, cSurfaceImplementation* destination, int x, int y,
                       int width, int height, int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                       int mode, int ink, win32::LPARAM parameter, int flags);
int TransformBlitTexture(win32::IDirect3DTexture8* texture, cSurfaceImplementation* destination, float x,
                         float y, int hotSpotX, int hotSpotY, int sourceX, int sourceY, int width, int height,
                         const float* scale, float angle, int mode, int ink, win32::LPARAM parameter,
                         int flags);

// A texture's rectangle into a library surface's pixels at (x, y), cut to the texture and to the
// destination's clip rectangle: colours at the destination's depth; alpha into its alpha plane, or, without
// one, its transparent colour where alpha is 0. 0 when nothing is left or the pixels cannot be had.
int CopyTextureToSurface(cSurfaceImplementation* destination, int x, int y, win32::IDirect3DTexture8* texture,
                         int sourceX, int sourceY, int width, int height);
