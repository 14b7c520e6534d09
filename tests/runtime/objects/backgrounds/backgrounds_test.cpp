// Placed backdrops drawn and written into the collision mask against per-pixel references, scrolling by
// strips against full redraws, run-time backdrops and background collisions.
#include "backgrounds_fixture.h"

#include "objects/display_list.h"

#include "vtrs2/effect.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"

#include <random>

namespace {

using namespace backgroundstest;

// 12 x 10, solid but for a see-through hole.
Picture Holed() {
    Picture p;
    p.width = 12;
    p.height = 10;
    p.transparent = 0;
    p.colour = [](int x, int y) {
        return (x >= 3 && x < 7 && y >= 2 && y < 6) ? COLORREF{0} : COLORREF{0x40C040};
    };
    return p;
}

bool HoledSolid(int x, int y) {
    return !(x >= 3 && x < 7 && y >= 2 && y < 6);
}

// The mask as the stack writes it, pixel by pixel: obstacles set both planes, any other backdrop clears
// both under it once something was written, platforms then set their top six rows, type 4 writes nothing.
class ReferenceMask {
public:
    int At(int x, int y) const {
        const int i = Index(x, y);
        return i < 0 ? 0 : bits_[static_cast<std::size_t>(i)];
    }
    void Add(const BackdropDesc& b, int left, int top) {
        if (b.obstacle == 4) return;
        const bool fine = b.type == 1 && !b.boxOnly && b.obstacle != 3;
        const auto each = [&](auto&& f) {
            for (int y = 0; y < b.height; ++y)
                for (int x = 0; x < b.width; ++x)
                    if (!fine || HoledSolid(x, y)) f(left + x, top + y, y);
        };
        if (b.obstacle == 1) {
            each([&](int x, int y, int) { Set(x, y, 3); });
            clean_ = false;
            return;
        }
        if (!clean_) each([&](int x, int y, int) { Set(x, y, 0); });
        if (b.obstacle == 2)
            each([&](int x, int y, int row) {
                if (row < 6) Set(x, y, 2);
            });
    }

private:
    static int Index(int x, int y) {
        if (x < -56 || x >= FrameWidth + 56 || y < -16 || y >= FrameHeight + 16) return -1;
        return (y + 16) * (FrameWidth + 112) + x + 56;
    }
    void Set(int x, int y, int v) {
        if (const int i = Index(x, y); i >= 0) bits_[static_cast<std::size_t>(i)] = v;
    }
    std::vector<int> bits_ =
        std::vector<int>(static_cast<std::size_t>((FrameWidth + 112) * (FrameHeight + 32)), 0);
    bool clean_ = true;
};

class MaskStacks : public BackgroundsTest, public ::testing::WithParamInterface<int> {};

TEST_P(MaskStacks, TheMaskAfterAStackOfBackdropsMatchesThePixelReference) {
    std::mt19937 random(static_cast<unsigned>(GetParam()));
    Scene scene;
    scene.pictures = {Holed()};
    const int count = 14;
    std::vector<int> lefts, tops;
    for (int i = 0; i < count; ++i) {
        BackdropDesc b;
        b.handle = static_cast<std::uint16_t>(10 + i);
        b.type = static_cast<std::int16_t>(random() % 2);
        // An obstacle and a platform in every stack, so that both planes exist.
        b.obstacle = i == 0 ? 2 : i == 1 ? 1 : static_cast<std::uint16_t>(random() % 5);
        if (b.type == 1) {
            b.image = 1;
            b.width = 12, b.height = 10;
            b.boxOnly = static_cast<std::uint16_t>(random() % 3 == 0);
        } else {
            b.width = 4 + static_cast<int>(random() % 40);
            b.height = 4 + static_cast<int>(random() % 30);
        }
        scene.backdrops.push_back(b);
        const int left = static_cast<int>(random() % (FrameWidth + 20)) - 20;
        const int top = static_cast<int>(random() % (FrameHeight + 14)) - 14;
        scene.placed.push_back({b.handle, left, top, 0});
        lefts.push_back(left), tops.push_back(top);
    }
    StartScene(scene);
    ReferenceMask reference;
    for (int i = 0; i < count; ++i)
        reference.Add(scene.backdrops[static_cast<std::size_t>(i)], lefts[static_cast<std::size_t>(i)],
                      tops[static_cast<std::size_t>(i)]);
    int wrong = 0;
    for (int y = -16; y < FrameHeight + 16; ++y)
        for (int x = -56; x < FrameWidth + 56; ++x)
            if (MaskAt(x, y) != reference.At(x, y) && wrong++ < 5)
                ADD_FAILURE() << "at " << x << "," << y << " mask " << MaskAt(x, y) << " expected "
                              << reference.At(x, y);
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, MaskStacks, ::testing::Values(1, 2, 3, 4, 5, 6));

// A quick rectangle and an image on layer 0 are in the window from the frame's first display, the image
// keyed over the rectangle; an ellipse's corners stay the background's.
TEST_F(BackgroundsTest, PlacedBackdropsAreDrawnFromTheFirstDisplay) {
    Scene scene;
    scene.pictures = {Holed()};
    BackdropDesc box;
    box.handle = 10, box.width = 40, box.height = 20, box.colour1 = 0x2020C0;
    BackdropDesc picture;
    picture.handle = 11, picture.type = 1, picture.image = 1, picture.ink = KeyedInk;
    BackdropDesc round;
    round.handle = 12, round.shape = ShapeEllipse, round.width = 30, round.height = 30,
    round.colour1 = 0x00FFFF;
    scene.backdrops = {box, picture, round};
    scene.placed = {{10, 10, 10}, {11, 20, 12}, {12, 100, 60}};
    StartScene(scene);
    Tick();
    EXPECT_EQ(Shown(12, 12), COLORREF{0x2020C0});
    EXPECT_EQ(Shown(24, 15), COLORREF{0x2020C0}) << "the image's hole shows the rectangle";
    EXPECT_EQ(Shown(21, 13), COLORREF{0x40C040});
    EXPECT_EQ(Shown(115, 75), COLORREF{0x00FFFF});
    EXPECT_EQ(Shown(100, 60), Background) << "an ellipse leaves its box's corners";
    EXPECT_EQ(Shown(5, 5), Background);
}

// A backdrop of ink 13 draws with its object's effect object, whose coefficient is the stored ink parameter:
// alpha 0x80 blends it with weight 63, on layer 0 as in a layer's sprites. The effect goes with the frame.
TEST_F(BackgroundsTest, ABackdropOfInkThirteenIsDrawnByItsEffectsCoefficient) {
    Scene scene;
    Picture solid;
    solid.colour = [](int, int) { return COLORREF{0x00C0FF}; };
    scene.pictures = {solid};
    scene.layers = {appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0x10}};
    scene.effects = std::vector<appwriter::Bytes>{appwriter::EffectEntry({"glass", "technique", {}, {}, 0})};
    BackdropDesc low;
    low.handle = 10, low.type = 1, low.image = 1, low.width = low.height = 8, low.obstacle = 0;
    low.ink = KeyedInk | 13, low.inkParameter = 0x80FFFFFF, low.effectIndex = 0;
    BackdropDesc high = low;
    high.handle = 11;
    scene.backdrops = {low, high};
    scene.placed = {{10, 10, 10, 0}, {11, 40, 10, 1}};
    StartScene(scene);
    Tick();
    NaiveCompositor expected;
    expected.Put(solid, 10, 10, KeyedInk, 63);
    expected.Put(solid, 40, 10, KeyedInk, 63);
    EXPECT_EQ(Shown(12, 12), expected.At(12, 12));
    EXPECT_EQ(Shown(42, 12), expected.At(42, 12));
    EXPECT_NE(Shown(42, 12), COLORREF{0x00C0FF});
    const ObjectInfo* info = GetObjectInfoByHandle(10);
    ASSERT_NE(info, nullptr);
    ASSERT_NE(info->effect, nullptr);
    EXPECT_EQ(info->effect->GetRgbaCoefficient(), 0x80FFFFFFu);
    EXPECT_EQ(EndWith(ExitEndApplication), 0);
    EXPECT_EQ(info->effect, nullptr);
}

// Scrolling by strips leaves the window and the mask as a full redraw at the new position leaves them, on
// wrapping and non-wrapping layers, with a second layer seen through half its coefficient.
class Scrolling : public BackgroundsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(Scrolling, StripsRedrawAsAFullRedrawDoesAtEachPosition) {
    const bool wraps = GetParam();
    Scene scene;
    scene.frameWidth = 400, scene.frameHeight = 300;
    scene.pictures = {Holed()};
    scene.layers = {appwriter::LayerDesc{0x10u | (wraps ? 0x60u : 0u)},
                    appwriter::LayerDesc{0x13, 0.5f, 0.5f}};
    std::mt19937 random(wraps ? 11u : 12u);
    std::uint16_t handle = 10;
    const std::uint16_t shapes[] = {ShapeRectangle, ShapeEllipse, ShapeLine};
    for (int i = 0; i < 40; ++i) {
        BackdropDesc b;
        b.handle = handle++;
        b.type = static_cast<std::int16_t>(i % 3 == 0 ? 1 : 0);
        b.obstacle = static_cast<std::uint16_t>(random() % 4);
        if (b.type == 1) {
            b.image = 1, b.width = 12, b.height = 10, b.ink = KeyedInk;
        } else {
            b.width = 8 + static_cast<int>(random() % 60), b.height = 6 + static_cast<int>(random() % 50);
            b.shape = shapes[random() % 3];
            b.fill = static_cast<std::uint16_t>(1 + random() % 2);
            b.borderWidth = static_cast<std::uint16_t>(random() % 3);
            b.colour1 = random() & 0xF0F0F0, b.colour2 = random() & 0xF0F0F0, b.borderColour = 0x10E0E0;
        }
        scene.backdrops.push_back(b);
        // Some cross the frame's edges, so that wrapped copies show.
        const int x = static_cast<int>(random() % 440) - 30, y = static_cast<int>(random() % 330) - 20;
        scene.placed.push_back({b.handle, x, y, static_cast<std::int16_t>(i % 4 == 3 ? 1 : 0)});
    }
    StartScene(scene);
    Tick();
    int x = 0, y = 0;
    for (int step = 0; step < 14; ++step) {
        const bool big = step == 7;
        x += big ? 90 : static_cast<int>(random() % 61) - 30;
        y += big ? 70 : static_cast<int>(random() % 45) - 22;
        if (!wraps) x = std::clamp(x, 0, 400 - FrameWidth), y = std::clamp(y, 0, 300 - FrameHeight);
        Frame().scrollX = x, Frame().scrollY = y;
        Run().redrawRequest |= RedrawRequestScrolled;
        Tick();
        Tick();
        const std::vector<COLORREF> stripPixels = Pixels();
        const std::vector<int> stripMask = MaskBits();
        Run().redrawRequest |= RedrawRequestFrame;
        Tick();
        Tick();
        ASSERT_EQ(Run().scrollX, x);
        const std::vector<COLORREF> fullPixels = Pixels();
        const std::vector<int> fullMask = MaskBits();
        int wrongPixels = 0, wrongMask = 0;
        for (std::size_t i = 0; i < fullPixels.size(); ++i)
            if (stripPixels[i] != fullPixels[i] && wrongPixels++ < 3)
                ADD_FAILURE() << "step " << step << " pixel " << i % FrameWidth << "," << i / FrameWidth
                              << " strips " << std::hex << stripPixels[i] << " full " << fullPixels[i];
        for (std::size_t i = 0; i < fullMask.size(); ++i)
            if (stripMask[i] != fullMask[i] && wrongMask++ < 3)
                ADD_FAILURE() << "step " << step << " mask " << static_cast<int>(i % (FrameWidth + 112)) - 56
                              << "," << static_cast<int>(i / (FrameWidth + 112)) - 16;
        ASSERT_EQ(wrongPixels + wrongMask, 0) << "at scroll " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Layers, Scrolling, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Wrapping" : "NotWrapping"; });

class RunTimeBackdrops : public BackgroundsTest {
protected:
    // Three layers; layer 1 wraps across the frame's width; backdrop collisions are tested per layer.
    void StartLayers(std::uint32_t frameFlags = FrameCollisionsPerLayer) {
        Scene scene;
        scene.frameFlags = frameFlags;
        scene.pictures = {Holed()};
        scene.layers = {appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0x30}, appwriter::LayerDesc{0x10}};
        BackdropDesc anchor;
        anchor.handle = 10, anchor.type = 1, anchor.image = 1, anchor.obstacle = 0;
        scene.backdrops = {anchor};
        scene.placed = {{10, -100, -100, 2}};
        StartScene(scene);
        image_ = ImageHandle(1);
        ASSERT_NE(image_, 0u);
    }
    LayerBackdrop Record(int x, int y, int layer, std::uint16_t obstacle, std::uint16_t fine = 1) {
        LayerBackdrop r{};
        r.x = x, r.y = y, r.image = static_cast<std::uint16_t>(image_), r.fine = fine;
        r.layer = static_cast<std::uint16_t>(layer), r.obstacle = obstacle;
        return r;
    }
    FrameLayer& Layer(int i) { return Frame().layers[i]; }
    LayerBackdrop* Records(int i) { return static_cast<LayerBackdrop*>(Layer(i).runtimeBackdrops); }
    std::uint32_t image_ = 0;
};

TEST_F(RunTimeBackdrops, TheSameImageTwiceKeepsOneRecordBroughtToTheEnd) {
    StartLayers();
    AddRunBackdropToLayer(Record(10, 10, 2, ObstacleSolid));
    AddRunBackdropToLayer(Record(40, 10, 2, ObstacleSolid));
    AddRunBackdropToLayer(Record(10, 10, 2, ObstaclePlatform, 0));
    ASSERT_EQ(Layer(2).runtimeBackdropCount, 2);
    EXPECT_EQ(Records(2)[1].x, 10);
    EXPECT_EQ(Records(2)[1].obstacle, ObstaclePlatform);
    EXPECT_EQ(Records(2)[1].fine, 0);
    ASSERT_NE(Records(2)[1].sprites[0], nullptr);
    EXPECT_TRUE(IsSpriteInFront(Window(), Records(2)[1].sprites[0], Records(2)[0].sprites[0]));
}

TEST_F(RunTimeBackdrops, TheListGrowsBySixteenWhenTheSixteenthAndSeventeenthArrive) {
    StartLayers();
    for (int i = 0; i < 15; ++i)
        AddRunBackdropToLayer(Record(i, 0, 2, ObstacleNone));
    EXPECT_EQ(GetMemorySize(Layer(2).runtimeBackdrops), 16 * sizeof(LayerBackdrop));
    AddRunBackdropToLayer(Record(15, 0, 2, ObstacleNone));
    EXPECT_EQ(GetMemorySize(Layer(2).runtimeBackdrops), 32 * sizeof(LayerBackdrop));
    AddRunBackdropToLayer(Record(16, 0, 2, ObstacleNone));
    EXPECT_EQ(Layer(2).runtimeBackdropCount, 17);
    EXPECT_EQ(GetMemorySize(Layer(2).runtimeBackdrops), 32 * sizeof(LayerBackdrop));
    // The sprites still point at their records after the list moved.
    for (int i = 0; i < 17; ++i) {
        ASSERT_NE(Records(2)[i].sprites[0], nullptr) << i;
        ASSERT_EQ(Records(2)[i].sprites[0]->userData, reinterpret_cast<win32::LONG_PTR>(&Records(2)[i])) << i;
    }
    Frame().maxLayerBackdrops = 17;
    AddRunBackdropToLayer(Record(17, 0, 2, ObstacleNone));
    EXPECT_EQ(Layer(2).runtimeBackdropCount, 17) << "a full list drops the backdrop";
}

TEST_F(RunTimeBackdrops, DeletingAtAPointTakesEveryBackdropThereWithoutSkippingOne) {
    StartLayers();
    AddRunBackdropToLayer(Record(10, 10, 2, ObstacleSolid));
    AddRunBackdropToLayer(Record(12, 11, 2, ObstacleSolid));
    AddRunBackdropToLayer(Record(14, 12, 2, ObstacleSolid));
    AddRunBackdropToLayer(Record(60, 60, 2, ObstacleSolid));
    Run().redrawRequest = 0;
    DeleteLayerBackdropAt(20, 15, 2, false);
    ASSERT_EQ(Layer(2).runtimeBackdropCount, 1);
    EXPECT_EQ(Records(2)[0].x, 60);
    EXPECT_TRUE(Layer(2).settings.flags & LayerRedrawPartial);
    EXPECT_TRUE(Run().redrawRequest & RedrawRequestFrame);
    // With the mask asked for, the image's hole is no hit.
    AddRunBackdropToLayer(Record(100, 10, 2, ObstacleSolid));
    DeleteLayerBackdropAt(104, 13, 2, true);
    EXPECT_EQ(Layer(2).runtimeBackdropCount, 2);
    DeleteLayerBackdropAt(100, 10, 2, true);
    EXPECT_EQ(Layer(2).runtimeBackdropCount, 1);
    // Layer numbers the frame does not have change nothing.
    DeleteLayerBackdropAt(60, 60, 7, false);
    DeleteLayerBackdropAt(60, 60, -1, false);
    DeleteLayerBackdrops(3);
    DeleteLayerBackdrops(-2);
    EXPECT_EQ(Layer(2).runtimeBackdropCount, 1);
    DeleteLayerBackdrops(2);
    EXPECT_EQ(Layer(2).runtimeBackdropCount, 0);
    EXPECT_EQ(Layer(2).runtimeBackdrops, nullptr);
}

TEST_F(RunTimeBackdrops, ABackdropCrossingAWrappingLayersRightEdgeIsHitAtItsLeftToo) {
    StartLayers();
    AddRunBackdropToLayer(Record(FrameWidth - 4, 20, 1, ObstacleSolid, 0));
    const LayerBackdrop& r = Records(1)[0];
    EXPECT_NE(r.sprites[0], nullptr);
    EXPECT_NE(r.sprites[1], nullptr) << "a second sprite shows the part past the edge at the left";
    EXPECT_EQ(TestLayerBackdropsAtPoint(FrameWidth - 2, 25, 1, 0), 1);
    EXPECT_EQ(TestLayerBackdropsAtPoint(5, 25, 1, 0), 1);
    EXPECT_EQ(TestLayerBackdropsAtPoint(9, 25, 1, 0), 0);
    EXPECT_EQ(TestPointAgainstBackground(5, 25, 1, 0), 1);
    EXPECT_EQ(TestRectAgainstBackdrops(0, 20, 4, 4, -1, 0), 1);
}

TEST_F(RunTimeBackdrops, APlatformDoesNotStopATestForObstacles) {
    StartLayers();
    AddRunBackdropToLayer(Record(30, 30, 2, ObstaclePlatform, 0));
    EXPECT_EQ(TestLayerBackdropsAtPoint(32, 32, 2, 0), 0);
    EXPECT_EQ(TestLayerBackdropsAtPoint(32, 32, 2, 1), 1);
    EXPECT_EQ(TestLayerBackdropsInRect(28, 28, 4, 4, -1, 0), 0);
    EXPECT_EQ(TestLayerBackdropsInRect(28, 28, 4, 4, -1, 1), 1);
}

TEST_F(RunTimeBackdrops, WithoutPerLayerTestsLayersAboveZeroAreTheirBackSprites) {
    StartLayers(0);
    AddRunBackdropToLayer(Record(30, 30, 2, ObstacleSolid, 0));
    Tick();
    // A test for layer 1 looks at the back sprites of every layer.
    EXPECT_EQ(TestPointAgainstBackground(31, 31, 1, 0), 1);
    EXPECT_EQ(TestPointAgainstBackground(34, 33, 1, 0), 0) << "the image's hole";
    EXPECT_EQ(TestPointAgainstBackground(3, 3, 1, 0), 0);
    EXPECT_EQ(TestRectAgainstBackdrops(25, 25, 8, 8, 2, 0), 1);
}

TEST_F(BackgroundsTest, InAFrameOfOneLayerOnlyTheMaskAnswers) {
    Scene scene;
    BackdropDesc wall;
    wall.handle = 10, wall.width = 20, wall.height = 10;
    scene.backdrops = {wall};
    scene.placed = {{10, 40, 40, 0}};
    StartScene(scene);
    EXPECT_EQ(TestPointAgainstBackground(45, 45, 0, 0), 1);
    EXPECT_EQ(TestPointAgainstBackground(45, 45, -1, 0), 1);
    EXPECT_EQ(TestPointAgainstBackground(45, 45, 1, 0), 0) << "no layer 1";
    EXPECT_EQ(TestPointAgainstBackground(10, 10, -1, 0), 0);
    EXPECT_EQ(TestRectAgainstBackdrops(30, 30, 11, 11, 0, 0), 1);
    EXPECT_EQ(TestRectAgainstBackdrops(30, 30, 10, 10, 0, 0), 0);
}

// With layer 0 wrapping and per-layer tests, a test over all layers looks at layer 0 alone.
TEST_F(BackgroundsTest, AWrappingLayerZeroIsTestedByItsBackdropsAlone) {
    Scene scene;
    scene.frameFlags = FrameCollisionsPerLayer;
    scene.layers = {appwriter::LayerDesc{0x30}, appwriter::LayerDesc{0x10}};
    BackdropDesc wall;
    wall.handle = 10, wall.width = 20, wall.height = 10;
    scene.backdrops = {wall};
    scene.placed = {{10, FrameWidth - 10, 40, 0}, {10, 40, 80, 1}};
    StartScene(scene);
    EXPECT_EQ(TestPointAgainstBackground(5, 45, -1, 0), 1) << "the wrapped part at the left";
    EXPECT_EQ(TestPointAgainstBackground(45, 85, -1, 0), 0) << "layer 1 is not looked at";
    EXPECT_EQ(TestPointAgainstBackground(45, 85, 1, 0), 1);
}

// A frame over 1023 pixels keeps a grid of its placed backdrops; after a scroll a point still finds its
// cell from frame coordinates.
TEST_F(BackgroundsTest, TheGridOfALargeFrameFindsBackdropsAfterScrolling) {
    Scene scene;
    scene.frameWidth = 2048, scene.frameHeight = 1500;
    scene.frameFlags = FrameCollisionsPerLayer;
    scene.layers = {appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0x10}};
    BackdropDesc wall;
    wall.handle = 10, wall.width = 30, wall.height = 30;
    scene.backdrops = {wall};
    scene.placed = {{10, 1500, 1100, 1}, {10, 100, 100, 1}};
    StartScene(scene);
    EXPECT_EQ(TestLayerBackdropsAtPoint(110, 110, 1, 0), 1);
    EXPECT_NE(Frame().layers[1].backdropGrid, nullptr);
    Frame().scrollX = 1400, Frame().scrollY = 1050;
    Run().redrawRequest |= RedrawRequestScrolled;
    Tick();
    EXPECT_EQ(TestLayerBackdropsAtPoint(110, 60, 1, 0), 1);
    EXPECT_EQ(TestLayerBackdropsInRect(95, 45, 10, 10, 1, 0), 1);
    EXPECT_EQ(TestLayerBackdropsAtPoint(110, 110, 1, 0), 0);
}

// A sprite over a layer's backdrop, and a height limit that keeps only its lowest rows.
TEST_F(RunTimeBackdrops, ASpriteMeetsALayersBackdropsByItsMask) {
    StartLayers();
    AddRunBackdropToLayer(Record(50, 50, 2, ObstacleSolid, 0));
    Sprite* mover = CreateSprite(Window(), 0, 0, image_, 2, 1, 0, SpriteCollidable, 0);
    ASSERT_NE(mover, nullptr);
    CommitSpriteChanges(Window());
    EXPECT_EQ(TestSpriteAgainstBackdrops(mover, 0, 45, 45, 0, 1, 1, 0, 0), 1);
    EXPECT_EQ(TestSpriteAgainstBackdrops(mover, 0, 30, 30, 0, 1, 1, 0, 0), 0);
    // Below the backdrop's lower rows: with a height limit of 3 only its lowest rows count, clear of it.
    EXPECT_EQ(TestSpriteAgainstBackdrops(mover, 0, 50, 55, 0, 1, 1, 0, 0), 1);
    EXPECT_EQ(TestSpriteAgainstBackdrops(mover, 0, 50, 55, 0, 1, 1, 3, 0), 0);
    DeleteSprite(Window(), mover);
}

} // namespace
