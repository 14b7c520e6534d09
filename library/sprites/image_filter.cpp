// The image filter base class: default operations, the palettes, and the conversion of rows from the image's
// depth to the depth the caller reads at.
#include "vtrs2/image_filters.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

using namespace win32;

namespace {

constexpr int AllSaveDepths = SaveDepth8 | SaveDepth15 | SaveDepth16 | SaveDepth24 | SaveDepth32;
constexpr std::size_t ColourCacheSize = 65536;
constexpr BYTE NotKnownYet = 253;
constexpr int BadReadFormat = 14;

struct Rgb {
    BYTE red, green, blue;
};

WORD Word(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

void PutWord(BYTE* p, unsigned v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

// The 5-6-5 key of a colour (the low bits of each channel dropped).
WORD Key565(const Rgb& c) {
    return static_cast<WORD>(((c.red >> 3) << 11) | ((c.green >> 2) << 5) | (c.blue >> 3));
}

// A pixel of 15, 16, 24 or 32 bits as its colour; 15 and 16 bits keep their low bits 0.
Rgb Decode(int depth, const BYTE* p) {
    switch (depth) {
    case 15: {
        const WORD v = Word(p);
        return {static_cast<BYTE>(((v >> 10) & 0x1F) << 3), static_cast<BYTE>(((v >> 5) & 0x1F) << 3),
                static_cast<BYTE>((v & 0x1F) << 3)};
    }
    case 16: {
        const WORD v = Word(p);
        return {static_cast<BYTE>((v >> 11) << 3), static_cast<BYTE>(((v >> 5) & 0x3F) << 2),
                static_cast<BYTE>((v & 0x1F) << 3)};
    }
    default: // 24 and 32: blue, green, red
        return {p[2], p[1], p[0]};
    }
}

void Encode(int depth, BYTE* p, const Rgb& c) {
    switch (depth) {
    case 15:
        PutWord(p, ((c.red >> 3) << 10) | ((c.green >> 3) << 5) | (c.blue >> 3));
        break;
    case 16:
        PutWord(p, ((c.red >> 3) << 11) | ((c.green >> 2) << 5) | (c.blue >> 3));
        break;
    case 24:
        p[0] = c.blue, p[1] = c.green, p[2] = c.red;
        break;
    default:
        p[0] = c.blue, p[1] = c.green, p[2] = c.red, p[3] = 0;
        break;
    }
}

bool SameColours(const LogPalette256& a, const LogPalette256& b) {
    if (a.count != b.count) return false;
    for (int i = 0; i < a.count; ++i)
        if (a.entries[i].peRed != b.entries[i].peRed || a.entries[i].peGreen != b.entries[i].peGreen ||
            a.entries[i].peBlue != b.entries[i].peBlue)
            return false;
    return true;
}

LogPalette256* NewPalette() {
    auto* p = new (std::nothrow) LogPalette256{};
    if (p) p->version = LogPaletteVersion;
    return p;
}

} // namespace

int NearestPaletteEntry(const LOGPALETTE* palette, int red, int green, int blue) {
    if (!palette || palette->palNumEntries == 0) return 0;
    const PALETTEENTRY* e = palette->palPalEntry;
    const int count = std::min<int>(palette->palNumEntries, PaletteSize);
    int best = 0, bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < count; ++i) {
        const int d =
            std::abs(e[i].peRed - red) + std::abs(e[i].peGreen - green) + std::abs(e[i].peBlue - blue);
        if (d == 0) return i;
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return best;
}

CFilterImpl::CFilterImpl() = default;

CFilterImpl::~CFilterImpl() {
    FreeConversion();
    delete palette;
}

void CFilterImpl::FreeConversion() {
    delete readPalette;
    delete lastImagePalette;
    delete[] remap;
    delete[] colourCache;
    readPalette = lastImagePalette = nullptr;
    remap = colourCache = nullptr;
    conversionNeeded = 0;
}

void CFilterImpl::SetParameter(int, LPARAM) {}
int CFilterImpl::GetSaveDepths() {
    return AllSaveDepths;
}
int CFilterImpl::QueryFilterB() {
    return 1;
}
void CFilterImpl::SetOption(int, LPARAM) {}
int CFilterImpl::HandlesImages() {
    return 0;
}
int CFilterImpl::HandlesAnimations() {
    return 0;
}
int CFilterImpl::CanSaveImage() {
    return 0;
}
int CFilterImpl::CanSaveAnimation() {
    return 0;
}
int CFilterImpl::SaveImage(COutputFile*, const BYTE*, int, int, int, int, const LOGPALETTE*, const BYTE*,
                           int) {
    return ImageNotSupported;
}
void CFilterImpl::EndRead(CInputFile*) {}
void CFilterImpl::EndWrite(COutputFile*) {}
int CFilterImpl::GetWidth() {
    return width;
}
int CFilterImpl::GetHeight() {
    return height;
}
int CFilterImpl::GetPitch() {
    return pitch;
}
int CFilterImpl::GetDepth() {
    return depth;
}
int CFilterImpl::GetImageSize() {
    return pitch * height;
}
LOGPALETTE* CFilterImpl::GetPalette() {
    return palette ? palette->Log() : nullptr;
}
int CFilterImpl::GetTransparentColor(COLORREF*) {
    return 0;
}
int CFilterImpl::HasAlpha() {
    return alpha;
}
int CFilterImpl::IsAnimation() {
    return 0;
}
int CFilterImpl::GetFrameCount() {
    return frameCount;
}
int CFilterImpl::GetCurrentFrame() {
    return currentFrame;
}
void CFilterImpl::GetRect(RECT* rect) {
    if (rect) *rect = {0, 0, width, height};
}
int CFilterImpl::QueryAnimationA() {
    return 0;
}
int CFilterImpl::QueryAnimationB() {
    return 0;
}
int CFilterImpl::QueryAnimationC() {
    return queryC;
}
int CFilterImpl::QueryAnimationD(int) {
    return queryD;
}
int CFilterImpl::QueryAnimationE() {
    return 1;
}
int CFilterImpl::QueryAnimationF() {
    return 0;
}
void CFilterImpl::RewindFrames() {}
int CFilterImpl::BeginSaveAnimation(COutputFile*, const int*) {
    return ImageNotSupported;
}
int CFilterImpl::SaveFrame(COutputFile*, const BYTE*, const BYTE*, int, int, int, int, const int*) {
    return ImageNotSupported;
}
void CFilterImpl::SetOutputParameter(COutputFile*, LPARAM) {}

int CFilterImpl::SetPaletteSize(int entries) {
    if (!palette && !(palette = NewPalette())) return 0;
    std::memset(palette->entries, 0, sizeof palette->entries);
    palette->count = static_cast<WORD>(std::clamp(entries, 0, PaletteSize));
    return 1;
}

void CFilterImpl::ComputePitch() {
    bytesPerPixel = (depth + 1) / 8;
    const long long w = width;
    long long row = 0;
    switch (depth) {
    case 1:
        row = ((w + 15) >> 4) * 2;
        break;
    case 4:
        row = (w + 1) >> 1;
        break;
    case 8:
        row = w;
        break;
    case 15:
    case 16:
        row = 2 * w;
        break;
    case 24:
        row = 3 * w;
        break;
    case 32:
        row = 4 * w;
        break;
    default:
        row = 0;
        break;
    }
    rowLength = pitch = static_cast<std::int32_t>(std::min<long long>(row, 0x7FFFFFFF));
}

void CFilterImpl::SetAlpha(int flag) {
    alpha = flag;
}

int CFilterImpl::SetReadFormat(int wanted, const LOGPALETTE* wantedPalette) {
    if (wanted == 8 && wantedPalette && wantedPalette->palNumEntries <= PaletteSize) {
        if (depth == 8 && palette && wantedPalette == palette->Log()) {
            FreeConversion();
            readDepth = 8;
            readBytesPerPixel = 1;
            return 0;
        }
        if (!readPalette && !(readPalette = NewPalette())) return ImageNoMemory;
        const std::size_t bytes = 4 + 4 * static_cast<std::size_t>(wantedPalette->palNumEntries);
        if (std::memcmp(readPalette, wantedPalette, bytes) != 0) {
            std::memset(readPalette, 0, sizeof *readPalette);
            std::memcpy(readPalette, wantedPalette, bytes);
        }
        readBytesPerPixel = 1;
    } else if (wanted == 15 || wanted == 16 || wanted == 24 || wanted == 32) {
        readBytesPerPixel = (wanted + 1) / 8;
        delete readPalette;
        readPalette = nullptr;
    } else {
        return BadReadFormat;
    }
    readDepth = wanted;
    return PrepareConversion();
}

int CFilterImpl::PrepareConversion() {
    delete[] colourCache;
    delete[] remap;
    colourCache = remap = nullptr;
    conversionNeeded = readDepth != depth;
    if (readDepth == 8 && depth > 8 && readPalette) {
        colourCache = new (std::nothrow) BYTE[ColourCacheSize];
        if (!colourCache) return ImageNoMemory;
        std::memset(colourCache, NotKnownYet, ColourCacheSize);
        for (int i = readPalette->count - 1; i >= 0; --i) {
            const PALETTEENTRY& e = readPalette->entries[i];
            colourCache[Key565({e.peRed, e.peGreen, e.peBlue})] = static_cast<BYTE>(i);
        }
    } else if (readDepth == 8 && depth == 8 && readPalette) {
        return BuildRemapTable();
    }
    return 0;
}

int CFilterImpl::BuildRemapTable() {
    delete[] remap;
    remap = nullptr;
    if (!palette || !readPalette || SameColours(*palette, *readPalette)) {
        conversionNeeded = 0;
        return 0;
    }
    remap = new (std::nothrow) BYTE[PaletteSize];
    if (!remap) return ImageNoMemory;
    for (int i = 0; i < PaletteSize; ++i) {
        const PALETTEENTRY& e = palette->entries[i];
        remap[i] = static_cast<BYTE>(NearestPaletteEntry(readPalette->Log(), e.peRed, e.peGreen, e.peBlue));
    }
    if (!lastImagePalette) lastImagePalette = NewPalette();
    if (lastImagePalette) *lastImagePalette = *palette;
    conversionNeeded = 1;
    return 0;
}

BYTE CFilterImpl::CachedIndex(WORD key, BYTE red, BYTE green, BYTE blue) {
    BYTE& slot = colourCache[key];
    if (slot == NotKnownYet)
        slot = static_cast<BYTE>(NearestPaletteEntry(readPalette->Log(), red, green, blue));
    return slot;
}

void CFilterImpl::ConvertPixels(BYTE* out, const BYTE* in, int count) {
    if (count <= 0) return;
    const int inBytes = (depth + 1) / 8, outBytes = (readDepth + 1) / 8;
    if (depth == readDepth) {
        if (depth == 8 && remap) {
            for (int i = 0; i < count; ++i)
                out[i] = remap[in[i]];
        } else {
            std::memmove(out, in, static_cast<std::size_t>(count) * static_cast<std::size_t>(inBytes));
        }
        return;
    }
    if (depth == 8) {
        for (int i = 0; i < count; ++i) {
            const PALETTEENTRY e = palette ? palette->entries[in[i]] : PALETTEENTRY{};
            Encode(readDepth, out + static_cast<std::size_t>(i) * outBytes, {e.peRed, e.peGreen, e.peBlue});
        }
        return;
    }
    if (readDepth == 8) {
        for (int i = 0; i < count; ++i) {
            const Rgb c = Decode(depth, in + static_cast<std::size_t>(i) * inBytes);
            out[i] = colourCache && readPalette ? CachedIndex(Key565(c), c.red, c.green, c.blue) : 0;
        }
        return;
    }
    for (int i = 0; i < count; ++i)
        Encode(readDepth, out + static_cast<std::size_t>(i) * outBytes,
               Decode(depth, in + static_cast<std::size_t>(i) * inBytes));
}
