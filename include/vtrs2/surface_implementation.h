// The polymorphic back end of every surface: memory surfaces, GDI surfaces and the display driver's
// surfaces all derive from cSurfaceImplementation and override the operations they do differently.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/pixel_routines.h"
#include "vtrs2/surface_operations.h"
#include "win32/types.h"

#include <cstdint>

class cSurface;
class CEffectEx;
class CInputFile;
class COutputFile;
struct SharedPalette;

struct DisplayModeInfo {
    int width;
    int height;
    int bitsPerPixel;
};
using EnumDisplayModesCallback = int (*)(const DisplayModeInfo* mode, void* argument);
// Filter pass callback: (destination block, source block, argument) -> colour; blocks of COLORREFs.
using BlockFilterCallback = win32::COLORREF (*)(const win32::COLORREF* destinationBlock,
                                                const win32::COLORREF* sourceBlock, win32::LPARAM argument);
using LostDeviceCallback = void (*)(cSurface* owner, win32::LPARAM argument);

enum class SurfaceSlot : int {
    DestroyAndFree = 0,
#define VTR_SLOT_ENUM(slot, ret, name, params, args, base, error, front) name = slot,
    VTR_SURFACE_OPERATIONS(VTR_SLOT_ENUM)
#undef VTR_SLOT_ENUM
        Count
};
static_assert(static_cast<int>(SurfaceSlot::Count) == 101);

// Type codes that GetType answers.
enum SurfaceTypeCode : int {
    SurfaceTypeMemory = 1,
    SurfaceTypeDC = 2,
    SurfaceTypeDIBSection = 3,
    SurfaceTypeDIBDC = 4,
};

// Flags word: the processor feature bits, and the ownership of the alpha plane.
constexpr std::uint32_t SurfaceFlagMMX = 0x1;
constexpr std::uint32_t SurfaceFlagOwnsAlpha = 0x100;

// Bits per pixel (0..32) to the depth index of every per-depth table, and back.
VTRS2_API int DepthIndexOf(int bitsPerPixel);
VTRS2_API int DepthOfIndex(int depthIndex);
// The processor feature word that every new implementation ORs into its flags.
VTRS2_API std::uint32_t GetCpuFeatureWord();

class VTRS2_API cSurfaceImplementation {
public:
    cSurfaceImplementation();
    // A copy shares the source's palette, pixels and alpha plane; it never owns the alpha plane, so that
    // only the source frees it.
    cSurfaceImplementation(const cSurfaceImplementation& other);
    cSurfaceImplementation& operator=(const cSurfaceImplementation& other);
    virtual ~cSurfaceImplementation();

    // Slot 0: runs the destructor; bit 0 of the flags also frees the object. Answers the old address.
    virtual cSurfaceImplementation* DestroyAndFree(unsigned flags);

#define VTR_SLOT_DECLARE_Own(ret, name, params) virtual ret name params;
#define VTR_SLOT_DECLARE_Zero(ret, name, params) virtual ret name params;
#define VTR_SLOT_DECLARE_Nothing(ret, name, params) virtual ret name params;
#define VTR_SLOT_DECLARE_MinusOne(ret, name, params) virtual ret name params;
#define VTR_SLOT_DECLARE_One(ret, name, params) virtual ret name params;
#define VTR_SLOT_DECLARE_This(ret, name, params) virtual ret name params;
#define VTR_SLOT_DECLARE_Pure(ret, name, params) virtual ret name params = 0;
#define VTR_SLOT_DECLARE(slot, ret, name, params, args, base, error, front)                                  \
    VTR_SLOT_DECLARE_##base(ret, name, params)
    VTR_SURFACE_OPERATIONS(VTR_SLOT_DECLARE)
#undef VTR_SLOT_DECLARE
#undef VTR_SLOT_DECLARE_Own
#undef VTR_SLOT_DECLARE_Zero
#undef VTR_SLOT_DECLARE_Nothing
#undef VTR_SLOT_DECLARE_MinusOne
#undef VTR_SLOT_DECLARE_One
#undef VTR_SLOT_DECLARE_This
#undef VTR_SLOT_DECLARE_Pure

    // Exported members that are not virtual.
    int InitSize(const cSurfaceImplementation& prototype, int width, int height, int pitch);
    win32::BYTE* AllocateAlphaPlane();
    void SetAlphaPlane(win32::BYTE* plane, int signedPitch);
    void FreeAlphaPlane();
    win32::BYTE* DetachAlphaPlane(int* pitch);
    int SetAlphaRows(const win32::BYTE* rows, int signedPitch);
    int GetSize(int& width, int& height, int& depth) const;
    win32::COLORREF GetPixelColorFast(int x, int y) const;
    win32::BYTE GetPixelByteFast(int x, int y) const;
    void SetPixelFast(int x, int y, win32::COLORREF color);
    void SetPixelByteFast(int x, int y, win32::BYTE value);
    int TestOpaqueOverlap(cSurfaceImplementation& other, int otherX, int otherY, int x, int y, int width,
                          int height);
    win32::BYTE* LockBuffer();
    void UnlockBuffer(void* ignored);
    int BlitOtherDepth(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
                       int height, int mode, int effect, win32::DWORD coefficient, int flags);

    // Row y of the pixels and of the alpha plane.
    win32::BYTE* Row(int y) const {
        return pixels + static_cast<std::intptr_t>(y) * signedPitch;
    }
    win32::BYTE* AlphaRow(int y) const {
        return alphaPlane + static_cast<std::intptr_t>(y) * signedAlphaPitch;
    }

    // The record, in the order drivers and the pixel routines rely on.
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t clipLeft = 0;
    std::int32_t clipTop = 0;
    std::int32_t clipRight = 0;
    std::int32_t clipBottom = 0;
    std::int32_t depth = 0;
    std::int32_t depthIndex = 0;
    std::uint32_t transparentColor = 0;
    std::uint32_t transparentValue = 0;
    std::uint32_t flags = 0;
    SharedPalette* palette = nullptr;
    void* pixelAllocation = nullptr;
    win32::BYTE* pixels = nullptr;
    std::int32_t pitch = 0;
    std::int32_t signedPitch = 0;
    std::int32_t bytesPerPixel = 0;
    std::int32_t bottomUp = 0;
    void* alphaAllocation = nullptr;
    win32::BYTE* alphaPlane = nullptr;
    std::int32_t alphaPitch = 0;
    std::int32_t signedAlphaPitch = 0;
    const PixelRoutineTable* routines = nullptr;
};

// The implementation of every empty cSurface: one static instance, answering failure to every operation.
template <typename T> constexpr T SurfaceZero() {
    return T{};
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
class VTRS2_API cErrorSurface final : public cSurfaceImplementation {
public:
    cErrorSurface() = default;
    cSurfaceImplementation* DestroyAndFree(unsigned flags) override;
#define VTR_ERROR_OVERRIDE_Zero(ret, name, params)                                                           \
    ret name params override {                                                                               \
        return SurfaceZero<ret>();                                                                           \
    }
#define VTR_ERROR_OVERRIDE_Nothing(ret, name, params)                                                        \
    ret name params override {}
#define VTR_ERROR_OVERRIDE_Keep(ret, name, params)
#define VTR_ERROR_OVERRIDE(slot, ret, name, params, args, base, error, front)                                \
    VTR_ERROR_OVERRIDE_##error(ret, name, params)
    VTR_SURFACE_OPERATIONS(VTR_ERROR_OVERRIDE)
#undef VTR_ERROR_OVERRIDE
#undef VTR_ERROR_OVERRIDE_Zero
#undef VTR_ERROR_OVERRIDE_Nothing
#undef VTR_ERROR_OVERRIDE_Keep
};
#pragma GCC diagnostic pop

// The one error surface of the process.
VTRS2_API cSurfaceImplementation* GetErrorSurface();
