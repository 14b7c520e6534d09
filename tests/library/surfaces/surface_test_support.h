// Helpers shared by the surface tests: memory prototypes, bitmap views over test-owned buffers, and a
// small deterministic random source.
#pragma once

#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace surface_test {

// A front end holding an empty memory surface of that depth, to create others from.
inline std::unique_ptr<cSurface> MemoryPrototype(int depth) {
    auto prototype = std::make_unique<cSurface>();
    auto* implementation = new cBufferSurface;
    implementation->SetDepth(depth);
    prototype->SetImplementation(implementation);
    return prototype;
}

inline std::unique_ptr<cSurface> MakeSurface(int width, int height, int depth) {
    auto prototype = MemoryPrototype(depth);
    auto surface = std::make_unique<cSurface>();
    surface->Create(width, height, prototype.get());
    return surface;
}

// xorshift: the same images on every run.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed ? seed : 1) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint32_t state_;
};

// A packed bitmap in a buffer of exactly its own size, so that the address sanitizer sees every read or
// write outside it. Rows are stored bottom-up when asked, as bitmaps usually are.
struct BitmapBuffer {
    BitmapBuffer(int width, int height, int bits, bool bottomUp) : width(width), height(height), bits(bits) {
        rowBytes = ((width * (bits == 15 ? 16 : bits) + 31) >> 5) * 4;
        info.resize(sizeof(win32::BITMAPINFOHEADER) + 12);
        auto* header = reinterpret_cast<win32::BITMAPINFOHEADER*>(info.data());
        header->biSize = 40;
        header->biWidth = width;
        header->biHeight = bottomUp ? height : -height;
        header->biPlanes = 1;
        header->biBitCount = static_cast<win32::WORD>(bits == 15 ? 16 : bits);
        header->biCompression = win32::BI_RGB;
        if (bits == 16) {
            header->biCompression = win32::BI_BITFIELDS;
            auto* masks = reinterpret_cast<win32::DWORD*>(info.data() + sizeof(win32::BITMAPINFOHEADER));
            masks[0] = 0xF800;
            masks[1] = 0x07E0;
            masks[2] = 0x001F;
        }
        pixels.reset(new win32::BYTE[static_cast<std::size_t>(rowBytes) * height]());
        this->bottomUp = bottomUp;
    }
    const win32::BITMAPINFOHEADER* Header() const {
        return reinterpret_cast<const win32::BITMAPINFOHEADER*>(info.data());
    }
    // The byte offset of row y (row 0 on top) in the buffer.
    std::size_t RowOffset(int y) const {
        return static_cast<std::size_t>(bottomUp ? height - 1 - y : y) * static_cast<std::size_t>(rowBytes);
    }
    int width, height, bits, rowBytes;
    bool bottomUp;
    std::vector<win32::BYTE> info;
    std::unique_ptr<win32::BYTE[]> pixels;
};

} // namespace surface_test
