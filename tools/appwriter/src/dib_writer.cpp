#include "appwriter/dib_writer.h"

#include "appwriter/byte_writer.h"

#include <cstdlib>

namespace appwriter {

namespace {

constexpr std::uint32_t InfoHeaderSize = 40;
constexpr std::uint32_t CompressionRgb = 0;
constexpr std::uint32_t CompressionBitFields = 3;

std::uint32_t ColourCount(const DibDesc& dib) {
    if (dib.bitCount > 8) return 0;
    const std::uint32_t all = 1u << dib.bitCount;
    return dib.coloursUsed && dib.coloursUsed < all ? dib.coloursUsed : all;
}

void Masks(ByteWriter& w, std::uint16_t bitCount) {
    if (bitCount == 16) {
        w.U32(0xF800); // 5-6-5
        w.U32(0x07E0);
        w.U32(0x001F);
    } else {
        w.U32(0xFF0000);
        w.U32(0x00FF00);
        w.U32(0x0000FF);
    }
}

} // namespace

Bytes PackedDib(const DibDesc& dib) {
    const std::uint32_t rows = static_cast<std::uint32_t>(std::abs(dib.height));
    const std::uint32_t width = static_cast<std::uint32_t>(dib.width);
    const std::uint32_t rowBytes = (width * dib.bitCount + 31) / 32 * 4;
    ByteWriter w;
    w.U32(InfoHeaderSize);
    w.I32(dib.width);
    w.I32(dib.height);
    w.U16(1);
    w.U16(dib.bitCount);
    w.U32(dib.bitFields ? CompressionBitFields : CompressionRgb);
    w.U32(rowBytes * rows);
    w.U32(2835); // 72 dots per inch
    w.U32(2835);
    w.U32(dib.coloursUsed);
    w.U32(0);
    if (dib.bitFields) Masks(w, dib.bitCount);
    for (std::uint32_t i = 0; i < ColourCount(dib); ++i) {
        w.U8(static_cast<std::uint8_t>(i * 7)); // blue, green, red, reserved
        w.U8(static_cast<std::uint8_t>(i * 13));
        w.U8(static_cast<std::uint8_t>(255 - i));
        w.U8(0);
    }
    for (std::uint32_t y = 0; y < rows; ++y) {
        Bytes row(rowBytes, 0);
        const std::uint32_t bits = width * dib.bitCount;
        for (std::uint32_t bit = 0; bit < bits; bit += 8)
            row[bit / 8] = static_cast<std::uint8_t>(y * 31 + bit / 8 * 5 + 1);
        w.Bytes(row);
    }
    if (dib.alphaPlane) {
        const std::uint32_t alphaRow = (width + 3) & ~3u;
        for (std::uint32_t i = 0; i < alphaRow * rows; ++i)
            w.U8(static_cast<std::uint8_t>(i * 17));
    }
    return w.Take();
}

} // namespace appwriter
