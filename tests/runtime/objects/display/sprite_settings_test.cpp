// What a frame hands its window's sprites besides the objects' pictures: the layers' inks, and which sprites
// collide and how.
#include "display_fixture.h"

#include "objects/object_sprites.h"
#include "startup/event_program.h"

#include "appwriter/event_program_builder.h"
#include "vtrs2/sprite_drawing.h"

namespace {

using namespace displaytest;

constexpr std::uint16_t BoxOnlyCollisions = 0x04;

class SpriteSettings : public DisplayTest {
protected:
    Sprite* SpriteAt(int slot) { return static_cast<Sprite*>(Active(slot)->sprite); }
};

TEST_F(SpriteSettings, EachLayersInkReachesTheWindowsLayerRecords) {
    StartDescribed(Describe({Picture{}}, {MakeActive(1, {1}, 0)}, {{1, 10, 10, 0}}, [](auto& contents) {
        contents.layers[1].flags |= 0x80; // drawn straight onto the window surface
        contents.layerEffects = std::vector<appwriter::EffectDesc>{{1, 64, 0, {}}, {9, 0, 0, {}}};
    }));
    SpriteWindow* window = SpritesOfFrame();
    ASSERT_EQ(window->layerCount, 2);
    EXPECT_EQ(GetLayerRecord(window, 0)->ink, 1u);
    EXPECT_EQ(GetLayerRecord(window, 0)->inkParam, 64);
    EXPECT_EQ(GetLayerRecord(window, 0)->flags, 0u);
    EXPECT_EQ(GetLayerRecord(window, 1)->ink, 9u);
    EXPECT_EQ(GetLayerRecord(window, 1)->flags, LayerDrawnDirectly);
}

TEST_F(SpriteSettings, OnlyObjectsWhoseOverlapsTheEventsTestKeepCollidingSprites) {
    ActiveDesc boxed = MakeActive(3, {1}, 0);
    boxed.collisionWord = BoxOnlyCollisions;
    const auto events = [](appwriter::FrameContents& contents) {
        // One event line: object 1 collides with object 2.
        appwriter::EventProgramBuilder b;
        b.objectInfoCount = 3;
        appwriter::EventGroupDesc g;
        appwriter::EventRecordDesc c;
        c.type = 2;
        c.number = ConditionCollision;
        c.objectInfo = 1;
        c.parameters.push_back(appwriter::ObjectParameter(2, 2));
        g.conditions.push_back(c);
        b.AddGroup(g);
        contents.events = b.ChunkPayload();
    };
    StartDescribed(Describe({Picture{}}, {MakeActive(1, {1}, 0), MakeActive(2, {1}, 0), boxed},
                            {{1, 10, 10, 0}, {2, 30, 10, 0}, {3, 50, 10, 0}}, events));
    EXPECT_TRUE(SpriteAt(0)->flags & SpriteCollidable);
    EXPECT_TRUE(SpriteAt(1)->flags & SpriteCollidable);
    EXPECT_FALSE(SpriteAt(2)->flags & SpriteCollidable) << "no event tests its overlaps";
    EXPECT_FALSE(SpriteAt(0)->flags & SpriteBoxOnly);
    EXPECT_TRUE(SpriteAt(2)->flags & SpriteBoxOnly);
}

} // namespace
