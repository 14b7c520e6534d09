#include "vtrs2/banks.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/memory_testing.h"
#include "vtrs2/rle_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using win32::DWORD;

namespace {

constexpr DWORD Mode15 = 6, Mode24 = 4, Mode32 = 8, Mode8 = 3;

class Banks : public testing::Test {
protected:
    void TearDown() override {
        SetAllocationFailures(0, 0);
        FreeAllBanks(&banks);
    }
    DWORD AddPlain(int bank = BankSounds) {
        return AddBankItem(&banks, bank, 16, 8, BankItemZeroFill, nullptr);
    }
    DWORD AddImage32(int w, int h, const std::vector<win32::BYTE>& pixels, DWORD flags = 0) {
        return AddImage(&banks, Mode32, w, h, 1, 2, 3, 4, 0, flags, pixels.data(), pixels.size(), nullptr);
    }
    ContextBanks banks{};
};

TEST_F(Banks, FreedHandleIsReusedAndHighestStays) {
    for (DWORD h = 1; h <= 5; ++h)
        EXPECT_EQ(AddPlain(), h);
    EXPECT_EQ(ReleaseBankItem(&banks, BankSounds, 3), 0);
    EXPECT_EQ(GetBankItem(&banks, BankSounds, 3), nullptr);
    EXPECT_EQ(GetBankCount(&banks, BankSounds), 5u);
    EXPECT_EQ(AddPlain(), 3u);
    EXPECT_EQ(GetBankCount(&banks, BankSounds), 5u);
}

TEST_F(Banks, ReferenceCountsReachZeroThenFree) {
    const DWORD h = AddPlain();
    EXPECT_EQ(GetBankItem(&banks, BankSounds, h)->refCount, 1u);
    EXPECT_EQ(AddBankItemRef(&banks, BankSounds, h), 2);
    EXPECT_EQ(ReleaseBankItem(&banks, BankSounds, h), 1);
    EXPECT_NE(GetBankItem(&banks, BankSounds, h), nullptr);
    EXPECT_EQ(ReleaseBankItem(&banks, BankSounds, h), 0);
    EXPECT_EQ(GetBankItem(&banks, BankSounds, h), nullptr);
    EXPECT_EQ(ReleaseBankItem(&banks, BankSounds, h), 0) << "empty slot";
    EXPECT_EQ(AddBankItemRef(&banks, BankSounds, h), 0);
    EXPECT_EQ(ReleaseBankItem(&banks, BankSounds, 99), -1);
    EXPECT_EQ(ReleaseBankItem(&banks, 6, 1), -1);
}

TEST_F(Banks, LookupsOutsideTheTableAnswerNothing) {
    AddPlain(BankImages);
    EXPECT_EQ(GetBankItem(&banks, BankImages, 0), nullptr);
    EXPECT_EQ(GetBankItem(&banks, BankImages, 2), nullptr);
    EXPECT_EQ(GetBankItem(&banks, 6, 1), nullptr);
    EXPECT_EQ(GetBankItem(&banks, -1, 1), nullptr);
    EXPECT_EQ(GetBankItem(nullptr, BankImages, 1), nullptr);
    EXPECT_EQ(GetBankCount(&banks, BankFonts), 0u);
    EXPECT_EQ(AddBankItem(&banks, 6, 16, 0, 0, nullptr), 0u);
    EXPECT_EQ(AddBankItem(nullptr, 0, 16, 0, 0, nullptr), 0u);
}

TEST_F(Banks, Item257GrowsTableAndKeepsHandles) {
    std::vector<BankItemHeader*> items;
    for (int i = 0; i < 256; ++i) {
        AddPlain();
        items.push_back(GetBankItem(&banks, BankSounds, i + 1));
    }
    EXPECT_EQ(GetBankCapacity(&banks, BankSounds), 256u);
    EXPECT_EQ(AddPlain(), 257u);
    EXPECT_EQ(GetBankCapacity(&banks, BankSounds), 512u);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(GetBankItem(&banks, BankSounds, i + 1), items[i]);
}

TEST_F(Banks, FailedGrowthLeavesTableIntact) {
    for (int i = 0; i < 256; ++i)
        AddPlain();
    SetAllocationFailures(0, 2);
    EXPECT_EQ(AddPlain(), 0u);
    SetAllocationFailures(0, 0);
    EXPECT_EQ(GetBankCapacity(&banks, BankSounds), 256u);
    EXPECT_NE(GetBankItem(&banks, BankSounds, 256), nullptr);
}

TEST_F(Banks, ReplaceCarriesCountAndRaisesHighestHandle) {
    const DWORD h = AddPlain();
    AddBankItemRef(&banks, BankSounds, h);
    EXPECT_EQ(ReplaceBankItem(&banks, BankSounds, h, 16, 32, 0, nullptr), h);
    EXPECT_EQ(GetBankItem(&banks, BankSounds, h)->refCount, 2u);
    EXPECT_EQ(GetBankItem(&banks, BankSounds, h)->dataSize, 32u);
    // A handle beyond every one in use becomes reachable.
    EXPECT_EQ(ReplaceBankItem(&banks, BankSounds, 700, 16, 0, 0, nullptr), 700u);
    EXPECT_EQ(GetBankCount(&banks, BankSounds), 700u);
    EXPECT_EQ(GetBankCapacity(&banks, BankSounds), 768u);
    ASSERT_NE(GetBankItem(&banks, BankSounds, 700), nullptr);
    EXPECT_EQ(GetBankItem(&banks, BankSounds, 700)->refCount, 0u);
    EXPECT_EQ(ReplaceBankItem(&banks, BankSounds, 0, 16, 0, 0, nullptr), 0u);
}

TEST_F(Banks, SameImageTwiceWithDeduplicationSharesTheFirst) {
    const std::vector<win32::BYTE> pixels(4 * 3 * 2, 7);
    const DWORD first = AddImage32(3, 2, pixels, AddImageDeduplicate);
    const DWORD second = AddImage32(3, 2, pixels, AddImageDeduplicate);
    EXPECT_EQ(second, first);
    ImageInfo info{};
    ASSERT_EQ(GetImageInfo(&banks, first, &info), 1);
    EXPECT_EQ(info.refCount, 2u);
    EXPECT_EQ(ReleaseImage(&banks, first), 1);
    EXPECT_NE(GetBankItem(&banks, BankImages, first), nullptr);
    EXPECT_NE(AddImage32(3, 2, pixels), first) << "without the flag a copy is made";
}

TEST_F(Banks, ImageHeaderAndChecksumAreStored) {
    std::vector<win32::BYTE> pixels(4 * 3 * 2);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<win32::BYTE>(i);
    const DWORD h = AddImage(&banks, Mode32, 3, 2, -1, 2, 0x12345, 4, 0x00FFFFFF, 0, pixels.data(),
                             pixels.size(), nullptr);
    const auto* item = reinterpret_cast<const ImageItem*>(GetBankItem(&banks, BankImages, h));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->header.headerSize, 56u);
    EXPECT_EQ(item->header.dataSize, 24u);
    EXPECT_EQ(item->hotX, -1);
    EXPECT_EQ(item->actionX, 0x2345) << "16-bit values";
    const DWORD sum =
        ContinueChecksum(BankItemData(&item->header), 24, ComputeItemChecksum(&item->width, 40));
    EXPECT_EQ(item->checksum, sum);
    EXPECT_EQ(0, std::memcmp(BankItemData(&item->header), pixels.data(), 24));
}

TEST_F(Banks, FifteenBitTransparentColourIsMasked) {
    const std::vector<win32::BYTE> pixels(2 * 2 * 2, 0);
    const DWORD h =
        AddImage(&banks, Mode15, 2, 2, 0, 0, 0, 0, 0x00FFFFFF, 0, pixels.data(), pixels.size(), nullptr);
    ImageInfo info{};
    ASSERT_EQ(GetImageInfo(&banks, h, &info), 1);
    EXPECT_EQ(info.transparent, 0x00F8F8F8u);
}

TEST_F(Banks, ImageWhoseDataDoesNotMatchItsSizeIsRefused) {
    const std::vector<win32::BYTE> shortPixels(4 * 3 * 2 - 1, 0);
    EXPECT_EQ(AddImage32(3, 2, shortPixels), 0u);
    EXPECT_EQ(AddImage(&banks, Mode32, 0, 2, 0, 0, 0, 0, 0, 0, nullptr, 0, nullptr), 0u);
    // A packed source must unpack to exactly the image's size.
    const std::vector<win32::BYTE> packed{5, 1, 2, 0};
    EXPECT_EQ(AddImage(&banks, Mode15, 3, 2, 0, 0, 0, 0, 0, 0x200, packed.data(), packed.size(), nullptr),
              0u);
    const std::vector<win32::BYTE> exact{6, 1, 2, 0};
    EXPECT_NE(AddImage(&banks, Mode15, 3, 2, 0, 0, 0, 0, 0, 0x200, exact.data(), exact.size(), nullptr), 0u);
    EXPECT_EQ(GetBankCount(&banks, BankImages), 1u);
}

TEST_F(Banks, PackedStoreRoundTripsThroughImageData) {
    std::vector<win32::BYTE> pixels(((31 + 1) >> 1) * 6 * 9);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<win32::BYTE>((i / 40) * 3);
    const DWORD h = AddImage(&banks, Mode24, 31, 9, 0, 0, 0, 0, 0, AddImageStorePacked, pixels.data(),
                             pixels.size(), nullptr);
    const auto* item = reinterpret_cast<const ImageItem*>(GetBankItem(&banks, BankImages, h));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->flags & ImagePacked);
    EXPECT_LT(item->header.dataSize, pixels.size());
    std::vector<win32::BYTE> out(pixels.size());
    EXPECT_EQ(GetImageData(&banks, h, 0, nullptr, 0), pixels.size());
    EXPECT_EQ(GetImageData(&banks, h, 0, out.data(), out.size()), pixels.size());
    EXPECT_EQ(out, pixels);
    EXPECT_EQ(GetImageData(&banks, h, 0, out.data(), out.size() - 1), 0u) << "buffer too small";
    // Asked for packed data, the image repacks with the pixel size given.
    const DWORD size = GetImageData(&banks, h, RlePixel8, nullptr, 0);
    std::vector<win32::BYTE> repacked(size);
    EXPECT_EQ(GetImageData(&banks, h, RlePixel8, repacked.data(), repacked.size()), size);
    std::vector<win32::BYTE> again(pixels.size());
    EXPECT_EQ(DecodeRlePixels(again.data(), again.size(), repacked.data(), repacked.size(), RlePixel8),
              pixels.size());
    EXPECT_EQ(again, pixels);
}

TEST_F(Banks, ImageDataSizeFollowsDisplayMode) {
    EXPECT_EQ(GetImageDataSize(5, 3, 2), ((5 + 3) >> 2) * 2 * 3u);
    EXPECT_EQ(GetImageDataSize(5, 3, Mode8), 6 * 3u);
    EXPECT_EQ(GetImageDataSize(5, 3, Mode24), 3 * 6 * 3u);
    EXPECT_EQ(GetImageDataSize(5, 3, 5), 8 * 3u);
    EXPECT_EQ(GetImageDataSize(5, 3, Mode15), 30u);
    EXPECT_EQ(GetImageDataSize(5, 3, Mode32), 60u);
    EXPECT_EQ(GetImageDataSize(5, 3, Mode32 | AddImageAlphaPlane), 60u + 8 * 3);
    EXPECT_EQ(GetImageDataSize(5, 3, 1), 0u);
}

TEST_F(Banks, ImageDataSizesAreExactBeyond16BitsAndZeroWhenTheyDoNotFitAnItem) {
    struct Case {
        win32::LONG width, height;
        DWORD flags;
        std::uint64_t want;
    };
    const Case cases[] = {
        {40000, 30000, Mode15, 2'400'000'000u},
        // 10000 x 2 x 60000 bytes of pixels plus a 40000 x 60000 plane: its product overflows 32-bit signed.
        {40000, 60000, 2 | AddImageAlphaPlane, 3'600'000'000u},
        {65535, 65535, Mode8, 65536ull * 65535},
        {65535, 65535, Mode32, 0},
        {65535, 65535, Mode24, 0},
        {40000, 40000, Mode32 | AddImageAlphaPlane, 0},
        {-1, 5, Mode32, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetImageDataSize(c.width, c.height, c.flags), c.want)
            << c.width << " x " << c.height << " flags " << std::hex << c.flags;
}

TEST_F(Banks, ImageTooLargeForAnItemIsRefusedBeforeAnythingIsAllocated) {
    const int before = GetHeapCompactionCount();
    SetAllocationFailures(0, 2); // an allocation would fail, compacting the heap once
    EXPECT_EQ(AddImage(&banks, Mode32, 65535, 65535, 0, 0, 0, 0, 0, 0, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(
        AddImage(&banks, Mode8, 65535, 65535, 0, 0, 0, 0, 0, Mode8 | AddImageAlphaPlane, nullptr, 0, nullptr),
        0u)
        << "the pixels fit, the alpha plane does not";
    // Two 15-bit sides of 32767 and one byte of packed data: the data cannot fill 2 GB of pixels.
    const win32::BYTE packed[] = {5};
    EXPECT_EQ(AddImage(&banks, Mode15, 32767, 32767, 0, 0, 0, 0, 0, Mode15 | (RlePixel16 << 8), packed,
                       sizeof packed, nullptr),
              0u);
    EXPECT_EQ(GetHeapCompactionCount(), before);
    EXPECT_EQ(GetBankCount(&banks, BankImages), 0u);
}

TEST_F(Banks, ReleasingLastImageReferenceReleasesItsMasks) {
    const std::vector<win32::BYTE> pixels(4 * 10 * 4, 0);
    const DWORD h = AddImage32(10, 4, pixels);
    ImageMask* mask = PrepareImageCollisionMask(&banks, h, 0);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->width, 10);
    EXPECT_EQ(mask->stride, 2);
    EXPECT_EQ(mask->hotX, 1);
    EXPECT_EQ(mask->bitsOffset, 44u);
    EXPECT_EQ(GetBankItem(&banks, BankMasks, h)->headerSize, 60u);
    EXPECT_EQ(GetImageCollisionMask(&banks, h, 0), mask);
    EXPECT_NE(GetImageCollisionMask(&banks, h, 1), nullptr) << "built on first demand";
    EXPECT_EQ(GetImageCollisionMask(&banks, 0, 0), nullptr);
    EXPECT_EQ(ReleaseImage(&banks, h), 0);
    EXPECT_EQ(GetBankItem(&banks, BankMasks, h), nullptr);
    EXPECT_EQ(GetBankItem(&banks, BankPlatformMasks, h), nullptr);
}

TEST_F(Banks, TransformedInfoAtAngleZeroScalesAndZeroesChecksum) {
    const std::vector<win32::BYTE> pixels(4 * 10 * 4, 1);
    const DWORD h = AddImage32(10, 4, pixels);
    ImageInfo plain{}, same{}, scaled{};
    ASSERT_EQ(GetImageInfo(&banks, h, &plain), 1);
    ASSERT_EQ(GetTransformedImageInfo(&banks, h, 0, 1, 1, &same), 1);
    plain.checksum = plain.dataSize = 0;
    EXPECT_EQ(std::memcmp(&plain, &same, sizeof plain), 0);
    ASSERT_EQ(GetTransformedImageInfo(&banks, h, 0, 2.5f, 0.5f, &scaled), 1);
    EXPECT_EQ(scaled.width, 25);
    EXPECT_EQ(scaled.height, 2);
    EXPECT_EQ(scaled.hotX, 2);
    EXPECT_EQ(scaled.actionY, 2);
}

TEST_F(Banks, TransformedInfoScalesThenTurnsAboutTheHotSpot) {
    const std::vector<win32::BYTE> pixels(4 * 10 * 4, 1);
    const DWORD h = AddImage32(10, 4, pixels); // hot spot (1, 2), action point (3, 4)
    ImageInfo turned{};
    ASSERT_EQ(GetTransformedImageInfo(&banks, h, 90, 2, 2, &turned), 1);
    // Scaled: 20 x 8, hot spot (2, 4), action point (6, 8); a quarter turn counter-clockwise about the
    // hot spot takes the top edge to the left.
    EXPECT_EQ(turned.width, 8);
    EXPECT_EQ(turned.height, 20);
    EXPECT_EQ(turned.hotX, 4);
    EXPECT_EQ(turned.hotY, 18);
    EXPECT_EQ(turned.actionX, 8);
    EXPECT_EQ(turned.actionY, 14);
    EXPECT_EQ(turned.checksum, 0u);
    EXPECT_EQ(turned.dataSize, 0u);
    EXPECT_EQ(turned.refCount, 1u);
    EXPECT_EQ(GetTransformedImageInfo(&banks, h + 1, 90, 1, 1, &turned), 0);
}

TEST_F(Banks, FreeingImagesFreesMaskBanksToo) {
    const std::vector<win32::BYTE> pixels(4 * 2 * 2, 0);
    const DWORD h = AddImage32(2, 2, pixels);
    PrepareImageCollisionMask(&banks, h, 1);
    FreeBank(&banks, BankImages);
    EXPECT_EQ(banks.tables[BankImages], nullptr);
    EXPECT_EQ(banks.tables[BankPlatformMasks], nullptr);
    EXPECT_EQ(GetBankItem(&banks, BankImages, h), nullptr);
}

TEST(FullScreenModes, ListEndsAfterFourEntries) {
    FullScreenModeEntry entries[10]{};
    EXPECT_EQ(GetFullScreenModes(entries, 10), 4);
    EXPECT_EQ(entries[1].colourDepth, 15u);
    EXPECT_EQ(entries[1].displayMode, 6u);
    EXPECT_EQ(GetFullScreenModes(entries, 2), 2);
}

} // namespace

namespace {

class ImageMasks : public testing::Test {
protected:
    void TearDown() override { FreeAllBanks(&banks); }
    ContextBanks banks{};
    std::mt19937 rng{3};
};

bool MaskSolid(const ImageMask* m, int x, int y) {
    return (ImageMaskBits(m)[y * m->stride + (x >> 3)] >> (x & 7)) & 1;
}

TEST_F(ImageMasks, BuiltFromPixelsThatAreNotTransparent) {
    const int w = 37, h = 11;
    const win32::COLORREF key = 0x00FF00FF;
    std::vector<win32::BYTE> pixels(w * h * 4);
    std::vector<bool> solid(w * h);
    for (int i = 0; i < w * h; ++i) {
        solid[i] = rng() % 3 == 0;
        // The fourth byte is not part of the colour.
        const DWORD value = solid[i] ? (rng() % 2 ? 0x00FF00FE : 0x123456) : (0xFF00FF | (rng() % 256) << 24);
        std::memcpy(&pixels[i * 4], &value, 4);
    }
    const DWORD handle =
        AddImage(&banks, Mode32, w, h, 4, 5, 0, 0, key, 0, pixels.data(), pixels.size(), nullptr);
    const ImageMask* mask = GetImageCollisionMask(&banks, handle, 0);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->width, w);
    EXPECT_EQ(mask->stride, 6);
    EXPECT_EQ(mask->hotX, 4);
    EXPECT_EQ(mask->hotY, 5);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(MaskSolid(mask, x, y), solid[y * w + x]) << x << "," << y;
    EXPECT_EQ(GetImageCollisionMask(&banks, handle, 0), mask) << "built once, then found in its bank";

    const ImageMask* platform = GetImageCollisionMask(&banks, handle, 1);
    ASSERT_NE(platform, nullptr);
    for (int x = 0; x < w; ++x) {
        int seen = 0;
        for (int y = 0; y < h; ++y) {
            const bool expected = solid[y * w + x] && seen < 6;
            seen += solid[y * w + x];
            ASSERT_EQ(MaskSolid(platform, x, y), expected) << x << "," << y;
        }
    }
}

TEST_F(ImageMasks, PackedAndAlphaImagesGiveTheirMasks) {
    const int w = 9, h = 4;
    std::vector<win32::BYTE> pixels(w * h * 2, 0);
    for (int x = 0; x < w; ++x)
        pixels[(2 * w + x) * 2] = 0x1F; // one solid row on a black key
    const DWORD packed =
        AddImage(&banks, 7, w, h, 0, 0, 0, 0, 0, AddImageStorePacked, pixels.data(), pixels.size(), nullptr);
    ASSERT_TRUE(reinterpret_cast<ImageItem*>(GetBankItem(&banks, BankImages, packed))->flags & ImagePacked);
    const ImageMask* mask = GetImageCollisionMask(&banks, packed, 0);
    ASSERT_NE(mask, nullptr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(MaskSolid(mask, x, y), y == 2);

    std::vector<win32::BYTE> withAlpha(w * h * 4 + 12 * h, 0x40);
    for (int y = 0; y < h; ++y)
        withAlpha[w * h * 4 + y * 12 + y] = 0; // one see-through pixel per row
    const DWORD alpha = AddImage(&banks, Mode32, w, h, 0, 0, 0, 0, 0, AddImageAlphaPlane, withAlpha.data(),
                                 withAlpha.size(), nullptr);
    const ImageMask* alphaMask = GetImageCollisionMask(&banks, alpha, 0);
    ASSERT_NE(alphaMask, nullptr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(MaskSolid(alphaMask, x, y), x != y);
}

} // namespace

namespace {

class ImageConversion : public testing::Test {
protected:
    void TearDown() override { FreeAllBanks(&banks); }
    std::vector<win32::BYTE> Data(DWORD handle) {
        std::vector<win32::BYTE> out(GetImageData(&banks, handle, 0, nullptr, 0));
        GetImageData(&banks, handle, 0, out.data(), out.size());
        return out;
    }
    ContextBanks banks{};
};

TEST_F(ImageConversion, TrueColourSourceIsStoredInTheContextDepth) {
    // Two 32-bit pixels (blue, green, red, unused byte): pure red and pure blue.
    const std::vector<win32::BYTE> pixels{0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
    const DWORD h16 = AddImage(&banks, 7, 2, 1, 0, 0, 0, 0, 0, Mode32, pixels.data(), pixels.size(), nullptr);
    ASSERT_NE(h16, 0u);
    EXPECT_EQ(Data(h16), (std::vector<win32::BYTE>{0x00, 0xF8, 0x1F, 0x00}));
    const DWORD h24 =
        AddImage(&banks, Mode24, 2, 1, 0, 0, 0, 0, 0, Mode32, pixels.data(), pixels.size(), nullptr);
    ASSERT_NE(h24, 0u);
    EXPECT_EQ(Data(h24), (std::vector<win32::BYTE>{0, 0, 0xFF, 0xFF, 0, 0}));
    const auto* item = reinterpret_cast<const ImageItem*>(GetBankItem(&banks, BankImages, h24));
    EXPECT_EQ(item->displayMode, Mode24);
}

// The 24-bit layout keeps pairs of pixels: a row of three ends in three bytes of padding, which the
// converted image stores as zeros (the conversion's surface holds nothing there).
TEST_F(ImageConversion, ConvertedRowsArePaddedWithZeros) {
    const std::vector<win32::BYTE> pixels{0,    0,    0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0,    0,    0,
                                          0xFF, 0xFF, 0xFF, 0, 0, 0,    0, 0, 0x80, 0x80, 0x80, 0};
    const DWORD h =
        AddImage(&banks, Mode24, 3, 2, 0, 0, 0, 0, 0, Mode32, pixels.data(), pixels.size(), nullptr);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(Data(h), (std::vector<win32::BYTE>{0,    0,    0xFF, 0, 0xFF, 0, 0xFF, 0,    0,    0, 0, 0,
                                                 0xFF, 0xFF, 0xFF, 0, 0,    0, 0x80, 0x80, 0x80, 0, 0, 0}));
}

TEST_F(ImageConversion, AlphaPlaneTravelsWithConvertedPixels) {
    std::vector<win32::BYTE> pixels(2 * 2 * 4 + 4 * 2, 0x80);
    pixels[16] = 1, pixels[20] = 2;
    const DWORD h = AddImage(&banks, 7, 2, 2, 0, 0, 0, 0, 0, Mode32 | AddImageAlphaPlane, pixels.data(),
                             pixels.size(), nullptr);
    ASSERT_NE(h, 0u);
    const auto data = Data(h);
    ASSERT_EQ(data.size(), 2 * 2 * 2 + 8u);
    EXPECT_EQ(data[8], 1);
    EXPECT_EQ(data[12], 2);
}

TEST_F(ImageConversion, EightBitSourceIntoEightBitContextGoesThroughRemapTable) {
    const std::vector<win32::BYTE> indexes{0, 1, 2, 3}; // rows of 2 pixels, already even
    std::vector<win32::BYTE> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<win32::BYTE>(255 - i);
    const DWORD remapped =
        AddImage(&banks, Mode8, 2, 2, 0, 0, 0, 0, 0, Mode8, indexes.data(), indexes.size(), table.data());
    EXPECT_EQ(Data(remapped), (std::vector<win32::BYTE>{255, 254, 253, 252}));
}

} // namespace

namespace {

// A 24-bit bottom-up bitmap of 2 x 2: bottom row red, green; top row blue, white.
std::vector<win32::BYTE> SmallDib(bool withAlpha) {
    std::vector<win32::BYTE> dib(40 + 2 * 8 + (withAlpha ? 8 : 0), 0);
    const win32::BITMAPINFOHEADER header{40, 2, 2, 1, 24, win32::BI_RGB, 16, 0, 0, 0, 0};
    std::memcpy(dib.data(), &header, 40);
    const win32::BYTE rows[16] = {0, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0};
    std::memcpy(dib.data() + 40, rows, 16);
    const win32::BYTE alpha[8] = {1, 2, 0, 0, 3, 4, 0, 0};
    if (withAlpha) std::memcpy(dib.data() + 56, alpha, 8);
    return dib;
}

TEST(ImagesFromDibs, RowsArriveTopDownInTheContextDepth) {
    ContextBanks banks{};
    ImageInfo info{};
    info.hotX = 1;
    info.actionY = 2;
    auto dib = SmallDib(true);
    const DWORD h =
        AddImageFromDibEx(&banks, Mode32, &info, reinterpret_cast<const win32::BITMAPINFO*>(dib.data()),
                          dib.size(), 0, AddImageAlphaPlane);
    ASSERT_NE(h, 0u);
    std::vector<win32::BYTE> data(GetImageData(&banks, h, 0, nullptr, 0));
    GetImageData(&banks, h, 0, data.data(), data.size());
    ASSERT_EQ(data.size(), 16u + 8u);
    EXPECT_EQ(data[0], 0xFF);  // top-left blue
    EXPECT_EQ(data[4], 0xFF);  // top-right white
    EXPECT_EQ(data[10], 0xFF); // bottom-left red
    EXPECT_EQ(data[13], 0xFF); // bottom-right green
    EXPECT_EQ(data[16], 1);
    EXPECT_EQ(data[21], 4);
    ImageInfo stored{};
    GetImageInfo(&banks, h, &stored);
    EXPECT_EQ(stored.hotX, 1);
    EXPECT_EQ(stored.actionY, 2);
    const auto* item = reinterpret_cast<const ImageItem*>(GetBankItem(&banks, BankImages, h));
    EXPECT_EQ(item->checksum,
              ContinueChecksum(BankItemData(&item->header), 24, ComputeItemChecksum(&item->width, 40)));
    // The same bitmap again is shared by AddImageFromDib.
    auto plain = SmallDib(false);
    const auto* bitmap = reinterpret_cast<const win32::BITMAPINFO*>(plain.data());
    const DWORD first = AddImageFromDib(&banks, Mode32, &info, bitmap, plain.size());
    EXPECT_EQ(AddImageFromDib(&banks, Mode32, &info, bitmap, plain.size()), first);
    FreeAllBanks(&banks);
}

TEST(ImagesFromDibs, TruncatedOrMalformedBitmapsAreRefused) {
    ContextBanks banks{};
    ImageInfo info{};
    auto dib = SmallDib(false);
    const auto* bitmap = reinterpret_cast<const win32::BITMAPINFO*>(dib.data());
    EXPECT_EQ(AddImageFromDibEx(&banks, Mode32, &info, bitmap, dib.size() - 1, 0, 0), 0u);
    EXPECT_EQ(AddImageFromDibEx(&banks, Mode32, &info, bitmap, dib.size(), 0, AddImageAlphaPlane), 0u);
    EXPECT_EQ(AddImageFromDibEx(&banks, Mode32, &info, bitmap, 39, 0, 0), 0u);
    dib[14] = 15; // a count no bitmap format has: its rows would be read at another length
    dib.resize(dib.size() + 64);
    EXPECT_EQ(AddImageFromDibEx(&banks, Mode32, &info, reinterpret_cast<const win32::BITMAPINFO*>(dib.data()),
                                dib.size(), 0, 0),
              0u);
    dib[14] = 0; // no bits per pixel
    EXPECT_EQ(AddImageFromDibEx(&banks, Mode32, &info, reinterpret_cast<const win32::BITMAPINFO*>(dib.data()),
                                dib.size(), 0, 0),
              0u);
    EXPECT_EQ(GetBankCount(&banks, BankImages), 0u);
    FreeAllBanks(&banks);
}

} // namespace

namespace {

int deletedTextures = 0;

class CountedTexture : public cBufferSurface {
public:
    ~CountedTexture() override { ++deletedTextures; }
};

TEST(TextureCache, TextureIsDeletedWithItsLastReferenceOrItsImage) {
    ContextBanks banks{};
    const std::vector<win32::BYTE> pixels(16, 0);
    const DWORD image =
        AddImage(&banks, Mode32, 2, 2, 0, 0, 0, 0, 0, 0, pixels.data(), pixels.size(), nullptr);
    deletedTextures = 0;
    ASSERT_NE(SetImageTexture(&banks, image, new CountedTexture), nullptr);
    EXPECT_EQ(AddBankItemRef(&banks, BankTextures, image), 2);
    EXPECT_EQ(ReleaseImageTexture(&banks, image), 1);
    EXPECT_EQ(deletedTextures, 0) << "still referenced";
    EXPECT_NE(FindImageTexture(&banks, image)->surface, nullptr);
    EXPECT_EQ(ReleaseImageTexture(&banks, image), 0);
    EXPECT_EQ(deletedTextures, 1);

    SetImageTexture(&banks, image, new CountedTexture);
    SetImageTexture(&banks, image, new CountedTexture);
    EXPECT_EQ(deletedTextures, 2) << "a replaced texture is deleted";
    AddBankItemRef(&banks, BankTextures, image);
    EXPECT_EQ(ReleaseImage(&banks, image), 0);
    EXPECT_EQ(deletedTextures, 3) << "the image's last release deletes its texture";
    EXPECT_EQ(FindImageTexture(&banks, image), nullptr);
    EXPECT_EQ(SetImageTexture(&banks, image, new CountedTexture), nullptr);
    EXPECT_EQ(deletedTextures, 4) << "no image: the texture is not kept";

    const DWORD second =
        AddImage(&banks, Mode32, 2, 2, 0, 0, 0, 0, 0, 0, pixels.data(), pixels.size(), nullptr);
    SetImageTexture(&banks, second, new CountedTexture);
    FreeBank(&banks, BankImages);
    EXPECT_EQ(deletedTextures, 5) << "freeing the images frees the texture bank";
    FreeAllBanks(&banks);
}

} // namespace
