// Bank images put into surfaces, and the texture cache of bank 4 that keeps one driver texture per image.
#include "texture_items.h"

#include "surfaces/engine_interface.h"
#include "vtrs2/banks.h"
#include "vtrs2/context_record.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "vtrs2/texture_cache_testing.h"
#include "win32/mm.h"

using namespace win32;

namespace {

constexpr DWORD PurgeInterval = 1000;
constexpr DWORD TextureLifetime = 10000;

struct CacheClock {
    DWORD (*clock)() = nullptr;
    bool purged = false;
    DWORD lastPurge = 0;
};

CacheClock& Clock() {
    static CacheClock clock;
    return clock;
}

DWORD Now() {
    return Clock().clock ? Clock().clock() : timeGetTime();
}

const ImageItem* ImageOf(AppContext* context, DWORD image) {
    if (!context || !context->banks) return nullptr;
    return reinterpret_cast<const ImageItem*>(GetBankItem(context->banks, BankImages, image));
}

// The cached texture when there is one, else a new texture made from the image and cached.
cSurfaceImplementation* TextureOf(AppContext* context, DWORD image, DWORD flags) {
    if (!context || !context->banks) return nullptr;
    if (TextureCacheItem* cached = FindImageTexture(context->banks, image)) {
        if (!(cached->flags & TextureLocked) && cached->surface) cached->lastUse = Now();
        return cached->surface;
    }
    const ImageItem* item = ImageOf(context, image);
    if (!item) return nullptr;
    cImageSurface source(context);
    if (!source.SetItemData(item)) return nullptr;
    const bool direct3D8 = (context->displayMode & DisplayModeDirect3D8Flag) != 0;
    cSurface* prototype = GetDriverPrototypeHolder(direct3D8 ? 0 : 1, PublicTypeManagedTexture);
    if (!prototype || !prototype->HasImplementation()) return nullptr;
    cSurfaceImplementation* texture =
        prototype->GetImplementation()->CreateSameKind(source.width, source.height);
    if (!texture) return nullptr;
    if (!texture->UploadFrom(&source)) {
        texture->Delete();
        return nullptr;
    }
    TextureCacheItem* cached = SetImageTexture(context->banks, image, texture);
    if (!cached) return nullptr; // the texture went with the failed item
    cached->flags = flags;
    cached->lastUse = (flags & TextureLocked) ? 0 : Now();
    return texture;
}

} // namespace

cSurfaceImplementation* GetImageTexture(AppContext* context, DWORD image, DWORD flags) {
    return TextureOf(context, image, flags);
}

int CopyImageToSurface(AppContext* context, DWORD image, cSurface* surface, int kind) {
    if (!context || !surface) return 0;
    if (kind == CopyImageTexture && (context->displayMode & DisplayModeDriverFlag)) {
        cSurfaceImplementation* texture = TextureOf(context, image, 0);
        if (!texture) return 0;
        cSurfaceImplementation* copy = texture->CreateSameKind(texture->width, texture->height);
        if (!copy) return 0;
        surface->SetImplementation(copy);
        return 1;
    }
    const ImageItem* item = ImageOf(context, image);
    if (!item) return 0;
    surface->DeleteImplementation();
    cImageSurface* over = cImageSurface::ConstructFromItemData(context, item);
    if (!over) return 0;
    if (over->width <= 0) {
        over->Delete();
        return 0;
    }
    if ((item->flags & ImagePacked) && kind == CopyImagePlain) {
        cSurfaceImplementation* plain = over->CreateSameKind(over->width, over->height);
        if (plain &&
            !over->Blit(plain, 0, 0, 0, 0, over->width, over->height, 0, 0, 0, engine::BlitFlagCopyAlpha)) {
            plain->Delete();
            plain = nullptr;
        }
        over->Delete();
        if (!plain) return 0;
        surface->SetImplementation(plain);
        return 1;
    }
    surface->SetImplementation(over);
    return 1;
}

void ClearSurface(cSurface* surface) {
    if (surface) surface->DeleteImplementation();
}

void PurgeTextureCache(AppContext* context) {
    if (!context || !context->banks) return;
    CacheClock& clock = Clock();
    const DWORD now = Now();
    if (clock.purged && now - clock.lastPurge < PurgeInterval) return;
    clock.purged = true;
    clock.lastPurge = now;
    const DWORD count = GetBankCount(context->banks, BankTextures);
    for (DWORD handle = 1; handle <= count; ++handle) {
        TextureCacheItem* item = FindImageTexture(context->banks, handle);
        if (!item || (item->flags & TextureLocked) || !item->surface ||
            now - item->lastUse <= TextureLifetime)
            continue;
        DeleteTexture(*item);
        item->header.refCount = 1;
        ReleaseBankItem(context->banks, BankTextures, handle);
    }
}

void SetTextureCacheClock(DWORD (*clock)()) {
    Clock() = CacheClock{clock, false, 0};
}
