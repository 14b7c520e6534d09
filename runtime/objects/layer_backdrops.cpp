// Backdrops added while the frame runs: kept per layer as back sprites, pasted into layer 0's background
// through the background queue, deleted by layer or by point, and the grid of a large frame's placed
// backdrops.
#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "objects/backdrop_layers.h"
#include "objects/backgrounds.h"
#include "objects/display_list.h"
#include "objects/layer_rects.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/banks.h"
#include "startup/display_mode.h"
#include "startup/ink_effects.h"
#include "startup/object_infos.h"

#include "vtrs2/app_window.h"
#include "vtrs2/banks.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/effect.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprite_collisions.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int32_t ListStep = 16;
constexpr DWORD BackSpriteFlags = 0x480008;
constexpr LONG BackdropZOrder = 0x10000000;
constexpr int GridCell = 512;
constexpr std::int32_t GridMinimumSide = 1024;
constexpr int PasteClear = 0;
constexpr int PasteSolid = 3;

bool DriverMode() {
    return (Services().displayFlags & DisplayDriverFlag) != 0;
}

FrameRecord* Frame() {
    return Services().frame;
}

bool LayerShownNow(const FrameLayer& layer) {
    return (layer.settings.flags & (LayerShown | LayerHideRequest)) == LayerShown;
}

bool IsSolid(std::uint16_t obstacle) {
    return obstacle == ObstacleSolid || obstacle == ObstaclePlatform;
}

DWORD SpriteFlagsOf(const FrameLayer& layer, std::uint16_t obstacle) {
    (void)layer;
    DWORD flags = BackSpriteFlags;
    if (obstacle == ObstacleSolid) flags |= SolidSpriteFlags;
    if (obstacle == ObstaclePlatform) flags |= PlatformSpriteFlags;
    return flags;
}

void DeleteRecordSprites(LayerBackdrop& r) {
    for (Sprite*& s : r.sprites) {
        if (s) DeleteSprite(FrameSpriteWindow(), s);
        s = nullptr;
    }
}

// Lets go of what a record holds, its effect object of ink 13 too. The physics engine link is dropped by
// the physics-engine services, which add their call here.
void ReleaseRecord(LayerBackdrop& r) {
    DeleteRecordSprites(r);
    if ((r.ink & InkCodeMask) == InkEffectObject) DeleteEffect(r.effect);
    r.effect = nullptr;
}

// The back sprites of a record on its layer, with a wrapped copy where it crosses the wrap edges.
void CreateRecordSprites(FrameRecord& frame, FrameLayer& layer, int index, LayerBackdrop& r,
                         std::int32_t order) {
    FrameRunState* s = CurrentRunState();
    if (!s) return;
    std::int32_t width = 1, height = 1;
    if (!ImageSize(r.image, width, height)) width = height = 1;
    const POINT view = LayerShift(frame, layer, s->scrollX, s->scrollY);
    const RECT box{r.x - view.x, r.y - view.y, r.x - view.x + width, r.y - view.y + height};
    const WrappedCopies copies = CopiesOf(box, layer.settings.flags & LayerWrapsX,
                                          layer.settings.flags & LayerWrapsY, WrapSizeOf(frame));
    SpriteWindow* window = FrameSpriteWindow();
    for (int copy = 0; copy < 4; ++copy) {
        if (!copies.present[copy] || r.sprites[copy]) continue;
        r.sprites[copy] = CreateSprite(window, copies.box[copy].left, copies.box[copy].top, r.image, index,
                                       BackdropZOrder + copy + 4 * order, 0, SpriteFlagsOf(layer, r.obstacle),
                                       reinterpret_cast<LONG_PTR>(&r));
        if (r.sprites[copy]) SetSpriteEffect(window, r.sprites[copy], r.ink, 0);
    }
}

// The records keep their addresses in their sprites' user data: after the array moves, the sprites are told.
void RelinkSprites(FrameLayer& layer) {
    LayerBackdrop* records = LayerBackdropsOf(layer);
    for (std::int32_t i = 0; records && i < layer.runtimeBackdropCount; ++i)
        for (Sprite* s : records[i].sprites)
            if (s) s->userData = reinterpret_cast<LONG_PTR>(&records[i]);
}

// Room for one more record: 16 at first, 16 more when the count before the addition is 15 modulo 16.
bool GrowList(FrameLayer& layer) {
    const std::int32_t count = layer.runtimeBackdropCount;
    void* block = layer.runtimeBackdrops;
    if (!block) {
        if (!AllocZeroedMemory(ListStep * sizeof(LayerBackdrop), &block)) return false;
    } else if (count % ListStep == ListStep - 1) {
        if (!ReallocMemory((static_cast<std::size_t>(count) + ListStep + 1) * sizeof(LayerBackdrop), &block))
            return false;
    }
    layer.runtimeBackdrops = block;
    RelinkSprites(layer);
    return true;
}

void MarkDeleted(FrameLayer& layer) {
    layer.settings.flags |= LayerRedrawPartial;
    RequestFullRedraw();
}

// The background queue's paste: the image's mask or box written into the play-area mask by its obstacle
// type, and the image drawn into the window's background (and the copy the sprite pass erases to).
void PasteNode(BackgroundQueueNode* node) {
    FrameRunState* s = CurrentRunState();
    FrameRecord* frame = Frame();
    AppWindow* window = Services().frameLibraryWindow;
    if (!s || !frame || !window || frame->layerCount <= 0) return;
    const auto image = static_cast<std::uint32_t>(node->arguments[0]);
    const auto obstacle = static_cast<std::uint16_t>(node->arguments[3]);
    const auto ink = static_cast<std::uint32_t>(node->arguments[4]);
    std::int32_t width = 0, height = 0;
    if (!ImageSize(image, width, height)) return;
    const POINT view = LayerShift(*frame, frame->layers[0], s->scrollX, s->scrollY);
    const int x = node->arguments[1] - view.x, y = node->arguments[2] - view.y;
    SpriteWindow* sprites = FrameSpriteWindow();
    switch (obstacle) {
    case ObstacleSolid:
        AddImageToCollisionMask(sprites, image, x, y, PasteSolid);
        break;
    case ObstaclePlatform:
        AddImageToCollisionMask(sprites, image, x, y, PasteClear);
        AddPlatformImageToCollisionMask(sprites, image, x, y);
        break;
    case ObstacleLadder:
        AddLayerRect(0, x, y, x + width, y + height);
        FillCollisionMaskBox(sprites, x, y, x + width - 1, y + height - 1, 0);
        break;
    case ObstacleNone:
        AddImageToCollisionMask(sprites, image, x, y, PasteClear);
        EraseLayerRects(0, x, y, x + width, y + height);
        break;
    default:
        break;
    }
    if (DriverMode()) return;
    const LONG_PTR parameter = node->effect ? reinterpret_cast<LONG_PTR>(node->effect) : 0;
    DrawImageToWindow(sprites, image, x, y, 0, ink, parameter);
    if (cSurface* copy = GetWindowSurface(window, 1); copy && copy->HasImplementation()) {
        cSurface picture;
        if (CopyImageToSurface(Services().libraryContext, image, &picture, CopyImagePlain))
            picture.Blit(*copy, x, y, 0, 0, width, height, (ink & InkTransparent) ? 1 : 0,
                         static_cast<int>(ink & 0xFFF), parameter);
    }
    const RECT area{x, y, x + width, y + height};
    SetSpriteState(sprites, nullptr, 32, &area);
}

void QueuePaste(const LayerBackdrop& r) {
    QueueBackgroundDraw(PasteNode, static_cast<std::int32_t>(r.image), r.x, r.y, r.obstacle,
                        static_cast<std::int32_t>(r.ink), r.effect);
}

// The run-time grid of a layer's solid placed backdrops.
struct BackdropGrid {
    std::int32_t columns = 0, rows = 0;
    std::vector<std::vector<std::int32_t>> cells;
};

// Obstacle type of a placed instance, and its frame box; false when it is not solid.
bool SolidPlacedBox(FrameRecord& frame, std::int32_t i, RECT& box) {
    PlacedBackdrop b{};
    if (ReadPlacedBackdrop(frame, i, b)) {
        if (!IsSolid(b.obstacle)) return false;
        box = RECT{b.instance->x, b.instance->y, b.instance->x + b.width, b.instance->y + b.height};
        return true;
    }
    const FrameItemInstance& instance = frame.instances[i];
    if (instance.objectType < 2) return false;
    const ObjectInfo* info = SeekObjectInfoByHandle(CurrentApplication(), instance.objectInfo);
    if (!info || info->definition.empty()) return false;
    if (!(DefU32(info->definition, DefObjectFlags) & ObjectStandsForBackdrop)) return false;
    if (!IsSolid((DefU16(info->definition, DefObstacle) >> ObstacleBitsShift) & 3)) return false;
    RunObject* o = FindObjectByFrameItem(i);
    if (!o) return false;
    box = RECT{o->x - o->hotSpotX, o->y - o->hotSpotY, o->x - o->hotSpotX + o->width,
               o->y - o->hotSpotY + o->height};
    return true;
}

// Marks an image as made while the application runs, growing the table to its handle.
void RecordRunTimeImage(ApplicationRecord& app, std::uint32_t image) {
    if (image >= app.runTimeImageCount) {
        void* block = app.runTimeImages;
        if (!ReallocMemory(static_cast<std::size_t>(image) + 1, &block)) return;
        std::memset(static_cast<std::uint8_t*>(block) + app.runTimeImageCount, 0,
                    image + 1 - app.runTimeImageCount);
        app.runTimeImages = static_cast<std::uint8_t*>(block);
        app.runTimeImageCount = image + 1;
    }
    app.runTimeImages[image] = 1;
}

} // namespace

void AddRunBackdropToLayer(const LayerBackdrop& given) {
    FrameRecord* frame = Frame();
    if (!frame || given.layer >= frame->layerCount) return;
    FrameLayer& layer = frame->layers[given.layer];
    LayerBackdrop* records = LayerBackdropsOf(layer);
    SpriteWindow* window = FrameSpriteWindow();
    for (std::int32_t i = 0; records && i < layer.runtimeBackdropCount; ++i) {
        LayerBackdrop& r = records[i];
        if (r.x != given.x || r.y != given.y || r.layer != given.layer || r.image != given.image ||
            (r.ink & InkCodeMask) != 0)
            continue;
        // The same image at the same place: the one record moves to the end and to the front of its layer.
        LayerBackdrop kept = r;
        std::memmove(&records[i], &records[i + 1],
                     static_cast<std::size_t>(layer.runtimeBackdropCount - i - 1) * sizeof(LayerBackdrop));
        LayerBackdrop& last = records[layer.runtimeBackdropCount - 1];
        last = kept;
        last.fine = given.fine;
        last.obstacle = given.obstacle;
        const bool inkChanged = last.ink != given.ink || last.effect != given.effect;
        if (inkChanged) {
            last.ink = given.ink;
            last.effect = nullptr;
        }
        RelinkSprites(layer);
        for (Sprite* s : last.sprites) {
            if (!s) continue;
            MoveSpriteToFront(window, s);
            if (inkChanged) SetSpriteEffect(window, s, last.ink, 0);
        }
        return;
    }
    const std::int32_t maximum =
        frame->maxLayerBackdrops > 0 ? frame->maxLayerBackdrops : DefaultMaxLayerBackdrops;
    if (layer.runtimeBackdropCount >= maximum || !GrowList(layer)) return;
    records = LayerBackdropsOf(layer);
    LayerBackdrop& r = records[layer.runtimeBackdropCount];
    r = given;
    std::fill(std::begin(r.sprites), std::end(r.sprites), nullptr);
    // The physics engine is told of solid backdrops by the physics-engine services, which keep its link word
    // here and add their call. The record draws with a copy of the effect object of ink 13, its own.
    r.physicsLink = 0;
    r.effect = (r.ink & InkCodeMask) == InkEffectObject ? CloneEffect(given.effect) : nullptr;
    ++layer.runtimeBackdropCount;
    if ((given.layer != 0 || DriverMode()) && LayerShownNow(layer))
        CreateRecordSprites(*frame, layer, given.layer, r, layer.runtimeBackdropCount - 1);
}

void AddLayerBackdrop(RunObject* o, std::uint16_t obstacle, bool keep) {
    FrameRecord* frame = Frame();
    RunObjectExtended* x = o ? ExtendedOf(o) : nullptr;
    if (!frame || !x || !x->image || o->layer < 0 || o->layer >= frame->layerCount) return;
    ImageInfo info{};
    if (!GetImageInfo(BanksOfApplication(), static_cast<DWORD>(x->image), &info)) return;
    LayerBackdrop r{};
    r.x = o->x - info.hotX;
    r.y = o->y - info.hotY;
    r.image = static_cast<std::uint16_t>(x->image);
    const ObjectSpriteBlock* block = SpriteBlockOf(o);
    r.fine = block && (block->spriteFlags & SpriteBoxOnly) ? 0 : 1;
    r.layer = static_cast<std::uint16_t>(o->layer);
    r.obstacle = obstacle;
    r.ink = block ? block->inkEffect : 0;
    r.effect = block && (r.ink & InkCodeMask) == 13 ? static_cast<CEffectEx*>(block->inkParameter) : nullptr;
    const FrameLayer& l0 = frame->layers[0];
    if (keep || o->layer != 0 || DriverMode()) {
        AddRunBackdropToLayer(r);
        if (o->layer == 0 && LayerShownNow(l0)) QueuePaste(r);
    } else if (LayerShownNow(l0)) {
        // The physics engine is told of pasted obstacles by the physics-engine services, which add it here.
        QueuePaste(r);
    }
    if (frame->layerCount > 1) SetSpriteState(FrameSpriteWindow(), nullptr, 1);
}

void PasteSurfaceIntoBackground(cSurface* surface, int x, int y, std::uint32_t ink, CEffectEx* effect,
                                std::uint16_t obstacle, int layerIndex) {
    FrameRecord* frame = Frame();
    ApplicationRecord* app = CurrentApplication();
    ContextBanks* banks = BanksOfApplication();
    if (!frame || !app || !banks || !surface || layerIndex < 0 || layerIndex >= frame->layerCount) return;
    const int width = surface->GetWidth(), height = surface->GetHeight();
    if (width <= 0 || height <= 0) return;
    const DWORD mode = Services().displayType;
    const DWORD alpha = surface->HasAlphaPlane() ? AddImageAlphaPlane : 0;
    const COLORREF key = surface->GetColorKey();
    // A blank image of the surface's size, drawn into, read back and added again packed.
    const DWORD blank =
        AddImage(banks, mode, width, height, 0, 0, 0, 0, key, mode | alpha, nullptr, 0, nullptr);
    if (!blank) return;
    DWORD image = 0;
    cSurface copy;
    if (CopyImageToSurface(Services().libraryContext, blank, &copy, 0) &&
        surface->Blit(copy, 0, 0, 0, 0, width, height, 0, 0, 0, alpha ? 2 : 0)) {
        copy.DeleteImplementation();
        const DWORD size = GetImageData(banks, blank, 0, nullptr, 0);
        std::vector<std::uint8_t> pixels(size);
        if (size && GetImageData(banks, blank, 0, pixels.data(), pixels.size()))
            image = AddImage(banks, mode, width, height, 0, 0, 0, 0, key,
                             mode | alpha | AddImageDeduplicate | (alpha ? 0 : AddImageStorePacked),
                             pixels.data(), pixels.size(), nullptr);
    }
    copy.DeleteImplementation();
    ReleaseImage(banks, blank);
    if (!image) return;
    RecordRunTimeImage(*app, image);
    LayerBackdrop r{};
    r.x = x;
    r.y = y;
    r.image = static_cast<std::uint16_t>(image);
    r.fine = (ink & InkTransparent) ? 1 : 0;
    r.layer = static_cast<std::uint16_t>(layerIndex);
    r.obstacle = obstacle;
    r.ink = ink;
    r.effect = effect;
    AddRunBackdropToLayer(r);
    if (layerIndex == 0 && LayerShownNow(frame->layers[0])) QueuePaste(r);
}

void DeleteLayerBackdrops(int index) {
    FrameRecord* frame = Frame();
    if (!frame || index < 0 || index >= frame->layerCount) return;
    FrameLayer& layer = frame->layers[index];
    LayerBackdrop* records = LayerBackdropsOf(layer);
    const bool any = records && layer.runtimeBackdropCount > 0;
    for (std::int32_t i = 0; records && i < layer.runtimeBackdropCount; ++i)
        ReleaseRecord(records[i]);
    FreeMemory(&layer.runtimeBackdrops);
    layer.runtimeBackdropCount = 0;
    if (any) MarkDeleted(layer);
}

void DeleteLayerBackdropAt(int x, int y, int index, bool testMask) {
    FrameRecord* frame = Frame();
    FrameRunState* s = CurrentRunState();
    if (!frame || !s || index < 0 || index >= frame->layerCount) return;
    FrameLayer& layer = frame->layers[index];
    LayerBackdrop* records = LayerBackdropsOf(layer);
    if (!records) return;
    const POINT view = LayerShift(*frame, layer, s->scrollX, s->scrollY);
    const WrapSize wrap = WrapSizeOf(*frame);
    bool deleted = false;
    // The records after a deleted one move down into its place: the same index is looked at again.
    for (std::int32_t i = 0; i < layer.runtimeBackdropCount;) {
        LayerBackdrop& r = records[i];
        std::int32_t width = 1, height = 1;
        const bool known = ImageSize(r.image, width, height);
        if (!known) width = height = 1;
        const RECT box{r.x - view.x, r.y - view.y, r.x - view.x + width, r.y - view.y + height};
        const WrappedCopies copies =
            CopiesOf(box, layer.settings.flags & LayerWrapsX, layer.settings.flags & LayerWrapsY, wrap);
        bool hit = false;
        for (int c = 0; c < 4 && !hit; ++c) {
            const RECT& b = copies.box[c];
            if (!copies.present[c] || x < b.left || x >= b.right || y < b.top || y >= b.bottom) continue;
            if (!testMask || !r.fine) {
                hit = true;
            } else if (const ImageMask* mask =
                           known ? GetImageCollisionMask(BanksOfApplication(), r.image, 0) : nullptr) {
                hit = TestMaskPixel(reinterpret_cast<const BYTE*>(mask) + mask->bitsOffset, x - b.left,
                                    y - b.top, mask->width, mask->height) != 0;
            }
        }
        if (!hit) {
            ++i;
            continue;
        }
        ReleaseRecord(r);
        std::memmove(&records[i], &records[i + 1],
                     static_cast<std::size_t>(layer.runtimeBackdropCount - i - 1) * sizeof(LayerBackdrop));
        --layer.runtimeBackdropCount;
        deleted = true;
    }
    if (deleted) {
        RelinkSprites(layer);
        MarkDeleted(layer);
    }
}

void BuildLayerBackdropGrid(FrameLayer& layer) {
    FrameRecord* frame = Frame();
    if (!frame || layer.backdropGrid) return;
    if (frame->width < GridMinimumSide && frame->height < GridMinimumSide) return;
    const std::int32_t index = static_cast<std::int32_t>(&layer - frame->layers);
    if (index < 0 || index >= frame->layerCount) return;
    auto* grid = new (std::nothrow) BackdropGrid;
    if (!grid) return;
    grid->columns = (frame->width + GridCell - 1) / GridCell + 2;
    grid->rows = (frame->height + GridCell - 1) / GridCell + 2;
    grid->cells.resize(static_cast<std::size_t>(grid->columns) * static_cast<std::size_t>(grid->rows));
    const auto cell = [](LONG v, std::int32_t count) {
        return std::clamp<LONG>(v / GridCell + 1, 0, count - 1);
    };
    for (std::int32_t i = 0; i < frame->instanceCount; ++i) {
        if (frame->instances[i].layer != index) continue;
        RECT box{};
        if (!SolidPlacedBox(*frame, i, box)) continue;
        for (LONG row = cell(box.top, grid->rows); row <= cell(box.bottom - 1, grid->rows); ++row)
            for (LONG column = cell(box.left, grid->columns); column <= cell(box.right - 1, grid->columns);
                 ++column)
                grid->cells[static_cast<std::size_t>(row * grid->columns + column)].push_back(i);
    }
    layer.backdropGrid = grid;
}

const std::vector<std::int32_t>* BackdropGridCell(const FrameLayer& layer, LONG frameX, LONG frameY) {
    const auto* grid = static_cast<const BackdropGrid*>(layer.backdropGrid);
    if (!grid) return nullptr;
    const LONG column = std::clamp<LONG>(frameX / GridCell + 1, 0, grid->columns - 1);
    const LONG row = std::clamp<LONG>(frameY / GridCell + 1, 0, grid->rows - 1);
    return &grid->cells[static_cast<std::size_t>(row * grid->columns + column)];
}

void FreeBackdropGrid(void* grid) {
    delete static_cast<BackdropGrid*>(grid);
}

void FreeLayerBackdrops(FrameLayer& layer, const FrameRecord& frame) {
    const std::int32_t index = static_cast<std::int32_t>(&layer - frame.layers);
    for (std::int32_t i = 0; frame.instances && i < frame.instanceCount; ++i) {
        FrameItemInstance& instance = frame.instances[i];
        if (instance.objectType >= 2 || instance.layer != index) continue;
        for (void*& sprite : instance.runtime) {
            if (sprite && FrameSpriteWindow()) FreeSprite(FrameSpriteWindow(), static_cast<Sprite*>(sprite));
            sprite = nullptr;
        }
    }
    LayerBackdrop* records = LayerBackdropsOf(layer);
    for (std::int32_t i = 0; records && i < layer.runtimeBackdropCount; ++i) {
        for (Sprite*& s : records[i].sprites) {
            if (s && FrameSpriteWindow()) FreeSprite(FrameSpriteWindow(), s);
            s = nullptr;
        }
        if ((records[i].ink & InkCodeMask) == InkEffectObject) DeleteEffect(records[i].effect);
        records[i].effect = nullptr;
    }
}

} // namespace vtrrt
