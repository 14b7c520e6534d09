// The table of per-pixel routines that every software surface of one depth draws through.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

class cSurfaceImplementation;

// Colour callback of the callback blits: (destination colour, source colour, argument) -> colour.
using PixelCallback = win32::COLORREF (*)(win32::COLORREF destination, win32::COLORREF source,
                                          win32::LPARAM argument);

// The fourteen routines of one depth. Rectangles arrive clipped to both surfaces and pixels locked; the
// routines check nothing. For the blits the table is the source's and the first surface the destination.
struct PixelRoutineTable {
    using SetPixelRoutine = void (*)(cSurfaceImplementation& surface, int x, int y, win32::COLORREF color);
    using GetPixelRoutine = win32::DWORD (*)(const cSurfaceImplementation& surface, int x, int y);
    using FillRectRoutine = void (*)(cSurfaceImplementation& surface, int x, int y, int pitch, int width,
                                     int height, win32::DWORD value);
    using CopyRoutine = void (*)(cSurfaceImplementation& destination, int x, int y,
                                 const cSurfaceImplementation& source, int sourceX, int sourceY, int width,
                                 int height);
    using InkBlitRoutine = void (*)(cSurfaceImplementation& destination, int x, int y,
                                    const cSurfaceImplementation& source, int sourceX, int sourceY, int width,
                                    int height, int ink, win32::DWORD parameter);
    using CallbackBlitRoutine = void (*)(cSurfaceImplementation& destination, int x, int y,
                                         const cSurfaceImplementation& source, int sourceX, int sourceY,
                                         int width, int height, PixelCallback callback,
                                         win32::LPARAM argument);
    using MirrorRowsRoutine = void (*)(cSurfaceImplementation& surface, int x, int y, int pitch, int width,
                                       int height);
    using ReplaceValueRoutine = void (*)(cSurfaceImplementation& surface, int x, int y, int width, int height,
                                         int rowBytes, win32::DWORD newValue, win32::DWORD oldValue);
    using ConvertBlitRoutine = void (*)(cSurfaceImplementation& destination, int x, int y, int rowBytes,
                                        const cSurfaceImplementation& source, int sourceX, int sourceY,
                                        int width, int height);
    using MeasureRunsRoutine = win32::DWORD (*)(win32::BYTE* header, const win32::BYTE* pixels, int width,
                                                int height, int pitch, win32::DWORD transparent);
    using EncodeRunsRoutine = void (*)(win32::BYTE* buffer, const win32::BYTE* pixels, int width, int height,
                                       int pitch, win32::DWORD transparent);

    SetPixelRoutine SetPixel;
    GetPixelRoutine GetPixel;
    FillRectRoutine FillRect;
    CopyRoutine CopyTransparent;
    InkBlitRoutine InkBlitTransparent;
    CopyRoutine CopyOpaque;
    InkBlitRoutine InkBlitOpaque;
    CallbackBlitRoutine CallbackBlitTransparent;
    CallbackBlitRoutine CallbackBlitOpaque;
    MirrorRowsRoutine MirrorRows;
    ReplaceValueRoutine ReplaceValue;
    ConvertBlitRoutine ConvertBlit;
    MeasureRunsRoutine MeasureRuns;
    EncodeRunsRoutine EncodeRuns;
};

// The plain routine table of a depth index (0..4 for 8, 15, 16, 24, 32 bits). Slots that a depth does not
// have yet are null and the surface operations refuse them.
VTRS2_API const PixelRoutineTable* GetPixelRoutineTable(int depthIndex);
// The table for sources that hold transparent-run packed pixels: only the copies and ink blits are filled.
VTRS2_API const PixelRoutineTable* GetPackedSourceRoutineTable(int depthIndex);
