#include "core/runtime_services.h"

#include "core/application_record.h"
#include "core/event_state.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/typed_value.h"

#include "vtrs2/app_window.h"
#include "vtrs2/memory.h"

using namespace win32;

namespace vtrrt {

EventRunState* attachedEventState = nullptr;

RuntimeServices& Services() {
    static RuntimeServices services;
    return services;
}

ApplicationRecord* SetCurrentApplication(ApplicationRecord* app) {
    RuntimeServices& services = Services();
    ApplicationRecord* previous = services.application;
    if (app == previous) return previous;
    FrameRecord* frame = app ? app->run.frame : nullptr;
    if (frame != services.frame) {
        services.frame = frame;
        services.runState = frame ? frame->runState : nullptr;
    }
    services.application = app;
    services.frameWindow = app ? app->frameWindow : nullptr;
    services.frameLibraryWindow = app ? app->frameLibraryWindow : nullptr;
    // The events that run are those of the current application's frame (a sub-application's are its own).
    if (FrameRunState* run = services.runState; run && run->eventState && run->eventState->run == run) {
        attachedEventState = run->eventState;
        SetTemporaryStrings(&run->eventState->temporaryStrings);
    }
    MakeWindowSurfaceCurrent(services.frameLibraryWindow);
    return previous;
}

namespace {

constexpr std::int32_t RunningListStep = 10;

struct RunningApplicationList {
    std::int32_t count = 0;
    std::int32_t capacity = 0;
    ApplicationRecord** entries = nullptr;
};

RunningApplicationList& Running() {
    static RunningApplicationList list;
    return list;
}

} // namespace

bool AddRunningApplication(ApplicationRecord* app) {
    RunningApplicationList& list = Running();
    if (!app) return false;
    if (list.count >= list.capacity) {
        const std::size_t bytes =
            sizeof(ApplicationRecord*) * static_cast<std::size_t>(list.capacity + RunningListStep);
        void* block = list.entries;
        const int grown = list.entries ? ReallocMemory(bytes, &block) : AllocZeroedMemory(bytes, &block);
        if (!grown || !block) return false;
        list.entries = static_cast<ApplicationRecord**>(block);
        list.capacity += RunningListStep;
    }
    list.entries[list.count++] = app;
    return true;
}

void RemoveRunningApplication(ApplicationRecord* app) {
    RunningApplicationList& list = Running();
    for (std::int32_t i = 0; i < list.count; ++i) {
        if (list.entries[i] != app) continue;
        for (std::int32_t j = i + 1; j < list.count; ++j)
            list.entries[j - 1] = list.entries[j];
        if (--list.count == 0) FreeRunningApplications();
        return;
    }
}

void FreeRunningApplications() {
    RunningApplicationList& list = Running();
    void* block = list.entries;
    if (block) FreeMemory(&block);
    list = RunningApplicationList{};
}

std::span<ApplicationRecord* const> RunningApplications() {
    const RunningApplicationList& list = Running();
    return {list.entries, static_cast<std::size_t>(list.count)};
}

ApplicationRecord* FindApplicationOfWindow(HWND window) {
    if (!window) return nullptr;
    if (window == Services().mainWindow) return TopApplication();
    for (ApplicationRecord* app : RunningApplications())
        if (app->frameWindow == window) return app;
    return nullptr;
}

ApplicationRecord* TopApplication() {
    ApplicationRecord* app = CurrentApplication();
    while (app && app->parent)
        app = app->parent;
    return app;
}

} // namespace vtrrt
