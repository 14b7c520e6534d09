#include "shell/frame_run_state.h"

#include "events/event_preparation.h"
#include "events/event_state.h"
#include "objects/run_objects.h"
#include "shell/frame_clock.h"
#include "startup/application_record.h"

#include "vtrs2/memory.h"
#include "win32/user.h"

#include <algorithm>
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

bool Allocate(FrameRunState& s) {
    const auto slots = static_cast<std::size_t>(s.maxObjects);
    const std::size_t bufferBytes = static_cast<std::size_t>(s.eventBufferKb) * 1024;
    if (!AllocZeroedMemory(slots * sizeof(ObjectListEntry), &s.objects)) return false;
    if (!AllocZeroedMemory(sizeof(ObjectInfoRunEntry), &s.objectInfos)) return false;
    if (!AllocZeroedMemory(s.objectBitBytes, &s.objectBits)) return false;
    if (!AllocZeroedMemory(2 * bufferBytes, &s.eventBufferBlock)) return false;
    s.eventBufferStart = s.eventBufferBlock;
    s.eventBufferCurrent = s.eventBufferStart;
    s.eventBufferPreviousStart = s.eventBufferStart + bufferBytes;
    s.eventBufferLimit = s.eventBufferStart + bufferBytes;
    return AllocZeroedMemory(ExpressionStackSize * sizeof(TypedValue), &s.expressionStack) != 0;
}

} // namespace

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
    s->maxObjects = std::max(1, frame->maxObjects);
    s->eventBufferKb = EventBufferKb(s->maxObjects);
    s->objectBitBytes = ObjectBitBytes(s->maxObjects);
    if (!Allocate(*s)) {
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
    s->runFlags = static_cast<std::uint16_t>((keptFlags & RunKeptAcrossRestarts) | RunCreated | RunCreated40);
    s->cursorCentreX = s->cursorCentreY = CursorCentreStart;
    s->randomSeed = frame->randomSeed == -1 ? static_cast<std::uint16_t>(ClockNow())
                                            : static_cast<std::uint16_t>(frame->randomSeed);
    ShowCursor(FALSE);
    s->pointerShowCount = static_cast<std::int16_t>(ShowCursor(TRUE));
    frame->running = 1;
    return 0;
}

int StartFrameEvents(FrameRunState& s) {
    FrameEvents* events = s.frame ? s.frame->events : nullptr;
    if (events && PrepareFrameEvents(*events, s) != 0) return -1;
    if (!s.eventState) s.eventState = new (std::nothrow) EventRunState;
    if (!s.eventState) {
        if (events) ReleaseFrameEventLists(*events);
        return -1;
    }
    try {
        AttachEventState(s.eventState, &s, events);
    } catch (const std::bad_alloc&) {
        AttachEventState(nullptr, nullptr, nullptr);
        if (events) ReleaseFrameEventLists(*events);
        return -1;
    }
    return 0;
}

void EndFrameEvents(FrameRunState* s) {
    if (!s) return;
    if (s->frame && s->frame->events) ReleaseFrameEventLists(*s->frame->events);
    if (s->eventState) {
        if (CurrentEventState() == s->eventState) AttachEventState(nullptr, nullptr, nullptr);
        delete s->eventState;
        s->eventState = nullptr;
    }
}

void FreeFrameRunState(FrameRunState* s) {
    if (!s) return;
    EndFrameEvents(s);
    FreeMemory(&s->objects);
    FreeMemory(&s->objectInfos);
    FreeMemory(&s->objectBits);
    FreeMemory(&s->eventBufferBlock);
    FreeMemory(&s->expressionStack);
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
    // Fine collisions are set on the frame window's sprite library, not part of this build.
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
    s->runFlags |= RunObjectInfosBuilt | RunObjectInfosBuilt200;
    // Object infos come with the object definitions, not part of this build: the list holds only its end.
    std::memset(s->objectInfos, 0xFF, sizeof(ObjectInfoRunEntry));
    s->objectInfoCount = 0;
    for (FrameLayer& layer : std::span(s->frame->layers, static_cast<std::size_t>(s->frame->layerCount)))
        layer.createdObjects = 1;
}

// Every object is destroyed now; the slots are cleared all the same.
void KillAllObjects() {
    FrameRunState* s = CurrentRunState();
    if (!s) return;
    DestroyAllObjects();
    std::memset(s->objects, 0, static_cast<std::size_t>(s->maxObjects) * sizeof(ObjectListEntry));
    s->objectCount = 0;
}

} // namespace vtrrt
