// Scrolling and the activity rectangles, layers shown and hidden, flashing, the deferred drawing into the
// background and the passes that call a routine for every object.
#include "display_fixture.h"

#include "core/frame_record.h"
#include "objects/display_list.h"
#include "objects/object_sprites.h"

namespace {

using namespace displaytest;

constexpr COLORREF Blue = 0x0000FF;
constexpr std::uint32_t LayerShown = 0x10, LayerScrollsX = 0x01;

class DisplayList : public DisplayTest {
protected:
    // One object on each layer at (40, 40); layer 0 does not follow the scrolling (coefficient 0), layer 1
    // does (coefficient 1).
    void SetUp() override {
        StartDescribed(
            Describe({Picture{}}, {MakeActive(1, {1}, 0)}, {{1, 40, 40, 0}, {1, 40, 40, 1}},
                     [](appwriter::FrameContents& contents) {
                         contents.layers[0] = {LayerShown | LayerScrollsX, 0.0f, 1.0f, 0, 0, u"Back"};
                         contents.layers[1] = {LayerShown | LayerScrollsX, 1.0f, 1.0f, 0, 0, u"Front"};
                     }));
        Tick();
    }
    ObjectSpriteBlock& Block(int slot) { return *SpriteBlockOf(Slot(slot)); }
    bool Hidden(int slot) { return Block(slot).displayFlags & DisplayHidden; }
};

TEST_F(DisplayList, AtScrollZeroTheInnerActivityRectangleStartsAtTheOuterOne) {
    ScrollFrame(0, 0);
    const FrameRunState& s = *CurrentRunState();
    EXPECT_EQ(s.activeLimits.left, s.outerLimits.left);
    EXPECT_EQ(s.activeLimits.top, s.outerLimits.top);
    ScrollFrame(100, 20);
    EXPECT_EQ(s.activeLimits.left, 100 - 64);
    EXPECT_EQ(s.activeLimits.top, 20 - 16);
    EXPECT_EQ(s.activeLimits.right, s.outerLimits.right) << "past the frame's width";
}

TEST_F(DisplayList, ScrollingKeepsObjectsOfACoefficientZeroLayerWhereTheWindowShowsThem) {
    ScrollFrame(10, 0);
    EXPECT_EQ(Slot(0)->x, 50) << "coefficient 0: the same window position";
    EXPECT_EQ(Slot(1)->x, 40) << "coefficient 1: the same frame position";
    Tick();
    EXPECT_EQ(Shown(40, 40), Blue);
    EXPECT_EQ(Shown(30, 40), Blue);
    EXPECT_EQ(Shown(48, 40), Background);
}

TEST_F(DisplayList, ARedrawRequestIsTakenOnceAndOnlyAFrameOrScrollRedrawSeesTheScrollPosition) {
    FrameRunState& s = *CurrentRunState();
    s.scrollX = 12;
    s.redrawRequest = 0x02;
    DisplayFrame(0);
    EXPECT_EQ(s.redrawRequest, 0);
    EXPECT_EQ(s.previousScrollX, 0) << "neither the frame nor its scrolling";
    s.redrawRequest = RedrawRequestFrame;
    s.redrawRequest |= RedrawRequestFrame; // asked twice
    DisplayFrame(0);
    EXPECT_EQ(s.redrawRequest, 0);
    EXPECT_EQ(s.previousScrollX, s.scrollX);
    // Drawn again as it was: the objects stand where they stood.
    Tick();
    EXPECT_EQ(Shown(40, 40), Blue);
}

TEST_F(DisplayList, HidingALayerHidesItsObjectsAndStopsTheirFlashing) {
    Block(0).flashInterval = 50;
    SetLayerObjectsVisible(0, false);
    EXPECT_TRUE(Hidden(0));
    EXPECT_FALSE(Hidden(1));
    EXPECT_EQ(Block(0).flashInterval, 0);
    SetLayerObjectsVisible(-1, false);
    Tick();
    EXPECT_EQ(Shown(40, 40), Background);
    SetLayerObjectsVisible(0, true);
    EXPECT_FALSE(Hidden(0));
    EXPECT_TRUE(Hidden(1));
    Tick();
    EXPECT_EQ(Shown(40, 40), Blue);
}

TEST_F(DisplayList, HidingTwiceChangesNothingAndAHiddenLayersObjectsStayHidden) {
    HideObject(Slot(0));
    const ObjectSpriteBlock once = Block(0);
    HideObject(Slot(0));
    EXPECT_EQ(Block(0).displayFlags, once.displayFlags);
    EXPECT_EQ(Block(0).spriteFlags, once.spriteFlags);
    CurrentRunState()->frame->layers[0].settings.flags &= ~LayerShown;
    ShowObject(Slot(0));
    EXPECT_TRUE(Hidden(0)) << "its layer is hidden";
    CurrentRunState()->frame->layers[0].settings.flags |= LayerShown;
    ShowObject(Slot(0));
    EXPECT_FALSE(Hidden(0));
}

TEST_F(DisplayList, AFlashingObjectTogglesAndAnIntervalOfZeroNever) {
    Block(0).flashInterval = 1;
    int toggles = 0;
    bool hidden = Hidden(0);
    for (int i = 0; i < 6; ++i) {
        Tick();
        toggles += Hidden(0) != hidden;
        hidden = Hidden(0);
    }
    EXPECT_GE(toggles, 4);
    EXPECT_EQ(Hidden(1), false) << "not flashing";
    Block(0).flashInterval = 0;
    const bool before = Hidden(0);
    for (int i = 0; i < 4; ++i)
        Tick();
    EXPECT_EQ(Hidden(0), before);
}

std::vector<int> ran;
void Record(BackgroundQueueNode* node) {
    ran.push_back(node->arguments[0]);
    // Drawing queued while the queue runs waits for the next display.
    if (node->arguments[0] == 2) QueueBackgroundDraw(Record, 3, 0, 0, 0, 0, nullptr);
}

TEST_F(DisplayList, BackgroundDrawingRunsAtTheNextDisplayInTheOrderItWasQueued) {
    ran.clear();
    QueueBackgroundDraw(Record, 1, 0, 0, 0, 0, nullptr);
    QueueBackgroundDraw(Record, 2, 0, 0, 0, 0, nullptr);
    EXPECT_TRUE(ran.empty());
    Tick();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    Tick();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    QueueBackgroundDraw(Record, 4, 0, 0, 0, 0, nullptr);
    FreeBackgroundQueue();
    Tick();
    EXPECT_EQ(ran.size(), 3u) << "freed without being run";
    EXPECT_EQ(CurrentRunState()->backgroundQueueHead, nullptr);
}

int called = 0;
void Count(RunObject*, int) {
    ++called;
}

TEST_F(DisplayList, FlagRoutinesRunForObjectsWhoseFlagsTheirMaskMeets) {
    called = 0;
    const ObjectFlagRoutine none[] = {{0xFFFF, Count}, {ObjectHasSprite, Count}};
    CallObjectRoutines(nullptr, 0, none);
    EXPECT_EQ(called, 0) << "a list that starts with its end";
    const ObjectFlagRoutine sprites[] = {
        {ObjectHasSprite, Count}, {ObjectSavedBackground, Count}, {0xFFFF, nullptr}};
    CallObjectRoutines(nullptr, 0, sprites);
    EXPECT_EQ(called, 2);
}

} // namespace
