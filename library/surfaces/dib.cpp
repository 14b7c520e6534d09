// Device-independent bitmaps: loading into a surface, building from one, and BMP files. Every field of a
// file is read one by one, little-endian, and every size is checked against what the file holds.
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/palette_matching.h"
#include "vtrs2/streams.h"
#include "vtrs2/surface.h"

#include <cstring>
#include <memory>
#include <vector>

using namespace win32;

namespace {

constexpr int InfoHeaderSize = 40;
constexpr int FileHeaderSize = 14;
constexpr int BitfieldMaskBytes = 12;
constexpr int WholeSize = 0x3FFFFFFF;
constexpr int BuildHeaderOnly = 1;
constexpr int LoadKeepPalette = 1; // the surface keeps its palette and nothing is remapped
constexpr int LoadTakePalette = 4; // the surface takes the bitmap's own palette
constexpr int FirstBitmapColour = 10;
constexpr int BuildAlphaInFourthByte = 2;
constexpr LONG FileBufferSize = 0x4000;

int RowBytesOf(long long width, int bits) {
    if (bits == 15) bits = 16;
    return static_cast<int>(((width * bits + 31) >> 5) * 4);
}

DWORD Read32(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}
WORD Read16(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}
void Write32(BYTE* p, DWORD v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}
void Write16(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

BITMAPINFOHEADER ParseInfoHeader(const BYTE* p) {
    BITMAPINFOHEADER h{};
    h.biSize = Read32(p);
    h.biWidth = static_cast<LONG>(Read32(p + 4));
    h.biHeight = static_cast<LONG>(Read32(p + 8));
    h.biPlanes = Read16(p + 12);
    h.biBitCount = Read16(p + 14);
    h.biCompression = Read32(p + 16);
    h.biSizeImage = Read32(p + 20);
    h.biXPelsPerMeter = static_cast<LONG>(Read32(p + 24));
    h.biYPelsPerMeter = static_cast<LONG>(Read32(p + 28));
    h.biClrUsed = Read32(p + 32);
    h.biClrImportant = Read32(p + 36);
    return h;
}

void WriteInfoHeader(BYTE* p, const BITMAPINFOHEADER& h) {
    Write32(p, h.biSize);
    Write32(p + 4, static_cast<DWORD>(h.biWidth));
    Write32(p + 8, static_cast<DWORD>(h.biHeight));
    Write16(p + 12, h.biPlanes);
    Write16(p + 14, h.biBitCount);
    Write32(p + 16, h.biCompression);
    Write32(p + 20, h.biSizeImage);
    Write32(p + 24, static_cast<DWORD>(h.biXPelsPerMeter));
    Write32(p + 28, static_cast<DWORD>(h.biYPelsPerMeter));
    Write32(p + 32, h.biClrUsed);
    Write32(p + 36, h.biClrImportant);
}

// Colour table entries that follow the header: none above 8 bits, at most 256.
long long ColorTableEntries(const BITMAPINFOHEADER& h) {
    if (h.biBitCount > 8) return 0;
    const long long full = 1LL << h.biBitCount;
    return h.biClrUsed == 0 || h.biClrUsed > full ? full : h.biClrUsed;
}

} // namespace

int GetDibHeaderSize(int bitsPerPixel) {
    if (bitsPerPixel <= 8) return InfoHeaderSize + 4 * (1 << (bitsPerPixel < 0 ? 0 : bitsPerPixel));
    if (bitsPerPixel == 16) return InfoHeaderSize + BitfieldMaskBytes;
    return InfoHeaderSize;
}

int GetDibRowBytes(int width, int bitsPerPixel) {
    return RowBytesOf(width, bitsPerPixel);
}

int GetDibSize(int width, int height, int bitsPerPixel) {
    const long long rows = height < 0 ? -static_cast<long long>(height) : height;
    return static_cast<int>(GetDibHeaderSize(bitsPerPixel) + rows * RowBytesOf(width, bitsPerPixel));
}

int cSurface::GetDibSize() const {
    return ::GetDibSize(GetWidth(), GetHeight(), GetDepth());
}

namespace {

// A 1- or 4-bit bitmap as an 8-bit one: the colour table is the surface's palette at 8 bits (else the
// default one) with the bitmap's own colours over entries 10 upward; a 4-bit value v becomes v + 10, except
// that 0 stays 0, and a 1-bit value b becomes 10 + b.
struct ExpandedBitmap {
    std::vector<BYTE> info;
    std::vector<BYTE> bits;
};

bool ExpandLowBitBitmap(const BITMAPINFO* source, const void* sourceBits,
                        const cSurfaceImplementation& surface, ExpandedBitmap& out) {
    const BITMAPINFOHEADER& h = source->bmiHeader;
    const int bitCount = h.biBitCount;
    const long long rows = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    if (h.biWidth <= 0 || rows <= 0 || h.biWidth > MaxSurfaceSide || rows > MaxSurfaceSide) return false;
    const long long colours = ColorTableEntries(h);
    const BYTE* table = reinterpret_cast<const BYTE*>(source) + h.biSize;
    const BYTE* in = sourceBits ? static_cast<const BYTE*>(sourceBits) : table + 4 * colours;
    const int inRow = RowBytesOf(h.biWidth, bitCount), outRow = RowBytesOf(h.biWidth, 8);
    out.info.assign(sizeof(BITMAPINFOHEADER) + 4 * PaletteSize, 0);
    BITMAPINFOHEADER header = h;
    header.biSize = InfoHeaderSize;
    header.biBitCount = 8;
    header.biCompression = BI_RGB;
    header.biClrUsed = PaletteSize;
    header.biSizeImage = static_cast<DWORD>(outRow * rows);
    std::memcpy(out.info.data(), &header, sizeof header);
    auto* quads = reinterpret_cast<RGBQUAD*>(out.info.data() + sizeof header);
    const LogPalette256& base =
        surface.depth <= 8 && surface.palette ? surface.palette->palette : *GetDefaultModePalette(3);
    PaletteToRgbQuads(quads, base.entries, base.count);
    std::memcpy(quads + FirstBitmapColour, table, static_cast<std::size_t>(4 * colours));
    out.bits.assign(static_cast<std::size_t>(outRow * rows), 0);
    for (long long y = 0; y < rows; ++y) {
        const BYTE* from = in + y * inRow;
        BYTE* to = out.bits.data() + y * outRow;
        for (int x = 0; x < h.biWidth; ++x) {
            if (bitCount == 4) {
                const int v = (x & 1) ? from[x >> 1] & 0x0F : from[x >> 1] >> 4;
                to[x] = static_cast<BYTE>(v == 0 ? 0 : v + FirstBitmapColour);
            } else {
                to[x] = static_cast<BYTE>(FirstBitmapColour + ((from[x >> 3] >> (7 - (x & 7))) & 1));
            }
        }
    }
    return true;
}

} // namespace

int cSurface::LoadDib(const BITMAPINFO* info, const void* bits, int options) {
    if (!info || implementation_->IsDCOnly()) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    const BITMAPINFOHEADER* header = &info->bmiHeader;
    if (header->biCompression != BI_RGB && header->biCompression != BI_BITFIELDS) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    ExpandedBitmap expanded;
    if (header->biBitCount < 8) {
        if (header->biBitCount != 1 && header->biBitCount != 4) {
            lastError_ = SurfaceErrorRefused;
            return 0;
        }
        if (!ExpandLowBitBitmap(info, bits, *implementation_, expanded)) {
            lastError_ = SurfaceErrorNoDeviceContext;
            return 0;
        }
        header = reinterpret_cast<const BITMAPINFOHEADER*>(expanded.info.data());
        bits = expanded.bits.data();
    }
    const bool paletted = header->biBitCount <= 8;
    cDIBSurface view(header, const_cast<void*>(bits), paletted ? 1 : 0);
    if (view.width == 0) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    const bool bothPaletted = paletted && GetDepth() <= 8;
    if (bothPaletted && !(options & LoadKeepPalette)) {
        if (options & LoadTakePalette) {
            implementation_->SetPalette(view.palette, 0);
        } else {
            SharedPalette* fitted = GetSharedPaletteForColors(view.palette, nullptr);
            implementation_->SetPalette(fitted, 0);
            if (fitted != view.palette) options |= LoadKeepPalette;
            ReleaseSharedPalette(fitted);
        }
    }
    cSurfaceImplementation* target = implementation_;
    const bool fresh = view.width != target->width || view.height != target->height;
    if (fresh) {
        target = implementation_->CreateSameKind(view.width, view.height);
        if (!target) {
            lastError_ = SurfaceErrorNoMemory;
            return 0;
        }
    }
    if (view.alphaPlane && !target->alphaPlane && target->depth > 8) target->AllocateAlphaPlane();
    if (!view.Blit(target, 0, 0, 0, 0, WholeSize, WholeSize, 0, 0, 0, 2)) {
        // A bitmap that cannot be drawn into this kind of surface must not leave half a surface behind.
        if (fresh) target->Delete();
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    if (bothPaletted && (options & LoadKeepPalette)) target->RemapToPalette(view.palette);
    if (fresh) SetImplementation(target);
    if (!view.alphaPlane) implementation_->FreeAlphaPlane();
    return 1;
}

int cSurface::LoadDibFromStream(CInputFile* stream, LPARAM, int options) {
    if (!stream) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    const LONG start = stream->GetPosition();
    BYTE head[FileHeaderSize + InfoHeaderSize] = {};
    if ((lastError_ = static_cast<DWORD>(stream->Read(head, FileHeaderSize))) != 0) return 0;
    BYTE* info = head + FileHeaderSize;
    long long bitsOffset = -1;
    if (head[0] == 'B' && head[1] == 'M') {
        bitsOffset = Read32(head + 10);
        if ((lastError_ = static_cast<DWORD>(stream->Read(info, InfoHeaderSize))) != 0) return 0;
    } else if (Read32(head) == static_cast<DWORD>(InfoHeaderSize)) {
        // The fourteen bytes were already the start of the info header.
        info = head;
        if ((lastError_ = static_cast<DWORD>(
                 stream->Read(head + FileHeaderSize, InfoHeaderSize - FileHeaderSize))) != 0)
            return 0;
    } else {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    const BITMAPINFOHEADER header = ParseInfoHeader(info);
    if (header.biSize != static_cast<DWORD>(InfoHeaderSize) ||
        (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS)) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    const long long rows = header.biHeight < 0 ? -static_cast<long long>(header.biHeight) : header.biHeight;
    if (header.biWidth <= 0 || rows <= 0 || header.biWidth > MaxSurfaceSide || rows > MaxSurfaceSide ||
        header.biBitCount == 0 || header.biBitCount > 32) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    // The masks follow the header whenever the compression says bit fields, whatever the bit count.
    const long long maskBytes = header.biCompression == BI_BITFIELDS ? BitfieldMaskBytes : 0;
    const long long tableBytes = 4 * ColorTableEntries(header);
    const long long imageBytes = rows * RowBytesOf(header.biWidth, header.biBitCount);
    // The header, masks and a full colour table (unused entries black), laid out as the view expects.
    std::vector<BYTE> infoBlock(sizeof(BITMAPINFOHEADER) + BitfieldMaskBytes + 4 * 256, 0);
    std::memcpy(infoBlock.data(), &header, sizeof header);
    BYTE* tables = infoBlock.data() + sizeof header;
    if ((lastError_ = static_cast<DWORD>(stream->Read(tables, static_cast<LONG>(maskBytes + tableBytes)))) !=
        0)
        return 0;
    DWORD* masks = reinterpret_cast<DWORD*>(tables);
    for (long long i = 0; i < maskBytes / 4; ++i)
        masks[i] = Read32(tables + 4 * i);
    // The file header's offset to the bits holds when it points past the tables; some writers leave a gap.
    const long long skip = bitsOffset - (stream->GetPosition() - start);
    if (bitsOffset >= 0 && skip > 0) stream->Seek(static_cast<LONG>(skip), SeekFromCurrent);
    // The bits must be there before a block is made for them.
    if (stream->GetSize() - stream->GetPosition() < imageBytes) {
        lastError_ = SurfaceErrorEndOfFile;
        return 0;
    }
    std::vector<BYTE> bits(static_cast<std::size_t>(imageBytes));
    if ((lastError_ = static_cast<DWORD>(stream->Read(bits.data(), static_cast<LONG>(imageBytes)))) != 0)
        return 0;
    return LoadDib(reinterpret_cast<const BITMAPINFO*>(infoBlock.data()), bits.data(), options);
}

int cSurface::LoadDibFile(const char* fileName, int options) {
    CInputBufFile file;
    if (!fileName || file.OpenA(fileName) != StreamOk) {
        lastError_ = SurfaceErrorCannotOpen;
        return 0;
    }
    return LoadDibFromStream(&file, 0, options);
}

int cSurface::LoadDibFileW(const WCHAR* fileName, int options) {
    CInputBufFile file;
    if (!fileName || file.Open(fileName) != StreamOk) {
        lastError_ = SurfaceErrorCannotOpen;
        return 0;
    }
    return LoadDibFromStream(&file, 0, options);
}

int cSurface::BuildDib(BITMAPINFO* info, void* bits, int flags) {
    if (!info) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    if (implementation_->IsDCOnly()) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    const int depth = GetDepth();
    BITMAPINFOHEADER& h = info->bmiHeader;
    h = BITMAPINFOHEADER{};
    h.biSize = InfoHeaderSize;
    h.biWidth = GetWidth();
    h.biHeight = GetHeight();
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(depth == 15 ? 16 : depth);
    h.biCompression = depth == 16 ? BI_BITFIELDS : BI_RGB;
    h.biSizeImage = static_cast<DWORD>(GetHeight() * RowBytesOf(GetWidth(), depth));
    if (depth == 16) {
        DWORD* masks = reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(info) + sizeof(BITMAPINFOHEADER));
        masks[0] = 0xF800;
        masks[1] = 0x07E0;
        masks[2] = 0x001F;
    }
    if (depth <= 8) {
        // The colour table: every entry of the palette (none is black when the surface has no palette).
        PALETTEENTRY entries[PaletteSize] = {};
        implementation_->GetPaletteEntries(entries, 0, PaletteSize);
        PaletteToRgbQuads(info->bmiColors, entries, PaletteSize);
    }
    if (flags & BuildHeaderOnly) return 1;
    if (!bits) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    // A paletted view takes the colour table just written as its palette: an 8-bit surface with an alpha
    // plane can only be blitted onto a destination whose palette is ready.
    cDIBSurface view(&h, bits, depth <= 8 ? 1 : 0);
    if (view.width == 0) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    view.FreeAlphaPlane();
    if (!implementation_->Blit(&view, 0, 0, 0, 0, GetWidth(), GetHeight(), 0, 0, 0, 0)) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    const cSurfaceImplementation& s = *implementation_;
    if ((flags & BuildAlphaInFourthByte) && s.alphaPlane && depth == 32)
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                view.Row(y)[4 * x + 3] = s.AlphaRow(y)[x];
    return 1;
}

// The bitmap (header, masks or colour table, bits) without the file header.
int cSurface::SaveDibToStream(COutputFile* stream) {
    if (!stream || !HasImplementation()) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    const int headerBytes = GetDibHeaderSize(GetDepth());
    const long long imageBytes = static_cast<long long>(GetHeight()) * RowBytesOf(GetWidth(), GetDepth());
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 4 * PaletteSize, 0);
    std::vector<BYTE> bits(static_cast<std::size_t>(imageBytes), 0);
    if (!BuildDib(reinterpret_cast<BITMAPINFO*>(info.data()), bits.data(), BuildAlphaInFourthByte)) return 0;
    // Without an alpha plane every pixel is opaque, whatever the fourth bytes held.
    if (GetDepth() == 32 && !HasAlphaPlane())
        for (std::size_t i = 3; i < bits.size(); i += 4)
            bits[i] = 255;
    std::vector<BYTE> out(static_cast<std::size_t>(headerBytes), 0);
    BITMAPINFOHEADER header{};
    std::memcpy(&header, info.data(), sizeof header);
    WriteInfoHeader(out.data(), header);
    if (GetDepth() <= 8) {
        std::memcpy(&out[InfoHeaderSize], info.data() + sizeof header,
                    static_cast<std::size_t>(headerBytes - InfoHeaderSize));
    } else if (headerBytes > InfoHeaderSize) {
        const DWORD* masks = reinterpret_cast<const DWORD*>(info.data() + sizeof header);
        for (int i = 0; i < 3; ++i)
            Write32(&out[static_cast<std::size_t>(InfoHeaderSize + 4 * i)], masks[i]);
    }
    if ((lastError_ = static_cast<DWORD>(stream->Write(out.data(), static_cast<LONG>(out.size())))) != 0)
        return 0;
    if ((lastError_ = static_cast<DWORD>(stream->Write(bits.data(), static_cast<LONG>(bits.size())))))
        return 0;
    return 1;
}

namespace {
int WriteFileHeader(COutputFile& file, const cSurface& surface) {
    const int headerBytes = GetDibHeaderSize(surface.GetDepth());
    BYTE head[FileHeaderSize] = {'B', 'M'};
    Write32(head + 2, static_cast<DWORD>(FileHeaderSize + surface.GetDibSize()));
    Write32(head + 10, static_cast<DWORD>(FileHeaderSize + headerBytes));
    return file.Write(head, FileHeaderSize);
}
} // namespace

int cSurface::SaveDibToCreatedFile(COutputFile& file, int created) {
    if (!HasImplementation()) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    if (created != StreamOk) {
        lastError_ = SurfaceErrorCannotCreate;
        return 0;
    }
    if ((lastError_ = static_cast<DWORD>(WriteFileHeader(file, *this))) != 0) return 0;
    return SaveDibToStream(&file);
}

int cSurface::SaveDibFile(const char* fileName) {
    COutputBufFile file;
    const int created = fileName ? file.CreateA(fileName, FileBufferSize) : StreamCannotCreate;
    if (!SaveDibToCreatedFile(file, created)) return 0;
    return (lastError_ = static_cast<DWORD>(file.Close())) == 0;
}

int cSurface::SaveDibFileW(const WCHAR* fileName) {
    COutputBufFile file;
    const int created = fileName ? file.Create(fileName, FileBufferSize) : StreamCannotCreate;
    if (!SaveDibToCreatedFile(file, created)) return 0;
    return (lastError_ = static_cast<DWORD>(file.Close())) == 0;
}
