// The table of the surface implementation's virtual operations, in slot order. Everything that lists the
// operations (the slot enum, the virtual declarations, the trivial base bodies, the error surface and the
// front end's plain forwarders) is expanded from this one table.
#pragma once

// X(slot, return type, name, parameters, arguments, base body, error-surface body, front-end forwarder)
//   base body:  Zero, Nothing, MinusOne, One, This (trivial, expanded), Own (written by hand), Pure
//   error body: Zero, Nothing (overridden in the error surface), Keep (the base body stays)
//   forwarder:  Fwd (cSurface gets a member of the same name that only forwards), Own (written by hand)
#define VTR_SURFACE_OPERATIONS(X)                                                                            \
    X(1, void, Delete, (), (), Own, Keep, Own)                                                               \
    X(2, cSurfaceImplementation*, CreateSameKind, (int width, int height), (width, height), Pure, Zero, Own) \
    X(3, int, ReservedQueryA, (), (), Zero, Keep, Own)                                                       \
    X(4, int, ReservedQueryB, (), (), Zero, Keep, Fwd)                                                       \
    X(5, void, EnumDisplayModes, (EnumDisplayModesCallback callback, void* argument), (callback, argument),  \
      Nothing, Keep, Fwd)                                                                                    \
    X(6, int, EnterFullScreen, (win32::HWND window, int width, int height, int depth),                       \
      (window, width, height, depth), Zero, Keep, Fwd)                                                       \
    X(7, void, LeaveFullScreen, (win32::HWND window), (window), Nothing, Keep, Fwd)                          \
    X(8, void, CopyFullScreenState, (cSurfaceImplementation * other), (other), Nothing, Keep, Own)           \
    X(9, int, WaitVBlank, (), (), Zero, Keep, Fwd)                                                           \
    X(10, int, GetScanLine, (), (), MinusOne, Zero, Own)                                                     \
    X(11, int, NotifyScreenModeChange, (int code), (code), Zero, Keep, Fwd)                                  \
    X(12, int, AllocatePixels, (int width, int height), (width, height), Zero, Keep, Own)                    \
    X(13, void, SelectDepthRoutines, (int depth), (depth), Own, Nothing, Own)                                \
    X(14, int, SetDepth, (int depth), (depth), Own, Zero, Own)                                               \
    X(15, int, GetType, (), (), One, Keep, Own)                                                              \
    X(16, int, GetDriverInfo, (void* block), (block), Zero, Keep, Fwd)                                       \
    X(17, void, SetOrigin, (int x, int y), (x, y), Nothing, Keep, Own)                                       \
    X(18, int, GetOrigin, (), (), Zero, Keep, Own)                                                           \
    X(19, int, SupportsOrigin, (), (), Zero, Keep, Own)                                                      \
    X(20, int, LockPixels, (), (), Own, Zero, Own)                                                           \
    X(21, void, UnlockPixels, (), (), Nothing, Keep, Fwd)                                                    \
    X(22, int, IsDCOnly, (), (), Zero, Keep, Own)                                                            \
    X(23, win32::HDC, GetDeviceContext, (), (), Zero, Keep, Fwd)                                             \
    X(24, void, ReleaseDeviceContext, (win32::HDC dc), (dc), Nothing, Keep, Fwd)                             \
    X(25, void, GetClipRect, (int& x, int& y, int& width, int& height), (x, y, width, height), Own, Nothing, \
      Own)                                                                                                   \
    X(26, void, SetClipRect, (int x, int y, int width, int height), (x, y, width, height), Own, Nothing,     \
      Own)                                                                                                   \
    X(27, void, ResetClipRect, (), (), Own, Nothing, Fwd)                                                    \
    X(28, void, SetPixelIndex, (int x, int y, int index), (x, y, index), Own, Nothing, Own)                  \
    X(29, void, SetPixel, (int x, int y, win32::COLORREF color), (x, y, color), Own, Nothing, Own)           \
    X(30, int, GetPixelValue, (int x, int y, win32::DWORD& value), (x, y, value), Own, Zero, Own)            \
    X(31, int, GetPixel, (int x, int y, win32::COLORREF& color), (x, y, color), Own, Zero, Own)              \
    X(32, int, BlitFromDC,                                                                                   \
      (int x, int y, win32::HDC source, int sourceX, int sourceY, int width, int height, int extraA,         \
       int extraB, int extraC),                                                                              \
      (x, y, source, sourceX, sourceY, width, height, extraA, extraB, extraC), Zero, Keep, Own)              \
    X(33, int, Blit,                                                                                         \
      (cSurfaceImplementation * destination, int x, int y, int sourceX, int sourceY, int width, int height,  \
       int mode, int ink, win32::LPARAM parameter, int flags),                                               \
      (destination, x, y, sourceX, sourceY, width, height, mode, ink, parameter, flags), Own, Zero, Own)     \
    X(34, int, TransformBlit,                                                                                \
      (cSurfaceImplementation * destination, float x, float y, int hotSpotX, int hotSpotY, int sourceX,      \
       int sourceY, int width, int height, const float* scale, float angle, int mode, int ink,               \
       win32::LPARAM parameter, int flags),                                                                  \
      (destination, x, y, hotSpotX, hotSpotY, sourceX, sourceY, width, height, scale, angle, mode, ink,      \
       parameter, flags),                                                                                    \
      Own, Keep, Own)                                                                                        \
    X(35, int, ScrollRect, (int sourceX, int sourceY, int x, int y, int width, int height),                  \
      (sourceX, sourceY, x, y, width, height), Own, Zero, Fwd)                                               \
    X(36, int, BlitSameDepth,                                                                                \
      (cSurfaceImplementation * destination, int x, int y, int sourceX, int sourceY, int width, int height,  \
       int mode, PixelCallback callback, win32::LPARAM argument),                                            \
      (destination, x, y, sourceX, sourceY, width, height, mode, callback, argument), Own, Zero, Own)        \
    X(37, int, BlitThroughFilter,                                                                            \
      (cSurfaceImplementation * destination, int x, int y, int sourceX, int sourceY, int width, int height,  \
       int blockWidth, int blockHeight, int blockOffsetX, int blockOffsetY, int marginX, int marginY,        \
       BlockFilterCallback callback, win32::LPARAM argument),                                                \
      (destination, x, y, sourceX, sourceY, width, height, blockWidth, blockHeight, blockOffsetX,            \
       blockOffsetY, marginX, marginY, callback, argument),                                                  \
      Own, Zero, Own)                                                                                        \
    X(38, int, StretchBlitFromDC,                                                                            \
      (int x, int y, int width, int height, win32::HDC source, int sourceX, int sourceY, int sourceWidth,    \
       int sourceHeight, int extraA, int extraB, int extraC),                                                \
      (x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, extraA, extraB, extraC),    \
      Zero, Keep, Own)                                                                                       \
    X(39, int, StretchBlit,                                                                                  \
      (cSurfaceImplementation * destination, int x, int y, int width, int height, int sourceX, int sourceY,  \
       int sourceWidth, int sourceHeight, int mode, int ink, win32::LPARAM parameter, int flags),            \
      (destination, x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight, mode, ink, parameter,  \
       flags),                                                                                               \
      Own, Zero, Own)                                                                                        \
    X(40, int, MirrorHorizontal, (int x, int y, int width, int height), (x, y, width, height), Own, Zero,    \
      Own)                                                                                                   \
    X(41, int, MirrorVertical, (int x, int y, int width, int height), (x, y, width, height), Own, Zero, Own) \
    X(42, int, GetOpaqueBounds, (win32::RECT * bounds), (bounds), Own, Zero, Fwd)                            \
    X(43, int, FillRectGradient,                                                                             \
      (int x, int y, int width, int height, const win32::COLORREF* corners, int extra),                      \
      (x, y, width, height, corners, extra), Zero, Keep, Own)                                                \
    X(44, int, FillRectValue, (int x, int y, int width, int height, win32::DWORD value),                     \
      (x, y, width, height, value), Own, Zero, Own)                                                          \
    X(45, int, FillRect, (int x, int y, int width, int height, win32::COLORREF color),                       \
      (x, y, width, height, color), Own, Zero, Own)                                                          \
    X(46, int, Rotate,                                                                                       \
      (cSurfaceImplementation * destination, float angle, int antialias, win32::COLORREF background,         \
       int transparency),                                                                                    \
      (destination, angle, antialias, background, transparency), Own, Keep, Own)                             \
    X(47, int, RotateQuarter, (cSurfaceImplementation * destination, int direction),                         \
      (destination, direction), Own, Zero, Own)                                                              \
    X(48, int, TextOutWide,                                                                                  \
      (win32::LPCWSTR text, int length, int x, int y, win32::UINT align, win32::RECT* clip,                  \
       win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink, win32::LPARAM parameter,   \
       int flags),                                                                                           \
      (text, length, x, y, align, clip, color, font, reserved, ink, parameter, flags), Own, Zero, Fwd)       \
    X(49, int, TextOutAnsi,                                                                                  \
      (win32::LPCSTR text, int length, int x, int y, win32::UINT align, win32::RECT* clip,                   \
       win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink, win32::LPARAM parameter,   \
       int flags),                                                                                           \
      (text, length, x, y, align, clip, color, font, reserved, ink, parameter, flags), Own, Zero, Fwd)       \
    X(50, int, DrawTextWide,                                                                                 \
      (win32::LPCWSTR text, int length, win32::RECT* rect, win32::UINT format, win32::COLORREF color,        \
       win32::HFONT font, win32::LPARAM reserved, int ink, win32::LPARAM parameter, int flags,               \
       int leftMargin, int rightMargin, int tabLength),                                                      \
      (text, length, rect, format, color, font, reserved, ink, parameter, flags, leftMargin, rightMargin,    \
       tabLength),                                                                                           \
      Own, Zero, Fwd)                                                                                        \
    X(51, int, DrawTextAnsi,                                                                                 \
      (win32::LPCSTR text, int length, win32::RECT* rect, win32::UINT format, win32::COLORREF color,         \
       win32::HFONT font, win32::LPARAM reserved, int ink, win32::LPARAM parameter, int flags,               \
       int leftMargin, int rightMargin, int tabLength),                                                      \
      (text, length, rect, format, color, font, reserved, ink, parameter, flags, leftMargin, rightMargin,    \
       tabLength),                                                                                           \
      Own, Zero, Fwd)                                                                                        \
    X(52, int, IsFullyTransparent, (), (), Own, Zero, Fwd)                                                   \
    X(53, int, IsOpaque, (), (), Own, Zero, Fwd)                                                             \
    X(54, int, ReplaceColor, (win32::COLORREF newColor, win32::COLORREF oldColor), (newColor, oldColor),     \
      Own, Zero, Fwd)                                                                                        \
    X(55, void, RemapToPalette, (SharedPalette * palette), (palette), Own, Nothing, Own)                     \
    X(56, void, RemapPixels, (const win32::BYTE* table), (table), Own, Nothing, Own)                         \
    X(57, int, SetPalette, (SharedPalette * palette, int remap), (palette, remap), Own, Zero, Own)           \
    X(58, int, SetLogPalette, (const win32::LOGPALETTE* palette, int remap), (palette, remap), Own, Zero,    \
      Own)                                                                                                   \
    X(59, int, CopyPalette, (cSurfaceImplementation * other, int remap), (other, remap), Own, Zero, Own)     \
    X(60, int, GetPaletteEntries, (win32::PALETTEENTRY * entries, int first, int count),                     \
      (entries, first, count), Own, Zero, Fwd)                                                               \
    X(61, SharedPalette*, GetPalette, (), (), Own, Zero, Fwd)                                                \
    X(62, int, GetLogPalette, (win32::LOGPALETTE * palette), (palette), Own, Zero, Fwd)                      \
    X(63, int, GetNearestIndex, (win32::COLORREF color), (color), Own, Zero, Fwd)                            \
    X(64, win32::COLORREF, GetPaletteColor, (int index), (index), Own, Zero, Fwd)                            \
    X(65, int, GetBlackIndex, (), (), Own, Zero, Fwd)                                                        \
    X(66, int, SetWindow, (win32::HWND window), (window), One, Zero, Fwd)                                    \
    X(67, int, IsPacked, (), (), Zero, Keep, Own)                                                            \
    X(68, int, ReadPixels, (win32::HANDLE file), (file), Zero, Keep, Own)                                    \
    X(69, int, WritePixels, (win32::HANDLE file), (file), Zero, Keep, Own)                                   \
    X(70, void, SetColorKey, (win32::COLORREF color), (color), Own, Keep, Own)                               \
    X(71, win32::COLORREF, GetColorKey, (), (), Own, Keep, Fwd)                                              \
    X(72, win32::DWORD, GetColorKeyValue, (), (), Own, Keep, Fwd)                                            \
    X(73, void, SetOpaque, (int opaque), (opaque), Nothing, Keep, Own)                                       \
    X(74, int, CreateCollisionMask, (void* buffer, int flags), (buffer, flags), Own, Keep, Fwd)              \
    X(75, void, MakeCurrent, (), (), Nothing, Keep, Fwd)                                                     \
    X(76, int, BeginDraw, (int clear, win32::COLORREF color), (clear, color), Zero, Keep, Fwd)               \
    X(77, int, EndDraw, (), (), Zero, Keep, Fwd)                                                             \
    X(78, int, Present, (), (), Zero, Keep, Fwd)                                                             \
    X(79, cSurfaceImplementation*, GetScreen, (), (), Zero, Keep, Own)                                       \
    X(80, void, FinishDrawing, (), (), Nothing, Keep, Own)                                                   \
    X(81, void, SyncWindowSize, (), (), Nothing, Keep, Own)                                                  \
    X(82, void, ResetDevice, (), (), Nothing, Keep, Own)                                                     \
    X(83, void, ReleaseDeviceResources, (), (), Nothing, Keep, Fwd)                                          \
    X(84, cSurfaceImplementation*, GetDrawTarget, (), (), This, Keep, Own)                                   \
    X(85, void, FlushBatch, (int flag), (flag), Nothing, Keep, Fwd)                                          \
    X(86, void, EnableDepthBuffer, (int flag), (flag), Nothing, Keep, Fwd)                                   \
    X(87, int, CanDrawLine, (), (), Zero, Keep, Own)                                                         \
    X(88, int, DrawLine, (int x1, int y1, int x2, int y2, int thickness, win32::COLORREF color),             \
      (x1, y1, x2, y2, thickness, color), Zero, Keep, Own)                                                   \
    X(89, int, CanBlitFrom, (), (), Zero, Keep, Own)                                                         \
    X(90, int, BlitFrom,                                                                                     \
      (cSurfaceImplementation * source, int x, int y, int sourceX, int sourceY, int width, int height,       \
       int mode, int ink, win32::LPARAM parameter, int flags),                                               \
      (source, x, y, sourceX, sourceY, width, height, mode, ink, parameter, flags), Zero, Keep, Own)         \
    X(91, int, CanStretchBlitFrom, (), (), Zero, Keep, Own)                                                  \
    X(92, int, StretchBlitFrom,                                                                              \
      (cSurfaceImplementation * source, int x, int y, int width, int height, int sourceX, int sourceY,       \
       int sourceWidth, int sourceHeight, int mode, int ink, win32::LPARAM parameter, int flags),            \
      (source, x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight, mode, ink, parameter,       \
       flags),                                                                                               \
      Zero, Keep, Own)                                                                                       \
    X(93, int, TransformBlitFrom,                                                                            \
      (cSurfaceImplementation * source, float x, float y, int hotSpotX, int hotSpotY, int sourceX,           \
       int sourceY, int width, int height, const float* scale, float angle, int mode, int ink,               \
       win32::LPARAM parameter, int flags),                                                                  \
      (source, x, y, hotSpotX, hotSpotY, sourceX, sourceY, width, height, scale, angle, mode, ink,           \
       parameter, flags),                                                                                    \
      Zero, Keep, Own)                                                                                       \
    X(94, int, UploadFrom, (cSurfaceImplementation * source), (source), Zero, Keep, Own)                     \
    X(95, void, AttachEffect, (CEffectEx * effect), (effect), Nothing, Keep, Own)                            \
    X(96, void, DetachEffect, (CEffectEx * effect), (effect), Nothing, Keep, Own)                            \
    X(97, int, CompileEffect, (CEffectEx * effect, char* message, int messageSize),                          \
      (effect, message, messageSize), Zero, Keep, Own)                                                       \
    X(98, int, SetEffectParameter, (CEffectEx * effect, int index), (effect, index), Zero, Keep, Own)        \
    X(99, void, AddLostDeviceCallback,                                                                       \
      (LostDeviceCallback callback, cSurface * owner, win32::LPARAM argument), (callback, owner, argument),  \
      Nothing, Keep, Own)                                                                                    \
    X(100, void, RemoveLostDeviceCallback,                                                                   \
      (LostDeviceCallback callback, cSurface * owner, win32::LPARAM argument), (callback, owner, argument),  \
      Nothing, Keep, Own)
