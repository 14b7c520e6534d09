#include "objects/backdrop_layers.h"

#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "objects/object_sprites.h"
#include "startup/banks.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include "vtrs2/banks.h"

namespace vtrrt {

using namespace win32;

WrapSize WrapSizeOf(const FrameRecord& frame) {
    std::int32_t width = frame.virtualRect.right, height = frame.virtualRect.bottom;
    if (const FrameRunState* s = frame.runState ? frame.runState : CurrentRunState()) {
        width = s->virtualWidth;
        height = s->virtualHeight;
    }
    return {width > 0 ? width : 0, height > 0 ? height : 0};
}

POINT LayerShift(const FrameRecord& frame, const FrameLayer& layer, std::int32_t scrollX,
                 std::int32_t scrollY) {
    const auto through = [](std::int32_t scroll, bool applies, float c) {
        return applies ? static_cast<std::int64_t>(static_cast<float>(scroll) * c) : std::int64_t{scroll};
    };
    std::int64_t x =
        through(scrollX, layer.settings.flags & LayerScrollsX, layer.settings.xCoefficient) + layer.scroll[0];
    std::int64_t y =
        through(scrollY, layer.settings.flags & LayerScrollsY, layer.settings.yCoefficient) + layer.scroll[1];
    const WrapSize wrap = WrapSizeOf(frame);
    if ((layer.settings.flags & LayerWrapsX) && wrap.width > 0) x %= wrap.width;
    if ((layer.settings.flags & LayerWrapsY) && wrap.height > 0) y %= wrap.height;
    return {static_cast<LONG>(x), static_cast<LONG>(y)};
}

bool ReadPlacedBackdrop(FrameRecord& frame, std::int32_t index, PlacedBackdrop& out) {
    if (!frame.instances || index < 0 || index >= frame.instanceCount) return false;
    FrameItemInstance& instance = frame.instances[index];
    if (instance.objectType < 0 || instance.objectType > 1 || instance.layer < 0 ||
        instance.layer >= frame.layerCount)
        return false;
    ObjectInfo* info = GetObjectInfoByHandle(instance.objectInfo);
    if (!info || info->definition.size() < BackdropBytes - 12) return false;
    const std::vector<std::uint8_t>& d = info->definition;
    out.index = index;
    out.instance = &instance;
    out.info = info;
    out.type = instance.objectType;
    out.obstacle = DefU16(d, BackdropObstacle);
    out.boxOnly = DefU16(d, BackdropBoxOnly) != 0;
    out.width = static_cast<std::int32_t>(DefU32(d, BackdropWidth));
    out.height = static_cast<std::int32_t>(DefU32(d, BackdropHeight));
    out.image = out.type == 1 ? DefU16(d, BackdropImage) : 0;
    out.definition = d.data();
    out.definitionSize = d.size();
    // An image backdrop takes its image's size.
    if (out.type == 1) {
        std::int32_t w = 0, h = 0;
        if (ImageSize(out.image, w, h)) out.width = w, out.height = h;
    }
    return out.width > 0 && out.height > 0;
}

WrappedCopies CopiesOf(const RECT& box, bool wrapX, bool wrapY, const WrapSize& size) {
    WrappedCopies c;
    c.present[0] = true;
    c.box[0] = box;
    // Besides copies across an edge the box crosses, a box near the far edge has a copy in the area the
    // window and the collision mask's margins see.
    const FrameRunState* s = CurrentRunState();
    const LONG reachX = (s ? s->windowAreaWidth : 0) + WrapReachX,
               reachY = (s ? s->windowAreaHeight : 0) + WrapReachY;
    const auto shift = [](LONG low, LONG high, LONG wrap, LONG reach, LONG margin) -> LONG {
        if (low < 0) return wrap;
        if (high > wrap) return -wrap;
        if (high - wrap > -margin) return -wrap;
        if (low + wrap < reach) return wrap;
        return 0;
    };
    const LONG dx = wrapX && size.width > 0 ? shift(box.left, box.right, size.width, reachX, WrapReachX) : 0;
    const LONG dy =
        wrapY && size.height > 0 ? shift(box.top, box.bottom, size.height, reachY, WrapReachY) : 0;
    const auto moved = [&](LONG x, LONG y) {
        return RECT{box.left + x, box.top + y, box.right + x, box.bottom + y};
    };
    if (dx) c.present[1] = true, c.box[1] = moved(dx, 0);
    if (dy) c.present[2] = true, c.box[2] = moved(0, dy);
    if (dx && dy) c.present[3] = true, c.box[3] = moved(dx, dy);
    return c;
}

bool LayerWraps(const FrameLayer& layer) {
    return (layer.settings.flags & (LayerWrapsX | LayerWrapsY)) != 0;
}

ContextBanks* BanksOfApplication() {
    ApplicationRecord* app = CurrentApplication();
    return app && app->banks ? app->banks->library : nullptr;
}

SpriteWindow* FrameSpriteWindow() {
    return SpritesOfFrame();
}

bool ImageSize(std::uint32_t image, std::int32_t& width, std::int32_t& height) {
    ImageInfo info{};
    if (!image || !GetImageInfo(BanksOfApplication(), image, &info)) return false;
    width = info.width;
    height = info.height;
    return width > 0 && height > 0;
}

LayerBackdrop* LayerBackdropsOf(FrameLayer& layer) {
    return static_cast<LayerBackdrop*>(layer.runtimeBackdrops);
}

} // namespace vtrrt
