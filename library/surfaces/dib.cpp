// Device-independent bitmaps: loading into a surface, building from one, and BMP files. Every field of a
// file is read one by one, little-endian, and every size is checked against what the file holds.
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"

#include <cstdio>
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
constexpr int BuildAlphaInFourthByte = 2;

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

std::vector<BYTE> ReadWholeFile(const char* fileName, bool& opened) {
    std::vector<BYTE> bytes;
    opened = false;
    std::FILE* file = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!file) return bytes;
    opened = true;
    BYTE chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
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

// Bitmaps of 8 bits or fewer are taken once shared palettes exist; until then they are refused.
int cSurface::LoadDib(const BITMAPINFO* info, const void* bits, int) {
    if (!info || implementation_->IsDCOnly()) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if ((header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS) || header.biBitCount <= 8) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    cDIBSurface view(&header, const_cast<void*>(bits), 0);
    if (view.width == 0) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
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
    if (fresh) SetImplementation(target);
    if (!view.alphaPlane) implementation_->FreeAlphaPlane();
    return 1;
}

int cSurface::LoadDibFile(const char* fileName, int options) {
    bool opened = false;
    const std::vector<BYTE> file = ReadWholeFile(fileName, opened);
    if (!opened) {
        lastError_ = SurfaceErrorCannotOpen;
        return 0;
    }
    if (file.size() < FileHeaderSize) {
        lastError_ = SurfaceErrorEndOfFile;
        return 0;
    }
    std::size_t headerAt = 0;
    long long bitsOffset = -1;
    if (file[0] == 'B' && file[1] == 'M') {
        headerAt = FileHeaderSize;
        bitsOffset = Read32(&file[10]);
    } else if (Read32(&file[0]) != static_cast<DWORD>(InfoHeaderSize)) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    if (file.size() < headerAt + InfoHeaderSize) {
        lastError_ = SurfaceErrorEndOfFile;
        return 0;
    }
    const BITMAPINFOHEADER header = ParseInfoHeader(&file[headerAt]);
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
    const long long tableAt = static_cast<long long>(headerAt) + InfoHeaderSize;
    const long long imageBytes = rows * RowBytesOf(header.biWidth, header.biBitCount);
    long long pixelsAt = tableAt + maskBytes + tableBytes;
    // The file header's offset to the bits holds when it points past the tables; some writers leave a gap.
    if (bitsOffset >= pixelsAt && bitsOffset <= static_cast<long long>(file.size())) pixelsAt = bitsOffset;
    if (pixelsAt + imageBytes > static_cast<long long>(file.size())) {
        lastError_ = SurfaceErrorEndOfFile;
        return 0;
    }
    // The header, masks and a full colour table (unused entries black), laid out as the view expects.
    std::vector<BYTE> infoBlock(sizeof(BITMAPINFOHEADER) + BitfieldMaskBytes + 4 * 256, 0);
    std::memcpy(infoBlock.data(), &header, sizeof header);
    std::memcpy(infoBlock.data() + sizeof header, &file[static_cast<std::size_t>(tableAt)],
                static_cast<std::size_t>(maskBytes + tableBytes));
    DWORD* masks = reinterpret_cast<DWORD*>(infoBlock.data() + sizeof header);
    for (long long i = 0; i < maskBytes / 4; ++i)
        masks[i] = Read32(&file[static_cast<std::size_t>(tableAt + 4 * i)]);
    std::vector<BYTE> bits(file.begin() + pixelsAt, file.begin() + pixelsAt + imageBytes);
    return LoadDib(reinterpret_cast<const BITMAPINFO*>(infoBlock.data()), bits.data(), options);
}

int cSurface::BuildDib(BITMAPINFO* info, void* bits, int flags) {
    if (!info) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    // 8-bit surfaces need their palette for the colour table.
    if (implementation_->IsDCOnly() || GetDepth() <= 8) {
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
    if (flags & BuildHeaderOnly) return 1;
    if (!bits) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    cDIBSurface view(&h, bits, 0);
    if (view.width == 0) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    view.FreeAlphaPlane();
    if (!implementation_->Blit(&view, 0, 0, 0, 0, GetWidth(), GetHeight(), 0, 0, 0, 0)) return 0;
    const cSurfaceImplementation& s = *implementation_;
    if ((flags & BuildAlphaInFourthByte) && s.alphaPlane && depth == 32)
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                view.Row(y)[4 * x + 3] = s.AlphaRow(y)[x];
    return 1;
}

int cSurface::SaveDibFile(const char* fileName) {
    if (!HasImplementation() || GetDepth() <= 8) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    const int headerBytes = GetDibHeaderSize(GetDepth());
    const long long imageBytes = static_cast<long long>(GetHeight()) * RowBytesOf(GetWidth(), GetDepth());
    std::vector<BYTE> info;
    std::vector<BYTE> bits;
    try {
        info.assign(sizeof(BITMAPINFOHEADER) + BitfieldMaskBytes, 0);
        bits.assign(static_cast<std::size_t>(imageBytes), 0);
    } catch (...) {
        lastError_ = SurfaceErrorNoMemory;
        return 0;
    }
    if (!BuildDib(reinterpret_cast<BITMAPINFO*>(info.data()), bits.data(), 0)) return 0;
    std::vector<BYTE> out(static_cast<std::size_t>(FileHeaderSize + headerBytes), 0);
    out[0] = 'B';
    out[1] = 'M';
    Write32(&out[2], static_cast<DWORD>(FileHeaderSize + headerBytes + imageBytes));
    Write32(&out[10], static_cast<DWORD>(FileHeaderSize + headerBytes));
    BITMAPINFOHEADER header{};
    std::memcpy(&header, info.data(), sizeof header);
    WriteInfoHeader(&out[FileHeaderSize], header);
    if (headerBytes > InfoHeaderSize) {
        const DWORD* masks = reinterpret_cast<const DWORD*>(info.data() + sizeof header);
        for (int i = 0; i < 3; ++i)
            Write32(&out[FileHeaderSize + InfoHeaderSize + 4 * i], masks[i]);
    }
    std::FILE* file = fileName ? std::fopen(fileName, "wb") : nullptr;
    if (!file) {
        lastError_ = SurfaceErrorCannotCreate;
        return 0;
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size() &&
                         std::fwrite(bits.data(), 1, bits.size(), file) == bits.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        lastError_ = SurfaceErrorWrite;
        return 0;
    }
    return 1;
}
