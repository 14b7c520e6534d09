// What the image-filter plug-ins share: the export of their entry points, the size limits every reader
// checks before it allocates, and the writing of decoded rows at the depth the caller reads at.
#pragma once

#include "vtrs2/image_filters.h"
#include "vtrs2/streams.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#define VTR_FILTER_EXPORT extern "C" __attribute__((visibility("default")))

// The entry points of an image-filter plug-in: its filter class, id, name, null-terminated extension list
// and the test of a stream's first bytes.
#define VTR_IMAGE_FILTER_ENTRY_POINTS(Filter, id, name, extensions, canRead)                                 \
    VTR_FILTER_EXPORT void* CreateFilter(win32::DWORD) {                                                     \
        return static_cast<CFilterImpl*>(new (std::nothrow) Filter);                                         \
    }                                                                                                        \
    VTR_FILTER_EXPORT int CanReadFile(CInputFile* stream) {                                                  \
        return stream && canRead(stream);                                                                    \
    }                                                                                                        \
    VTR_FILTER_EXPORT win32::DWORD GetFilterID() {                                                           \
        return id;                                                                                           \
    }                                                                                                        \
    VTR_FILTER_EXPORT const win32::WCHAR* GetFilterNameW() {                                                 \
        return name;                                                                                         \
    }                                                                                                        \
    VTR_FILTER_EXPORT const win32::WCHAR* const* GetFilterExtsW() {                                          \
        return extensions;                                                                                   \
    }

namespace imageplugin {

// Images larger than this on a side, or in pixels, are refused before anything is allocated for them.
constexpr long long MaxSide = 16384;
constexpr long long MaxPixels = 64LL * 1024 * 1024;

inline bool SizeAllowed(long long width, long long height) {
    return width > 0 && height > 0 && width <= MaxSide && height <= MaxSide && width * height <= MaxPixels;
}

// Reads what is left of `size` bytes; the count read.
inline long ReadSome(CInputFile* stream, void* buffer, long size) {
    win32::LONG got = 0;
    stream->ReadCounted(buffer, static_cast<win32::LONG>(size), &got);
    return got;
}

// The first bytes of a stream, for CanRead; the stream is put back.
inline bool StartsWith(CInputFile* stream, const void* magic, std::size_t size) {
    std::uint8_t head[16] = {};
    if (size > sizeof head) return false;
    const win32::LONG at = stream->GetPosition();
    const long got = ReadSome(stream, head, static_cast<long>(size));
    stream->Seek(at, SeekFromStart);
    return got == static_cast<long>(size) && std::memcmp(head, magic, size) == 0;
}

// Row y of a caller's buffer of signed pitch.
inline win32::BYTE* RowOf(win32::BYTE* pixels, int pitch, int y) {
    return pixels + static_cast<std::intptr_t>(y) * pitch;
}
inline const win32::BYTE* RowOf(const win32::BYTE* pixels, int pitch, int y) {
    return pixels + static_cast<std::intptr_t>(y) * pitch;
}

// A row decoded at the image's depth, written at the read depth: straight when they agree, else through
// the filter's conversion.
inline void PutRow(CFilterImpl& filter, win32::BYTE* destination, const win32::BYTE* row) {
    if (filter.NeedsConversion())
        filter.ConvertPixels(destination, row, filter.width);
    else
        std::memcpy(destination, row, static_cast<std::size_t>(filter.rowLength));
}

// What every image filter here answers alike: its id, that it reads and saves still images, and whether a
// stream starts as its files do.
template <win32::DWORD Id, bool (*Reads)(CInputFile*)> class StillImageFilter : public CFilterImpl {
public:
    void Release() override { delete this; }
    win32::DWORD GetFilterID() override { return Id; }
    int QueryFilterA() override { return 0; }
    int CanRead(CInputFile* stream) override { return Reads(stream); }
    int HandlesImages() override { return 1; }
    int CanSaveImage() override { return 1; }
};

// A grey ramp of `entries` levels as the filter's palette.
inline bool SetGreyPalette(CFilterImpl& filter, int entries) {
    if (!filter.SetPaletteSize(entries)) return false;
    for (int i = 0; i < entries; ++i) {
        const auto level = static_cast<win32::BYTE>(entries > 1 ? i * 255 / (entries - 1) : 0);
        filter.palette->entries[i] = {level, level, level, 0};
    }
    return true;
}

// One row of 15-, 16-, 24- or 32-bit pixels as blue, green, red bytes (8 bits: through the palette).
inline void RowToBgr(const win32::BYTE* in, int width, int depth, const win32::LOGPALETTE* palette,
                     win32::BYTE* out) {
    for (int x = 0; x < width; ++x, out += 3) {
        switch (depth) {
        case 8: {
            const win32::PALETTEENTRY e = palette && in[x] < palette->palNumEntries
                                              ? palette->palPalEntry[in[x]]
                                              : win32::PALETTEENTRY{};
            out[0] = e.peBlue, out[1] = e.peGreen, out[2] = e.peRed;
            break;
        }
        case 15:
        case 16: {
            const unsigned v = in[2 * x] | (in[2 * x + 1] << 8);
            const unsigned green = depth == 15 ? ((v >> 5) & 0x1F) << 3 : ((v >> 5) & 0x3F) << 2;
            out[0] = static_cast<win32::BYTE>((v & 0x1F) << 3);
            out[1] = static_cast<win32::BYTE>(green);
            out[2] = static_cast<win32::BYTE>(depth == 15 ? ((v >> 10) & 0x1F) << 3 : (v >> 11) << 3);
            break;
        }
        case 24:
            std::memcpy(out, in + 3 * x, 3);
            break;
        default:
            std::memcpy(out, in + 4 * x, 3);
            break;
        }
    }
}

} // namespace imageplugin
