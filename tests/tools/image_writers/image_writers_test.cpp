// The writer's packed bitmaps and run-length packed pixels: their bytes against the formats' tables, and
// the library's readers taking them back (the fuzz seeds are written with them).
#include "appwriter/dib_writer.h"
#include "appwriter/rle_writer.h"

#include "vtrs2/banks.h"
#include "vtrs2/rle_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using appwriter::Bytes;

std::uint32_t U32At(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(PixelRuns, PacketsFollowTheFormat) {
    // Repeat of three, then a literal of two; the end byte.
    EXPECT_EQ(appwriter::PackPixelRuns(Bytes{5, 5, 5, 1, 2}, 1), (Bytes{3, 5, 0x82, 1, 2, 0}));
    // Two-byte pixels: a repeat of two, a literal of one, and the odd byte left out.
    EXPECT_EQ(appwriter::PackPixelRuns(Bytes{1, 2, 1, 2, 3, 4, 9}, 2), (Bytes{2, 1, 2, 0x81, 3, 4, 0}));
    EXPECT_EQ(appwriter::PackPixelRuns(Bytes{}, 3), Bytes{0});
}

TEST(PixelRuns, LongRunsAndLiteralsSplitAt127AndUnpackToThemselves) {
    for (std::size_t size : {1u, 2u, 3u}) {
        Bytes pixels(300 * size, 9);
        for (std::size_t i = 150 * size; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint8_t>(i / size * 7 + i % size);
        const Bytes packed = appwriter::PackPixelRuns(pixels, size);
        EXPECT_EQ(packed[0], 127) << size;
        const win32::DWORD flags = size == 3 ? 4 : static_cast<win32::DWORD>(size);
        Bytes out(pixels.size());
        ASSERT_EQ(DecodeRlePixels(out.data(), out.size(), packed.data(), packed.size(), flags),
                  pixels.size());
        EXPECT_EQ(out, pixels) << size;
    }
}

TEST(PackedDib, HeaderAndRowsFollowTheFormat) {
    const Bytes dib = appwriter::PackedDib({3, -2, 24, false, 0, false});
    const std::uint32_t rowBytes = 12; // 9 bytes padded to 4
    ASSERT_EQ(dib.size(), 40 + 2 * rowBytes);
    EXPECT_EQ(U32At(dib, 0), 40u);
    EXPECT_EQ(U32At(dib, 4), 3u);
    EXPECT_EQ(static_cast<std::int32_t>(U32At(dib, 8)), -2);
    EXPECT_EQ(dib[12] | dib[13] << 8, 1);  // planes
    EXPECT_EQ(dib[14] | dib[15] << 8, 24); // bits per pixel
    EXPECT_EQ(U32At(dib, 16), 0u);         // uncompressed
    EXPECT_EQ(U32At(dib, 20), 2 * rowBytes);
    EXPECT_EQ(dib[40 + 9], 0) << "row padding";

    // Eight bits: the whole colour table, or the colours asked; masks before it with bit fields.
    EXPECT_EQ(appwriter::PackedDib({4, 1, 8, false, 0, false}).size(), 40u + 256 * 4 + 4);
    EXPECT_EQ(appwriter::PackedDib({4, 1, 8, false, 16, false}).size(), 40u + 16 * 4 + 4);
    const Bytes masks = appwriter::PackedDib({1, 1, 16, true, 0, false});
    EXPECT_EQ(U32At(masks, 16), 3u);
    EXPECT_EQ(U32At(masks, 40), 0xF800u);
    // The alpha plane's rows are padded to 4 bytes.
    EXPECT_EQ(appwriter::PackedDib({5, 2, 32, false, 0, true}).size(), 40u + 2 * 20 + 2 * 8);
}

// Eight-bit bitmaps are left out: the image bank refuses them today (the blit from their 8-bit view into the
// image fails).
TEST(PackedDib, EveryDepthTheImageBankTakesIsAddedAsAnImage) {
    const std::vector<appwriter::DibDesc> shapes = {
        {3, 4, 16, false, 0, false}, {6, 3, 16, true, 0, false}, {4, -3, 24, false, 0, false},
        {2, 5, 32, true, 0, false},  {5, 2, 32, false, 0, true},
    };
    for (const appwriter::DibDesc& shape : shapes) {
        const Bytes dib = appwriter::PackedDib(shape);
        ContextBanks banks{};
        ImageInfo info{};
        const win32::DWORD handle =
            AddImageFromDibEx(&banks, 8, &info, reinterpret_cast<const win32::BITMAPINFO*>(dib.data()),
                              dib.size(), 0, shape.alphaPlane ? AddImageAlphaPlane : 0);
        EXPECT_NE(handle, 0u) << shape.bitCount << " bits, " << shape.width << " x " << shape.height;
        ImageInfo added{};
        if (handle && GetImageInfo(&banks, handle, &added)) {
            EXPECT_EQ(added.width, shape.width);
            EXPECT_EQ(added.height, shape.height < 0 ? -shape.height : shape.height);
        }
        FreeAllBanks(&banks);
    }
}

} // namespace
