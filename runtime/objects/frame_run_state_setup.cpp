#include "objects/frame_run_state_setup.h"
#include "core/upcalls.h"

#include "events/extension_host.h"
#include "startup/event_program.h"

#include "core/application_record.h"
#include "core/event_state.h"
#include "core/frame_clock.h"
#include "events/event_preparation.h"
#include "objects/animations.h"
#include "objects/display_list.h"
#include "objects/run_objects.h"
#include "startup/frame_loader.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include "vtrs2/app_window.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/memory.h"
#include "win32/user.h"

#include <algorithm>
#include <bitset>
#include <cstring>
#include <new>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint16_t HeaderFlags1MachineIndependent = 0x8;
constexpr std::int32_t MinEventBufferKb = 12;
constexpr std::int32_t CursorCentreStart = 100;

std::int32_t EventBufferKb(std::int32_t maxObjects) {
    return std::max(MinEventBufferKb, static_cast<std::int32_t>(((std::int64_t{maxObjects} * 50) >> 10) + 1));
}

std::size_t ObjectBitBytes(std::int32_t maxObjects) {
    return static_cast<std::size_t>((maxObjects / 8) & ~7) + 16;
}

HWND OutermostParent(HWND window) {
    HWND top = window;
    while (top) {
        HWND parent = GetParent(top);
        if (!parent) break;
        top = parent;
    }
    return top;
}

// The run list holds one entry per object info of the frame and its end.
bool Allocate(FrameRunState& s, std::int32_t objectInfos) {
    const auto slots = static_cast<std::size_t>(s.maxObjects);
    const std::size_t bufferBytes = static_cast<std::size_t>(s.eventBufferKb) * 1024;
    const std::size_t entries = static_cast<std::size_t>(objectInfos) + 1;
    if (!AllocZeroedMemory(slots * sizeof(ObjectListEntry), &s.objects)) return false;
    if (!AllocZeroedMemory(entries * sizeof(ObjectInfoRunEntry), &s.objectInfos)) return false;
    s.objectInfoCapacity = static_cast<std::int32_t>(entries);
    if (!AllocZeroedMemory(s.objectBitBytes, &s.objectBits)) return false;
    if (!AllocZeroedMemory(2 * bufferBytes, &s.eventBufferBlock)) return false;
    s.eventBufferStart = s.eventBufferBlock;
    s.eventBufferCurrent = s.eventBufferStart;
    s.eventBufferPreviousStart = s.eventBufferStart + bufferBytes;
    s.eventBufferLimit = s.eventBufferStart + bufferBytes;
    return true;
}

SpriteWindow* FrameSprites(const FrameRunState& s) {
    const auto* window = static_cast<const AppWindow*>(s.frameLibraryWindow);
    return window ? window->sprites : nullptr;
}

constexpr std::uint32_t MovementPlayerMouse = 1;
constexpr std::size_t MovementEntryBytes = 16;
constexpr std::size_t MovementEntryData = 8;

// Objects moved by the mouse make the frame capture it: one bit per player they follow.
std::uint8_t MousePlayersOf(std::span<const std::uint8_t> def) {
    std::uint8_t players = 0;
    const std::size_t list = DefU16(def, DefMovements);
    if (list == 0) return 0;
    const std::uint32_t count = DefU32(def, list);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = list + 4 + MovementEntryBytes * i;
        if (entry + MovementEntryBytes > def.size()) break;
        const std::size_t data = list + DefU32(def, entry + MovementEntryData);
        const std::uint16_t player = DefU16(def, data), type = DefU16(def, data + 2);
        if (type == MovementPlayerMouse && player >= 1 && player <= 4)
            players = static_cast<std::uint8_t>(players | (1u << (player - 1)));
    }
    return players;
}

// The frame item of the frame's first instance of the object info, or -1.
std::int16_t FirstFrameItemOf(const FrameRecord& frame, std::uint16_t handle) {
    for (std::int32_t i = 0; i < frame.instanceCount && frame.instances; ++i)
        if (frame.instances[i].objectInfo == handle) return static_cast<std::int16_t>(i);
    return -1;
}

void FillRunEntry(FrameRunState& s, ObjectInfoRunEntry& e, ObjectInfo& info) {
    const std::span<const std::uint8_t> def(info.definition);
    e.handle = static_cast<std::int16_t>(info.handle);
    e.objectType = info.objectType;
    e.firstInstance = NoInstanceLink;
    const std::size_t units = std::min<std::size_t>(info.name.size(), std::size(e.name) - 1);
    std::copy_n(info.name.data(), units, e.name);
    e.name[units] = 0;
    e.instanceCount = 0;
    ++e.instanceChanges;
    e.objectFlags = DefU32(def, DefObjectFlags);
    e.flags = (e.objectFlags & ObjectHasValues) ? RunEntryHasValues : 0;
    e.definition = def.empty() ? nullptr : def.data();
    e.inkEffect = info.inkEffect;
    e.inkParameter = info.inkParameter;
    e.wrapMask = 0;
    for (std::size_t q = 0; q < std::size(e.qualifiers); ++q)
        e.qualifiers[q] = static_cast<std::int16_t>(DefU16(def, DefQualifiers + 2 * q));
    e.rememberedFrameItem =
        (info.objectType == 3 || info.objectType == 4) ? FirstFrameItemOf(*s.frame, info.handle) : -1;
    if (e.objectFlags & ObjectHasMovement) s.mousePlayers |= MousePlayersOf(def);
    if (e.objectFlags & ObjectHasAnimation) CompleteAnimationDirections(info.definition);
}

} // namespace

std::int32_t MarkAndCountFrameObjectInfos() {
    MarkFrameObjectInfos();
    std::int32_t count = 0;
    for (ObjectInfo* info = FirstFrameObjectInfo(); info; info = NextFrameObjectInfo())
        ++count;
    return count;
}

std::int32_t FrameObjectCapacity(const FrameRecord& frame) {
    std::int32_t placed = 0;
    for (std::int32_t i = 0; i < frame.instanceCount && frame.instances; ++i)
        if (frame.instances[i].objectType > 1) ++placed;
    // The events give the frame's maximum, which leaves room for the objects created while it runs; a frame
    // without events still has room for everything it places.
    const std::int32_t events = frame.events && frame.events->hasHeader ? frame.events->header.maxObjects : 0;
    return std::max({frame.maxObjects, events, 1 + MarkAndCountFrameObjectInfos(), 1 + placed});
}

int CreateFrameRunState() {
    RuntimeServices& services = Services();
    ApplicationRecord* app = services.application;
    FrameRecord* frame = services.frame;
    if (!app || !frame) return -1;
    const std::uint16_t keptFlags = frame->runState ? frame->runState->runFlags : 0;
    FrameRunState* s = nullptr;
    if (!AllocZeroedMemory(sizeof(FrameRunState), &s)) return -1;
    s->application = app;
    s->frame = frame;
    s->extensionRoutines = app->extensionRoutines;
    s->extensionCount = app->extensionCount;
    s->maxObjects = std::max(1, frame->maxObjects);
    s->eventBufferKb = EventBufferKb(s->maxObjects);
    s->objectBitBytes = ObjectBitBytes(s->maxObjects);
    if (!Allocate(*s, MarkAndCountFrameObjectInfos())) {
        FreeFrameRunState(s);
        return -1;
    }
    services.runState = s;
    frame->runState = s;
    s->mainWindow = services.mainWindow;
    s->frameWindow = services.frameWindow;
    s->mainLibraryWindow = services.mainLibraryWindow;
    s->frameLibraryWindow = services.frameLibraryWindow;
    s->libraryContext = services.libraryContext;
    s->topWindow = OutermostParent(s->mainWindow);
    s->playerCount = std::clamp<std::uint8_t>(frame->playerCount, 1, 4);
    s->scrollX = frame->virtualRect.left;
    s->scrollY = frame->virtualRect.top;
    s->virtualWidth = frame->virtualRect.right == -1 ? VirtualSizeUnbounded : frame->virtualRect.right;
    s->virtualHeight = frame->virtualRect.bottom == -1 ? VirtualSizeUnbounded : frame->virtualRect.bottom;
    s->runFlags =
        static_cast<std::uint16_t>((keptFlags & RunKeptAcrossRestarts) | RunCreated | RunScalesPointer);
    s->cursorCentreX = s->cursorCentreY = CursorCentreStart;
    up::BuildWindowHookList(*s);
    s->savedListHead = s->savedListTail = NoListedObject;
    s->randomSeed = frame->randomSeed == -1 ? static_cast<std::uint16_t>(ClockNow())
                                            : static_cast<std::uint16_t>(frame->randomSeed);
    ShowCursor(FALSE);
    s->pointerShowCount = static_cast<std::int16_t>(ShowCursor(TRUE));
    frame->running = 1;
    return 0;
}

int StartFrameEvents(FrameRunState& s, bool fromStored) {
    FrameEvents* events = s.frame ? s.frame->events : nullptr;
    if (events && PrepareFrameEvents(*events, s, fromStored) != 0) return FrameEventsDamaged;
    if (!s.eventState) s.eventState = new (std::nothrow) EventRunState;
    if (!s.eventState) {
        if (events) ReleaseFrameEventLists(*events);
        return FrameEventsOutOfMemory;
    }
    try {
        AttachEventState(s.eventState, &s, events);
    } catch (const std::bad_alloc&) {
        AttachEventState(nullptr, nullptr, nullptr);
        if (events) ReleaseFrameEventLists(*events);
        return FrameEventsOutOfMemory;
    }
    return 0;
}

void EndFrameEvents(FrameRunState* s) {
    if (!s) return;
    if (s->frame && s->frame->events) ReleaseFrameEventLists(*s->frame->events);
    if (s->eventState) {
        if (CurrentEventState() == s->eventState) AttachEventState(nullptr, nullptr, nullptr);
        ReleaseTemporaryStrings(s->eventState->temporaryStrings);
        delete s->eventState;
        s->eventState = nullptr;
    }
}

void FreeFrameRunState(FrameRunState* s) {
    if (!s) return;
    up::FreeInputRecorder(*s);
    EndFrameEvents(s);
    FreeMemory(&s->objects);
    FreeMemory(&s->objectInfos);
    FreeMemory(&s->objectBits);
    FreeMemory(&s->eventBufferBlock);
    RuntimeServices& services = Services();
    if (s->frame && s->frame->runState == s) {
        s->frame->runState = nullptr;
        s->frame->running = 0;
    }
    if (services.runState == s) services.runState = nullptr;
    FreeMemory(&s);
}

void ResetObjectList() {
    FrameRunState* s = CurrentRunState();
    if (!s || s->positionLoadFlag) return;
    SetFineCollisions(FrameSprites(*s), 1);
    std::memset(s->objects, 0, static_cast<std::size_t>(s->maxObjects) * sizeof(ObjectListEntry));
}

void BuildObjectInfoList() {
    FrameRunState* s = CurrentRunState();
    if (!s) return;
    const RuntimeServices& services = Services();
    s->runFlags &= static_cast<std::uint16_t>(~RunMachineIndependent);
    const bool machineIndependent =
        services.speedOverride ? services.machineIndependentSpeed == 1
                               : (s->application->header.flags1 & HeaderFlags1MachineIndependent) != 0;
    if (machineIndependent) s->runFlags |= RunMachineIndependent;
    s->runFlags |= RunObjectInfosBuilt | RunObjectInfoListReady;
    // The event program's per-group flags and counters are reset when the events are prepared.
    std::memset(s->objectInfos, 0xFF,
                static_cast<std::size_t>(s->objectInfoCapacity) * sizeof(ObjectInfoRunEntry));
    s->objectInfoCount = 0;
    s->mousePlayers = 0;
    for (ObjectInfo* info = FirstFrameObjectInfo(); info && s->objectInfoCount + 1 < s->objectInfoCapacity;
         info = NextFrameObjectInfo())
        FillRunEntry(*s, s->objectInfos[s->objectInfoCount++], *info);
    for (FrameLayer& layer : std::span(s->frame->layers, static_cast<std::size_t>(s->frame->layerCount)))
        layer.createdObjects = 1;
}

namespace {

constexpr std::uint16_t CreateAtStart = 0x8;
constexpr std::uint16_t CreateTextAtStart = 0x4;

// Keeps the frame window from painting while objects come and go, and lets it paint again after.
class WindowPaintHold {
public:
    explicit WindowPaintHold(void* window) : window_(static_cast<AppWindow*>(window)) {
        if (!window_) return;
        options_ = window_->optionFlags;
        window_->optionFlags = static_cast<WORD>(options_ | AppWindowNoPaint);
    }
    ~WindowPaintHold() {
        if (window_) window_->optionFlags = options_;
    }
    WindowPaintHold(const WindowPaintHold&) = delete;
    WindowPaintHold& operator=(const WindowPaintHold&) = delete;

private:
    AppWindow* window_;
    WORD options_ = 0;
};

// The creation flags of a placed object, or 0 when it is not created now.
std::uint16_t InitialCreationFlags(const ObjectInfo& info, bool afterFadeIn) {
    const std::span<const std::uint8_t> def(info.definition);
    if (DefU32(def, DefObjectFlags) & DefinitionNotCreatedAtStart) return 0;
    const bool visible = def.size() > DefOptions && (def[DefOptions] & OptionVisibleAtStart);
    if (!visible && (info.objectType == 4 || (afterFadeIn && info.objectType >= FirstExtensionType)))
        return 0;
    std::uint16_t flags = visible ? CreateAtStart : static_cast<std::uint16_t>(CreateAtStart | CreateHidden);
    if (info.objectType == 3) flags |= CreateTextAtStart;
    return flags;
}

} // namespace

void CreateFrameObjects(bool afterFadeIn) {
    FrameRunState* s = CurrentRunState();
    if (!s || !s->frame) return;
    WindowPaintHold hold(s->frameLibraryWindow);
    std::bitset<MaxExtensions> started;
    for (FrameItemInstance* item = FirstFrameItemToCreate(); item; item = NextFrameItemToCreate()) {
        // Objects with a parent are created later, by the events that name it.
        if (item->parentType != 0) continue;
        const ObjectInfo* info = GetObjectInfoByHandle(item->objectInfo);
        if (!info) continue;
        const std::uint16_t flags = InitialCreationFlags(*info, afterFadeIn);
        if (flags == 0) continue;
        const auto index = static_cast<std::int32_t>(item - s->frame->instances);
        CreateObject(index, item->objectInfo, PositionFromFrameItem, PositionFromFrameItem, -1, flags, -1,
                     -1);
        // Each extension type met gives its run information again, with its sub-type current.
        const int extension = info->objectType - FirstExtensionType;
        if (extension >= 0 && extension < MaxExtensions && !started[static_cast<std::size_t>(extension)]) {
            started.set(static_cast<std::size_t>(extension));
            StartExtensionType(info->objectType);
        }
    }
}

// Every object is destroyed now, with the frame window keeping its picture meanwhile; the slots are cleared
// all the same.
void KillAllObjects() {
    FrameRunState* s = CurrentRunState();
    if (!s) return;
    {
        WindowPaintHold hold(s->frameLibraryWindow);
        DestroyAllObjects();
    }
    s->savedListHead = s->savedListTail = NoListedObject;
    std::memset(s->objects, 0, static_cast<std::size_t>(s->maxObjects) * sizeof(ObjectListEntry));
    s->objectCount = 0;
}

} // namespace vtrrt
