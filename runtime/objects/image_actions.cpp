#include "objects/image_actions.h"

#include "core/application_record.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/banks.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"
#include "startup/object_references.h"

#include "vtrs2/banks.h"
#include "vtrs2/image_filters.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint16_t SubstituteDirection = 0x8000;
constexpr int CopyPlain = 1; // CopyImageToSurface: a plain copy of a packed image
constexpr int BlitCopiesAlpha = 2;
constexpr int DepthWithoutScreen = 24;
constexpr std::uint32_t MaxHandle = 0xFFFF;

using Replacements = std::vector<std::uint32_t>;

std::uint16_t FieldValue(const std::uint8_t* field) {
    return static_cast<std::uint16_t>(field[0] | (field[1] << 8));
}

void SetField(std::uint8_t* field, std::uint32_t value) {
    field[0] = static_cast<std::uint8_t>(value);
    field[1] = static_cast<std::uint8_t>(value >> 8);
}

DWORD ModeOfDepth(int depth) {
    switch (depth) {
    case 8:
        return 3;
    case 15:
        return 6;
    case 16:
        return 7;
    case 32:
        return 8;
    default:
        return 4;
    }
}

ApplicationBanks* BanksOf(ApplicationRecord* app) {
    return app && app->banks && app->banks->library ? app->banks : nullptr;
}

// Only images of the animations: other references of the definition and the effect's images are left.
void ForEachAnimationImage(ObjectInfo& info, void (*routine)(int, std::uint8_t*, void*), void* user) {
    EnumObjectInfoHandles(info, {}, routine, user);
}

std::unique_ptr<cSurface> MemorySurface(int depth, int width, int height) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, depth, PublicTypeMemory, DriverKindNone);
    auto surface = std::unique_ptr<cSurface>(new (std::nothrow) cSurface);
    if (!prototype || !surface || !surface->Create(width, height, prototype)) return nullptr;
    return surface;
}

} // namespace

std::unique_ptr<cSurface> ImageSurface(DWORD image) {
    cSurface view;
    if (!CopyImageToSurface(Services().libraryContext, image, &view, CopyPlain)) return nullptr;
    auto plain = MemorySurface(view.GetDepth(), view.GetWidth(), view.GetHeight());
    if (!plain) return nullptr;
    if (view.GetDepth() <= 8) plain->CopyPalette(view, 0);
    cSurfaceImplementation* from = view.GetImplementation();
    if (!from->Blit(plain->GetImplementation(), 0, 0, 0, 0, from->width, from->height, 0, 0, 0,
                    BlitCopiesAlpha))
        return nullptr;
    return plain;
}

namespace {

// A surface's pixels as a new image of the bank (an identical image of the bank is taken instead), held
// once by the application; 0 on failure.
std::uint32_t AddSurfaceImage(ApplicationBanks& banks, cSurface& surface, LONG hotX, LONG hotY, LONG actionX,
                              LONG actionY, COLORREF transparent) {
    cSurfaceImplementation* s = surface.GetImplementation();
    const int width = s->width, height = s->height, depth = s->depth;
    const std::size_t rowBytes = ImageDataSize(width, 1, depth);
    const std::size_t used = static_cast<std::size_t>(width) * static_cast<std::size_t>(s->bytesPerPixel);
    const std::size_t alphaRow = static_cast<std::size_t>((width + 3) & ~3);
    if (rowBytes < used || !s->LockBuffer()) return 0;
    const bool alpha = s->alphaPlane != nullptr;
    std::vector<BYTE> pixels;
    try {
        pixels.assign(rowBytes * height + (alpha ? alphaRow * height : 0), 0);
    } catch (const std::bad_alloc&) {
        s->UnlockBuffer(nullptr);
        return 0;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(&pixels[rowBytes * y], s->Row(y), used);
    if (alpha)
        for (int y = 0; y < height; ++y)
            std::memcpy(&pixels[rowBytes * height + alphaRow * y], s->AlphaRow(y),
                        static_cast<std::size_t>(width));
    s->UnlockBuffer(nullptr);
    const void* palette = depth <= 8 && s->palette ? s->palette->palette.Log() : nullptr;
    const DWORD flags = ModeOfDepth(depth) | AddImageDeduplicate | (alpha ? AddImageAlphaPlane : 0);
    const DWORD handle = AddImage(banks.library, banks.targetMode, width, height, hotX, hotY, actionX,
                                  actionY, transparent, flags, pixels.data(), pixels.size(), palette);
    if (handle == 0) return 0;
    if (!HoldRuntimeImage(banks, handle)) {
        ReleaseImage(banks.library, handle);
        return 0;
    }
    return handle;
}

// A copy of the image with one colour replaced, added to the bank; 0 on failure.
std::uint32_t RecolouredImage(ApplicationBanks& banks, DWORD image, COLORREF oldColour, COLORREF newColour) {
    ImageInfo info{};
    if (!GetImageInfo(banks.library, image, &info)) return 0;
    auto surface = ImageSurface(image);
    if (!surface) return 0;
    surface->GetImplementation()->ReplaceColor(newColour, oldColour);
    return AddSurfaceImage(banks, *surface, info.hotX, info.hotY, info.actionX, info.actionY,
                           info.transparent);
}

RunObject* ObjectAt(FrameRunState* s, std::int16_t handle) {
    if (!s || !s->objects || handle < 0 || handle >= s->maxObjects) return nullptr;
    return s->objects[handle].object;
}

// Every instance of the object's object info: back to the first through the previous links, then on.
template <typename F> void ForEachInstance(RunObject* o, F&& f) {
    FrameRunState* s = o->runState;
    RunObject* first = o;
    for (int steps = 0; steps < (s ? s->maxObjects : 0); ++steps) {
        RunObject* previous = ObjectAt(s, first->previousInstance);
        if (!previous || previous == o) break;
        first = previous;
    }
    RunObject* at = first;
    for (int steps = 0; at && steps <= (s ? s->maxObjects : 0); ++steps) {
        RunObject* next = ObjectAt(s, at->nextInstance);
        f(at);
        if (next == first) break;
        at = next;
    }
}

// An instance shows its new image at once.
void ShowNewImage(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x || !x->sprite) return;
    const std::int32_t scrollX = o->runState ? o->runState->scrollX : 0;
    const std::int32_t scrollY = o->runState ? o->runState->scrollY : 0;
    ModifySprite(SpritesOfFrame(), static_cast<Sprite*>(x->sprite), o->x - scrollX, o->y - scrollY,
                 static_cast<DWORD>(x->image));
}

bool InstanceImage(std::int32_t image) {
    return image > 0 && static_cast<std::uint32_t>(image) <= MaxHandle;
}

ObjectInfo* LoadedInfoOf(RunObject* o) {
    if (!o) return nullptr;
    ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo));
    return info && (info->runFlags & InfoTranslated) ? info : nullptr;
}

} // namespace

void FindMaxImageHandle(int kind, std::uint8_t* field, void* user) {
    if (kind != AppBankImages) return;
    auto& max = *static_cast<std::uint32_t*>(user);
    max = std::max<std::uint32_t>(max, FieldValue(field));
}

void FlagImageHandle(int kind, std::uint8_t* field, void* user) {
    auto& uses = *static_cast<std::vector<std::uint32_t>*>(user);
    if (const std::uint16_t h = FieldValue(field); kind == AppBankImages && h < uses.size()) ++uses[h];
}

void ReleaseReplacedImage(int kind, std::uint8_t* field, void* user) {
    const auto& replacements = *static_cast<const Replacements*>(user);
    const std::uint16_t h = FieldValue(field);
    if (kind != AppBankImages || h >= replacements.size() || replacements[h] == 0) return;
    if (ApplicationBanks* banks = BanksOf(CurrentApplication())) ReleaseImageUse(*banks, h);
}

void RemapImageHandle(int kind, std::uint8_t* field, void* user) {
    const auto& replacements = *static_cast<const Replacements*>(user);
    const std::uint16_t h = FieldValue(field);
    if (kind == AppBankImages && h < replacements.size() && replacements[h] != 0)
        SetField(field, replacements[h]);
}

RunObject* ReplaceObjectColor(RunObject* o, COLORREF oldColour, COLORREF newColour) {
    ObjectInfo* info = LoadedInfoOf(o);
    ApplicationBanks* banks = BanksOf(CurrentApplication());
    if (!info || !banks) return nullptr;
    std::uint32_t max = 0;
    ForEachAnimationImage(*info, FindMaxImageHandle, &max);
    ForEachInstance(o, [&](RunObject* i) {
        if (RunObjectExtended* x = ExtendedOf(i))
            for (std::int32_t image : {x->image, x->imageBeforeMove})
                if (InstanceImage(image)) max = std::max(max, static_cast<std::uint32_t>(image));
    });
    std::vector<std::uint32_t> uses;
    Replacements replacements;
    std::vector<std::uint8_t> wanted;
    auto allocate = [&] {
        uses.assign(max + 1, 0);
        replacements.assign(max + 1, 0);
        wanted.assign(max + 1, 0);
    };
    try {
        allocate();
    } catch (const std::bad_alloc&) {
        CompactHeap();
        try {
            allocate();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    ForEachAnimationImage(*info, FlagImageHandle, &uses);
    for (std::uint32_t h = 1; h <= max; ++h)
        wanted[h] = uses[h] > 0;
    ForEachInstance(o, [&](RunObject* i) {
        if (RunObjectExtended* x = ExtendedOf(i))
            for (std::int32_t image : {x->image, x->imageBeforeMove})
                if (InstanceImage(image)) wanted[static_cast<std::size_t>(image)] = 1;
    });
    // The new images first, each held once per use of the image it replaces; a failure takes them back.
    for (std::uint32_t h = 1; h <= max; ++h) {
        if (!wanted[h] || !GetBankItem(banks->library, BankImages, h)) continue;
        const std::uint32_t made = RecolouredImage(*banks, h, oldColour, newColour);
        if (made == 0 || (uses[h] > 1 && !HoldRuntimeImage(*banks, made, uses[h] - 1))) {
            if (made) ReleaseImageUse(*banks, made);
            for (std::uint32_t back = 1; back < h; ++back)
                for (std::uint32_t n = 0; replacements[back] && n < std::max<std::uint32_t>(uses[back], 1);
                     ++n)
                    ReleaseImageUse(*banks, replacements[back]);
            return nullptr;
        }
        for (std::uint32_t n = 1; n < uses[h]; ++n)
            AddImageRef(banks->library, made);
        replacements[h] = made;
    }
    ForEachAnimationImage(*info, ReleaseReplacedImage, &replacements);
    ForEachAnimationImage(*info, RemapImageHandle, &replacements);
    ForEachInstance(o, [&](RunObject* i) {
        RunObjectExtended* x = ExtendedOf(i);
        if (!x) return;
        for (std::int32_t* image : {&x->image, &x->imageBeforeMove})
            if (InstanceImage(*image) && replacements[static_cast<std::size_t>(*image)])
                *image = static_cast<std::int32_t>(replacements[static_cast<std::size_t>(*image)]);
        ShowNewImage(i);
    });
    info->runFlags |= InfoImagesModified;
    return o;
}

int LoadImageFileToBank(std::uint16_t& handle, const WCHAR* path, const ImageLoadOptions& options) {
    ApplicationBanks* banks = BanksOf(CurrentApplication());
    CImageFilterMgr* filters = Services().imageFilters;
    if (!banks || !filters || !path) return 0;
    const FrameRecord* frame = Services().frame;
    const int depth = frame && frame->surface && frame->surface->HasImplementation()
                          ? frame->surface->GetDepth()
                          : DepthWithoutScreen;
    auto surface = MemorySurface(depth, 1, 1);
    if (!surface || !LoadImageFileIntoSurface(filters, path, surface.get(), nullptr, LoadImageKeepDepth))
        return 0;
    const COLORREF transparent =
        options.transparent ? options.transparent : surface->GetImplementation()->GetColorKey();
    const std::uint32_t made = AddSurfaceImage(*banks, *surface, options.hotX, options.hotY, options.actionX,
                                               options.actionY, transparent);
    if (made == 0 || made > MaxHandle) {
        if (made) ReleaseImageUse(*banks, made);
        return 0;
    }
    if (handle != 0) ReleaseImageUse(*banks, handle);
    handle = static_cast<std::uint16_t>(made);
    return 1;
}

void LoadObjectFrameFromFile(RunObject* o, const WCHAR* path, int animation, int direction, int frame,
                             int hotX, int hotY, int actionX, int actionY, COLORREF transparent) {
    if (!o || !path || !*path || animation < 0 || direction < 0 || direction >= DirectionCount || frame < 0)
        return;
    ApplicationRecord* app = CurrentApplication();
    ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo));
    if (!info || !BanksOf(app)) return;
    EnsureObjectInfoBankItems(*app->banks, *info, Services().frame ? Services().frame->flags : 0);
    if (!(info->runFlags & InfoTranslated)) return;
    std::vector<std::uint8_t>& def = info->definition;
    const std::size_t list = DefU16(def, DefAnimations);
    if (list == 0 || static_cast<std::uint32_t>(animation) >= DefU16(def, list + 2)) return;
    const auto offset =
        static_cast<std::int16_t>(DefU16(def, list + 4 + 2 * static_cast<std::size_t>(animation)));
    if (offset <= 0) return;
    const std::size_t record = list + static_cast<std::size_t>(offset);
    const std::uint16_t word = DefU16(def, record + 2 * static_cast<std::size_t>(direction));
    if (word == 0 || (word & SubstituteDirection)) return;
    const std::size_t frames = record + word;
    if (static_cast<std::uint32_t>(frame) >= DefU16(def, frames + DirectionFrameCount)) return;
    const std::size_t at = frames + DirectionImages + 2 * static_cast<std::size_t>(frame);
    if (at + 2 > def.size()) return;
    const std::uint16_t old = FieldValue(&def[at]);
    std::uint16_t handle = old;
    if (!LoadImageFileToBank(handle, path, ImageLoadOptions{24, hotX, hotY, actionX, actionY, transparent}))
        return;
    SetField(&def[at], handle);
    ForEachInstance(o, [&](RunObject* i) {
        RunObjectExtended* x = ExtendedOf(i);
        if (!x) return;
        if (x->image == old) x->image = handle;
        if (x->imageBeforeMove == old) x->imageBeforeMove = handle;
        ShowNewImage(i);
    });
    info->runFlags |= InfoImagesModified;
}

} // namespace vtrrt
