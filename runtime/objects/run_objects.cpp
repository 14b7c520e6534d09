#include "objects/run_objects.h"

#include "core/application_record.h"
#include "core/runtime_services.h"
#include "core/typed_value.h"
#include "events/event_evaluation.h"
#include "events/extension_host.h"
#include "objects/animations.h"
#include "objects/display_list.h"
#include "objects/movements.h"
#include "objects/object_sprites.h"
#include "objects/object_transitions.h"
#include "objects/physics_movement.h"
#include "startup/event_program.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"
#include "startup/object_references.h"

#include "vtrs2/effect.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vtrrt {

namespace {

// Sizes the kinds give for 32-bit records, where the extended header ends at 304, the values block takes
// 174 bytes and the sprite block 36.
constexpr std::uint16_t ActiveRecordBytes32 = 752;
constexpr std::uint16_t CommonKindRecordBytes32 = 578;
constexpr std::uint16_t RichTextRecordBytes32 = 1252;
constexpr std::size_t ExtendedHeaderBytes32 = 304;
constexpr std::size_t ValuesBlockBytes32 = 174;
constexpr std::size_t SpriteBlockBytes32 = 36;
constexpr std::size_t RecordGrowth64 =
    (RunObjectExtendedBlocksStart - ExtendedHeaderBytes32) +
    (AlignRecordBlock(sizeof(ObjectValuesBlock)) - ValuesBlockBytes32) +
    (AlignRecordBlock(sizeof(ObjectSpriteBlock)) - SpriteBlockBytes32) +
    (AlignRecordBlock(ObjectMovementBlockBytes) - ObjectMovementBlockBytes);

constexpr std::uint16_t FirstInstanceBit = 0x8000;
constexpr std::int16_t ConditionLastInstanceDestroyed = -33;

std::uint8_t* Bytes(RunObject* o) {
    return reinterpret_cast<std::uint8_t*>(o);
}

ObjectListEntry* SlotOf(FrameRunState* s, std::int32_t slot) {
    if (!s || !s->objects || slot < 0 || slot >= s->maxObjects) return nullptr;
    return &s->objects[slot];
}

ObjectInfoRunEntry* FindRunEntry(FrameRunState* s, std::int16_t handle, std::int32_t* index) {
    if (!s || !s->objectInfos) return nullptr;
    for (std::int32_t i = 0; i < s->objectInfoCount && s->objectInfos[i].handle != -1; ++i) {
        if (s->objectInfos[i].handle == handle) {
            *index = i;
            return &s->objectInfos[i];
        }
    }
    return nullptr;
}

RunObject* ObjectAt(FrameRunState* s, std::int16_t handle) {
    ObjectListEntry* e = SlotOf(s, handle);
    return e ? e->object : nullptr;
}

void ApplyResult(RunObject* o, int result) {
    FrameRunState* s = o->runState;
    bool display = (result & 2) != 0;
    if (RunObjectExtended* x = ExtendedOf(o); x && x->changed) {
        x->changed = 0;
        display = true;
    }
    if (result & 1)
        if (ObjectListEntry* e = SlotOf(s, o->handle)) e->routine = nullptr;
    if (display && o->displayRoutine) o->displayRoutine(o);
}

int CallHandle(RunObject* o) {
    return o->handleRoutine ? o->handleRoutine(o) : 0;
}

void RunZoneOnlyObject(RunObject* o) {
    UpdateObjectVisibility(o);
    ApplyResult(o, 0);
}

void RunSpriteObject(RunObject* o) {
    UpdateObjectVisibility(o);
    // The visibility pass may have queued the object for destruction.
    if (o->runState && o->runState->objects[o->handle].routine) ApplyResult(o, CallHandle(o));
}

void RunMovingObject(RunObject* o) {
    if (RunObjectExtended* x = ExtendedOf(o); x && x->movementRoutine) x->movementRoutine(o);
    ApplyResult(o, CallHandle(o));
}

void RunAnimatedObject(RunObject* o) {
    if (RunObjectExtended* x = ExtendedOf(o); x && x->animationRoutine) x->animationRoutine(o);
    ApplyResult(o, CallHandle(o));
}

void RunPlainObject(RunObject* o) {
    const int result = CallHandle(o);
    if (result & 1)
        if (ObjectListEntry* e = SlotOf(o->runState, o->handle)) e->routine = nullptr;
    if ((result & 2) && o->displayRoutine) o->displayRoutine(o);
}

void FreeRecord(FrameRunState* s, std::int32_t slot, RunObject* o) {
    FreeObjectTransitions(o);
    if (SavedRect* saved = SavedRectOf(o, false)) {
        FreeSavedRect(saved);
        FreeMemoryBlock(saved);
    }
    FreeMemoryBlock(o);
    if (ObjectListEntry* e = SlotOf(s, slot)) {
        e->object = nullptr;
        e->routine = nullptr;
    }
    --s->objectCount;
}

void ClearDestroyMark(FrameRunState* s, std::int32_t slot) {
    if (!s->objectBits || slot < 0 || static_cast<std::size_t>(slot) / 8 >= s->objectBitBytes) return;
    s->objectBits[slot / 32] &= ~(1u << (slot % 32));
}

// Whether a record being destroyed waits for its background to be restored or for its deleted sprite (or
// the transition sprite it has just finished with) to be freed by the sprite pool, rather than be freed at
// once.
bool RecordOutlivesSlot(RunObject* o, int mode) {
    const ObjectSpriteBlock* block = SpriteBlockOf(o);
    if (!block || mode == 1) return false;
    if (o->objectFlags & ObjectSavedBackground) return true;
    if (TransitionSpriteWaiting(o)) return true;
    const RunObjectExtended* x = ExtendedOf(o);
    return (block->spriteFlags & SpriteOwnerDrawn) && !(block->displayFlags & DisplayParked) && x &&
           x->sprite;
}

// Steps 2 to 9 of a destruction; `created` says whether the kind's create routine ran.
void Dismantle(FrameRunState* s, std::int32_t slot, RunObject* o, int mode, bool created) {
    // Shots still waiting on this object are launched now, without it.
    RelinkAttachedPhysicsObjects(o);
    FreeObjectMovement(o);
    FreeAlterableData(o);
    if ((o->objectFlags & ObjectCounted) && (o->objectFlags & ObjectUncountedAtEnd)) --s->countedObjects;
    if (o->objectFlags & ObjectHasSprite) DestroyObjectSprite(o, mode);
    if (created) {
        if (o->objectType >= FirstKindType && o->objectType <= LastKindType) {
            if (auto destroy = KindRoutines()[static_cast<std::size_t>(o->objectType)].destroy)
                destroy(o, mode);
        } else if (o->objectType >= FirstExtensionType) {
            DestroyExtensionObject(o, mode);
        }
    }
    if (ObjectSpriteBlock* sb = SpriteBlockOf(o); sb && (sb->inkEffect & 0xFFFF) == InkEffectObject) {
        DeleteEffect(static_cast<CEffectEx*>(sb->inkParameter));
        sb->inkParameter = nullptr;
    }
    UnlinkObjectInstance(o);
    if (s->frame && (s->frame->flags & 0x400))
        if (ApplicationRecord* app = s->application) {
            if (ObjectInfoTable* t = app->objectInfos;
                t && static_cast<std::uint16_t>(o->objectInfo) < t->indexByHandle.size())
                t->cursor = t->indexByHandle[static_cast<std::uint16_t>(o->objectInfo)];
        }
    o->creationNumber = 0;
    ClearDestroyMark(s, slot);
    if (ObjectListEntry* e = SlotOf(s, slot)) e->routine = nullptr;
    if (RecordOutlivesSlot(o, mode)) {
        // Freed by the next display after its background is restored, or by the sprite pool's call back.
        if (o->objectFlags & ObjectSavedBackground) {
            if (o->savedBackgroundLink == SavedBackgroundUnlisted ||
                o->savedBackgroundLink == SavedBackgroundHidden) {
                o->savedBackgroundLink = SavedBackgroundUnlisted;
                QueueBackgroundRestore(o);
            }
        }
        return;
    }
    if (mode == 1) KillObjectBackground(o);
    if (o->objectFlags & ObjectSavedBackground) RemoveFromSavedBackgroundList(o);
    FreeRecord(s, slot, o);
}

} // namespace

std::array<ObjectKindRoutines, LastKindType + 1>& KindRoutines() {
    static std::array<ObjectKindRoutines, LastKindType + 1> table = [] {
        std::array<ObjectKindRoutines, LastKindType + 1> t{};
        t[2].recordSize = [](const std::uint8_t*) { return KindRecordSize(2); };
        t[3].recordSize = [](const std::uint8_t*) { return KindRecordSize(3); };
        t[4].recordSize = [](const std::uint8_t*) { return KindRecordSize(4); };
        t[5].recordSize = [](const std::uint8_t*) { return KindRecordSize(5); };
        t[6].recordSize = [](const std::uint8_t*) { return KindRecordSize(6); };
        t[7].recordSize = [](const std::uint8_t*) { return KindRecordSize(7); };
        t[8].recordSize = [](const std::uint8_t*) { return KindRecordSize(8); };
        t[9].recordSize = [](const std::uint8_t*) { return KindRecordSize(9); };
        return t;
    }();
    return table;
}

std::uint16_t KindRecordSize(std::int16_t type) {
    std::size_t size32 = 0;
    switch (type) {
    case 2:
        size32 = ActiveRecordBytes32;
        break;
    case 8:
        size32 = RichTextRecordBytes32;
        break;
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 9:
        size32 = CommonKindRecordBytes32;
        break;
    default:
        return 0;
    }
    return static_cast<std::uint16_t>(size32 + RecordGrowth64);
}

std::uint16_t KindRecordSizeWith(std::int16_t type, std::size_t kindBytes) {
    constexpr std::uint32_t AllBlocks =
        ObjectExtendedHeader | ObjectHasValues | ObjectHasMovement | ObjectHasAnimation | ObjectHasSprite;
    return static_cast<std::uint16_t>(
        std::max<std::size_t>(KindRecordSize(type), LayoutOfRunObject(AllBlocks).kindData + kindBytes));
}

std::uint16_t GetObjectStructSize(std::int16_t type, const std::uint8_t* definition) {
    if (type >= FirstKindType && type <= LastKindType) {
        auto size = KindRoutines()[static_cast<std::size_t>(type)].recordSize;
        return size ? size(definition) : 0;
    }
    if (type >= FirstExtensionType) return ExtensionRecordSize(type, definition);
    return 0;
}

std::size_t KindDataOffset(std::uint32_t objectFlags) {
    return LayoutOfRunObject(objectFlags).kindData;
}

std::span<const std::uint8_t> ObjectDefinitionOf(RunObject* o) {
    const ObjectInfo* info = o ? GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo)) : nullptr;
    if (!info || info->definition.empty() || info->definition.data() != o->definition) return {};
    return info->definition;
}

std::uint8_t* KindDataOf(RunObject* o, std::size_t bytes) {
    if (!o) return nullptr;
    const std::size_t at = KindDataOffset(o->objectFlags);
    return at + bytes <= o->recordSize ? Bytes(o) + at : nullptr;
}

ObjectValuesBlock* ValuesBlockOf(RunObject* o) {
    if (!o || !(o->objectFlags & ObjectHasValues) || o->valuesBlock == 0) return nullptr;
    return reinterpret_cast<ObjectValuesBlock*>(Bytes(o) + o->valuesBlock);
}

void SelectObjectRoutine(RunObject* o) {
    ObjectListEntry* e = SlotOf(o->runState, o->handle);
    if (!e) return;
    if (!o->handleRoutine)
        e->routine = RunZoneOnlyObject;
    else if (o->objectFlags & ObjectHasSprite)
        e->routine = RunSpriteObject;
    else if (o->objectFlags & ObjectHasMovement)
        e->routine = RunMovingObject;
    else if (o->objectFlags & ObjectHasAnimation)
        e->routine = RunAnimatedObject;
    else
        e->routine = RunPlainObject;
}

void LinkObjectInstance(RunObject* o) {
    FrameRunState* s = o->runState;
    std::int32_t index = -1;
    ObjectInfoRunEntry* entry = FindRunEntry(s, o->objectInfo, &index);
    if (!entry) {
        o->previousInstance = o->nextInstance = NoInstanceLink;
        return;
    }
    RunObject* head = entry->firstInstance == NoInstanceLink ? nullptr : ObjectAt(s, entry->firstInstance);
    if (!head) {
        o->previousInstance = static_cast<std::int16_t>(FirstInstanceBit | index);
        o->nextInstance = NoInstanceLink;
    } else {
        o->previousInstance = head->previousInstance;
        head->previousInstance = o->handle;
        o->nextInstance = head->handle;
    }
    entry->firstInstance = o->handle;
    o->objectInfoEntry = entry;
    o->collisionFlags = static_cast<std::int16_t>(entry->collisionFlags);
    if (o->frameItem == -1)
        o->frameItem = entry->rememberedFrameItem;
    else if (entry->rememberedFrameItem == -1)
        entry->rememberedFrameItem = o->frameItem;
    ++entry->instanceCount;
    ++entry->instanceChanges;
}

void UnlinkObjectInstance(RunObject* o) {
    FrameRunState* s = o->runState;
    ObjectInfoRunEntry* entry = o->objectInfoEntry;
    if (!entry) return;
    --entry->instanceCount;
    ++entry->instanceChanges;
    const std::int16_t prev = o->previousInstance;
    const std::int16_t next = o->nextInstance;
    if (static_cast<std::uint16_t>(prev) & FirstInstanceBit)
        entry->firstInstance = next;
    else if (RunObject* p = ObjectAt(s, prev))
        p->nextInstance = next;
    if (next != NoInstanceLink)
        if (RunObject* n = ObjectAt(s, next)) n->previousInstance = prev;
    o->objectInfoEntry = nullptr;
    o->previousInstance = o->nextInstance = NoInstanceLink;
}

void AllocAlterableData(RunObject* o, const std::uint8_t* definition, std::size_t definitionSize) {
    ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb) return;
    TypedValue* values = nullptr;
    if (!AllocZeroedMemory(AlterableValueCount * sizeof(TypedValue), &values)) {
        vb->count = 0;
        return;
    }
    vb->values = values;
    vb->count = AlterableValueCount;
    const std::span<const std::uint8_t> def(definition, definitionSize);
    if (const std::uint16_t at = DefU16(def, DefValues); at != 0) {
        const std::uint16_t count = DefU16(def, at);
        // Values past the 26 the record holds are left out.
        for (std::uint16_t i = 0; i < count && i < AlterableValueCount; ++i) {
            const std::size_t pos = at + 2u + 4u * i;
            if (pos + 4 > def.size()) break;
            values[i].integer = static_cast<std::int32_t>(DefU32(def, pos));
        }
    }
    if (const std::uint16_t at = DefU16(def, DefStrings); at != 0) {
        const std::uint16_t count = DefU16(def, at);
        std::size_t pos = at + 2u;
        for (std::uint16_t i = 0; i < count && i < AlterableStringCount && pos + 2 <= def.size(); ++i) {
            std::u16string text;
            while (pos + 2 <= def.size()) {
                const char16_t c = static_cast<char16_t>(DefU16(def, pos));
                pos += 2;
                if (!c) break;
                text.push_back(c);
            }
            SetAlterableString(o, i, text.c_str());
        }
    }
}

void FreeAlterableData(RunObject* o) {
    ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb) return;
    if (auto* values = static_cast<TypedValue*>(vb->values)) {
        for (int i = 0; i < vb->count; ++i)
            if (values[i].type == TypeString) FreeMemoryBlock(values[i].string);
    }
    FreeMemory(&vb->values);
    vb->count = 0;
    for (auto& str : vb->strings)
        FreeMemory(&str);
}

void SetAlterableString(RunObject* o, int index, const char16_t* text) {
    ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb || index < 0 || index >= AlterableStringCount) return;
    FreeMemory(&vb->strings[index]);
    if (!text || !*text) return;
    const std::size_t units = std::char_traits<char16_t>::length(text) + 1;
    char16_t* copy = nullptr;
    if (!AllocMemory(units * sizeof(char16_t), &copy)) return;
    std::memcpy(copy, text, units * sizeof(char16_t));
    vb->strings[index] = copy;
}

int CreateObject(std::int32_t frameItem, std::int32_t objectInfo, std::int32_t x, std::int32_t y,
                 std::int32_t direction, std::uint16_t creationFlags, std::int32_t layer, std::int32_t slot) {
    FrameRunState* s = CurrentRunState();
    ApplicationRecord* app = CurrentApplication();
    if (!s || !app || objectInfo < 0 || objectInfo > 0xFFFF) return -1;
    ObjectInfo* info = SeekObjectInfoByHandle(app, static_cast<std::uint16_t>(objectInfo));
    // Backdrops have no record; an extension type is created only by its loaded extension's CreateRunObject.
    if (!info || info->objectType < FirstKindType) return -1;
    const bool isExtension = info->objectType >= FirstExtensionType;
    if (!isExtension && info->objectType > LastKindType) return -1;
    if (isExtension) {
        const ExtensionRunRoutines* routines = ExtensionRoutinesOfType(app, info->objectType);
        if (!routines || !routines->entries[extension::EntryCreateRunObject]) return -1;
    }
    if (info->definition.empty() && LoadObjectDefinition(app, *info) != 0) return -1;
    const std::span<const std::uint8_t> def(info->definition);
    FrameRecord* frame = s->frame;
    const FrameItemInstance* item = nullptr;
    if (frame && frameItem >= 0 && frameItem < frame->instanceCount && frame->instances)
        item = &frame->instances[frameItem];
    if (!(def.size() > DefOptions && (def[DefOptions] & OptionVisibleAtStart))) creationFlags |= CreateHidden;

    if (s->objectCount >= s->maxObjects) return -1;
    const std::uint16_t size = GetObjectStructSize(info->objectType, info->definition.data());
    const std::uint32_t flags = DefU32(def, DefObjectFlags);
    const RunObjectLayout layout = LayoutOfRunObject(flags);
    // Each block must lie inside the record the kind asked for.
    if (size == 0 || layout.kindData > size) return -1;
    if (slot < 0) {
        for (slot = 0; slot < s->maxObjects && s->objects[slot].object; ++slot) {
        }
    }
    ObjectListEntry* entry = SlotOf(s, slot);
    if (!entry || entry->object) return -1;
    RunObject* o = nullptr;
    if (!AllocZeroedMemory(size, &o)) return -1;
    o->recordSize = size;

    ++s->objectCount;
    entry->object = o;
    const bool ahead = s->processingSlot > 0 && slot >= s->processingSlot;
    if (ahead) ++s->createdAhead;

    o->identifier = DefU32(def, DefIdentifier);
    o->objectFlags = flags;
    o->handle = static_cast<std::int16_t>(slot);
    if (++s->creationCounter == 0) s->creationCounter = 1;
    o->creationNumber = s->creationCounter;
    o->frameItem = item ? static_cast<std::int16_t>(frameItem) : -1;
    o->objectInfo = static_cast<std::int16_t>(objectInfo);
    o->objectType = info->objectType;
    o->runState = s;
    o->self = o;
    o->savedBackgroundLink = -1;
    LinkObjectInstance(o);

    const ObjectKindRoutines kind =
        isExtension ? ObjectKindRoutines{} : KindRoutines()[static_cast<std::size_t>(info->objectType)];
    if (isExtension) {
        SetExtensionObjectRoutines(o);
    } else {
        o->handleRoutine = kind.handle;
        o->displayRoutine = kind.display;
    }
    if (flags & ObjectRedrawsFrame) o->displayRoutine = RequestFrameRedraw;
    o->restoreDisplayRoutine = o->displayRoutine;
    SelectObjectRoutine(o);
    if (app->banks) EnsureObjectInfoBankItems(*app->banks, *info, frame ? frame->flags : 0);

    o->definition = info->definition.data();
    if (x == PositionFromFrameItem && y == PositionFromFrameItem && item) {
        x = item->x;
        y = item->y;
    }
    if (layer == -1 && item) layer = item->layer;
    o->x = x;
    o->y = y;
    o->layer = layer;
    ObjectCreationParams params{item, 0, creationFlags, x, y, direction, layer, 0};
    if (frame && layer >= 0 && layer < frame->layerCount && frame->layers)
        params.order = ++frame->layers[layer].createdObjects;

    if (RunObjectExtended* ext = ExtendedOf(o)) {
        ext->scaleX = ext->scaleY = 1.0f;
        ext->movementType = MovementNone;
        ext->animationRoutine = SaveObjectBox;
        if ((flags & ObjectHasMovement) && !(creationFlags & CreateNoMovement))
            InitObjectMovement(0, o, o->definition, &params);
        if (flags & ObjectHasAnimation) {
            ext->animationBlock = static_cast<std::uint32_t>(layout.animation);
            InitObjectAnimation(o);
        }
        if (flags & ObjectHasSprite) {
            ext->spriteBlock = static_cast<std::uint32_t>(layout.sprite);
            InitObjectSpriteBlock(o, &params);
        }
    }
    if (flags & ObjectHasValues) {
        o->valuesBlock = static_cast<std::uint32_t>(layout.values);
        AllocAlterableData(o, info->definition.data(), info->definition.size());
    }

    int result = 0;
    if (isExtension)
        result = CreateExtensionObject(o, &params);
    else if (kind.create)
        result = kind.create(o, info->definition.data(), &params);
    if ((result & 0xFFFF) != 0) {
        if (ahead) --s->createdAhead;
        Dismantle(s, slot, o, 1, true);
        return -1;
    }
    if ((flags & ObjectCounted)) ++s->countedObjects;
    if (flags & ObjectHasSprite) ShowNewObject(o);
    return slot;
}

void DestroyObject(std::int32_t slot, int mode) {
    FrameRunState* s = CurrentRunState();
    ObjectListEntry* e = SlotOf(s, slot);
    if (!e || !e->object) return;
    RunObject* o = e->object;
    if (o->creationNumber == 0) {
        if (mode != 1) return;
        // A record still waiting is detached from what it waits for before it goes.
        if (RunObjectExtended* x = ExtendedOf(o); x && x->sprite) {
            FreeSprite(SpritesOfFrame(), static_cast<Sprite*>(x->sprite)); // its call back frees the record
            if (e->object != o) return;
            x->sprite = nullptr;
        }
        RemoveFromSavedBackgroundList(o);
        KillObjectBackground(o);
        FreeRecord(s, slot, o);
        return;
    }
    Dismantle(s, slot, o, mode, true);
}

void MarkObjectForDestroy(std::int32_t slot) {
    FrameRunState* s = CurrentRunState();
    if (!SlotOf(s, slot) || !s->objectBits || static_cast<std::size_t>(slot) / 8 >= s->objectBitBytes) return;
    s->objectBits[slot / 32] |= 1u << (slot % 32);
    s->destroyRequested = 1;
}

void DestroyMarkedObjects() {
    FrameRunState* s = CurrentRunState();
    if (!s || !s->destroyRequested || !s->objectBits) return;
    s->destroyRequested = 0;
    const std::size_t slots =
        std::min<std::size_t>(s->objectBitBytes * 8, static_cast<std::size_t>(std::max(s->maxObjects, 0)));
    // One word at a time: marks made meanwhile in a word already passed wait for the next call.
    for (std::size_t word = 0; word * 32 < slots; ++word) {
        const std::uint32_t bits = std::exchange(s->objectBits[word], 0u);
        for (std::size_t bit = 0; bit < 32 && (bits >> bit) && word * 32 + bit < slots; ++bit) {
            if (!(bits & (1u << bit))) continue;
            const auto slot = static_cast<std::int32_t>(word * 32 + bit);
            RunObject* o = s->objects[slot].object;
            if (!o) continue;
            // The last instance of an object info says so before it goes.
            if (o->objectInfoEntry && o->objectInfoEntry->instanceCount == 1)
                TriggerObjectCondition(o, EventCodeOf(o->objectType, ConditionLastInstanceDestroyed));
            DestroyObject(slot, 0);
        }
    }
}

void RunObjectPass() {
    FrameRunState* s = CurrentRunState();
    if (!s || !s->objects) return;
    s->createdAhead = 0;
    for (std::int32_t slot = 0; slot < s->maxObjects; ++slot) {
        ObjectListEntry& e = s->objects[slot];
        if (!e.object || !e.routine) continue;
        s->processingSlot = slot + 1;
        e.object->collisionPartnersPrevious = e.object->collisionPartnersThis;
        e.object->collisionPartnersThis = nullptr;
        e.routine(e.object);
    }
    s->processingSlot = 0;
}

void DestroyAllObjects() {
    FrameRunState* s = CurrentRunState();
    if (!s || !s->objects) return;
    for (std::int32_t slot = 0; slot < s->maxObjects; ++slot)
        DestroyObject(slot, 1);
    ForgetPhysicsObjects(s);
}

} // namespace vtrrt
