// Bank images as bitmaps in the palette of an application context.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

struct AppContext;

VTRS2_API void FillDib(win32::BITMAPINFO* dib, win32::COLORREF color);
VTRS2_API void RemapDibToContextPalette(win32::BITMAPINFO* dib, AppContext* context,
                                        const win32::BYTE* table);
VTRS2_API int IsImageFullyTransparent(AppContext* context, win32::DWORD image);
VTRS2_API int StretchImageToBuffer(AppContext* context, win32::DWORD image, int width, int height,
                                   void* buffer);
VTRS2_API int ImageToDib(AppContext* context, win32::DWORD image, int code, win32::BITMAPINFO* dib);
