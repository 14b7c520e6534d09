// Image files through the image-filter plug-ins built beside the tests: a surface saved by each filter at
// each depth it writes and loaded back, the filter chosen by the file's content, and the result codes of
// ImageFile.
#include "image_test_support.h"

#include <cstdio>
#include <jpeglib.h>

#include <fstream>

namespace {

using namespace imagetest;

struct RoundTrip {
    const char* name;
    DWORD filter;
    int depth;
    bool alpha;
    int tolerance; // per channel; JPEG is lossy
};

std::string RoundTripName(const ::testing::TestParamInfo<RoundTrip>& info) {
    return info.param.name;
}

class ImageRoundTrips : public ImageFiles, public ::testing::WithParamInterface<RoundTrip> {};

// libjpeg-turbo's own reading of a file as blue, green, red rows.
std::vector<BYTE> DecodeWithLibjpeg(const std::string& path, int& width, int& height) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), {});
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), file.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    std::vector<BYTE> pixels(static_cast<std::size_t>(width) * height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + static_cast<std::size_t>(info.output_scanline) * width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return pixels;
}

} // namespace

TEST_P(ImageRoundTrips, ASavedSurfaceLoadsBackEqual) {
    const RoundTrip c = GetParam();
    auto original = Pattern(c.depth, 37, 21, c.alpha);
    const std::u16string path = Path(u"picture");
    if (c.depth == 15 || c.depth == 16) {
        // SaveImageFile writes these surfaces at 24 bits; the filter itself writes them as they are.
        ImageFile file(&filters_);
        ASSERT_EQ(file.SelectFilterByID(c.filter), 1);
        cSurfaceImplementation* s = original->GetImplementation();
        ASSERT_EQ(file.Save(path.c_str(), s->Row(0), 37, 21, c.depth, s->signedPitch, nullptr, nullptr, 0),
                  ImageOk);
    } else {
        ASSERT_EQ(SaveImageFile(&filters_, path.c_str(), original.get(), c.filter), 1);
    }
    cSurface loaded;
    DWORD id = 0;
    ASSERT_EQ(LoadImageFileStream(&filters_, path.c_str(), &id, 0, &loaded), 1);
    EXPECT_EQ(id, c.filter);
    EXPECT_EQ(loaded.GetWidth(), 37);
    EXPECT_EQ(loaded.GetHeight(), 21);
    if (c.tolerance == 0) {
        EXPECT_EQ(loaded.GetDepth(), c.depth);
    }
    ExpectSameColours(*original, loaded, c.tolerance);
    EXPECT_EQ(loaded.HasAlphaPlane() != 0, c.alpha);
    if (c.alpha) {
        ExpectSameAlpha(*original, loaded);
    }
    if (c.filter == JpegId) {
        int width = 0, height = 0;
        const std::vector<BYTE> direct = DecodeWithLibjpeg(ToUtf8(path), width, height);
        ASSERT_EQ(width, 37);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const BYTE* p = &direct[(static_cast<std::size_t>(y) * width + x) * 3];
                COLORREF got = 0;
                loaded.GetPixel(x, y, got);
                ASSERT_EQ(got, RGB(p[2], p[1], p[0])) << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFilter, ImageRoundTrips,
                         ::testing::Values(RoundTrip{"Bmp8", BmpFilterId, 8, false, 0},
                                           RoundTrip{"Bmp15", BmpFilterId, 15, false, 0},
                                           RoundTrip{"Bmp16", BmpFilterId, 16, false, 0},
                                           RoundTrip{"Bmp24", BmpFilterId, 24, false, 0},
                                           RoundTrip{"Bmp32Alpha", BmpFilterId, 32, true, 0},
                                           RoundTrip{"Png8", PngId, 8, false, 0},
                                           RoundTrip{"Png24", PngId, 24, false, 0},
                                           RoundTrip{"Png32Alpha", PngId, 32, true, 0},
                                           RoundTrip{"Gif8", GifId, 8, false, 0},
                                           RoundTrip{"Jpeg24", JpegId, 24, false, 40}),
                         RoundTripName);

TEST_F(ImageFiles, SavingWithIdZeroWritesABitmap) {
    auto original = Pattern(24, 5, 4, false);
    const std::u16string path = Path(u"zero");
    ASSERT_EQ(SaveImageFile(&filters_, path.c_str(), original.get(), 0), 1);
    std::ifstream in(ToUtf8(path), std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "BM");
}

TEST_F(ImageFiles, TheFilterIsChosenByContentNotByName) {
    auto original = Pattern(24, 9, 7, false);
    const std::u16string png = Path(u"really_png.bmp"), bmp = Path(u"really_bmp.png");
    ASSERT_EQ(SaveImageFile(&filters_, png.c_str(), original.get(), PngId), 1);
    ASSERT_EQ(SaveImageFile(&filters_, bmp.c_str(), original.get(), BmpFilterId), 1);
    for (const auto& [path, id] : {std::pair{png, PngId}, std::pair{bmp, BmpFilterId}}) {
        cSurface loaded;
        DWORD used = 0;
        ASSERT_EQ(LoadImageFileStream(&filters_, path.c_str(), &used, 0, &loaded), 1);
        EXPECT_EQ(used, id);
        ExpectSameColours(*original, loaded, 0);
        ImageFile file(&filters_);
        ASSERT_EQ(file.OpenRead(path.c_str()), ImageOk);
        EXPECT_EQ(file.GetFilter()->GetFilterID(), id);
        EXPECT_EQ(file.GetFilterIndex(), filters_.FindFilterByID(id));
    }
}

TEST_F(ImageFiles, UnreadableFilesAreRefusedWithTheirCodes) {
    ImageFile file(&filters_);
    EXPECT_EQ(file.OpenRead(Path(u"missing").c_str()), ImageCannotOpen);
    EXPECT_EQ(file.OpenRead(nullptr), ImageNoName);
    MakeFile("text.png", "not an image at all");
    EXPECT_EQ(file.OpenRead(Path(u"text.png").c_str()), ImageNoFilter);
    EXPECT_EQ(file.GetFilter(), nullptr);
    EXPECT_EQ(file.GetFilterIndex(), -1);
    EXPECT_STREQ(reinterpret_cast<const char*>(file.GetFilterNameA()), "");
    // A PNG cut short after its header is refused, whatever the read asks for.
    auto original = Pattern(24, 40, 40, false);
    const std::u16string whole = Path(u"whole.png");
    ASSERT_EQ(SaveImageFile(&filters_, whole.c_str(), original.get(), PngId), 1);
    std::ifstream in(ToUtf8(whole), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    MakeFile("cut.png", bytes.substr(0, bytes.size() / 2));
    cSurface loaded;
    EXPECT_EQ(LoadImageFileIntoSurface(&filters_, Path(u"cut.png").c_str(), &loaded, nullptr, 0), 0);
    EXPECT_EQ(CanOpenImageFile(&filters_, Path(u"text.png").c_str()), 0);
    int still = 7;
    EXPECT_EQ(IsImageFile(&filters_, whole.c_str(), &still), 1);
    EXPECT_EQ(still, 1);
}

TEST_F(ImageFiles, ReadArgumentsAreCheckedAgainstTheImage) {
    auto original = Pattern(24, 6, 5, false);
    const std::u16string path = Path(u"checked.png");
    ASSERT_EQ(SaveImageFile(&filters_, path.c_str(), original.get(), PngId), 1);
    ImageFile file(&filters_);
    std::vector<BYTE> pixels(6 * 5 * 4);
    EXPECT_EQ(file.PrepareRead(6, 5, 24, nullptr), ImageNotOpen);
    ASSERT_EQ(file.OpenRead(path.c_str()), ImageOk);
    CInputMemFile other;
    EXPECT_EQ(file.AttachInput(&other), ImageInputAttached);
    EXPECT_EQ(file.PrepareRead(7, 5, 24, nullptr), ImageSizeDiffers);
    EXPECT_EQ(file.PrepareRead(6, 5, 12, nullptr), ImageBadArguments);
    EXPECT_EQ(file.ReadImage(pixels.data(), 6, 5, 6 * 4, 32, nullptr, nullptr, 0), ImageOk);
    // A 24-bit image read at 32 bits: blue, green, red and a fourth byte in each pixel.
    COLORREF first = 0;
    original->GetPixel(1, 2, first);
    const BYTE* p = &pixels[(2 * 6 + 1) * 4];
    EXPECT_EQ(RGB(p[2], p[1], p[0]), first);
    EXPECT_EQ(file.ReadFrames(pixels.data(), 6 * 4, 3), ImageNotSupported);
    EXPECT_EQ(file.Close(), ImageOk);
    EXPECT_EQ(file.GetOutputSize(), ImageNotOpen);
}

TEST_F(ImageFiles, ADepthTheFilterCannotWriteIsRefusedOrFallsBack) {
    ImageFile file(&filters_);
    ASSERT_EQ(file.SelectFilterByID(GifId), 1);
    std::vector<BYTE> pixels(4 * 4 * 3);
    EXPECT_EQ(file.Save(Path(u"deep.gif").c_str(), pixels.data(), 4, 4, 24, 12, nullptr, nullptr, 0),
              ImageDepthNotWritable);
    EXPECT_EQ(file.Save(Path(u"empty.gif").c_str(), pixels.data(), 0, 4, 8, 12, nullptr, nullptr, 0),
              ImageBadArguments);
    EXPECT_EQ(file.SelectFilterByID(0x12345678), 0);
    // SaveImageFile writes a 24-bit surface as GIF through an 8-bit copy.
    auto original = Pattern(24, 8, 8, false);
    const std::u16string path = Path(u"fallback.gif");
    ASSERT_EQ(SaveImageFile(&filters_, path.c_str(), original.get(), GifId), 1);
    cSurface loaded;
    ASSERT_EQ(LoadImageFileIntoSurface(&filters_, path.c_str(), &loaded, nullptr, 0), 1);
    EXPECT_EQ(loaded.GetDepth(), 8);
}

TEST_F(ImageFiles, TheSurfaceTakesTheImagesDepthUnlessAskedToKeepItsOwn) {
    auto original = Pattern(8, 10, 6, false);
    const std::u16string path = Path(u"indexed.png");
    ASSERT_EQ(SaveImageFile(&filters_, path.c_str(), original.get(), PngId), 1);
    auto target = MakeSurface(15, 3, 3);
    ASSERT_EQ(LoadImageFileIntoSurface(&filters_, path.c_str(), target.get(), nullptr, 0), 1);
    EXPECT_EQ(target->GetDepth(), 8);
    ExpectSameColours(*original, *target, 0);
    // Kept at 16 bits, the colours are the image's cut to 5-6-5.
    auto kept = MakeSurface(16, 3, 3);
    ASSERT_EQ(LoadImageFileIntoSurface(&filters_, path.c_str(), kept.get(), nullptr, LoadImageKeepDepth), 1);
    EXPECT_EQ(kept->GetDepth(), 16);
    COLORREF a = 0, b = 0;
    original->GetPixel(4, 3, a);
    kept->GetPixel(4, 3, b);
    EXPECT_EQ(b, a & 0xF8FCF8);
}

TEST_F(ImageFiles, WithoutATransparentColourTheCornerCanGiveTheKey) {
    auto original = Pattern(8, 6, 6, false);
    const std::u16string path = Path(u"keyed.gif");
    ASSERT_EQ(SaveImageFile(&filters_, path.c_str(), original.get(), GifId), 1);
    cSurface loaded;
    ASSERT_EQ(LoadImageFileStream(&filters_, path.c_str(), nullptr, LoadImageKeyFromCorner, &loaded), 1);
    COLORREF corner = 0;
    loaded.GetPixel(0, 0, corner);
    EXPECT_EQ(loaded.GetImplementation()->GetColorKey(), corner);
    // Loaded again without a key of its own, the surface keeps the one it had.
    ASSERT_EQ(LoadImageFileStream(&filters_, path.c_str(), nullptr, 0, &loaded), 1);
    EXPECT_EQ(loaded.GetImplementation()->GetColorKey(), corner);
}

TEST_F(ImageFiles, AnImageBelow8BitsIsRefused) {
    CImageFilterMgr filters;
    filters.InsertBuiltInFilter(NewFourBitFilter, 0x34544942, u"four bits", 0);
    MakeFile("four", "4bit");
    ImageFile file(&filters);
    ASSERT_EQ(file.SelectFilterByID(0x34544942), 1);
    EXPECT_EQ(file.OpenRead(Path(u"four").c_str()), ImageBelow8Bits);
    EXPECT_EQ(file.GetFilter(), nullptr);
}

TEST_F(ImageFiles, APaletteIsReadFromIndexedFilesOnly) {
    auto indexed = Pattern(8, 4, 4, false), deep = Pattern(24, 4, 4, false);
    ASSERT_EQ(SaveImageFile(&filters_, Path(u"p.png").c_str(), indexed.get(), PngId), 1);
    ASSERT_EQ(SaveImageFile(&filters_, Path(u"d.png").c_str(), deep.get(), PngId), 1);
    LogPalette256 palette{};
    ASSERT_EQ(GetImageFilePalette(&filters_, Path(u"p.png").c_str(), palette.Log()), 1);
    EXPECT_EQ(palette.entries[3].peRed, indexed->GetImplementation()->palette->palette.entries[3].peRed);
    EXPECT_EQ(GetImageFilePalette(&filters_, Path(u"d.png").c_str(), palette.Log()), 0);
}

TEST_F(ImageFiles, EachFilterSaysItListsStillImagesAndNoAnimations) {
    for (DWORD id : {BmpFilterId, PngId, JpegId, GifId}) {
        const int index = filters_.FindFilterByID(id);
        ASSERT_GE(index, 0) << id;
        EXPECT_EQ(FilterHandlesImages(&filters_, index), 1) << id;
        EXPECT_EQ(FilterHandlesAnimations(&filters_, index), 0) << id;
    }
    EXPECT_EQ(FilterHandlesImages(&filters_, filters_.GetFilterCount()), 0);
    EXPECT_EQ(FilterHandlesImages(&filters_, -1), 0);
    EXPECT_EQ(FilterHandlesImages(nullptr, 0), 0);
}
