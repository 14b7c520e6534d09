// An object that appears and disappears through the runtime's transition module, in a running frame: its
// transition sprite, what the frame window shows on the way, and its own sprite or its end afterwards.
#include "application_run.h"
#include "core/frame_clock.h"
#include "core/runtime_services.h"
#include "objects/animations.h"
#include "objects/display_list.h"
#include "objects/object_sprites.h"
#include "objects/object_transitions.h"
#include "objects/run_objects.h"
#include "objects/transition_modules.h"
#include "runtime/waited_clock.h"
#include "startup/runtime_files.h"

#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "startup/banks.h"
#include "vtrs2/banks.h"
#include "vtrs2/sprites.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace vtrrt;
using namespace win32;

constexpr std::uint16_t Ghost = 3;
constexpr COLORREF Background = RGB(0, 0, 200);
constexpr COLORREF Body = RGB(240, 120, 0);
constexpr std::uint32_t Steps = 4;
constexpr int X = 40, Y = 30, Side = 8;

appwriter::Bytes Fade(std::uint32_t steps) {
    appwriter::TransitionDesc t;
    t.parameters = {static_cast<std::uint8_t>(steps), 0, 0, 0};
    return appwriter::TransitionPayload(t, appwriter::StringForm::Wide);
}

// One animated object of a plain 8 x 8 image that fades in and out.
appwriter::ApplicationDescription Describe() {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 200;
    d.header->frameRate = 100;
    appwriter::ObjectInfoDesc ghost;
    ghost.handle = Ghost;
    ghost.name = u"Ghost";
    // Flag 0x04: the sprite keeps what lies under it, so that it is put back when the object goes (without
    // it the frame's redraw would, which the background services make).
    ghost.definition.objectFlags = ObjectHasAnimation | ObjectHasSprite | ObjectSavesWindowRect;
    appwriter::AnimationDesc stopped;
    stopped.directions.push_back({0, 0, 100, 0, 0, {1}});
    ghost.definition.animations = {stopped};
    ghost.definition.appearingTransition = Fade(Steps);
    ghost.definition.disappearingTransition = Fade(2);
    appwriter::ImageItemDesc image;
    image.width = image.height = Side;
    for (int i = 0; i < Side * Side; ++i)
        image.pixels.insert(image.pixels.end(), {GetBValue(Body), GetGValue(Body), GetRValue(Body)});
    const appwriter::BankPayload images = appwriter::WriteImageBank({image});
    std::vector<std::uint32_t> offsets = images.offsets;
    offsets.insert(offsets.begin(), 0);
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0,
         appwriter::WriteObjectInfos({ghost}, appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    d.extra.push_back({appwriter::ChunkImageBank, 0, images.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets(offsets)});
    appwriter::FrameContents contents;
    contents.instances = std::vector<appwriter::InstanceDesc>{{1, Ghost, X, Y, 0, 0, 0}};
    d.frames.push_back(appwriter::DescribeFrame(320, 200, Background, contents));
    return d;
}

COLORREF Blend(COLORREF from, COLORREF to, std::uint32_t k, std::uint32_t n) {
    const int c = 128 - static_cast<int>(128.0 * k / n + 0.5);
    auto channel = [&](int shift) {
        const int o = (from >> shift) & 0xFF, t = (to >> shift) & 0xFF;
        return static_cast<COLORREF>(((t * (128 - c) + o * c) >> 7) << shift);
    };
    return channel(0) | channel(8) | channel(16);
}

class ObjectFades : public ::testing::Test {
protected:
    void SetUp() override {
        // Time moves only when the run waits, so that every step of the machine is the same on every run.
        previousClock_ = SetFrameClock(&clock_);
        kept_ = GetRuntimeFiles().tempFolder;
        GetRuntimeFiles().tempFolder = std::filesystem::path(VTR_BIN_DIR).u16string() + u"/";
        bytes_ = appwriter::WriteApplication(Describe());
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        FreeTransitionModules();
        GetRuntimeFiles().tempFolder = kept_;
        SetFrameClock(previousClock_);
    }
    RunObject* Object() const { return CurrentRunState()->objects[0].object; }
    RunObjectExtended& Extended() const { return *ExtendedOf(Object()); }
    Sprite* SpriteNow() const { return static_cast<Sprite*>(Extended().sprite); }
    COLORREF Centre() const {
        return win32::testing::ReadWindowPixel(Services().frameWindow, X + Side / 2, Y + Side / 2);
    }
    // Steps the machine until the frame has run one more loop (a step may come before the loop is due).
    void Tick() {
        const std::int64_t loops = CurrentRunState()->loopCount;
        for (int i = 0; i < 1000 && CurrentRunState() && CurrentRunState()->loopCount == loops; ++i)
            ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::u16string kept_;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(ObjectFades, AnObjectAppearsThroughItsTransitionSpriteThenGetsItsOwn) {
    RunObject* o = Object();
    ASSERT_NE(o, nullptr);
    ASSERT_TRUE(o->runFlags & ObjectAppearingRunning);
    ASSERT_NE(Extended().appearingTransition, nullptr);
    ASSERT_NE(SpriteNow(), nullptr);
    EXPECT_TRUE(SpriteNow()->flags & SpriteRecordInTransition);
    // The first tick drew the first step; each tick draws one more, from the background to the image.
    for (std::uint32_t k = 1; k <= Steps; ++k) {
        EXPECT_EQ(Centre(), Blend(Background, Body, k, Steps)) << k;
        ASSERT_NO_FATAL_FAILURE(Tick());
    }
    EXPECT_FALSE(o->runFlags & ObjectAppearingRunning);
    ASSERT_NE(SpriteNow(), nullptr);
    EXPECT_FALSE(SpriteNow()->flags & SpriteRecordInTransition) << "the object's own sprite";
    EXPECT_TRUE(o->runFlags & ObjectImageSprite);
    ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(Extended().appearingTransition, nullptr) << "freed with the transition sprite";
    EXPECT_EQ(Centre(), Body);
}

TEST_F(ObjectFades, AnObjectDestroyedWhileItsOldTransitionSpriteWaitsGoesWithThatSprite) {
    RunObject* o = Object();
    for (int i = 0; i < 20 && !ObjectTransitionDone(o, false); ++i)
        ASSERT_NO_FATAL_FAILURE(Tick());
    ASSERT_TRUE(o->runFlags & ObjectAppearingRunning);
    // The fade ends and the object is destroyed in the same loop, before the display frees the transition
    // sprite, which still has the picture to take away (ASan watches the record).
    ASSERT_TRUE(FinishObjectFadeIn(o));
    DestroyObject(0, 0);
    EXPECT_EQ(CurrentRunState()->objects[0].routine, nullptr);
    ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(CurrentRunState()->objects[0].object, nullptr);
    EXPECT_EQ(CurrentRunState()->objectCount, 0);
    EXPECT_EQ(Centre(), Background);
}

TEST_F(ObjectFades, AScaledObjectFadesAtItsScaledSize) {
    while (Object()->runFlags & ObjectAppearingRunning)
        ASSERT_NO_FATAL_FAILURE(Tick());
    // Doubled, its size following its scale as the scale actions leave it.
    Extended().scaleX = Extended().scaleY = 2;
    Object()->width = Object()->height = 2 * Side;
    Extended().changed = 1;
    ASSERT_NO_FATAL_FAILURE(Tick());
    const auto outer = [] {
        return win32::testing::ReadWindowPixel(Services().frameWindow, X + Side + 3, Y + Side + 3);
    };
    ASSERT_EQ(outer(), Body) << "drawn doubled";
    StartDisappearing(Object());
    ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(outer(), Blend(Body, Background, 1, 2)) << "the doubled picture fades";
    EXPECT_EQ(Centre(), Blend(Body, Background, 1, 2));
}

TEST_F(ObjectFades, ADisappearingObjectFadesToTheBackgroundAndIsDestroyed) {
    while (Object()->runFlags & ObjectAppearingRunning)
        ASSERT_NO_FATAL_FAILURE(Tick());
    ASSERT_NO_FATAL_FAILURE(Tick());
    StartDisappearing(Object());
    ASSERT_TRUE(Object()->runFlags & ObjectDisappearingRunning);
    ASSERT_NE(Extended().disappearingTransition, nullptr);
    ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(Centre(), Blend(Body, Background, 1, 2));
    for (int i = 0; i < 4 && CurrentRunState()->objects[0].object; ++i)
        ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(CurrentRunState()->objects[0].object, nullptr) << "destroyed once the transition ended";
    EXPECT_EQ(CurrentRunState()->objectCount, 0);
    EXPECT_EQ(Centre(), Background);
}

// A scaled and turned object fades as it is shown: the picture is its image stretched and turned, over the
// whole of its sprite's rectangle, not the image at its own size in a corner of it.
TEST_F(ObjectFades, AScaledAndTurnedObjectFadesOverTheRectangleItShows) {
    while (Object()->runFlags & ObjectAppearingRunning)
        ASSERT_NO_FATAL_FAILURE(Tick());
    ASSERT_NO_FATAL_FAILURE(Tick());
    // As the scale and angle actions leave it: the object's size and hot spot are the turned image's.
    RunObjectExtended& x = Extended();
    x.scaleX = 2.0f;
    x.angle = 90.0f;
    ImageInfo info{};
    ASSERT_TRUE(GetTransformedImageInfo(app_->banks->library, static_cast<DWORD>(x.image), x.angle, x.scaleX,
                                        x.scaleY, &info));
    x.width = info.width;
    x.height = info.height;
    x.hotSpotX = info.hotX;
    x.hotSpotY = info.hotY;
    UpdateDisplayRect(Object());
    Object()->displayRoutine(Object());
    ASSERT_NO_FATAL_FAILURE(Tick());
    RECT shown{};
    GetSpriteRect(SpritesOfFrame(), SpriteNow(), &shown);
    ASSERT_EQ(shown.right - shown.left, Side) << "turned: as wide as the image is high";
    ASSERT_EQ(shown.bottom - shown.top, 2 * Side);
    StartDisappearing(Object());
    ASSERT_TRUE(Object()->runFlags & ObjectDisappearingRunning);
    ASSERT_NO_FATAL_FAILURE(Tick());
    const HWND w = Services().frameWindow;
    for (POINT p : {POINT{shown.left + 1, shown.top + 1}, POINT{shown.right - 2, shown.bottom - 2},
                    POINT{shown.left + Side / 2, shown.top + Side + 3}})
        EXPECT_EQ(win32::testing::ReadWindowPixel(w, p.x, p.y), Blend(Body, Background, 1, 2))
            << p.x << "," << p.y;
}

} // namespace
