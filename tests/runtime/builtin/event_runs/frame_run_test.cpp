// Written applications run through the state machine: the start of a frame that fades in, a frame whose
// collision planes cover it when an event resizes it, the display centred, a recording played back, and
// objects and positions meeting backdrops.
#include "core/application_record.h"
#include "core/frame_clock.h"
#include "event_frame.h"
#include "loop/application_state_machine.h"
#include "objects/object_sprites.h"
#include "runtime/app/wiring/application_run.h"
#include "runtime/objects/backgrounds/backgrounds_fixture.h"
#include "runtime/waited_clock.h"
#include "loop/application_state_machine.h"
#include "core/frame_clock.h"
#include "persist/input_recording.h"
#include "core/application_record.h"
#include "support/scene.h"

#include "appwriter/frame_writer.h"
#include "vtrs2/sprite_window.h"

#include <filesystem>

#include <unistd.h>

using namespace eventruns;
using win32::GetKeyState;

namespace {

constexpr std::uint32_t FramePlanesOverTheFrame = 0x20;
constexpr std::int16_t ParamObstacleType = 43;

class FrameRun : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        Log().clear();
        std::fill(std::begin(switches), std::end(switches), false);
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        SetFrameClock(previousClock_);
    }
    void Start(EventProgramBuilder& b, std::uint32_t frameFlags = 0,
               std::optional<appwriter::Bytes> fadeIn = {}) {
        appwriter::ApplicationDescription d;
        d.header->windowWidth = 320;
        d.header->windowHeight = 200;
        b.conditionCounts[TypeSpecial + 7] = 110;
        b.conditionCounts[TypeStoryboard + 7] = 10;
        appwriter::FrameContents contents;
        contents.events = b.ChunkPayload();
        contents.fadeIn = std::move(fadeIn);
        d.frames.push_back(
            appwriter::DescribeFrame(320, 200, 0x808080, contents, appwriter::StringForm::Wide, frameFlags));
        bytes_ = appwriter::WriteApplication(d);
        ASSERT_NO_FATAL_FAILURE(
            wiringtest::StartApplicationRun(bytes_, app_, [](ApplicationRecord&) { InstallTestRoutines(); }));
    }
    int Step() { return RunApplicationStep(app_.get(), 0); }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    loadertest::LibraryContextScope context_;
    loadertest::RecordPtr app_;
};

// The first tick runs before the fade; once the frame goes on, the start of the frame runs again only for
// the actions that found no object the first time.
TEST_F(FrameRun, TheStartOfAFrameThatFadesInRunsAgainOnlyWhereItFoundNoObject) {
    appwriter::TransitionDesc fade;
    fade.module = u"nosuchmodule";
    fade.parameters = {4, 0, 0, 0};
    EventProgramBuilder b;
    b.AddGroup(
        Group({Record(TypeStoryboard, -1)}, {Recorder(1), Record(2, RecordObjectOrNoneAction, {}, 3)}));
    // The every-loop events wait for the fade.
    b.AddGroup(Group({Always()}, {Recorder(2)}));
    ASSERT_NO_FATAL_FAILURE(Start(b, 0, appwriter::TransitionPayload(fade, appwriter::StringForm::Wide)));
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(Step(), 1);
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log()[0].value, 1);
    EXPECT_EQ(LoopsOf(1), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(LoopsOf(-1), (std::vector<std::int64_t>{1, 2}));
    EXPECT_FALSE(LoopsOf(2).empty());
    EXPECT_EQ(LoopsOf(2).front(), 2);
}

TEST_F(FrameRun, AFrameTooLargeForItsCollisionPlanesKeepsItsSize) {
    EventProgramBuilder b;
    // An obstacle parameter asks the frame for collision planes.
    b.AddGroup(Group({Record(TypeSpecial, -2, {appwriter::ShortParameter(ParamObstacleType, 1)})}, {}));
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Record(TypeStoryboard, 26, {Number(2000000000)})}));
    b.AddGroup(Group({EveryLoop(Switch(1))}, {Record(TypeStoryboard, 26, {Number(2000)})}));
    ASSERT_NO_FATAL_FAILURE(Start(b, FramePlanesOverTheFrame));
    SpriteWindow* sprites = SpritesOfFrame();
    ASSERT_NE(sprites, nullptr);
    ASSERT_NE(sprites->mask.planes, nullptr);
    const auto right = sprites->mask.right;
    // A few steps make sure loops ran (a step may only wait for the tick).
    switches[0] = true;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_EQ(app_->run.frame->width, 320);
    EXPECT_EQ(sprites->mask.right, right);
    EXPECT_NE(sprites->mask.planes, nullptr);
    switches[0] = false;
    switches[1] = true;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_EQ(app_->run.frame->width, 2000);
    EXPECT_GE(sprites->mask.right, 2000 + 64 - 1);
    EXPECT_EQ(CurrentRunState()->virtualWidth, 2000);
}

// Centring the display on a point of a frame wider than the window scrolls it there when it is displayed.
TEST_F(FrameRun, CentringTheDisplayScrollsTheFrame) {
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Record(TypeStoryboard, 8, {Number(500)})}));
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 200;
    b.conditionCounts[TypeSpecial + 7] = 110;
    appwriter::FrameContents contents;
    contents.events = b.ChunkPayload();
    d.frames.push_back(appwriter::DescribeFrame(1000, 200, 0x808080, contents));
    bytes_ = appwriter::WriteApplication(d);
    ASSERT_NO_FATAL_FAILURE(
        wiringtest::StartApplicationRun(bytes_, app_, [](ApplicationRecord&) { InstallTestRoutines(); }));
    switches[0] = true;
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_EQ(CurrentRunState()->scrollX, 500 - 160);
    EXPECT_EQ(CurrentRunState()->scrollY, 0);
}

// The storyboard plays a recording back: the key the recording holds down is down for the frame's
// conditions, whatever the keyboard says.
TEST_F(FrameRun, AKeyOfARecordingPlayedBackIsDown) {
    const std::string file =
        (std::filesystem::temp_directory_path() / ("vtr-events-" + std::to_string(getpid()) + ".rec"))
            .string();
    InputRecorder recorder;
    recorder.SetInputRecordingFile(std::u16string(file.begin(), file.end()));
    recorder.StartInputRecording(7);
    std::array<std::uint8_t, 256> keys{};
    keys['K'] = 0x80;
    for (int i = 0; i < 40; ++i)
        recorder.AppendLoop(keys, 0, 0, 0);
    ASSERT_TRUE(recorder.EndInputRecording());
    EventProgramBuilder b;
    b.AddGroup(Group({Always(), Record(TypeSpecial, -6)},
                     {Record(TypeStoryboard, 31,
                             {appwriter::FileParameter(63, std::u16string(file.begin(), file.end()))})}));
    b.AddGroup(Group({EveryLoop(Record(TypeKeyboardMouse, -2, {appwriter::ShortParameter(14, 'K')}))},
                     {Recorder('K')}));
    b.conditionCounts[TypeKeyboardMouse + 7] = 12;
    ASSERT_NO_FATAL_FAILURE(Start(b));
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(Step(), 1);
    std::filesystem::remove(file);
    EXPECT_EQ(CurrentRunState()->recorderMode, RecorderPlaying);
    EXPECT_FALSE(LoopsOf('K').empty());
    EXPECT_EQ(static_cast<std::uint16_t>(GetKeyState('K')) & 0x8000, 0);
}

constexpr std::uint16_t ActiveHandle = 1, WallHandle = 10;

// An active object at (10, 10) and a solid wall of 40 by 40 at (100, 60), with the events of `b`.
void StartWallScene(FrameRun& test, EventProgramBuilder& b, std::vector<std::uint8_t>& bytes,
                    loadertest::RecordPtr& app) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 200;
    d.header->graphicMode = 8;
    backgroundstest::BackdropDesc wall;
    wall.handle = WallHandle;
    wall.width = wall.height = 40;
    scene::AddObjectsAndImages(d,
                               {displaytest::ObjectOf(displaytest::MakeActive(ActiveHandle, {1}, 0)),
                                backgroundstest::BackdropObject(wall)},
                               {displaytest::ImageOf(displaytest::Picture{})});
    b.objectInfoCount = 2;
    b.conditionCounts[TypeSpecial + 7] = 110;
    b.conditionCounts[TypeStoryboard + 7] = 10;
    appwriter::FrameContents contents;
    contents.layers = {appwriter::LayerDesc{0x10}};
    contents.instances = std::vector<appwriter::InstanceDesc>{{1, ActiveHandle, 10, 10, 0, 0, 0},
                                                              {2, WallHandle, 100, 60, 0, 0, 0}};
    contents.events = b.ChunkPayload();
    d.frames.push_back(appwriter::DescribeFrame(320, 200, 0x808080, contents));
    bytes = appwriter::WriteApplication(d);
    ASSERT_NO_FATAL_FAILURE(
        wiringtest::StartApplicationRun(bytes, app, [](ApplicationRecord&) { InstallTestRoutines(); }));
    (void)test;
}

RunObject* FirstObjectOf(std::int16_t handle) {
    for (std::int32_t slot = 0; slot < CurrentRunState()->maxObjects; ++slot)
        if (RunObject* o = CurrentRunState()->objects[slot].object; o && o->objectInfo == handle) return o;
    return nullptr;
}

// An active object moved onto a solid backdrop raises its backdrop condition as it moves.
TEST_F(FrameRun, AnObjectMovedOntoASolidBackdropMeetsIt) {
    EventProgramBuilder b;
    b.AddGroup(Group({Record(2, -13, {}, ActiveHandle)}, {Recorder(13)}));
    ASSERT_NO_FATAL_FAILURE(StartWallScene(*this, b, bytes_, app_));
    RunObject* o = FirstObjectOf(ActiveHandle);
    ASSERT_NE(o, nullptr);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_TRUE(Log().empty());
    o->x = 110;
    o->y = 70;
    ExtendedOf(o)->moved = 1;
    for (int i = 0; i < 3 && Log().empty(); ++i)
        ASSERT_EQ(Step(), 1);
    // The object's backdrop condition (told with the object) holds, and its group's actions run.
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{13}));
}

// The storyboard finds the wall at a position, and tells an obstacle from nothing in an expression.
TEST_F(FrameRun, TheStoryboardSeesObstaclesAtPositions) {
    const auto collisionAt = [](std::int32_t x, std::int32_t y) {
        ExpressionBuilder e;
        SystemExpression(e, TypeStoryboard, 9).Integer(x).Comma().Integer(y).Close();
        return RecorderOf(e);
    };
    EventProgramBuilder b;
    b.AddGroup(Group({Always(), Record(TypeSpecial, -6)}, {collisionAt(120, 80), collisionAt(20, 80)}));
    b.AddGroup(Group({Always(), Record(TypeStoryboard, -5, {Number(139), Number(99)})}, {Recorder(5)}));
    b.AddGroup(
        Group({Always(), Record(TypeStoryboard, -5, {Number(140), Number(99)}, 0, 0, true)}, {Recorder(6)}));
    ASSERT_NO_FATAL_FAILURE(StartWallScene(*this, b, bytes_, app_));
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Step(), 1);
    std::vector<std::int32_t> first = Values();
    ASSERT_GE(first.size(), 4u);
    first.resize(4);
    EXPECT_EQ(first, (std::vector<std::int32_t>{1, 0, 5, 6}));
}

} // namespace
