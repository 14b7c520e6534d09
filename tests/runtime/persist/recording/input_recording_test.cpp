// Input recording and playback through the game loop of a written application run in its windows with a
// fake clock: the streams a recording writes, a recording played back in place of the real input, the
// end of a playback, and damaged recordings.
#include "runtime/app/wiring/application_run.h"
#include "runtime/waited_clock.h"
#include "core/frame_clock.h"
#include "persist/input_recording.h"
#include "shell/shell_events.h"

#include "appwriter/frame_writer.h"
#include "win32/kernel.h"
#include "win32/window_testing.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>

namespace {

using namespace vtrrt;
using win32::POINT;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t RecordedSeed = 0x1234;
constexpr std::uint16_t FrameSeed = 0x9999;
constexpr int KeyA = 'A';
constexpr int KeyZ = 'Z'; // player 1's first button

std::filesystem::path TempFile(std::string name) {
    std::replace(name.begin(), name.end(), '/', '_');
    return std::filesystem::temp_directory_path() / ("vtr_rec_" + std::to_string(getpid()) + "_" + name);
}

Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// One frame, 320 x 200, whose player 1 plays with the arrows and Z; recording into `recordTo` when given.
appwriter::ApplicationDescription Describe(const std::u16string* recordTo, std::uint16_t seed) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 200;
    d.header->frameRate = 50;
    d.header->controlKeys[0] = {win32::VK_UP, win32::VK_DOWN, win32::VK_LEFT, win32::VK_RIGHT, KeyZ, 0, 0, 0};
    appwriter::FrameContents contents;
    contents.randomSeed = seed;
    if (recordTo) contents.string3343 = *recordTo;
    d.frames.push_back(appwriter::DescribeFrame(320, 200, 0, contents, appwriter::StringForm::Wide,
                                                recordTo ? FrameRecordInput : 0));
    return d;
}

struct RaisedClick {
    win32::UINT message;
    int x, y;
    std::int64_t loop;
    bool operator==(const RaisedClick&) const = default;
};
std::vector<RaisedClick>& Clicks() {
    static std::vector<RaisedClick> clicks;
    return clicks;
}

// What one loop of the run saw.
struct LoopInput {
    std::uint32_t playerBits;
    std::int32_t x, y;
    bool keyZ;
    bool operator==(const LoopInput&) const = default;
};

class Recording : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        win32::testing::ResetInputState();
        Clicks().clear();
        previousRaiser_ = EventRaisers().mouseClick;
        EventRaisers().mouseClick = [](win32::UINT message, int x, int y) {
            Clicks().push_back({message, x, y, CurrentRunState() ? CurrentRunState()->loopCount : -1});
        };
        file_ = TempFile(::testing::UnitTest::GetInstance()->current_test_info()->name());
        name_ = win32::FromUtf8(file_.string());
        std::filesystem::remove(file_);
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        EventRaisers().mouseClick = previousRaiser_;
        win32::testing::ResetInputState();
        SetFrameClock(previousClock_);
        std::filesystem::remove(file_);
    }
    void Start(const appwriter::ApplicationDescription& d) {
        bytes_ = appwriter::WriteApplication(d);
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
        win32::SetActiveWindow(Services().mainWindow); // only the active application reads its controls
        PointAt(0, 0);
    }
    void StartRecording() { Start(Describe(&name_, RecordedSeed)); }
    // Runs until the next loop of the run is the second: the first loop is not recorded or played.
    void ToFirstLoop() {
        if (Run().loopCount < 1) {
            ASSERT_NO_FATAL_FAILURE(Loop());
        }
        ASSERT_EQ(Run().loopCount, 1);
    }
    // Steps the application until its frame has run one more loop (a step may only wait for the tick).
    void Loop() {
        const std::int64_t loops = Run().loopCount;
        for (int i = 0; i < 20 && Run().loopCount == loops; ++i)
            ASSERT_EQ(Step(), 1);
        ASSERT_EQ(Run().loopCount, loops + 1);
    }
    // Ends the run as the end of its frame does, which writes the recording.
    void EndRun() { wiringtest::StopApplicationRun(app_); }

    int Step() { return RunApplicationStep(app_.get(), 0); }
    static FrameRunState& Run() { return *CurrentRunState(); }
    static void PointAt(int x, int y) {
        POINT p{x, y};
        win32::ClientToScreen(Services().frameWindow, &p);
        win32::SetCursorPos(p.x, p.y);
    }
    static void Press(SDL_Scancode scancode, SDL_Keycode sym, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = win32::testing::SdlWindowId(Services().mainWindow);
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = scancode;
        e.key.keysym.sym = sym;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        Pump();
    }
    // The messages waiting, handled now: the next loop sees what they change.
    static void Pump() {
        win32::MSG msg;
        while (win32::PeekMessageW(&msg, nullptr, 0, 0, win32::PM_REMOVE)) {
            win32::TranslateMessage(&msg);
            win32::DispatchMessageW(&msg);
        }
    }
    static LoopInput Seen() {
        const FrameRunState& s = Run();
        const std::optional<bool> played = PlayedKeyState(KeyZ);
        return {s.playerBits, s.mouseWindowX, s.mouseWindowY,
                played ? *played : (win32::GetKeyState(KeyZ) & 0x8000) != 0};
    }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    void (*previousRaiser_)(win32::UINT, int, int) = nullptr;
    std::filesystem::path file_;
    std::u16string name_;
    Bytes bytes_;
    loadertest::LibraryContextScope context_;
    loadertest::RecordPtr app_;
};

Bytes Seeded(std::uint16_t seed, Bytes stream) {
    stream.insert(stream.begin(), {static_cast<std::uint8_t>(seed), static_cast<std::uint8_t>(seed >> 8)});
    return stream;
}

} // namespace

// Nothing pressed: the seed, one loop end for every loop after the first, the end. The recorder the first
// set-up call made is dropped without being written: nothing is written before the frame ends.
TEST_F(Recording, AnIdleFrameRecordsTheSeedAndOneLoopEndPerLoopAfterTheFirst) {
    ASSERT_NO_FATAL_FAILURE(StartRecording());
    EXPECT_EQ(Run().recorderMode, RecorderRecording);
    for (int i = 0; i < 6; ++i)
        ASSERT_NO_FATAL_FAILURE(Loop());
    EXPECT_FALSE(std::filesystem::exists(file_));
    const auto loops = static_cast<std::size_t>(Run().loopCount);
    ASSERT_GE(loops, 6u);
    EndRun();
    Bytes expected = Seeded(RecordedSeed, Bytes(loops - 1, OpLoopEnd));
    expected.push_back(OpEnd);
    EXPECT_EQ(ReadBytes(file_), expected);
}

// Keys that go down (in ascending order) with the player byte they change, then up in the next loop with
// the pointer moved to (300, 20), written as two big-endian words; each loop ends with its opcode.
TEST_F(Recording, KeysPressedThenReleasedAndThePointerMovedGiveTheirOpcodesInOrder) {
    ASSERT_NO_FATAL_FAILURE(StartRecording());
    ASSERT_NO_FATAL_FAILURE(ToFirstLoop());
    ASSERT_NO_FATAL_FAILURE(Loop()); // loop 2: nothing
    Press(SDL_SCANCODE_Z, SDLK_z, true);
    Press(SDL_SCANCODE_A, SDLK_a, true);
    ASSERT_NO_FATAL_FAILURE(Loop());
    Press(SDL_SCANCODE_A, SDLK_a, false);
    Press(SDL_SCANCODE_Z, SDLK_z, false);
    PointAt(300, 20);
    ASSERT_NO_FATAL_FAILURE(Loop());
    ASSERT_EQ(Run().loopCount, 4);
    EndRun();
    const Bytes expected =
        Seeded(RecordedSeed, {OpLoopEnd,                                                       // loop 2
                              OpKeyDown, KeyA, OpKeyDown, KeyZ,                                // loop 3
                              OpPlayers, 0x10, 0,         0,    0,         OpLoopEnd,          //
                              OpKeyUp,   KeyA, OpKeyUp,   KeyZ, OpPlayers, 0,         0, 0, 0, // loop 4
                              OpPointer, 0x01, 0x2C,      0x00, 0x14,      OpLoopEnd,          //
                              OpEnd});
    EXPECT_EQ(ReadBytes(file_), expected);
}

// Keys, player controls, pointer positions (one left of the window) and clicks recorded in one run come
// back loop for loop in a run of another seed that plays the recording; its seed becomes the recording's.
TEST_F(Recording, ARecordingPlaysBackTheSameInputLoopForLoop) {
    ASSERT_NO_FATAL_FAILURE(StartRecording());
    ASSERT_NO_FATAL_FAILURE(ToFirstLoop());
    std::map<std::int64_t, LoopInput> recorded;
    std::vector<RaisedClick> recordedClicks;
    const auto step = [&] {
        const bool z = (win32::GetKeyState(KeyZ) & 0x8000) != 0; // what the coming loop records
        ASSERT_NO_FATAL_FAILURE(Loop());
        LoopInput seen = Seen();
        seen.keyZ = z;
        recorded[Run().loopCount] = seen;
    };
    const auto click = [&](win32::UINT message, int x, int y) {
        PointAt(x, y);
        win32::SendMessageW(Services().frameWindow, message, 0, win32::MAKELPARAM(x, y));
        recordedClicks.push_back({message, x, y, Run().loopCount + 1});
    };
    step();
    Press(SDL_SCANCODE_Z, SDLK_z, true);
    PointAt(40, 50);
    step();
    step();
    click(win32::WM_LBUTTONDOWN, 40, 50);
    PointAt(-7, 120);
    step();
    Press(SDL_SCANCODE_Z, SDLK_z, false);
    click(win32::WM_RBUTTONDBLCLK, -7, 120);
    step();
    step();
    EXPECT_TRUE(
        std::any_of(recorded.begin(), recorded.end(), [](auto& l) { return l.second.playerBits == 0x10; }));
    EndRun();
    Clicks().clear();

    ASSERT_NO_FATAL_FAILURE(Start(Describe(nullptr, FrameSeed)));
    ASSERT_NO_FATAL_FAILURE(ToFirstLoop());
    EXPECT_EQ(Run().randomSeed, FrameSeed);
    ASSERT_TRUE(StartInputPlayback(name_.c_str()));
    EXPECT_EQ(Run().recorderMode, RecorderPlaying);
    EXPECT_EQ(Run().randomSeed, RecordedSeed);
    std::map<std::int64_t, LoopInput> played;
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        ASSERT_NO_FATAL_FAILURE(Loop());
        played[Run().loopCount] = Seen();
    }
    EXPECT_EQ(played, recorded);
    EXPECT_EQ(Clicks(), recordedClicks);
    ASSERT_NO_FATAL_FAILURE(Loop());
    EXPECT_EQ(Run().recorderMode, RecorderNone) << "the recording has ended";
}

// The recording holds one loop (player 1 up, the pointer at (300, 20)) and ends: from the next loop the
// real controls, keys and pointer count again.
TEST_F(Recording, TheEndOfAPlaybackGivesTheLoopBackToTheRealInput) {
    WriteBytes(file_, Seeded(RecordedSeed, {OpPlayers, 0x01, 0, 0, 0, OpKeyDown, KeyA, OpPointer, 0x01, 0x2C,
                                            0x00, 0x14, OpLoopEnd, OpEnd}));
    ASSERT_NO_FATAL_FAILURE(Start(Describe(nullptr, FrameSeed)));
    Press(SDL_SCANCODE_Z, SDLK_z, true);
    PointAt(10, 12);
    ASSERT_NO_FATAL_FAILURE(ToFirstLoop());
    ASSERT_TRUE(StartInputPlayback(name_.c_str()));
    ASSERT_NO_FATAL_FAILURE(Loop());
    EXPECT_EQ(Run().recorderMode, RecorderPlaying);
    EXPECT_EQ(Seen(), (LoopInput{0x01, 300, 20, false}));
    EXPECT_EQ(PlayedKeyState(KeyA), std::optional<bool>(true));
    ASSERT_NO_FATAL_FAILURE(Loop());
    EXPECT_EQ(Run().recorderMode, RecorderNone);
    EXPECT_EQ(Seen(), (LoopInput{0x10, 10, 12, true}));
    EXPECT_EQ(PlayedKeyState(KeyA), std::nullopt);
    EXPECT_FALSE(StartInputPlayback(name_.c_str())) << "the run keeps its recorder";
}

TEST_F(Recording, ARecordingThatCannotBeWrittenIsReported) {
    name_ = u"/nonexistent-vtr-folder/input.vrc";
    ASSERT_NO_FATAL_FAILURE(StartRecording());
    ASSERT_NO_FATAL_FAILURE(Loop());
    ::testing::internal::CaptureStderr();
    EndRun();
    EXPECT_NE(
        ::testing::internal::GetCapturedStderr().find("/nonexistent-vtr-folder/input.vrc : File error!"),
        std::string::npos);
}

namespace {

struct DamagedCase {
    const char* name;
    Bytes file;
    bool loads;
    int playedLoops; // loops read whole before the playback ends
};

void PrintTo(const DamagedCase& c, std::ostream* os) {
    *os << c.name;
}

class DamagedRecording : public Recording, public ::testing::WithParamInterface<DamagedCase> {};

} // namespace

TEST_P(DamagedRecording, EndsThePlaybackWithoutReadingPastTheData) {
    const DamagedCase& c = GetParam();
    WriteBytes(file_, c.file);
    ASSERT_NO_FATAL_FAILURE(Start(Describe(nullptr, FrameSeed)));
    ASSERT_NO_FATAL_FAILURE(ToFirstLoop());
    ASSERT_EQ(StartInputPlayback(name_.c_str()), c.loads);
    if (!c.loads) {
        EXPECT_EQ(Run().recorderMode, RecorderNone);
        EXPECT_EQ(Run().randomSeed, FrameSeed);
        return;
    }
    int played = 0;
    for (int i = 0; i < 10 && Run().recorderMode == RecorderPlaying; ++i) {
        ASSERT_NO_FATAL_FAILURE(Loop());
        if (Run().recorderMode == RecorderPlaying) ++played;
    }
    EXPECT_EQ(Run().recorderMode, RecorderNone);
    EXPECT_EQ(played, c.playedLoops);
    EXPECT_LE(Run().recorder->ReadPosition(), Run().recorder->StreamSize());
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, DamagedRecording,
    ::testing::Values(DamagedCase{"Empty", {}, false, 0}, DamagedCase{"SeedCut", {0x34}, false, 0},
                      DamagedCase{"SeedOnly", {0x34, 0x12}, true, 0},
                      DamagedCase{"OpcodePastSix", Seeded(1, {OpLoopEnd, 7, OpLoopEnd, OpEnd}), true, 1},
                      DamagedCase{"OpcodeFF", Seeded(1, {0xFF}), true, 0},
                      DamagedCase{"KeyCut", Seeded(1, {OpLoopEnd, OpKeyDown}), true, 1},
                      DamagedCase{"PlayersCut", Seeded(1, {OpPlayers, 1, 2}), true, 0},
                      DamagedCase{"PointerCut", Seeded(1, {OpPointer, 0, 1, 0}), true, 0},
                      DamagedCase{"ClickCut", Seeded(1, {OpLoopEnd, OpLoopEnd, OpClick}), true, 2},
                      DamagedCase{"NoEnd", Seeded(1, {OpLoopEnd, OpKeyDown, KeyA, OpLoopEnd}), true, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// The recorder's stream on its own: double clicks keep their double, positions their sign.
TEST(RecordingStream, DoubleClicksAndNegativePositionsComeBackAsRecorded) {
    InputRecorder r;
    r.StartInputRecording(7);
    std::array<std::uint8_t, 256> keys{};
    r.AppendLoop(keys, 0, -5, -40000);
    r.AppendClick(DoubleClickCode + 2);
    r.AppendClick(1);
    r.AppendLoop(keys, 0, -5, -40000);
    EXPECT_EQ(r.FileBytes(), Seeded(7, {OpPointer, 0xFF, 0xFB, 0x80, 0x00, OpLoopEnd, OpClick, 0x82, OpClick,
                                        0x01, OpLoopEnd}));
    InputRecorder played;
    ASSERT_TRUE(played.LoadRecordingBytes(r.FileBytes()));
    std::vector<std::int32_t> clicks;
    const auto onClick = [&](std::int32_t code) { clicks.push_back(code); };
    ASSERT_EQ(played.ReadLoop(onClick), PlayedLoop::Loop);
    EXPECT_EQ(played.MouseX(), -5);
    EXPECT_EQ(played.MouseY(), INT16_MIN);
    ASSERT_EQ(played.ReadLoop(onClick), PlayedLoop::Loop);
    EXPECT_EQ(clicks, (std::vector<std::int32_t>{DoubleClickCode + 2, 1}));
    EXPECT_EQ(played.ReadLoop(onClick), PlayedLoop::End);
}
