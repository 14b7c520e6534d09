// A written application whose frame holds placed backdrops (shapes and images) on layers, run in its
// windows loop by loop, with the pixels the frame window shows and the bits of its collision mask.
#pragma once

#include "runtime/objects/display/display_fixture.h"
#include "support/scene.h"

#include "objects/backgrounds.h"
#include "objects/object_sprites.h"
#include "startup/banks.h"

#include "vtrs2/collision_mask.h"
#include "vtrs2/sprite_window.h"

#include <optional>

namespace backgroundstest {

using namespace displaytest;

struct BackdropDesc {
    std::uint16_t handle = 10;
    std::int16_t type = 0; // 0 shape, 1 image
    std::uint16_t obstacle = 1;
    std::uint16_t boxOnly = 0;
    std::int32_t width = 10, height = 10;
    std::uint16_t image = 0; // stored index: type 1, or a motif
    std::uint16_t shape = ShapeRectangle;
    std::uint16_t fill = FillSolid;
    std::uint16_t borderWidth = 0;
    COLORREF borderColour = 0, colour1 = 0x0000FF, colour2 = 0xFF0000;
    std::uint32_t vertical = 1;
    std::uint32_t ink = 0;
    std::uint32_t inkParameter = 0;
    std::optional<std::uint32_t> effectIndex; // ink 13: the effect of the bank, with no values
};

using Placed = Placement;

struct Scene {
    std::int32_t frameWidth = FrameWidth, frameHeight = FrameHeight;
    std::uint32_t frameFlags = 0;
    std::vector<appwriter::LayerDesc> layers{appwriter::LayerDesc{0x10}};
    std::vector<Picture> pictures;
    std::vector<BackdropDesc> backdrops;
    std::vector<ActiveDesc> actives;
    std::vector<Placed> placed;
    std::optional<std::array<std::int32_t, 4>> virtualRect;
    std::optional<std::vector<appwriter::Bytes>> effects;
};

inline appwriter::ObjectInfoDesc BackdropObject(const BackdropDesc& b) {
    appwriter::ObjectInfoDesc o;
    o.handle = b.handle;
    o.type = b.type;
    o.name = u"Backdrop";
    o.inkEffect = b.ink;
    o.inkParameter = b.inkParameter;
    o.effectIndex = b.effectIndex;
    auto& d = o.definition;
    d.type = b.type;
    d.obstacle = b.obstacle;
    d.boxOnly = b.boxOnly;
    d.width = b.width;
    d.height = b.height;
    d.image = b.image;
    d.shape = b.shape;
    d.fillType = b.fill;
    d.borderWidth = b.borderWidth;
    d.borderColour = b.borderColour;
    d.colour1 = b.colour1;
    d.colour2 = b.colour2;
    d.vertical = b.vertical;
    return o;
}

inline appwriter::ApplicationDescription DescribeScene(const Scene& scene) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = FrameWidth;
    d.header->windowHeight = FrameHeight;
    d.header->graphicMode = 8;
    d.effects = scene.effects;
    std::vector<appwriter::ObjectInfoDesc> objects;
    for (const ActiveDesc& a : scene.actives)
        objects.push_back(ObjectOf(a));
    for (const BackdropDesc& b : scene.backdrops)
        objects.push_back(BackdropObject(b));
    scene::AddObjectsAndImages(d, objects, ImagesOf(scene.pictures));
    appwriter::FrameContents contents;
    contents.layers = scene.layers;
    contents.virtualRect = scene.virtualRect;
    contents.instances = InstancesOf(scene.placed);
    d.frames.push_back(appwriter::DescribeFrame(scene.frameWidth, scene.frameHeight, Background, contents,
                                                appwriter::StringForm::Wide, scene.frameFlags));
    return d;
}

class BackgroundsTest : public DisplayTest {
protected:
    void StartScene(const Scene& scene) { StartDescribed(DescribeScene(scene)); }
    SpriteWindow* Window() { return SpritesOfFrame(); }
    FrameRecord& Frame() { return *Services().frame; }
    FrameRunState& Run() { return *CurrentRunState(); }
    std::uint32_t ImageHandle(std::uint16_t stored) {
        return HandleOfStoredIndex(*app_->banks, AppBankImages, stored);
    }
    // Both planes at a window point: bit 0 obstacle, bit 1 platform.
    int MaskAt(int x, int y) {
        return TestCollisionMaskPoint(Window(), x, y, 0) | (TestCollisionMaskPoint(Window(), x, y, 1) << 1);
    }
    std::vector<COLORREF> Pixels() {
        std::vector<COLORREF> out;
        for (int y = 0; y < FrameHeight; ++y)
            for (int x = 0; x < FrameWidth; ++x)
                out.push_back(Shown(x, y));
        return out;
    }
    // The mask over the window and its margins.
    std::vector<int> MaskBits() {
        std::vector<int> out;
        for (int y = -16; y < FrameHeight + 16; ++y)
            for (int x = -56; x < FrameWidth + 56; ++x)
                out.push_back(MaskAt(x, y));
        return out;
    }
};

} // namespace backgroundstest
