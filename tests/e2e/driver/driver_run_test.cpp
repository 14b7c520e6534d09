// The program run with the Direct3D 8 display driver (-D3D8) in a real X window (Xvfb): the frame's
// background colour and a filled quick backdrop reach the screen through the driver's device, and the
// title says which driver draws; without any OpenGL the same run falls back to the library's own surfaces
// and says so. A sub-application drawn into the frame and a question's box show through the driver as they
// do on the library's surfaces.
#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "appwriter/sample_applications.h"
#include "support/child_process.h"
#include "support/x_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path BinDir = VTR_BIN_DIR;
constexpr const char* Python = "/usr/bin/python3";

using Rgb = std::array<std::uint8_t, 3>;

constexpr std::uint32_t ColourRef(const Rgb& c) {
    return c[0] | (c[1] << 8) | (c[2] << 16);
}

// Colours found nowhere else on the screen.
constexpr Rgb Background = {0x12, 0x34, 0x56};
constexpr Rgb Block = {0xC8, 0x40, 0x1C};
constexpr int FrameWidth = 320, FrameHeight = 240;
constexpr int BlockX = 40, BlockY = 30, BlockWidth = 100, BlockHeight = 60;
constexpr std::uint16_t BlockHandle = 1;
constexpr std::uint16_t Rectangle = 2, SolidFill = 1;
constexpr std::uint32_t LayerShown = 0x10;

// The frame: the block, then the objects given, placed as given.
appwriter::Bytes DriverApplication(std::vector<appwriter::ObjectInfoDesc> more = {},
                                   std::vector<appwriter::InstanceDesc> placed = {}) {
    appwriter::ApplicationDescription d;
    d.name = u"Driver run";
    d.header->windowWidth = FrameWidth;
    d.header->windowHeight = FrameHeight;
    d.header->graphicMode = 8;
    appwriter::ObjectInfoDesc block;
    block.handle = BlockHandle;
    block.type = 0;
    block.name = u"Block";
    block.definition.type = 0;
    block.definition.shape = Rectangle;
    block.definition.fillType = SolidFill;
    block.definition.colour1 = ColourRef(Block);
    block.definition.width = BlockWidth;
    block.definition.height = BlockHeight;
    more.insert(more.begin(), block);
    d.extra.push_back({appwriter::ChunkObjectInfos, 0,
                       appwriter::WriteObjectInfos(more, appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    // An image bank of no images: the frame's backdrops are drawn once the banks are there.
    const appwriter::BankPayload images = appwriter::WriteImageBank({});
    d.extra.push_back({appwriter::ChunkImageBank, 0, images.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets({0})});
    appwriter::FrameContents contents;
    contents.layers = {appwriter::LayerDesc{LayerShown}};
    placed.insert(placed.begin(), {1, BlockHandle, BlockX, BlockY, 0, 0, 0});
    contents.instances = placed;
    d.frames.push_back(appwriter::DescribeFrame(FrameWidth, FrameHeight, ColourRef(Background), contents));
    return appwriter::WriteApplication(d);
}

struct Box {
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN; // inclusive
    int count = 0;
    void Add(int x, int y) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
        ++count;
    }
};

struct Seen {
    Box background, block;
};

Seen Look(const vtrtest::Screenshot& shot) {
    Seen seen;
    for (int y = 0; y < static_cast<int>(shot.height); ++y)
        for (int x = 0; x < static_cast<int>(shot.width); ++x) {
            const auto p = shot.Rgb(x, y);
            if (*p == Background) seen.background.Add(x, y);
            if (*p == Block) seen.block.Add(x, y);
        }
    return seen;
}

// The frame's picture on the screen: the pixels of the box the background colour spans.
struct FramePicture {
    Box at;
    std::vector<Rgb> pixels;
    bool operator==(const FramePicture& other) const { return pixels == other.pixels; }
    int Count(const Rgb& colour) const {
        return static_cast<int>(std::count(pixels.begin(), pixels.end(), colour));
    }
};

std::optional<FramePicture> PictureOf(const vtrtest::Screenshot& shot) {
    const Box at = Look(shot).background;
    if (at.count == 0 || at.right - at.left + 1 != FrameWidth || at.bottom - at.top + 1 != FrameHeight)
        return std::nullopt;
    FramePicture picture{at, {}};
    for (int y = at.top; y <= at.bottom; ++y)
        for (int x = at.left; x <= at.right; ++x)
            picture.pixels.push_back(*shot.Rgb(x, y));
    return picture;
}

class DriverRun : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vtr-driver-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "tmp");
        Write("app.vtg", DriverApplication());
    }
    void Write(const char* name, const appwriter::Bytes& data) {
        std::ofstream(root_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            vtrtest::WaitFor(pid_, 10s);
        }
        fs::remove_all(root_);
    }

    void Start(const std::string& display, std::vector<std::string> extra = {}, bool driver = true) {
        std::vector<std::string> settings = {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11",
                                             "LIBGL_ALWAYS_SOFTWARE=1", "TMPDIR=" + (root_ / "tmp").string(),
                                             "LSAN_OPTIONS=suppressions=" +
                                                 std::string(VTR_LSAN_SUPPRESSIONS_FILE)};
        settings.insert(settings.end(), extra.begin(), extra.end());
        std::vector<std::string> command = {(BinDir / "vtrrt").string(),  "-D3D8", "-DEBUG", "-F",
                                            (root_ / "app.vtg").string(), "/R0"};
        if (!driver) command.erase(command.begin() + 1);
        pid_ = vtrtest::Spawn(command, vtrtest::ChildEnvironment(settings), (root_ / "run.out").c_str(),
                              (root_ / "run.err").c_str());
        ASSERT_GT(pid_, 0);
    }

    // The first screenshot that shows the block, within half a minute.
    std::optional<Seen> WaitForBlock(const std::string& display) {
        const std::string shotPath = (root_ / "shot.xwd").string();
        for (int attempt = 0; attempt < 300; ++attempt) {
            std::this_thread::sleep_for(100ms);
            if (vtrtest::WaitFor(pid_, 0ms)) return std::nullopt;
            vtrtest::Screenshot shot;
            if (!vtrtest::TakeScreenshot(display, shotPath) || !shot.Read(shotPath)) continue;
            const Seen seen = Look(shot);
            if (seen.block.count == BlockWidth * BlockHeight) return seen;
        }
        return std::nullopt;
    }

    // The frame's picture once it shows `colour` and two screenshots in a row agree, within half a minute;
    // the run is ended.
    std::optional<FramePicture> SettledPicture(const std::string& display, const Rgb& colour) {
        const std::string shotPath = (root_ / "shot.xwd").string();
        std::optional<FramePicture> previous, settled;
        for (int attempt = 0; attempt < 300 && !settled; ++attempt) {
            std::this_thread::sleep_for(100ms);
            if (vtrtest::WaitFor(pid_, 0ms)) break;
            vtrtest::Screenshot shot;
            if (!vtrtest::TakeScreenshot(display, shotPath) || !shot.Read(shotPath)) continue;
            std::optional<FramePicture> now = PictureOf(shot);
            if (!now || now->Count(colour) == 0) continue;
            if (previous && *previous == *now) settled = now;
            previous = std::move(now);
        }
        kill(pid_, SIGKILL);
        vtrtest::WaitFor(pid_, 10s);
        pid_ = 0;
        return settled;
    }
    // The pictures of the same run through the driver and on the library's surfaces, alike within a few
    // levels of each channel (the device's rasteriser rounds blends and edges its own way).
    void ExpectTheDriverDrawsAsTheLibrary(const Rgb& shown) {
        vtrtest::VirtualDisplay display;
        if (!display.Start(640, 480)) GTEST_SKIP() << "Xvfb is not available";
        ASSERT_NO_FATAL_FAILURE(Start(display.Name(), {}, false));
        const std::optional<FramePicture> library = SettledPicture(display.Name(), shown);
        ASSERT_TRUE(library) << "no settled picture on the library's surfaces:\n" << Output();
        ASSERT_NO_FATAL_FAILURE(Start(display.Name()));
        const std::optional<FramePicture> driver = SettledPicture(display.Name(), shown);
        ASSERT_TRUE(driver) << "no settled picture through the driver:\n" << Output();
        constexpr int Tolerance = 4;
        int differing = 0;
        for (std::size_t i = 0; i < library->pixels.size(); ++i)
            for (std::size_t c = 0; c < 3; ++c)
                if (std::abs(library->pixels[i][c] - driver->pixels[i][c]) > Tolerance) {
                    if (differing++ < 5)
                        ADD_FAILURE() << "at " << i % FrameWidth << "," << i / FrameWidth << " channel " << c
                                      << ": " << int(library->pixels[i][c]) << " on the library's surfaces, "
                                      << int(driver->pixels[i][c]) << " through the driver";
                    break;
                }
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(driver->Count(shown), library->Count(shown));
    }

    // The titles of the display's windows, one a line.
    std::string WindowTitles(const std::string& display) {
        static constexpr const char* Script = "import sys\n"
                                              "from Xlib import display\n"
                                              "def walk(w):\n"
                                              "    yield w\n"
                                              "    for c in w.query_tree().children:\n"
                                              "        yield from walk(c)\n"
                                              "for w in walk(display.Display(sys.argv[1]).screen().root):\n"
                                              "    name = w.get_wm_name()\n"
                                              "    if name:\n"
                                              "        print(name)\n";
        const std::string out = (root_ / "titles.out").string();
        const pid_t helper = vtrtest::Spawn({Python, "-c", Script, display}, vtrtest::ChildEnvironment({}),
                                            out.c_str(), "/dev/null");
        if (helper <= 0 || vtrtest::WaitFor(helper, 20s) != 0) return {};
        return vtrtest::ReadFile(out);
    }

    std::optional<int> End() {
        kill(pid_, SIGTERM);
        const std::optional<int> code = vtrtest::WaitFor(pid_, 60s);
        if (code) pid_ = 0;
        return code;
    }

    std::string Output() const {
        return vtrtest::ReadFile(root_ / "run.out") + vtrtest::ReadFile(root_ / "run.err");
    }

    fs::path root_;
    pid_t pid_ = 0;
};

TEST_F(DriverRun, TheFrameIsDrawnThroughTheDriversDevice) {
    vtrtest::VirtualDisplay display;
    if (!display.Start(640, 480)) GTEST_SKIP() << "Xvfb is not available";
    ASSERT_NO_FATAL_FAILURE(Start(display.Name()));
    const std::optional<Seen> seen = WaitForBlock(display.Name());
    ASSERT_TRUE(seen) << "the block never showed:\n" << Output();
    // The block stands whole where it was placed in the frame, and the background fills the rest.
    EXPECT_EQ(seen->block.right - seen->block.left + 1, BlockWidth);
    EXPECT_EQ(seen->block.bottom - seen->block.top + 1, BlockHeight);
    EXPECT_EQ(seen->block.left - seen->background.left, BlockX);
    EXPECT_EQ(seen->block.top - seen->background.top, BlockY);
    EXPECT_EQ(seen->background.right - seen->background.left + 1, FrameWidth);
    EXPECT_EQ(seen->background.bottom - seen->background.top + 1, FrameHeight);
    EXPECT_EQ(seen->background.count, FrameWidth * FrameHeight - BlockWidth * BlockHeight);
    EXPECT_NE(WindowTitles(display.Name()).find("Driver run - D3D8 Mode"), std::string::npos)
        << WindowTitles(display.Name());
    EXPECT_EQ(Output().find("vtr2d3d8"), std::string::npos) << Output();
    ASSERT_EQ(End(), 0) << Output();
}

TEST_F(DriverRun, WithoutOpenGlTheLibrarysSurfacesDrawTheFrameAndSaySo) {
    vtrtest::VirtualDisplay display;
    if (!display.Start(640, 480)) GTEST_SKIP() << "Xvfb is not available";
    // No EGL vendor library: no display of any kind can be had.
    ASSERT_NO_FATAL_FAILURE(Start(display.Name(), {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/vendor.json",
                                                   "__EGL_VENDOR_LIBRARY_DIRS=/nonexistent"}));
    const std::optional<Seen> seen = WaitForBlock(display.Name());
    ASSERT_TRUE(seen) << "the block never showed:\n" << Output();
    EXPECT_EQ(seen->block.left - seen->background.left, BlockX);
    EXPECT_EQ(seen->background.count, FrameWidth * FrameHeight - BlockWidth * BlockHeight);
    EXPECT_EQ(WindowTitles(display.Name()).find("D3D8 Mode"), std::string::npos);
    ASSERT_EQ(End(), 0) << Output();
    EXPECT_NE(Output().find("vtr2d3d8: no 3D device, the library's own surfaces are used"), std::string::npos)
        << Output();
}

} // namespace

namespace {

// A child application drawn into the frame, at a place that overlaps the block.
TEST_F(DriverRun, ASubApplicationDrawnIntoTheFrameShowsAsOnTheLibrarysSurfaces) {
    constexpr std::uint32_t InParent = 0x4000000;
    constexpr std::uint16_t SubAppHandle = 2;
    appwriter::SubApplicationDesc sub;
    sub.width = appwriter::ChildFrameWidth;
    sub.height = appwriter::ChildFrameHeight;
    sub.options = InParent;
    sub.fileName = u"child.vtg";
    appwriter::ObjectInfoDesc o;
    o.handle = SubAppHandle;
    o.type = 9;
    o.name = u"Sub-application";
    o.definition.typeData = appwriter::SubApplicationData(sub);
    Write("app.vtg", DriverApplication({o}, {{2, SubAppHandle, 120, 70, 0, 0, 0}}));
    ASSERT_TRUE(appwriter::ApplicationWriter(appwriter::ChildApplication())
                    .WriteFile((root_ / "child.vtg").string()));
    const std::uint32_t c = appwriter::ChildFrameColours[0];
    ExpectTheDriverDrawsAsTheLibrary(
        Rgb{std::uint8_t(c & 0xFF), std::uint8_t((c >> 8) & 0xFF), std::uint8_t((c >> 16) & 0xFF)});
}

// The question asked at the frame's start, its box over the block's corner, waiting for an answer.
TEST_F(DriverRun, AQuestionsBoxShowsAsOnTheLibrarysSurfaces) {
    constexpr std::uint16_t QuestionHandle = 2;
    appwriter::ObjectInfoDesc o;
    o.handle = QuestionHandle;
    o.type = 4;
    o.name = u"Question";
    o.definition.typeData =
        appwriter::QuestionData({0, appwriter::WhiteShadowFlag, 0, u"Play again?"},
                                {{0, appwriter::AnswerCorrectFlag, 0, u"Yes"}, {0, 0, 0, u"No"}});
    Write("app.vtg", DriverApplication({o}, {{2, QuestionHandle, 100, 60, 0, 0, 0}}));
    ExpectTheDriverDrawsAsTheLibrary(Rgb{0xC0, 0xC0, 0xC0});
}

} // namespace
