#include "objects/layer_rects.h"

#include "core/frame_record.h"
#include "core/runtime_services.h"

#include "vtrs2/memory.h"
#include "win32/user.h"

#include <algorithm>
#include <climits>
#include <span>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int32_t RectGrowth = 16;

FrameLayer* LayerOf(int layer) {
    FrameRecord* frame = Services().frame;
    if (!frame || !frame->layers || layer < 0 || layer >= frame->layerCount) return nullptr;
    return &frame->layers[layer];
}

std::span<RECT> RectsOf(FrameLayer& layer) {
    if (!layer.rects || layer.rectCount <= 0) return {};
    return {layer.rects, static_cast<std::size_t>(layer.rectCount)};
}

RECT Normalised(int x1, int y1, int x2, int y2) {
    return RECT{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

bool Grow(FrameLayer& layer) {
    if (layer.rectCapacity > INT32_MAX - RectGrowth) return false;
    const std::int32_t capacity = layer.rectCapacity + RectGrowth;
    RECT* rects = layer.rects;
    const std::size_t bytes = static_cast<std::size_t>(capacity) * sizeof(RECT);
    if (!(rects ? ReallocMemory(bytes, &rects) : AllocMemory(bytes, &rects))) return false;
    layer.rects = rects;
    layer.rectCapacity = capacity;
    return true;
}

const RECT* HitIn(FrameLayer& layer, int x, int y) {
    for (const RECT& r : RectsOf(layer))
        if (r.left <= x && x < r.right && r.top <= y && y < r.bottom) return &r;
    return nullptr;
}

} // namespace

void AddLayerRect(int layer, int x1, int y1, int x2, int y2) {
    FrameLayer* l = LayerOf(layer);
    if (!l || (l->rectCount >= l->rectCapacity && !Grow(*l))) return;
    l->rects[l->rectCount++] = Normalised(x1, y1, x2, y2);
}

void EraseLayerRects(int layer, int x1, int y1, int x2, int y2) {
    FrameLayer* l = LayerOf(layer);
    if (!l) return;
    const RECT area = Normalised(x1, y1, x2, y2);
    std::span<RECT> rects = RectsOf(*l);
    const auto kept = std::remove_if(rects.begin(), rects.end(), [&](const RECT& r) {
        RECT overlap{};
        return IntersectRect(&overlap, &r, &area) != FALSE;
    });
    l->rectCount = static_cast<std::int32_t>(kept - rects.begin());
}

const RECT* HitTestLayerRects(int layer, int x, int y) {
    if (layer != -1) {
        FrameLayer* l = LayerOf(layer);
        return l ? HitIn(*l, x, y) : nullptr;
    }
    const FrameRecord* frame = Services().frame;
    for (int i = 0; frame && i < frame->layerCount; ++i)
        if (const RECT* r = HitIn(*LayerOf(i), x, y)) return r;
    return nullptr;
}

} // namespace vtrrt
