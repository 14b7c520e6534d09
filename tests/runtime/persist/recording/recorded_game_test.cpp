// A small game recorded while scripted key presses drive it, then run again with no real input, playing the
// recording back from its start-of-frame event: on the last recorded loop every object and every pixel of
// the play area are as they were. Player 1 steers an object with inertia through the eight-direction
// movement, and the events put a second object at random places each loop, so the seed matters too.
#include "startup/event_program.h"
#include "runtime/app/wiring/application_run.h"
#include "runtime/objects/movements/movement_fixture.h"
#include "runtime/waited_clock.h"
#include "core/frame_clock.h"
#include "persist/input_recording.h"
#include "support/key_events.h"

#include "win32/window_testing.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

using namespace movementtest;
using appwriter::EventGroupDesc;
using appwriter::EventParameterDesc;
using appwriter::EventRecordDesc;
using appwriter::ExpressionBuilder;

constexpr std::uint16_t RecordedSeed = 0x2468;
constexpr std::uint16_t OtherSeed = 0x1357;
constexpr std::uint16_t Player = 1, Wanderer = 2;
constexpr int Width = 160, Height = 120;
constexpr std::int16_t SetXAction = 2, SetYAction = 3;
constexpr std::int16_t PlayBackAction = 31;
constexpr std::int16_t StartOfFrame = -1, Always = -1;
constexpr std::int16_t RandomExpression = 1;

EventRecordDesc Record(std::int16_t type, std::int16_t number, std::uint16_t info,
                       std::vector<EventParameterDesc> parameters = {}, std::uint8_t runFlags = 0) {
    EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.objectInfo = info;
    r.runFlags = runFlags;
    r.parameters = std::move(parameters);
    return r;
}
EventParameterDesc RandomBelow(std::int32_t n) {
    return appwriter::ExpressionParameter(
        22, ExpressionBuilder().Object(TypeSpecial, RandomExpression, 0).Integer(n).Close());
}

// The game; with `recordTo` its frame records its input there. Either way its first event plays back the
// recording, which a frame that records refuses.
appwriter::ApplicationDescription Game(const std::u16string& file, bool record, std::uint16_t seed) {
    Stage stage;
    stage.width = Width;
    stage.height = Height;
    stage.movers = {{Player, EightDirections(60, 20, 15)}, {Wanderer, Movement(MovementStatic, 0, {})}};
    stage.placed = {{Player, 70, 50}, {Wanderer, 10, 10}};
    stage.randomSeed = seed;
    if (record) stage.recordTo = file;
    EventGroupDesc play;
    play.conditions = {Record(TypeStoryboard, StartOfFrame, 0)};
    play.actions = {Record(TypeStoryboard, PlayBackAction, 0, {appwriter::StringParameter(file)})};
    EventGroupDesc wander;
    wander.conditions = {Record(TypeSpecial, Always, 0, {}, RecordEveryLoop)};
    wander.actions = {Record(2, SetXAction, Wanderer, {RandomBelow(Width - 8)}),
                      Record(2, SetYAction, Wanderer, {RandomBelow(Height - 8)})};
    stage.events = {play, wander};
    stage.conditionCounts[TypeStoryboard + 7] = 10;
    stage.conditionCounts[TypeSpecial + 7] = 110;
    return DescribeStage(stage);
}

// What a loop leaves of an object that the runs must agree on.
struct ObjectState {
    std::int32_t x, xFraction, y, yFraction;
    std::int32_t direction, speed, image;
    std::vector<std::uint8_t> movement;
    bool operator==(const ObjectState&) const = default;
};
void PrintTo(const ObjectState& s, std::ostream* os) {
    *os << "(" << s.x << ", " << s.y << ") direction " << s.direction << " speed " << s.speed;
}

struct Snapshot {
    std::uint16_t seed;
    std::vector<ObjectState> objects;
    std::vector<win32::COLORREF> pixels;
};

class RecordedGame : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        win32::testing::ResetInputState();
        file_ = std::filesystem::temp_directory_path() / ("vtr_game_" + std::to_string(getpid()) + ".vrc");
        std::filesystem::remove(file_);
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        win32::testing::ResetInputState();
        SetFrameClock(previousClock_);
        std::filesystem::remove(file_);
    }
    void Start(bool record, std::uint16_t seed) {
        bytes_ = appwriter::WriteApplication(Game(file_.u16string(), record, seed));
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
        win32::SetActiveWindow(Services().mainWindow); // only the active application reads its controls
        ASSERT_EQ(CurrentRunState()->loopCount, 1);
    }
    void Loop() {
        const std::int64_t loops = CurrentRunState()->loopCount;
        for (int i = 0; i < 20 && CurrentRunState()->loopCount == loops; ++i)
            ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
        ASSERT_EQ(CurrentRunState()->loopCount, loops + 1);
    }
    static void Key(SDL_Scancode scancode, bool down) {
        ASSERT_TRUE(test_support::PushKey(Services().mainWindow, scancode, down));
        win32::MSG msg;
        while (win32::PeekMessageW(&msg, nullptr, 0, 0, win32::PM_REMOVE)) {
            win32::TranslateMessage(&msg);
            win32::DispatchMessageW(&msg);
        }
    }
    static RunObject* ObjectOfInfo(std::uint16_t info) {
        FrameRunState* s = CurrentRunState();
        for (int slot = 0; slot < s->maxObjects; ++slot)
            if (RunObject* o = s->objects[slot].object; o && o->objectInfo == info) return o;
        return nullptr;
    }
    static Snapshot Take() {
        Snapshot shot{CurrentRunState()->randomSeed, {}, {}};
        for (std::uint16_t info : {Player, Wanderer}) {
            RunObject* o = ObjectOfInfo(info);
            RunObjectExtended* x = ExtendedOf(o);
            const std::uint8_t* block = MovementBlockOf(o);
            shot.objects.push_back({o->x, o->xFraction, o->y, o->yFraction, x->direction, x->speed, x->image,
                                    std::vector<std::uint8_t>(block, block + ObjectMovementBlockBytes)});
        }
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                shot.pixels.push_back(win32::testing::ReadWindowPixel(Services().frameWindow, x, y));
        return shot;
    }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::filesystem::path file_;
    std::vector<std::uint8_t> bytes_;
    loadertest::LibraryContextScope context_;
    loadertest::RecordPtr app_;
};

// Loop by loop: the keys that go down and up before it.
struct Press {
    int loop;
    SDL_Scancode key;
    bool down;
};
const Press Script[] = {
    {3, SDL_SCANCODE_RIGHT, true},  {9, SDL_SCANCODE_DOWN, true},   {14, SDL_SCANCODE_RIGHT, false},
    {18, SDL_SCANCODE_DOWN, false}, {24, SDL_SCANCODE_LEFT, true},  {24, SDL_SCANCODE_UP, true},
    {31, SDL_SCANCODE_UP, false},   {33, SDL_SCANCODE_LEFT, false},
};
constexpr int LastLoop = 40;

TEST_F(RecordedGame, PlaysBackToTheSameObjectsAndPixelsOnTheLastLoop) {
    ASSERT_NO_FATAL_FAILURE(Start(true, RecordedSeed));
    ASSERT_EQ(CurrentRunState()->recorderMode, RecorderRecording);
    const ObjectState start = Take().objects[0];
    for (int loop = 2; loop <= LastLoop; ++loop) {
        for (const Press& p : Script)
            if (p.loop == loop) {
                ASSERT_NO_FATAL_FAILURE(Key(p.key, p.down));
            }
        ASSERT_NO_FATAL_FAILURE(Loop());
    }
    const Snapshot recorded = Take();
    ASSERT_NE(recorded.objects[0].x, start.x) << "the keys moved the player";
    ASSERT_NE(recorded.objects[0].y, start.y);
    wiringtest::StopApplicationRun(app_);
    ASSERT_TRUE(std::filesystem::exists(file_));

    ASSERT_NO_FATAL_FAILURE(Start(false, OtherSeed));
    ASSERT_EQ(CurrentRunState()->recorderMode, RecorderPlaying) << "the first event started the playback";
    for (int loop = 2; loop <= LastLoop; ++loop)
        ASSERT_NO_FATAL_FAILURE(Loop());
    const Snapshot played = Take();
    EXPECT_EQ(played.seed, recorded.seed);
    EXPECT_EQ(played.objects, recorded.objects);
    EXPECT_TRUE(played.pixels == recorded.pixels) << "the play area differs";
    // The player's square, drawn in its image's colour where the object stands.
    const ObjectState& p = played.objects[0];
    EXPECT_EQ(played.pixels[static_cast<std::size_t>((p.y + 4) * Width + p.x + 4)], 0x0000FFu);
    ASSERT_NO_FATAL_FAILURE(Loop());
    EXPECT_EQ(CurrentRunState()->recorderMode, RecorderNone) << "the recording has ended";
}

} // namespace
