// Surfaces whose pixels lie in ordinary memory: owned buffers, byte views over alpha planes, and views over
// the bits of a packed device-independent bitmap.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/surface_implementation.h"

// Owns its pixels; size and depth come from SetDepth and AllocatePixels, or from a prototype.
class VTRS2_API cBufferSurface : public cSurfaceImplementation {
public:
    cBufferSurface() = default;
    cBufferSurface(const cBufferSurface&) = delete;
    cBufferSurface& operator=(const cBufferSurface&) = delete;
    ~cBufferSurface() override;
    cSurfaceImplementation* DestroyAndFree(unsigned flags) override;
    cSurfaceImplementation* CreateSameKind(int width, int height) override;
    int AllocatePixels(int width, int height) override;
    // Height x pitch bytes from the first row on, through the raw file functions.
    int ReadPixels(win32::HANDLE file) override;
    int WritePixels(win32::HANDLE file) override;
};

// An 8-bit byte surface: a view over somebody else's plane, or a free-standing byte buffer.
class VTRS2_API cAlphaBufferSurface : public cSurfaceImplementation {
public:
    cAlphaBufferSurface() = default;
    cAlphaBufferSurface(win32::BYTE* bytes, int width, int height, int signedPitch);
    cAlphaBufferSurface(const cAlphaBufferSurface&) = delete;
    cAlphaBufferSurface& operator=(const cAlphaBufferSurface&) = delete;
    ~cAlphaBufferSurface() override;
    cSurfaceImplementation* DestroyAndFree(unsigned flags) override;
    cSurfaceImplementation* CreateSameKind(int width, int height) override;

    std::int32_t ownsPixels = 0;
};

// A view over the bits of a packed bitmap that its creator keeps alive; width 0 when the header is refused.
class VTRS2_API cDIBSurface : public cSurfaceImplementation {
public:
    cDIBSurface(const win32::BITMAPINFOHEADER* header, void* bits, int makePalette);
    cDIBSurface(const cDIBSurface&) = delete;
    cDIBSurface& operator=(const cDIBSurface&) = delete;
    ~cDIBSurface() override;
    cSurfaceImplementation* DestroyAndFree(unsigned flags) override;
    cSurfaceImplementation* CreateSameKind(int width, int height) override;
    int SetDepth(int depth) override;
};

// Largest width or height of a memory surface: keeps every row and plane size inside 31 bits.
constexpr int MaxSurfaceSide = 32767;
