// Image surfaces over plain and run-packed pixels with alpha planes, drawn against a naive model, and the
// texture cache of bank 4 aging on a clock the test moves.
#include "vtrs2/app_context.h"
#include "vtrs2/banks.h"
#include "vtrs2/driver_testing.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/palettes.h"
#include "vtrs2/surface.h"
#include "vtrs2/texture_cache_testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace win32;

constexpr int W = 5, H = 3;
constexpr DWORD Key = 0x00FF00FF; // magenta, as a 32-bit pixel
constexpr COLORREF KeyColour = RGB(0xFF, 0, 0xFF);
constexpr DWORD Background = 0x00102030;

struct Context {
    AppContext* context = CreateAppContext(nullptr, nullptr);
    explicit Context(int mode) { SetAppDisplayMode(context, mode); }
    ~Context() { DestroyAppContext(context); }
};

// Pixels with a key-coloured column and an alpha plane of every weight kind: 0, 255 and in between.
struct Image {
    std::vector<BYTE> pixels = std::vector<BYTE>(4 * W * H);
    std::vector<BYTE> alpha = std::vector<BYTE>(((W + 3) & ~3) * H);
    Image() {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const DWORD v = x == 1 ? Key : (0x00400000u * static_cast<DWORD>(y + 1)) | (0x30u * x + 5);
                std::memcpy(&pixels[static_cast<std::size_t>(4 * (y * W + x))], &v, 4);
                alpha[static_cast<std::size_t>(y * ((W + 3) & ~3) + x)] =
                    static_cast<BYTE>(x == 0   ? 0
                                      : x == 4 ? 255
                                               : 60 * x + y);
            }
    }
    DWORD At(int x, int y) const {
        DWORD v = 0;
        std::memcpy(&v, &pixels[static_cast<std::size_t>(4 * (y * W + x))], 4);
        return v;
    }
    int Weight(int x, int y) const { return alpha[static_cast<std::size_t>(y * ((W + 3) & ~3) + x)]; }
};

// A transparent blit of an image with an alpha plane: each colour byte mixed by the pixel's weight.
DWORD ModelBlend(DWORD source, DWORD destination, int a) {
    if (a == 0) return destination;
    if (a == 255) return source;
    DWORD out = 0;
    for (int shift : {0, 8, 16}) {
        const int s = static_cast<int>((source >> shift) & 0xFF),
                  d = static_cast<int>((destination >> shift) & 0xFF);
        out |= static_cast<DWORD>((s * a + d * (256 - a)) / 256) << shift;
    }
    return out;
}

DWORD PixelOf(const cSurfaceImplementation& s, int x, int y) {
    DWORD v = 0;
    std::memcpy(&v, s.Row(y) + 4 * x, 4);
    return v & 0xFFFFFF;
}

void MakeDestination(cBufferSurface& d) {
    d.SetDepth(32);
    d.AllocatePixels(W, H);
    d.FillRectValue(0, 0, W, H, Background);
}

TEST(ImageSurface, DataSizesFollowTheImageLayout) {
    EXPECT_EQ(ImageDataSize(3, 1, 24), 12u);
    EXPECT_EQ(ImageDataSize(3, 1, 8), 4u);
    EXPECT_EQ(ImageDataSize(3, 2, 15), 12u);
    EXPECT_EQ(ImageDataSize(3, 2, 32), 24u);
    EXPECT_EQ(ImageDataSize(0, 2, 32), 0u);
}

void ExpectDrawnAsModel(cSurfaceImplementation& source, const Image& image, bool alpha, const char* what) {
    cBufferSurface d;
    MakeDestination(d);
    ASSERT_EQ(source.Blit(&d, 0, 0, 0, 0, W, H, 1, 0, 0, 0), 1) << what;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            // With an alpha plane its weights alone decide; without one the key colour is left out.
            const DWORD expected = alpha    ? ModelBlend(image.At(x, y), Background, image.Weight(x, y))
                                   : x == 1 ? Background
                                            : image.At(x, y) & 0xFFFFFF;
            EXPECT_EQ(PixelOf(d, x, y), expected) << what << " at " << x << "," << y;
        }
}

TEST(ImageSurface, ABankImageWithAlphaDrawsInPlaceAsTheModel) {
    Context c(8);
    Image image;
    std::vector<BYTE> withAlpha = image.pixels;
    withAlpha.insert(withAlpha.end(), image.alpha.begin(), image.alpha.end());
    const DWORD plainHandle = AddImage(c.context->banks, 8, W, H, 0, 0, 0, 0, KeyColour,
                                       8 | AddImageAlphaPlane, withAlpha.data(), withAlpha.size(), nullptr);
    const auto* plain =
        reinterpret_cast<const ImageItem*>(GetBankItem(c.context->banks, BankImages, plainHandle));
    ASSERT_NE(plain, nullptr);
    ASSERT_TRUE(plain->flags & ImageAlpha);

    cImageSurface* overPlain = cImageSurface::ConstructFromItemData(c.context, plain);
    ASSERT_NE(overPlain, nullptr);
    EXPECT_EQ(overPlain->pixels, BankItemData(&plain->header)); // in place
    EXPECT_EQ(overPlain->GetDataSize(), withAlpha.size());
    ExpectDrawnAsModel(*overPlain, image, true, "plain bank image");
    overPlain->Delete();
}

// A bank image stored run-length packed is unpacked once into pixels the surface owns; a plain copy of it
// (kind 1) draws the same.
TEST(ImageSurface, ARunLengthPackedBankImageDrawsAsTheModel) {
    Context c(4); // 24 bits: images of this depth are stored packed
    Image image;
    const DWORD handle = AddImage(c.context->banks, 4, W, H, 0, 0, 0, 0, KeyColour, 8 | AddImageStorePacked,
                                  image.pixels.data(), image.pixels.size(), nullptr);
    const auto* item = reinterpret_cast<const ImageItem*>(GetBankItem(c.context->banks, BankImages, handle));
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->flags & ImagePacked);
    cImageSurface* over = cImageSurface::ConstructFromItemData(c.context, item);
    ASSERT_NE(over, nullptr);
    EXPECT_EQ(over->ownsPixels, 1);
    ExpectDrawnAsModel(*over, image, false, "packed bank image");
    over->Delete();
    cSurface copy;
    ASSERT_EQ(CopyImageToSurface(c.context, handle, &copy, 1), 1);
    EXPECT_EQ(copy.GetImplementation()->IsPacked(), 0);
    ExpectDrawnAsModel(*copy.GetImplementation(), image, false, "plain copy of the packed image");
}

TEST(ImageSurface, TransparentRunPixelsDrawThroughThePackedRoutines) {
    Context c(8);
    Image image;
    cImageSurface* plain =
        cImageSurface::ConstructFromPixels(c.context, W, H, KeyColour, image.pixels.data(), nullptr, 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->IsPacked(), 0);
    BYTE head[12] = {};
    std::vector<BYTE> runs(MeasureTransparentRuns(plain, head));
    ASSERT_GT(runs.size(), sizeof head);
    std::memcpy(runs.data(), head, sizeof head);
    EncodeTransparentRuns(plain, runs.data());
    cImageSurface* packed =
        cImageSurface::ConstructFromPixels(c.context, W, H, KeyColour, runs.data(), nullptr, 1);
    ASSERT_NE(packed, nullptr);
    EXPECT_NE(packed->IsPacked(), 0);
    ExpectDrawnAsModel(*packed, image, false, "transparent runs");
    // A copy of a packed image is plain and owns its pixels.
    cSurfaceImplementation* copy = packed->CreateSameKind(W, H);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->IsPacked(), 0);
    copy->Delete();
    plain->Delete();
    packed->Delete();
}

TEST(ImageSurface, AnEightBitImageSurfaceHoldsOnePaletteReference) {
    Context c(3);
    SharedPalette* palette = c.context->sharedPalette;
    ASSERT_NE(palette, nullptr);
    const LONG before = palette->refCount;
    {
        cImageSurface surface(c.context);
        EXPECT_EQ(surface.depth, 8);
        EXPECT_EQ(surface.palette, palette);
        EXPECT_EQ(palette->refCount, before + 1);
    }
    EXPECT_EQ(palette->refCount, before);
}

TEST(ImageSurface, ABankImageGoesIntoASurfaceInPlaceOrAsAPlainCopy) {
    Context c(8);
    Image image;
    const DWORD handle = AddImage(c.context->banks, 8, W, H, 0, 0, 0, 0, KeyColour, 8, image.pixels.data(),
                                  image.pixels.size(), nullptr);
    ASSERT_NE(handle, 0u);
    cSurface surface;
    ASSERT_EQ(CopyImageToSurface(c.context, handle, &surface, 0), 1);
    const auto* item = reinterpret_cast<const ImageItem*>(GetBankItem(c.context->banks, BankImages, handle));
    // In place: the surface addresses the bank item's own pixels.
    EXPECT_EQ(surface.GetImplementation()->pixels, BankItemData(&item->header));
    EXPECT_EQ(CopyImageToSurface(c.context, handle + 7, &surface, 0), 0);
    ClearSurface(&surface);
    EXPECT_FALSE(surface.HasImplementation());
}

DWORD fakeNow = 0;
DWORD FakeClock() {
    return fakeNow;
}

class TextureCache : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string folder = TEST_DRIVER_FOLDER;
        SetDisplayDriverFolder(std::u16string(folder.begin(), folder.end()).c_str());
        fakeNow = 50000;
        SetTextureCacheClock(FakeClock);
    }
    void TearDown() override {
        SetTextureCacheClock(nullptr);
        SetDisplayDriverFolder(nullptr);
    }
};

TEST_F(TextureCache, UnusedTexturesGoAfterTenSecondsAndLockedOnesStay) {
    Context c(0x98); // a Direct3D 8 mode at 32 bits
    ASSERT_EQ(c.context->displayMode & 0x90, 0x90) << "the test driver did not bind";
    Image image;
    const DWORD used = AddImage(c.context->banks, 8, W, H, 0, 0, 0, 0, KeyColour, 8, image.pixels.data(),
                                image.pixels.size(), nullptr);
    ASSERT_NE(used, 0u);
    cSurfaceImplementation* texture = GetImageTexture(c.context, used, 0);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetType(), 16);
    EXPECT_EQ(PixelOf(*texture, 2, 1), image.At(2, 1) & 0xFFFFFF);
    EXPECT_EQ(GetImageTexture(c.context, used, 0), texture);

    // The first purge runs; then nothing is older than ten seconds.
    PurgeTextureCache(c.context);
    fakeNow += 10000;
    PurgeTextureCache(c.context);
    EXPECT_NE(FindImageTexture(c.context->banks, used), nullptr);
    fakeNow += 500;
    // Within a second of the last purge nothing is looked at.
    PurgeTextureCache(c.context);
    EXPECT_NE(FindImageTexture(c.context->banks, used), nullptr);
    fakeNow += 600;
    PurgeTextureCache(c.context);
    EXPECT_EQ(FindImageTexture(c.context->banks, used), nullptr);
}

TEST_F(TextureCache, ALockedTextureIsNeverPurgedAndKeepsItsTime) {
    Context c(0x98);
    ASSERT_EQ(c.context->displayMode & 0x90, 0x90);
    Image image;
    const DWORD handle = AddImage(c.context->banks, 8, W, H, 0, 0, 0, 0, KeyColour, 8, image.pixels.data(),
                                  image.pixels.size(), nullptr);
    ASSERT_NE(GetImageTexture(c.context, handle, TextureLocked), nullptr);
    PurgeTextureCache(c.context);
    fakeNow += 60000;
    GetImageTexture(c.context, handle, 0);
    PurgeTextureCache(c.context);
    const TextureCacheItem* item = FindImageTexture(c.context->banks, handle);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->lastUse, 0u);
    EXPECT_NE(item->surface, nullptr);
}

} // namespace
