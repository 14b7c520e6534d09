// The base record of every surface implementation, its trivial operations, the alpha plane and the error
// surface.
#include "vtrs2/surface_implementation.h"

#include "vtrs2/memory.h"
#include "vtrs2/palettes.h"

#include <array>
#include <cstdlib>
#include <cstring>

using namespace win32;

namespace {

constexpr std::array<int, 5> canonicalDepths = {8, 15, 16, 24, 32};

std::uint32_t ComputeCpuFeatureWord() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    std::uint32_t word = 0;
    if (__builtin_cpu_supports("mmx")) {
        word |= 1;
        if (__builtin_cpu_supports("sse")) {
            word |= 2;
            if (__builtin_cpu_supports("sse2")) word |= 4;
        }
    }
    return word;
#else
    return 0;
#endif
}

} // namespace

int DepthIndexOf(int bitsPerPixel) {
    if (bitsPerPixel <= 8) return 0;
    if (bitsPerPixel <= 15) return 1;
    if (bitsPerPixel == 16) return 2;
    if (bitsPerPixel <= 24) return 3;
    return 4;
}

int DepthOfIndex(int depthIndex) {
    if (depthIndex < 0 || depthIndex > 4) return 0;
    return canonicalDepths[static_cast<std::size_t>(depthIndex)];
}

std::uint32_t GetCpuFeatureWord() {
    static const std::uint32_t word = ComputeCpuFeatureWord();
    return word;
}

cSurfaceImplementation::cSurfaceImplementation() : flags(GetCpuFeatureWord()) {}

cSurfaceImplementation::cSurfaceImplementation(const cSurfaceImplementation& other) {
    *this = other;
}

cSurfaceImplementation& cSurfaceImplementation::operator=(const cSurfaceImplementation& other) {
    if (this == &other) return *this;
    width = other.width;
    height = other.height;
    clipLeft = other.clipLeft;
    clipTop = other.clipTop;
    clipRight = other.clipRight;
    clipBottom = other.clipBottom;
    depth = other.depth;
    depthIndex = other.depthIndex;
    transparentColor = other.transparentColor;
    transparentValue = other.transparentValue;
    // Two records that both believed they owned the alpha plane would free it twice.
    flags = other.flags & ~SurfaceFlagOwnsAlpha;
    // Each record holds its own reference to the palette it shares.
    if (palette != other.palette) {
        AddRefSharedPalette(other.palette);
        ReleaseSharedPalette(palette);
        palette = other.palette;
    }
    pixelAllocation = other.pixelAllocation;
    pixels = other.pixels;
    pitch = other.pitch;
    signedPitch = other.signedPitch;
    bytesPerPixel = other.bytesPerPixel;
    bottomUp = other.bottomUp;
    alphaAllocation = other.alphaAllocation;
    alphaPlane = other.alphaPlane;
    alphaPitch = other.alphaPitch;
    signedAlphaPitch = other.signedAlphaPitch;
    routines = other.routines;
    return *this;
}

cSurfaceImplementation::~cSurfaceImplementation() {
    ReleaseSharedPalette(palette);
    palette = nullptr;
    FreeAlphaPlane();
}

cSurfaceImplementation* cSurfaceImplementation::DestroyAndFree(unsigned freeFlags) {
    cSurfaceImplementation* self = this;
    if (freeFlags & 1)
        delete this;
    else
        this->~cSurfaceImplementation();
    return self;
}

// Trivial base bodies, expanded from the operation table.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define VTR_BASE_BODY_Own(ret, name, params)
#define VTR_BASE_BODY_Pure(ret, name, params)
#define VTR_BASE_BODY_Zero(ret, name, params)                                                                \
    ret cSurfaceImplementation::name params {                                                                \
        return SurfaceZero<ret>();                                                                           \
    }
#define VTR_BASE_BODY_Nothing(ret, name, params)                                                             \
    ret cSurfaceImplementation::name params {}
#define VTR_BASE_BODY_MinusOne(ret, name, params)                                                            \
    ret cSurfaceImplementation::name params {                                                                \
        return -1;                                                                                           \
    }
#define VTR_BASE_BODY_One(ret, name, params)                                                                 \
    ret cSurfaceImplementation::name params {                                                                \
        return 1;                                                                                            \
    }
#define VTR_BASE_BODY_This(ret, name, params)                                                                \
    ret cSurfaceImplementation::name params {                                                                \
        return this;                                                                                         \
    }
#define VTR_BASE_BODY(slot, ret, name, params, args, base, error, front)                                     \
    VTR_BASE_BODY_##base(ret, name, params)
VTR_SURFACE_OPERATIONS(VTR_BASE_BODY)
#undef VTR_BASE_BODY
#pragma GCC diagnostic pop

void cSurfaceImplementation::Delete() {
    DestroyAndFree(1);
}

void cSurfaceImplementation::SelectDepthRoutines(int newDepth) {
    depth = newDepth;
    depthIndex = DepthIndexOf(newDepth);
    bytesPerPixel = (newDepth + 7) / 8;
    routines = GetPixelRoutineTable(depthIndex);
}

// An 8-bit surface takes the default shared palette.
int cSurfaceImplementation::SetDepth(int newDepth) {
    SelectDepthRoutines(newDepth);
    bottomUp = 0;
    if (newDepth > 8) return 1;
    SharedPalette* defaultPalette = GetSharedPalette(GetDefaultModePalette(3)->Log());
    if (!defaultPalette) return 0;
    ReleaseSharedPalette(palette);
    palette = defaultPalette;
    return 1;
}

int cSurfaceImplementation::LockPixels() {
    return pixelAllocation != nullptr;
}

win32::BYTE* cSurfaceImplementation::LockBuffer() {
    LockPixels();
    return pixels;
}

void cSurfaceImplementation::UnlockBuffer(void*) {
    UnlockPixels();
}

int cSurfaceImplementation::InitSize(const cSurfaceImplementation& prototype, int newWidth, int newHeight,
                                     int newPitch) {
    width = newWidth;
    height = newHeight;
    clipLeft = clipTop = 0;
    clipRight = newWidth;
    clipBottom = newHeight;
    depth = prototype.depth;
    depthIndex = prototype.depthIndex;
    transparentColor = prototype.transparentColor;
    transparentValue = prototype.transparentValue;
    pixelAllocation = nullptr;
    pixels = nullptr;
    pitch = newPitch;
    signedPitch = prototype.bottomUp ? -newPitch : newPitch;
    bytesPerPixel = prototype.bytesPerPixel;
    bottomUp = prototype.bottomUp;
    if (palette != prototype.palette) {
        AddRefSharedPalette(prototype.palette);
        ReleaseSharedPalette(palette);
        palette = prototype.palette;
    }
    FreeAlphaPlane();
    alphaPitch = signedAlphaPitch = 0;
    routines = prototype.routines;
    return 1;
}

BYTE* cSurfaceImplementation::AllocateAlphaPlane() {
    FreeAlphaPlane();
    const int rowBytes = (width + 3) & ~3;
    BYTE* block = nullptr;
    const std::size_t size = static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height);
    if (width <= 0 || height <= 0 || !AllocZeroedMemory(size, &block)) {
        alphaPitch = signedAlphaPitch = 0;
        return nullptr;
    }
    alphaAllocation = block;
    alphaPlane = block;
    alphaPitch = signedAlphaPitch = rowBytes;
    flags |= SurfaceFlagOwnsAlpha;
    return block;
}

void cSurfaceImplementation::SetAlphaPlane(BYTE* plane, int planePitch) {
    FreeAlphaPlane();
    alphaAllocation = nullptr;
    alphaPlane = plane;
    alphaPitch = planePitch < 0 ? -planePitch : planePitch;
    signedAlphaPitch = planePitch;
}

void cSurfaceImplementation::FreeAlphaPlane() {
    if ((flags & SurfaceFlagOwnsAlpha) && alphaAllocation) FreeMemoryBlock(alphaAllocation);
    flags &= ~SurfaceFlagOwnsAlpha;
    alphaAllocation = nullptr;
    alphaPlane = nullptr;
}

BYTE* cSurfaceImplementation::DetachAlphaPlane(int* planePitch) {
    BYTE* plane = alphaPlane;
    if (planePitch) *planePitch = signedAlphaPitch;
    flags &= ~SurfaceFlagOwnsAlpha;
    alphaAllocation = nullptr;
    alphaPlane = nullptr;
    alphaPitch = signedAlphaPitch = 0;
    return plane;
}

int cSurfaceImplementation::SetAlphaRows(const BYTE* rows, int rowsPitch) {
    if (!alphaPlane && !AllocateAlphaPlane()) return 0;
    const int step = rowsPitch == 0 ? signedAlphaPitch : rowsPitch;
    const int stepBytes = step < 0 ? -step : step;
    const int copy = stepBytes < alphaPitch ? stepBytes : alphaPitch;
    for (int y = 0; y < height; ++y)
        std::memcpy(AlphaRow(y), rows + static_cast<std::ptrdiff_t>(y) * step,
                    static_cast<std::size_t>(copy));
    return copy;
}

int cSurfaceImplementation::GetSize(int& w, int& h, int& d) const {
    w = width;
    h = height;
    d = depth;
    return 1;
}

COLORREF cSurfaceImplementation::GetPixelColorFast(int x, int y) const {
    if (!routines || !routines->GetPixel) return 0;
    const DWORD value = routines->GetPixel(*this, x, y);
    // 8-bit colours come from the palette (the entry as a word); without one the index is all there is.
    if (depth > 8 || !palette) return value;
    return value < palette->palette.count ? PaletteWord(palette->palette.entries[value]) : 0;
}

BYTE cSurfaceImplementation::GetPixelByteFast(int x, int y) const {
    return Row(y)[x];
}

void cSurfaceImplementation::SetPixelFast(int x, int y, COLORREF color) {
    if (routines && routines->SetPixel) routines->SetPixel(*this, x, y, color);
}

void cSurfaceImplementation::SetPixelByteFast(int x, int y, BYTE value) {
    Row(y)[x] = value;
}

namespace {
bool DiffersFromKey(const cSurfaceImplementation& s, int x, int y) {
    const BYTE* p = s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.bytesPerPixel;
    DWORD v = 0;
    std::memcpy(&v, p, static_cast<std::size_t>(s.bytesPerPixel));
    // At 32 bits only the colour bytes take part in the comparison.
    const DWORD mask = s.bytesPerPixel >= 3 ? 0xFFFFFF : (s.bytesPerPixel == 2 ? 0xFFFF : 0xFF);
    return ((v ^ s.transparentValue) & mask) != 0;
}
} // namespace

int cSurfaceImplementation::TestOpaqueOverlap(cSurfaceImplementation& other, int otherX, int otherY, int x,
                                              int y, int w, int h) {
    if (bytesPerPixel != other.bytesPerPixel) return 1;
    if (!LockPixels()) return 1;
    if (!other.LockPixels()) {
        UnlockPixels();
        return 1;
    }
    int found = 0;
    for (int j = 0; j < h && !found; ++j)
        for (int i = 0; i < w; ++i)
            if (DiffersFromKey(*this, x + i, y + j) && DiffersFromKey(other, otherX + i, otherY + j)) {
                found = 1;
                break;
            }
    other.UnlockPixels();
    UnlockPixels();
    return found;
}

// The error surface.

cSurfaceImplementation* cErrorSurface::DestroyAndFree(unsigned) {
    return this;
}

cSurfaceImplementation* GetErrorSurface() {
    static cErrorSurface errorSurface;
    return &errorSurface;
}
