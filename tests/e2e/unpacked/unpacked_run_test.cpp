// The program run on a data file named by F with nothing packed behind it, started from an empty folder
// in a real X window (Xvfb) with SDL's disk audio driver: the modules it needs (the sound filter, the gauge
// extension, the patrol movement module) are found beside the program, so the bank sample played at start
// is heard, the gauge fills and the patrolling object walks; nothing is written to the current folder.
#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "appwriter/sound_writer.h"
#include "support/child_process.h"
#include "support/x_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "vtrformat/event_records.h"

namespace {

using namespace vtrformat;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path BinDir = VTR_BIN_DIR;

using Rgb = std::array<std::uint8_t, 3>;

constexpr std::uint32_t ColourRef(const Rgb& c) {
    return c[0] | (c[1] << 8) | (c[2] << 16);
}

// Colours found nowhere else on the screen.
constexpr Rgb Background = {0x10, 0x20, 0x30};
constexpr Rgb GaugeBack = {0x11, 0x22, 0x99};
constexpr Rgb GaugeBar = {0x22, 0xDD, 0x33};
constexpr Rgb Walker = {0xE0, 0x30, 0x90};

constexpr int FrameWidth = 320, FrameHeight = 240, FrameRate = 50;
constexpr int GaugeX = 20, GaugeY = 20, GaugeWidth = 200, GaugeHeight = 12, GaugeMaximum = 400;
constexpr int WalkerX = 40, WalkerY = 100, WalkerSize = 16, WalkerSpeed = 2, WalkerSpan = 120;

// The bank sample: a 440 Hz tone of a second and a half.
constexpr double ToneFrequency = 440;
constexpr std::uint32_t ToneRate = 22050;
constexpr std::size_t ToneFrames = ToneRate * 3 / 2;
constexpr std::int16_t ToneAmplitude = 12000;

constexpr std::uint16_t WalkerHandle = 1, GaugeHandle = 2;
constexpr std::int16_t Special = -1, Speaker = -2, Storyboard = -3, GaugeType = 32;
constexpr std::int16_t Always = -1, StartOfFrame = -1, PlaySample = 0, GaugeAddToValue = 81;
constexpr std::uint8_t EveryLoop = 0x20;
constexpr std::uint32_t KeyedInk = 0x10000000;
// Keeps what lies under it, has animations, a movement and a sprite.
constexpr std::uint32_t WalkerFlags = 0x04 | 0x10 | 0x20 | 0x200;
constexpr std::uint32_t GaugeFlags = 0x200;
constexpr std::uint16_t ModuleMovement = 14;
constexpr std::uint32_t PatrolIdentifier = 0x4C525450;

appwriter::EventRecordDesc Record(std::int16_t type, std::int16_t number,
                                  std::vector<appwriter::EventParameterDesc> parameters = {}) {
    appwriter::EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.parameters = std::move(parameters);
    return r;
}

appwriter::ObjectInfoDesc WalkerObject() {
    appwriter::ObjectInfoDesc o;
    o.handle = WalkerHandle;
    o.name = u"Walker";
    o.inkEffect = KeyedInk;
    o.definition.objectFlags = WalkerFlags;
    appwriter::AnimationDesc stopped;
    stopped.directions.push_back({0, 0, 0, 0, 0, {1}});
    o.definition.animations = {stopped};
    appwriter::ByteWriter settings;
    settings.U16(WalkerSpeed);
    settings.U16(WalkerSpan);
    appwriter::MovementDesc patrol;
    patrol.type = ModuleMovement;
    patrol.directionMask = 1;
    patrol.identifier = PatrolIdentifier;
    patrol.module = u"vtrpatrol";
    patrol.data = appwriter::Bytes(14, 0);
    patrol.data.insert(patrol.data.end(), settings.Data().begin(), settings.Data().end());
    o.definition.movements = {patrol};
    return o;
}

appwriter::ObjectInfoDesc GaugeObject() {
    appwriter::ObjectInfoDesc o;
    o.handle = GaugeHandle;
    o.type = GaugeType;
    o.name = u"Gauge";
    o.definition.objectFlags = GaugeFlags;
    appwriter::ByteWriter own;
    for (std::int32_t v : {GaugeWidth, GaugeHeight, static_cast<std::int32_t>(ColourRef(GaugeBack)),
                           static_cast<std::int32_t>(ColourRef(GaugeBar)), 0, GaugeMaximum})
        own.I32(v);
    o.definition.typeData = appwriter::ExtensionData(2, own.Take());
    return o;
}

appwriter::ImageItemDesc WalkerImage() {
    appwriter::ImageItemDesc image;
    image.width = image.height = WalkerSize;
    image.graphicMode = 8;
    for (int i = 0; i < WalkerSize * WalkerSize; ++i)
        image.pixels.insert(image.pixels.end(), {Walker[2], Walker[1], Walker[0], 0});
    return image;
}

// The tone as it is heard, its sample played as the frame starts; the gauge gains one step a loop.
appwriter::Bytes UnpackedApplication() {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = FrameWidth;
    d.header->windowHeight = FrameHeight;
    d.header->graphicMode = 8;
    d.header->frameRate = FrameRate;
    d.extensions = std::vector<appwriter::ExtensionDesc>{{0, u"vtrgauge", u""}};
    d.movementModules = std::vector<std::u16string>{u"vtrpatrol"};

    const std::vector<appwriter::ObjectInfoDesc> objects = {WalkerObject(), GaugeObject()};
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0,
         appwriter::WriteObjectInfos(objects, appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    const appwriter::BankPayload images = appwriter::WriteImageBank({WalkerImage()});
    std::vector<std::uint32_t> imageOffsets = images.offsets;
    imageOffsets.insert(imageOffsets.begin(), 0); // stored image 0 is none
    d.extra.push_back({appwriter::ChunkImageBank, 0, images.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets(imageOffsets)});

    appwriter::WavDesc tone;
    tone.rate = ToneRate;
    tone.samples = appwriter::ToneSamples(ToneRate, 1, ToneFrequency, ToneAmplitude, ToneFrames);
    const appwriter::BankPayload sounds =
        appwriter::WriteSoundBank({{0, u"tone", appwriter::WriteWav(tone)}}, appwriter::StringForm::Wide);
    d.extra.push_back({appwriter::ChunkSoundBank, 0, sounds.items});
    d.extra.push_back({appwriter::ChunkSoundOffsets, 0, appwriter::WriteBankOffsets(sounds.offsets)});

    appwriter::EventProgramBuilder events;
    events.objectInfoCount = static_cast<std::uint16_t>(objects.size());
    events.conditionCounts[Special + 7] = 40;
    events.conditionCounts[Storyboard + 7] = 10;
    appwriter::EventGroupDesc start;
    start.conditions = {Record(Storyboard, StartOfFrame)};
    start.actions = {Record(Speaker, PlaySample, {appwriter::SampleParameter(ParamSample, 0, 0, u"tone")})};
    events.AddGroup(start);
    appwriter::EventGroupDesc fill;
    fill.conditions = {Record(Special, Always)};
    fill.conditions[0].runFlags = EveryLoop;
    appwriter::EventRecordDesc add =
        Record(GaugeType, GaugeAddToValue,
               {appwriter::ExpressionParameter(ParamExpression, appwriter::ExpressionBuilder().Integer(1))});
    add.objectInfo = GaugeHandle;
    fill.actions = {add};
    events.AddGroup(fill);

    appwriter::FrameContents contents;
    contents.instances = std::vector<appwriter::InstanceDesc>{{1, WalkerHandle, WalkerX, WalkerY, 0, 0, 0},
                                                              {2, GaugeHandle, GaugeX, GaugeY, 0, 0, 0}};
    contents.events = events.ChunkPayload();
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

// What one screenshot shows of the frame: where the gauge and the walker are, and how much of the gauge's
// middle row is filled.
struct Seen {
    Box gauge, walker;
    int filled = 0;
};

Seen Look(const vtrtest::Screenshot& shot) {
    Seen seen;
    for (int y = 0; y < static_cast<int>(shot.height); ++y)
        for (int x = 0; x < static_cast<int>(shot.width); ++x) {
            const auto p = shot.Rgb(x, y);
            if (*p == GaugeBack || *p == GaugeBar) seen.gauge.Add(x, y);
            if (*p == Walker) seen.walker.Add(x, y);
        }
    if (seen.gauge.count == 0) return seen;
    const int middle = seen.gauge.top + GaugeHeight / 2;
    for (int x = seen.gauge.left; x <= seen.gauge.right; ++x)
        if (*shot.Rgb(x, middle) == GaugeBar) ++seen.filled;
    return seen;
}

// The left channel of SDL's disk audio output (16-bit stereo at the layer's 44.1 kHz).
std::vector<std::int16_t> LeftChannel(const fs::path& file) {
    const std::string bytes = vtrtest::ReadFile(file);
    std::vector<std::int16_t> left;
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4)
        left.push_back(static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                                 (static_cast<std::uint8_t>(bytes[at + 1]) << 8)));
    return left;
}

class UnpackedRun : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vtr-unpacked-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        for (const char* folder : {"current", "tmp"})
            fs::create_directories(root_ / folder);
        const appwriter::Bytes data = UnpackedApplication();
        std::ofstream(root_ / "app.vtg", std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            vtrtest::WaitFor(pid_, 10s);
        }
        fs::remove_all(root_);
    }

    // The program, started from the empty folder, with the display and the disk audio driver.
    void Start(const std::string& display) {
        std::vector<std::string> env;
        for (const std::string& e : vtrtest::ChildEnvironment(
                 {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=disk",
                  "SDL_DISKAUDIOFILE=" + (root_ / "audio.raw").string(), "TMPDIR=" + (root_ / "tmp").string(),
                  "LSAN_OPTIONS=suppressions=" + std::string(VTR_LSAN_SUPPRESSIONS_FILE)}))
            if (e.rfind("SDL_AUDIODRIVER=", 0) != 0 || e == "SDL_AUDIODRIVER=disk") env.push_back(e);
        pid_ = vtrtest::Spawn({"/usr/bin/env", "-C", (root_ / "current").string(),
                               (BinDir / "vtrrt").string(), "-F", (root_ / "app.vtg").string(), "/R0"},
                              env, (root_ / "run.out").c_str(), (root_ / "run.err").c_str());
        ASSERT_GT(pid_, 0);
    }

    // Ends the run as an interrupt would; its exit status.
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

TEST_F(UnpackedRun, FindsItsModulesBesideTheProgramAndPlaysShowsAndMovesThem) {
    vtrtest::VirtualDisplay display;
    if (!display.Start(640, 480)) GTEST_SKIP() << "Xvfb is not available";
    ASSERT_NO_FATAL_FAILURE(Start(display.Name()));
    const auto started = std::chrono::steady_clock::now();

    // The frame is up once the gauge and the walker show; then a few looks a fifth of a second apart.
    const std::string shotPath = (root_ / "shot.xwd").string();
    std::vector<Seen> looks;
    for (int attempt = 0; attempt < 300 && looks.empty(); ++attempt) {
        std::this_thread::sleep_for(100ms);
        ASSERT_FALSE(vtrtest::WaitFor(pid_, 0ms)) << "the run ended early:\n" << Output();
        vtrtest::Screenshot shot;
        if (!vtrtest::TakeScreenshot(display.Name(), shotPath) || !shot.Read(shotPath)) continue;
        const Seen seen = Look(shot);
        if (seen.gauge.count > 0 && seen.walker.count > 0) looks.push_back(seen);
    }
    ASSERT_FALSE(looks.empty()) << "the frame never showed its objects:\n" << Output();
    while (looks.size() < 4) {
        std::this_thread::sleep_for(200ms);
        vtrtest::Screenshot shot;
        ASSERT_TRUE(vtrtest::TakeScreenshot(display.Name(), shotPath) && shot.Read(shotPath));
        looks.push_back(Look(shot));
    }

    // The gauge stands where it was placed, whole, and its bar grows.
    std::set<int> walkerLefts;
    for (std::size_t i = 0; i < looks.size(); ++i) {
        const Seen& s = looks[i];
        SCOPED_TRACE("look " + std::to_string(i));
        EXPECT_EQ(s.gauge.right - s.gauge.left + 1, GaugeWidth);
        EXPECT_EQ(s.gauge.bottom - s.gauge.top + 1, GaugeHeight);
        EXPECT_EQ(s.gauge.count, GaugeWidth * GaugeHeight);
        // The walker, whole, keeps to its row and its span, measured from the gauge's corner.
        ASSERT_EQ(s.walker.count, WalkerSize * WalkerSize);
        EXPECT_EQ(s.walker.top - s.gauge.top, WalkerY - GaugeY);
        EXPECT_GE(s.walker.left - s.gauge.left, WalkerX - GaugeX);
        EXPECT_LE(s.walker.left - s.gauge.left, WalkerX - GaugeX + WalkerSpan);
        walkerLefts.insert(s.walker.left);
        if (i > 0) {
            EXPECT_GE(s.filled, looks[i - 1].filled) << "the gauge's bar never shrinks";
        }
    }
    EXPECT_GT(looks.back().filled, looks.front().filled) << "the gauge's bar grows";
    EXPECT_GE(walkerLefts.size(), 2u) << "the patrol moves the walker";

    // The sample lasts a second and a half: heard whole before the run ends.
    std::this_thread::sleep_until(started + 4s);
    ASSERT_EQ(End(), 0) << Output();

    // The tone is heard at its own pitch: the non-silent stretch of the output crosses zero upwards 440 times
    // a second.
    const std::vector<std::int16_t> left = LeftChannel(root_ / "audio.raw");
    constexpr int Loud = ToneAmplitude / 4;
    const auto first =
        std::find_if(left.begin(), left.end(), [](std::int16_t s) { return std::abs(s) > Loud; });
    ASSERT_TRUE(first != left.end()) << "the bank sample is heard\n" << Output();
    const auto last =
        std::find_if(left.rbegin(), left.rend(), [](std::int16_t s) { return std::abs(s) > Loud; }).base();
    int crossings = 0;
    for (auto it = first + 1; it < last; ++it)
        if (*(it - 1) < 0 && *it >= 0) ++crossings;
    const double seconds = static_cast<double>(last - first) / 44100.0;
    EXPECT_NEAR(seconds, static_cast<double>(ToneFrames) / ToneRate, 0.1);
    EXPECT_NEAR(crossings / seconds, ToneFrequency, ToneFrequency * 0.02);
    const std::int16_t peak = *std::max_element(first, last);
    EXPECT_GT(peak, ToneAmplitude / 2);

    // Nothing was written where the program was started, and the run's own folder is gone.
    EXPECT_TRUE(fs::is_empty(root_ / "current"));
    EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
}

} // namespace
