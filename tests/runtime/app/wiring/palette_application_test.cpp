// A written 256-colour application (display mode 3) whose frame has a palette and shows an 8-bit image:
// the application's palette becomes the library context's, the frame's image is loaded into the bank in
// the images' mode, the frame drawn through the library at that depth matches a naive model, and the frame
// window shows the image in the application's colours over the frame's background.
#include "application_run.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "objects/run_objects.h"
#include "runtime/waited_clock.h"
#include "startup/banks.h"
#include "startup/build_palette.h"
#include "startup/object_infos.h"

#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "vtrs2/app_context.h"
#include "vtrs2/app_palette.h"
#include "vtrs2/banks.h"
#include "vtrs2/memory_surfaces.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vtrrt;
using namespace win32;

constexpr std::uint16_t Sprite = 1;
constexpr int ImageWidth = 5, ImageHeight = 3;
constexpr int PlacedX = 10, PlacedY = 6;
constexpr COLORREF Background = RGB(0x60, 0x90, 0x30);
constexpr std::uint32_t Indexes8 = 3;

// The application's colours: entry i of the free ones is (i, 3 i mod 256, 255 - i).
std::array<std::array<std::uint8_t, 4>, 256> ApplicationColours() {
    std::array<std::array<std::uint8_t, 4>, 256> entries{};
    for (int i = 0; i < 256; ++i)
        entries[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i),
                                                static_cast<std::uint8_t>(3 * i),
                                                static_cast<std::uint8_t>(255 - i), 0};
    return entries;
}

// Index 0 is the image's transparent colour (black); the others come from the free and static entries.
std::vector<std::uint8_t> ImageIndexes() {
    const std::uint8_t rows[ImageHeight][ImageWidth] = {
        {0, 12, 40, 0, 200}, {77, 0, 245, 10, 3}, {250, 128, 0, 99, 0}};
    std::vector<std::uint8_t> pixels;
    for (const auto& row : rows) {
        pixels.insert(pixels.end(), std::begin(row), std::end(row));
        pixels.push_back(0); // rows are padded to an even width
    }
    return pixels;
}

appwriter::ApplicationDescription Describe() {
    appwriter::ApplicationDescription d;
    d.header->graphicMode = Indexes8;
    d.header->windowWidth = 32;
    d.header->windowHeight = 16;
    appwriter::ObjectInfoDesc sprite;
    sprite.handle = Sprite;
    sprite.name = u"Sprite";
    sprite.definition.objectFlags = ObjectHasAnimation | ObjectHasSprite;
    sprite.inkEffect = 0x10000000; // drawn keyed on the image's transparent colour
    appwriter::AnimationDesc still;
    still.directions.push_back({0, 0, 100, 0, 0, {1}});
    sprite.definition.animations = {still};
    appwriter::ImageItemDesc image;
    image.width = ImageWidth;
    image.height = ImageHeight;
    image.graphicMode = Indexes8;
    image.pixels = ImageIndexes();
    const appwriter::BankPayload images = appwriter::WriteImageBank({appwriter::ImageItemDesc{}, image});
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0,
         appwriter::WriteObjectInfos({sprite}, appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    d.extra.push_back({appwriter::ChunkImageBank, 0, images.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets(images.offsets)});
    appwriter::FrameContents contents;
    contents.layers = {appwriter::LayerDesc{}};
    contents.instances = {{1, Sprite, PlacedX, PlacedY, 0, 0, 0}};
    appwriter::FrameDesc frame = appwriter::DescribeFrame(32, 16, Background, contents);
    frame.palette = appwriter::PalettePayload(ApplicationColours());
    d.frames.push_back(frame);
    return d;
}

// The nearest entry as the library promises it: black is entry 0's, other colours search 1-255, ties go
// to the lowest index.
int NaiveNearest(const SharedPalette& palette, COLORREF c) {
    if ((c & 0xFFFFFF) == 0) return 0;
    int best = 1, bestDistance = 1 << 30;
    for (int i = 1; i < 256; ++i) {
        const PALETTEENTRY& e = palette.palette.entries[i];
        const int r = e.peRed - GetRValue(c), g = e.peGreen - GetGValue(c), b = e.peBlue - GetBValue(c);
        if (r * r + g * g + b * b < bestDistance) {
            bestDistance = r * r + g * g + b * b;
            best = i;
        }
    }
    return best;
}

// The application run in one display mode for its images, given here rather than chosen from the
// header.
class PaletteApplication : public ::testing::TestWithParam<std::uint32_t> {
protected:
    void SetUp() override {
        // Time moves only when the run waits, so that every step of the machine is the same on every run.
        previousClock_ = SetFrameClock(&clock_);
        bytes_ = appwriter::WriteApplication(Describe());
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_, [this](ApplicationRecord& app) {
            app.banks->targetMode = GetParam();
            // As the program does before it makes the windows.
            SelectApplicationPalette(app);
        }));
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        SetFrameClock(previousClock_);
    }
    AppContext& Context() { return *Services().libraryContext; }
    DWORD ImageHandle() { return HandleOfStoredIndex(*app_->banks, AppBankImages, 1); }
    std::vector<BYTE> ImageData() {
        std::vector<BYTE> data(GetImageData(Context().banks, ImageHandle(), 0, nullptr, 0));
        GetImageData(Context().banks, ImageHandle(), 0, data.data(), data.size());
        return data;
    }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::vector<std::uint8_t> bytes_; // the application's data, read from while it runs
    loadertest::RecordPtr app_;
};

TEST_P(PaletteApplication, TheContextDrawsWithTheApplicationsColoursAndTheStaticOnes) {
    ASSERT_NE(Services().palette, nullptr);
    const SharedPalette* palette = Context().sharedPalette;
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->handle, Services().palette);
    const auto colours = ApplicationColours();
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = palette->palette.entries[i];
        const bool freeEntry = i >= 10 && i <= 245;
        const COLORREF expected =
            freeEntry ? RGB(colours[static_cast<std::size_t>(i)][0], colours[static_cast<std::size_t>(i)][1],
                            colours[static_cast<std::size_t>(i)][2])
                      : GetModePaletteColor(nullptr, 3, i);
        EXPECT_EQ(PaletteColor(e), expected) << i;
    }
    EXPECT_EQ(Context().workSurface->palette, palette) << "the context works in 256 colours";
    EXPECT_EQ(GetPaletteBlackIndex(&Context()), palette->blackIndex);
}

TEST_P(PaletteApplication, TheFramesImageIsLoadedInTheImagesMode) {
    ImageInfo info{};
    ASSERT_TRUE(GetImageInfo(Context().banks, ImageHandle(), &info));
    ASSERT_EQ(info.displayMode, GetParam());
    const std::vector<BYTE> data = ImageData();
    const std::vector<std::uint8_t> indexes = ImageIndexes();
    const SharedPalette& palette = *Context().sharedPalette;
    for (int y = 0; y < ImageHeight; ++y)
        for (int x = 0; x < ImageWidth; ++x) {
            const std::uint8_t index = indexes[static_cast<std::size_t>(y * (ImageWidth + 1) + x)];
            if (GetParam() == Indexes8) {
                EXPECT_EQ(data[static_cast<std::size_t>(y * (ImageWidth + 1) + x)], index) << x << "," << y;
                continue;
            }
            // In true colour the image shows the colours its indexes have in the application's palette.
            const std::size_t rowBytes = static_cast<std::size_t>((ImageWidth + 1) / 2 * 6);
            const BYTE* p = data.data() + y * rowBytes + 3 * x;
            EXPECT_EQ(RGB(p[2], p[1], p[0]), PaletteColor(palette.palette.entries[index])) << x << "," << y;
        }
}

// The frame's background with the image over it, keyed on its transparent colour, at the images' depth.
TEST_P(PaletteApplication, TheFrameDrawnAtTheImagesDepthMatchesTheModel) {
    const FrameRecord& frame = *app_->run.frame;
    const bool indexes = GetParam() == Indexes8;
    cBufferSurface screen, image;
    ASSERT_EQ(screen.SetDepth(indexes ? 8 : 24), 1);
    ASSERT_EQ(screen.AllocatePixels(frame.width, frame.height), 1);
    ASSERT_EQ(image.SetDepth(screen.depth), 1);
    if (indexes) {
        screen.SetPalette(Context().sharedPalette, 0);
        image.SetPalette(Context().sharedPalette, 0);
    }
    ASSERT_EQ(screen.FillRect(0, 0, frame.width, frame.height, frame.background), 1);
    ImageInfo info{};
    ASSERT_TRUE(GetImageInfo(Context().banks, ImageHandle(), &info));
    ASSERT_EQ(image.AllocatePixels(info.width, info.height), 1);
    const std::vector<BYTE> data = ImageData();
    const std::size_t rowBytes = data.size() / static_cast<std::size_t>(info.height);
    for (int y = 0; y < info.height; ++y)
        std::memcpy(image.Row(y), data.data() + y * rowBytes,
                    static_cast<std::size_t>(info.width * image.bytesPerPixel));
    image.SetColorKey(info.transparent);
    ASSERT_EQ(image.Blit(&screen, PlacedX, PlacedY, 0, 0, info.width, info.height, 1, 0, 0, 0), 1);

    const SharedPalette& palette = *Context().sharedPalette;
    const std::vector<std::uint8_t> stored = ImageIndexes();
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            int index = -1;
            const int u = x - PlacedX, v = y - PlacedY;
            if (u >= 0 && v >= 0 && u < ImageWidth && v < ImageHeight)
                index = stored[static_cast<std::size_t>(v * (ImageWidth + 1) + u)];
            // Index 0 is the image's transparent black.
            if (index <= 0) index = -1;
            if (indexes) {
                const int expected = index >= 0 ? index : NaiveNearest(palette, frame.background);
                ASSERT_EQ(screen.Row(y)[x], expected) << x << "," << y;
            } else {
                const COLORREF expected =
                    index >= 0 ? PaletteColor(palette.palette.entries[index]) : frame.background;
                const BYTE* p = screen.Row(y) + 3 * x;
                ASSERT_EQ(RGB(p[2], p[1], p[0]), expected) << x << "," << y;
            }
        }
}

// The frame as its window shows it after one loop: a 256-colour application draws in 8 bits, so the
// background shows its nearest palette colour, and each image pixel the colour its index has in the
// application's palette (true-colour images come back to that index); index 0 is transparent.
TEST_P(PaletteApplication, TheFrameWindowShowsTheImageInTheApplicationsColours) {
    EXPECT_EQ(app_->surfaceDepth, 8);
    const std::int64_t loops = CurrentRunState()->loopCount;
    for (int i = 0; i < 1000 && CurrentRunState() && CurrentRunState()->loopCount == loops; ++i)
        ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    ASSERT_NE(CurrentRunState(), nullptr);
    const FrameRecord& frame = *app_->run.frame;
    const SharedPalette& palette = *Context().sharedPalette;
    const std::vector<std::uint8_t> stored = ImageIndexes();
    const int background = NaiveNearest(palette, frame.background);
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const int u = x - PlacedX, v = y - PlacedY;
            int index = u >= 0 && v >= 0 && u < ImageWidth && v < ImageHeight
                            ? stored[static_cast<std::size_t>(v * (ImageWidth + 1) + u)]
                            : 0;
            if (index == 0) index = background;
            ASSERT_EQ(win32::testing::ReadWindowPixel(Services().frameWindow, x, y),
                      PaletteColor(palette.palette.entries[index]))
                << x << "," << y;
        }
}

std::string ModeName(const ::testing::TestParamInfo<std::uint32_t>& info) {
    return info.param == Indexes8 ? "Indexes" : "TrueColour";
}

INSTANTIATE_TEST_SUITE_P(ImagesIn, PaletteApplication, ::testing::Values(Indexes8, 4u), ModeName);

} // namespace
