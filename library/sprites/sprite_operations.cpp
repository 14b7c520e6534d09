// The exported operations on the sprites of a window: creation, change, display order and deletion.
#include "sprite_pool.h"

#include "vtrs2/banks.h"
#include "vtrs2/memory.h"
#include "vtrs2/surface_engine.h"
#include "vtrs2/surface_implementation.h"

#include <cmath>
#include <cstring>
#include <utility>

using namespace win32;
using namespace sprites;

namespace {

constexpr DWORD CreateClears = SpriteRebuildTransformed | SpriteDeleted | SpriteRedraw | SpriteOwnerDrawn |
                               SpriteRoutineSaves | SpriteAntialias;
constexpr DWORD CreateExClears = SpriteRebuildTransformed | SpriteDeleted | SpriteRedraw | SpriteAntialias;

SpriteManager* PoolOf(SpriteWindow* window) {
    return window ? window->sprites : nullptr;
}

bool Hidden(const Sprite* s) {
    return s->flags & SpriteHidden;
}
bool Transformed(const SpriteGeometry& g) {
    return g.angle != 0 || g.scaleX != 1 || g.scaleY != 1;
}

WORD LayerKey(int layer, DWORD flags) {
    return static_cast<WORD>(layer * 2 + ((flags & SpriteBack) ? 0 : 1));
}

// Hot spot and size of an image sprite's image; a missing image gives a 1 x 1 sprite.
void TakeImageSize(SpriteWindow* window, Sprite* s, DWORD image, SpriteGeometry& g) {
    ImageInfo info{};
    if (GetImageInfo(window->banks, image, &info)) {
        g.width = info.width, g.height = info.height;
        g.hotX = info.hotX, g.hotY = info.hotY;
    } else {
        g.width = g.height = 1;
        g.hotX = g.hotY = 0;
    }
    if (s->flags & SpriteNoHotSpot) g.hotX = g.hotY = 0;
}

void UpdatePendingRect(Sprite* s) {
    SpriteGeometry& g = s->pending;
    LONG hotX = g.hotX, hotY = g.hotY, width = g.width, height = g.height;
    if (g.scaleX != 1) hotX = static_cast<LONG>(hotX * g.scaleX), width = static_cast<LONG>(width * g.scaleX);
    if (g.scaleY != 1)
        hotY = static_cast<LONG>(hotY * g.scaleY), height = static_cast<LONG>(height * g.scaleY);
    if (g.angle != 0) {
        SIZE size{width, height};
        POINT hot{hotX, hotY};
        RotateImageBounds(&size, &hot, nullptr, g.angle);
        width = size.cx, height = size.cy, hotX = hot.x, hotY = hot.y;
    }
    g.rect = {g.x - hotX, g.y - hotY, g.x - hotX + width, g.y - hotY + height};
}

// After a change of geometry: the grid follows the new rectangle. The sprites around the old and the new one
// are found for redraw by the next erase pass.
void GeometryChanged(SpriteManager& pool, Sprite* s) {
    s->flags |= SpriteChanged;
    PlaceInGrid(pool, s);
}

// After a change of the display order.
void OrderChanged(Sprite* s) {
    if (!Hidden(s)) s->flags |= SpriteChanged;
}

float NormalisedAngle(float angle) {
    angle = std::fmod(angle, 360.0f);
    return angle < 0 ? angle + 360.0f : angle;
}

void SetBit(DWORD& flags, DWORD bit, bool on) {
    flags = on ? flags | bit : flags & ~bit;
}

void Swap(SpriteManager& pool, Sprite* a, Sprite* b, bool exchangeZ) {
    SwapPlaces(pool, a, b);
    if (exchangeZ) std::swap(a->zOrder, b->zOrder);
}

Sprite* NewSprite(SpriteWindow* window, DWORD flags, int layer, LONG zOrder, COLORREF erase,
                  LONG_PTR userData) {
    SpriteManager* pool = PoolOf(window);
    if (!pool) return nullptr;
    Sprite* s = AllocateSpriteBlock(*pool);
    if (!s) return nullptr;
    s->flags = flags;
    s->layerKey = LayerKey(layer, flags);
    s->zOrder = zOrder;
    s->pending.scaleX = s->pending.scaleY = 1.0f;
    s->lastDrawn = {-1, -1, -1, -1};
    s->ink = InkTransparent;
    // Kept as a colour: the erase pass fills with it through the surface, which makes it its pixel value.
    s->eraseColour = erase;
    s->userData = userData;
    return s;
}

Sprite* PlaceSprite(SpriteWindow* window, Sprite* s) {
    UpdatePendingRect(s);
    s->displayed = s->pending;
    SpriteManager& pool = *window->sprites;
    InsertSpriteInOrder(pool, s);
    if (window->displayMode & DisplayModeDriver) s->flags |= SpriteUntracked;
    PlaceInGrid(pool, s);
    return s;
}

void DeleteSurface(cSurfaceImplementation*& surface) {
    if (cSurfaceImplementation* owned = std::exchange(surface, nullptr)) owned->Delete();
}

void FreeSpriteNow(SpriteManager& pool, Sprite* s) {
    DeleteSurface(s->savedBackground);
    if (s->flags & SpriteOwnerDrawn) {
        if (SpriteRoutine routine = std::exchange(s->routine, nullptr)) routine(s, SpriteRoutineFreed, 0);
    }
    DeleteSurface(s->transformed);
    ReleaseSpriteBlock(pool, s);
}

// A new position, and image when it changed, into the pending geometry; the transformed image is made again
// when the transform changed, or the image of a scaled or turned sprite.
Sprite* TakeMove(SpriteWindow* window, SpriteManager& pool, Sprite* s, LONG x, LONG y, DWORD image,
                 bool imageChanged, bool transformChanged) {
    SpriteGeometry& g = s->pending;
    if (imageChanged) {
        s->pendingImage = image;
        TakeImageSize(window, s, image, g);
    }
    if (transformChanged || (imageChanged && Transformed(g))) {
        s->flags |= SpriteRebuildTransformed;
        DeleteSurface(s->transformed);
    }
    g.x = x, g.y = y;
    UpdatePendingRect(s);
    GeometryChanged(pool, s);
    return s;
}

} // namespace

int AllocateSpritePool(SpriteWindow* window, int count) {
    if (!window) return 0;
    FreeSpritePool(window);
    if (count <= 0) return 1;
    const std::size_t size = sizeof(SpriteManager) + static_cast<std::size_t>(count) * sizeof(Sprite);
    SpriteManager* pool = nullptr;
    if (!AllocZeroedMemory(size, &pool)) return 0;
    pool->capacity = count;
    if (!MakeSpriteGrid(*pool)) {
        FreeMemory(&pool);
        return 0;
    }
    pool->records = reinterpret_cast<Sprite*>(pool + 1);
    for (int i = count - 1; i >= 0; --i) {
        pool->records[i].state = 1;
        pool->records[i].next = pool->firstFree;
        pool->firstFree = &pool->records[i];
    }
    window->sprites = pool;
    return 1;
}

void DeleteAllSprites(SpriteWindow* window) {
    SpriteManager* pool = PoolOf(window);
    if (!pool) return;
    while (pool->first)
        FreeSpriteNow(*pool, pool->first);
}

void FreeSpritePool(SpriteWindow* window) {
    DeleteAllSprites(window);
    if (SpriteManager* pool = PoolOf(window)) {
        FreeSpriteGrid(*pool);
        FreeMemory(&window->sprites);
    }
}

Sprite* CreateSprite(SpriteWindow* window, LONG x, LONG y, DWORD image, int layer, LONG zOrder,
                     COLORREF erase, DWORD flags, LONG_PTR userData) {
    Sprite* s = NewSprite(window, (flags & ~CreateClears) | SpriteChanged, layer, zOrder, erase, userData);
    if (!s) return nullptr;
    s->pending.x = x, s->pending.y = y;
    TakeImageSize(window, s, image, s->pending);
    s->image = s->pendingImage = image;
    return PlaceSprite(window, s);
}

Sprite* CreateSpriteEx(SpriteWindow* window, LONG x1, LONG y1, LONG x2, LONG y2, int layer, LONG zOrder,
                       COLORREF erase, DWORD flags, LONG_PTR userData, SpriteRoutine routine) {
    const DWORD kept = (flags & ~CreateExClears) | SpriteOwnerDrawn | SpriteChanged;
    Sprite* s = NewSprite(window, kept, layer, zOrder, erase, userData);
    if (!s) return nullptr;
    s->pending.x = x1, s->pending.y = y1;
    s->pending.width = x2 - x1, s->pending.height = y2 - y1;
    s->routine = routine;
    return PlaceSprite(window, s);
}

void DeleteSprite(SpriteWindow* window, Sprite* s) {
    if (!PoolOf(window) || !s) return;
    s->flags = (s->flags & ~SpriteCollidable) | SpriteDeleted | SpriteChanged;
    if ((s->flags & SpriteShown) && !Hidden(s)) s->flags &= ~SpriteShown;
}

void FreeSprite(SpriteWindow* window, Sprite* s) {
    if (SpriteManager* pool = PoolOf(window); pool && s) FreeSpriteNow(*pool, s);
}

Sprite* ModifySpriteEx(SpriteWindow* window, Sprite* s, LONG x, LONG y, DWORD image, float scaleX,
                       float scaleY, int resample, float angle, int antialias) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s) return nullptr;
    SpriteGeometry& g = s->pending;
    scaleX = scaleX < 0 ? 0 : scaleX, scaleY = scaleY < 0 ? 0 : scaleY;
    angle = NormalisedAngle(angle);
    const bool resampleBit = resample && (scaleX != 1 || scaleY != 1);
    const bool antialiasBit = antialias && angle != 0;
    const bool transformChanged = scaleX != g.scaleX || scaleY != g.scaleY ||
                                  resampleBit != bool(s->flags & SpriteResample) || angle != g.angle ||
                                  (angle != 0 && antialiasBit != bool(s->flags & SpriteAntialias));
    const bool imageChanged = !(s->flags & SpriteOwnerDrawn) && image != s->pendingImage;
    if (!transformChanged && !imageChanged && x == g.x && y == g.y) return s;
    g.scaleX = scaleX, g.scaleY = scaleY, g.angle = angle;
    SetBit(s->flags, SpriteResample, resampleBit);
    SetBit(s->flags, SpriteAntialias, antialiasBit);
    return TakeMove(window, *pool, s, x, y, image, imageChanged, transformChanged);
}

Sprite* ModifySprite(SpriteWindow* window, Sprite* s, LONG x, LONG y, DWORD image) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s) return nullptr;
    SpriteGeometry& g = s->pending;
    // Bits that the scale and angle no longer call for are dropped by the full path.
    const bool staleBits = ((s->flags & SpriteResample) && g.scaleX == 1 && g.scaleY == 1) ||
                           ((s->flags & SpriteAntialias) && g.angle == 0);
    if (staleBits) return ModifySpriteEx(window, s, x, y, image, g.scaleX, g.scaleY, 1, g.angle, 1);
    // A move, or a new image, under the same scale and angle: the common change, taken without the rest.
    const bool imageChanged = !(s->flags & SpriteOwnerDrawn) && image != s->pendingImage;
    if (!imageChanged && x == g.x && y == g.y) return s;
    return TakeMove(window, *pool, s, x, y, image, imageChanged, false);
}

void SetSpriteScale(SpriteWindow* window, Sprite* s, float scaleX, float scaleY, int resample) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s) return;
    scaleX = scaleX < 0 ? 0 : scaleX, scaleY = scaleY < 0 ? 0 : scaleY;
    const bool resampleBit = resample && (scaleX != 1 || scaleY != 1);
    SpriteGeometry& g = s->pending;
    if (scaleX == g.scaleX && scaleY == g.scaleY && resampleBit == bool(s->flags & SpriteResample)) return;
    g.scaleX = scaleX, g.scaleY = scaleY;
    SetBit(s->flags, SpriteResample, resampleBit);
    s->flags |= SpriteRebuildTransformed;
    DeleteSurface(s->transformed);
    UpdatePendingRect(s);
    GeometryChanged(*pool, s);
}

void SetSpriteAngle(SpriteWindow* window, Sprite* s, float angle, int antialias) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s) return;
    angle = NormalisedAngle(angle);
    const bool antialiasBit = antialias && angle != 0;
    SpriteGeometry& g = s->pending;
    if (angle == g.angle && antialiasBit == bool(s->flags & SpriteAntialias)) return;
    g.angle = angle;
    SetBit(s->flags, SpriteAntialias, antialiasBit);
    s->flags |= SpriteRebuildTransformed;
    DeleteSurface(s->transformed);
    UpdatePendingRect(s);
    GeometryChanged(*pool, s);
}

namespace {
void ReadScale(const Sprite* s, const SpriteGeometry* g, float* scaleX, float* scaleY, int* resample) {
    if (scaleX) *scaleX = g ? g->scaleX : 1.0f;
    if (scaleY) *scaleY = g ? g->scaleY : 1.0f;
    if (resample) *resample = s ? (s->flags & SpriteResample) != 0 : 0;
}
float ReadAngle(const Sprite* s, const SpriteGeometry* g, int* antialias) {
    if (antialias) *antialias = s ? (s->flags & SpriteAntialias) != 0 : 0;
    return g ? g->angle : 0.0f;
}
} // namespace

void GetSpriteScale(SpriteWindow*, Sprite* s, float* scaleX, float* scaleY, int* resample) {
    ReadScale(s, s ? &s->displayed : nullptr, scaleX, scaleY, resample);
}

void GetPendingSpriteScale(SpriteWindow*, Sprite* s, float* scaleX, float* scaleY, int* resample) {
    ReadScale(s, s ? &s->pending : nullptr, scaleX, scaleY, resample);
}

float GetSpriteAngle(SpriteWindow*, Sprite* s, int* antialias) {
    return ReadAngle(s, s ? &s->displayed : nullptr, antialias);
}

float GetPendingSpriteAngle(SpriteWindow*, Sprite* s, int* antialias) {
    return ReadAngle(s, s ? &s->pending : nullptr, antialias);
}

void GetSpriteDisplayedRect(SpriteWindow*, Sprite* s, RECT* rect) {
    if (s && rect) *rect = s->displayed.rect;
}

void GetSpriteRect(SpriteWindow*, Sprite* s, RECT* rect) {
    if (s && rect) *rect = s->pending.rect;
}

Sprite* SetSpriteRect(SpriteWindow* window, Sprite* s, LONG x1, LONG y1, LONG x2, LONG y2) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s) return nullptr;
    SpriteGeometry& g = s->pending;
    g.x = x1, g.y = y1, g.width = x2 - x1, g.height = y2 - y1;
    g.rect = {x1, y1, x2, y2};
    GeometryChanged(*pool, s);
    return s;
}

Sprite* SetSpriteEffect(SpriteWindow* window, Sprite* s, DWORD ink, LONG_PTR param) {
    if (!PoolOf(window) || !s) return nullptr;
    s->ink = ink;
    s->inkParam = param;
    s->flags |= SpriteChanged;
    return s;
}

void ShowSprite(SpriteWindow* window, Sprite* s, int show) {
    if (!PoolOf(window) || !s) return;
    if (show) {
        s->flags &= ~(SpriteHidden | SpriteHidePending);
    } else {
        if (Hidden(s)) return;
        const bool neverDrawn = s->lastDrawn.left == -1 && s->lastDrawn.top == -1;
        s->flags |= neverDrawn ? SpriteHidden : SpriteHidePending;
    }
    if (s->flags & SpriteShown) s->flags |= SpriteChanged;
}

namespace {

void ApplyState(Sprite* s, int code) {
    switch (code) {
    case 0:
        s->flags |= SpriteShown;
        [[fallthrough]];
    case 1:
        s->flags |= SpriteChanged;
        break;
    case 2:
        s->flags &= ~SpriteShown;
        break;
    case 4:
        s->flags &= ~SpriteSuspended;
        break;
    case 8:
        s->flags |= SpriteSuspended;
        break;
    default:
        break;
    }
}

void ApplyStateToAll(SpriteManager& pool, int code) {
    for (Sprite* s = pool.first; s; s = s->next) {
        switch (code) {
        case 0:
            s->flags |= Hidden(s) ? SpriteShown : SpriteShown | SpriteChanged;
            break;
        case 1:
            if (!Hidden(s)) s->flags |= SpriteChanged;
            break;
        case 4:
            s->flags &= ~SpriteSuspended;
            break;
        case 8:
            s->flags |= SpriteSuspended;
            break;
        case 17:
            if (!(s->flags & (SpriteHidden | SpriteBack))) s->flags |= SpriteChanged;
            break;
        default:
            s->flags &= ~SpriteShown;
            break;
        }
    }
}

} // namespace

void SetSpriteState(SpriteWindow* window, Sprite* s, int code, const RECT* rect) {
    SpriteManager* pool = PoolOf(window);
    if (!pool) return;
    if (code == 32) {
        if (rect) FlagSpritesInRect(*pool, *rect);
        return;
    }
    if (s)
        ApplyState(s, code);
    else
        ApplyStateToAll(*pool, code);
}

int SetSpriteCollidable(SpriteWindow* window, Sprite* s, int value) {
    if (!PoolOf(window) || !s) return 0;
    const int previous = s->flags & SpriteCollidable;
    SetBit(s->flags, SpriteCollidable, value & 1);
    return previous;
}

DWORD SetSpriteFlags(SpriteWindow* window, Sprite* s, DWORD flags) {
    if (!PoolOf(window) || !s) return 0;
    return std::exchange(s->flags, flags);
}

DWORD GetSpriteFlags(SpriteWindow*, Sprite* s) {
    return s ? s->flags : 0;
}

int GetSpriteLayer(SpriteWindow*, Sprite* s) {
    return s ? s->layerKey >> 1 : 0;
}

LONG_PTR GetSpriteUserData(SpriteWindow*, Sprite* s) {
    return s ? s->userData : 0;
}

Sprite* SwapSprites(SpriteWindow* window, Sprite* s, Sprite* other) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s || !other || s == other) return nullptr;
    Swap(*pool, s, other, true);
    return s->previous ? s->previous : s->next;
}

void MoveSpriteToBack(SpriteWindow* window, Sprite* s) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s) return;
    while (s->previous && s->previous->layerKey == s->layerKey)
        Swap(*pool, s, s->previous, true);
    OrderChanged(s);
}

void MoveSpriteToFront(SpriteWindow* window, Sprite* s) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s) return;
    while (s->next && s->next->layerKey <= s->layerKey)
        Swap(*pool, s, s->next, true);
    OrderChanged(s);
}

namespace {
bool Follows(const Sprite* later, const Sprite* earlier) {
    return later->order > earlier->order;
}
} // namespace

namespace {
// Swaps a sprite past its neighbours, towards the front or the back, until it has passed `other`.
void MovePast(SpriteWindow* window, Sprite* s, Sprite* other, bool towardsFront) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s || !other || s == other || s->layerKey != other->layerKey) return;
    if (!(towardsFront ? Follows(other, s) : Follows(s, other))) return;
    Sprite* passed = nullptr;
    while (passed != other && (towardsFront ? s->next : s->previous)) {
        passed = towardsFront ? s->next : s->previous;
        Swap(*pool, s, passed, true);
    }
    OrderChanged(s);
}
} // namespace

void MoveSpriteInFrontOf(SpriteWindow* window, Sprite* s, Sprite* other) {
    MovePast(window, s, other, true);
}

void MoveSpriteBehind(SpriteWindow* window, Sprite* s, Sprite* other) {
    MovePast(window, s, other, false);
}

void SetSpriteLayer(SpriteWindow* window, Sprite* s, int layer) {
    SpriteManager* pool = PoolOf(window);
    if (!pool || !s) return;
    const WORD key = LayerKey(layer, s->flags);
    if (key == s->layerKey) return;
    const bool grew = key > s->layerKey;
    s->layerKey = key;
    // Each sprite keeps its own z-order while they pass each other; the moved sprite then goes in front of
    // its new layer key.
    if (grew) {
        while (s->next && s->next->layerKey <= key)
            Swap(*pool, s, s->next, false);
    } else {
        while (s->previous && s->previous->layerKey > key)
            Swap(*pool, s, s->previous, false);
    }
    s->zOrder = (s->previous && s->previous->layerKey == key) ? s->previous->zOrder + 1 : 1;
    OrderChanged(s);
}

int IsSpriteInFront(SpriteWindow*, Sprite* s, Sprite* other) {
    if (!s || !other) return 0;
    return other->layerKey < s->layerKey || (other->layerKey == s->layerKey && other->zOrder < s->zOrder);
}

int IsSpriteBehind(SpriteWindow*, Sprite* s, Sprite* other) {
    if (!s || !other) return 0;
    return s->layerKey < other->layerKey || (s->layerKey == other->layerKey && s->zOrder < other->zOrder);
}

Sprite* FindFirstLayerSprite(SpriteWindow* window, int layer, int back) {
    SpriteManager* pool = PoolOf(window);
    if (!pool) return nullptr;
    if (layer == -1) return pool->first;
    const WORD key = static_cast<WORD>(layer * 2 + (back ? 0 : 1));
    for (Sprite* s = pool->first; s && s->layerKey <= key; s = s->next)
        if (s->layerKey == key) return s;
    return nullptr;
}

Sprite* FindLastLayerSprite(SpriteWindow* window, int layer, int back) {
    SpriteManager* pool = PoolOf(window);
    if (!pool) return nullptr;
    if (layer == -1) return pool->last;
    const WORD key = static_cast<WORD>(layer * 2 + (back ? 0 : 1));
    for (Sprite* s = pool->last; s && s->layerKey >= key; s = s->previous)
        if (s->layerKey == key) return s;
    return nullptr;
}

namespace {
template <typename Step> Sprite* FindNeighbour(Sprite* s, DWORD flags, Step step) {
    const bool wantBack = flags & 1;
    for (Sprite* p = step(s); p; p = step(p)) {
        const bool kindMatches = bool(p->flags & SpriteBack) == wantBack;
        if (flags & 2) return kindMatches && p->layerKey == s->layerKey ? p : nullptr;
        if (kindMatches) return p;
    }
    return nullptr;
}
} // namespace

Sprite* FindNextSprite(SpriteWindow* window, Sprite* s, DWORD flags) {
    if (!PoolOf(window) || !s) return nullptr;
    return FindNeighbour(s, flags, [](Sprite* p) { return p->next; });
}

Sprite* FindPreviousSprite(SpriteWindow* window, Sprite* s, DWORD flags) {
    if (!PoolOf(window) || !s) return nullptr;
    return FindNeighbour(s, flags, [](Sprite* p) { return p->previous; });
}

ImageMask* GetSpriteCollisionMask(SpriteWindow* window, Sprite* s, DWORD image, DWORD mode) {
    if (!window || !s) return nullptr;
    if (s->flags & SpriteOwnerDrawn)
        return s->routine ? reinterpret_cast<ImageMask*>(s->routine(s, SpriteRoutineMask, mode)) : nullptr;
    return GetImageCollisionMask(window->banks, image ? image : s->image, mode);
}
