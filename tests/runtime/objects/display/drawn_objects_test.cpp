// Objects their kind draws itself: through an owner-drawn sprite, or over a saved background; and records
// that outlive their slot until the sprite pool or the background restore lets them go.
#include "display_fixture.h"

#include "core/header_flags.h"
#include "objects/display_list.h"
#include "objects/object_sprites.h"
#include "shell/window_hooks.h"
#include "vtrs2/app_window.h"

namespace {

using namespace displaytest;

constexpr std::int16_t DrawnKind = 7;
constexpr COLORREF Painted = 0x00A0B0C0;

int drawn = 0;

// The kind's display routine paints its box into the window's surface.
void PaintBox(RunObject* o) {
    ++drawn;
    FillWindowRect(Services().frameLibraryWindow, o->displayLeft, o->displayTop, o->displayRight - 1,
                   o->displayBottom - 1, Painted);
}

void SizeBox(RunObject* o) {
    o->width = 6;
    o->height = 4;
}

class DrawnObjects : public DisplayTest {
protected:
    void StartWith(std::uint32_t flags) {
        drawn = 0;
        appwriter::ApplicationDescription d = Describe({Picture{}}, {}, {});
        appwriter::ObjectInfoDesc o;
        o.handle = 1;
        o.type = DrawnKind;
        o.definition.objectFlags = flags;
        d.extra[0].payload =
            appwriter::WriteObjectInfos({o}, appwriter::StringForm::Wide, appwriter::KeyOf(d));
        appwriter::FrameContents contents;
        contents.layers = {appwriter::LayerDesc{}};
        contents.layers[0].flags = 0x10;
        contents.instances = std::vector<appwriter::InstanceDesc>{{1, 1, 20, 30, 0, 0, 0}};
        d.frames[0] = appwriter::DescribeFrame(FrameWidth, FrameHeight, Background, contents);
        StartDescribed(d);
        Tick();
    }
    // The application's start has installed the kind's own routines: the test's stand in for them.
    void BeforeFrameStarts() override {
        saved_ = KindRoutines()[DrawnKind];
        KindRoutines()[DrawnKind].display = PaintBox;
        KindRoutines()[DrawnKind].zone = SizeBox;
        // A new object asks to be shown, as the kinds do.
        KindRoutines()[DrawnKind].create = [](RunObject* o, const std::uint8_t*,
                                              const ObjectCreationParams*) {
            ExtendedOf(o)->changed = 1;
            return 0;
        };
        restore_ = true;
    }
    void TearDown() override {
        DisplayTest::TearDown();
        if (restore_) KindRoutines()[DrawnKind] = saved_;
    }
    ObjectKindRoutines saved_{};
    bool restore_ = false;
};

TEST_F(DrawnObjects, AnOwnerDrawnObjectIsDrawnByItsKindWhereItStands) {
    StartWith(ObjectSavesWindowRect | ObjectHasSprite);
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(Shown(20, 30), Painted);
    EXPECT_EQ(Shown(25, 33), Painted);
    EXPECT_EQ(Shown(26, 30), Background);
}

TEST_F(DrawnObjects, AFittedFrameRedisplaysItsObjectsWhenItsWindowIsSized) {
    StartWith(ObjectSavesWindowRect | ObjectHasSprite);
    // Moved without asking to be redisplayed: only the redisplay of every object shows it there.
    Slot(0)->x = 60;
    app_->header.flags1 &= static_cast<std::uint16_t>(~HeaderFitFrame);
    CallWindowHooks(Services().frameWindow, win32::WM_SIZE, 0, 0);
    Tick();
    EXPECT_EQ(Shown(20, 30), Painted);
    app_->header.flags1 |= HeaderFitFrame;
    CallWindowHooks(Services().frameWindow, win32::WM_SIZE, 0, 0);
    Tick();
    EXPECT_EQ(Shown(20, 30), Background);
    EXPECT_EQ(Shown(60, 30), Painted);
}

TEST_F(DrawnObjects, AnOwnerDrawnRecordWaitsForItsSpriteAndGoesWithIt) {
    StartWith(ObjectSavesWindowRect | ObjectHasSprite);
    RunObject* o = Slot(0);
    DestroyObject(0, 0);
    // The slot is free; the record waits for the sprite pool to free the deleted sprite.
    EXPECT_EQ(CurrentRunState()->objects[0].object, o);
    EXPECT_EQ(o->creationNumber, 0);
    Tick();
    EXPECT_EQ(CurrentRunState()->objects[0].object, nullptr);
    EXPECT_EQ(CurrentRunState()->objectCount, 0);
    EXPECT_EQ(Shown(20, 30), Background);
}

TEST_F(DrawnObjects, AWaitingRecordFreedAtFrameEndIsDetachedFromItsSpriteFirst) {
    StartWith(ObjectSavesWindowRect | ObjectHasSprite);
    DestroyObject(0, 0);
    // Frame end frees it now: the pool's sprite lets go of the record before it is freed (ASan watches).
    ASSERT_EQ(EndWith(ExitEndApplication), 0);
    EXPECT_EQ(CurrentRunState(), nullptr);
}

TEST_F(DrawnObjects, ARecordWaitingForItsBackgroundFreedAtFrameEndLeavesTheListFirst) {
    StartWith(ObjectSavesWindowRect | ObjectHasSprite | ObjectSavedBackground);
    DestroyObject(0, 0);
    ASSERT_EQ(CurrentRunState()->savedListHead, 0) << "listed for its restore";
    // Destroyed again, as the frame's end destroys every object: the list lets go of it before it is freed.
    DestroyObject(0, 1);
    EXPECT_EQ(CurrentRunState()->objects[0].object, nullptr);
    EXPECT_EQ(CurrentRunState()->savedListHead, NoListedObject);
    EXPECT_EQ(CurrentRunState()->objectCount, 0);
    Tick(); // a display after it reads no freed record (ASan watches)
}

TEST_F(DrawnObjects, AnObjectOverASavedBackgroundIsRestoredAndFreedAtTheNextDisplay) {
    StartWith(ObjectSavesWindowRect | ObjectHasSprite | ObjectSavedBackground);
    EXPECT_EQ(Shown(20, 30), Painted);
    RunObject* o = Slot(0);
    DestroyObject(0, 0);
    EXPECT_EQ(CurrentRunState()->objects[0].object, o) << "it waits for its background to be put back";
    Tick();
    EXPECT_EQ(CurrentRunState()->objects[0].object, nullptr);
    EXPECT_EQ(Shown(20, 30), Background);
}

} // namespace
