// The program's process-wide block: the current application, frame and run state, and the settings the
// shell keeps for them.
#pragma once

#include "win32/user.h"

#include <cstdint>
#include <span>

struct AppContext;
struct AppWindow;
class CImageFilterMgr;
class CSoundFilterMgr;
class CSoundManager;

namespace vtrrt {

struct ApplicationRecord;
struct FrameRecord;
struct FrameRunState;

// Bits of RuntimeServices::flags: the Options menu's sound switches.
constexpr std::uint16_t RuntimeSamplesOn = 0x8000;
constexpr std::uint16_t RuntimeMusicOn = 0x4000;

struct RuntimeServices {
    ApplicationRecord* application = nullptr;
    FrameRecord* frame = nullptr;
    FrameRunState* runState = nullptr;
    // The size of the monitor that holds the main window (the primary screen before there is one).
    std::int32_t screenWidth = 640;
    std::int32_t screenHeight = 480;
    // Command-line speed choice: when the override is set, machine-independent speed is its value.
    bool speedOverride = false;
    std::int32_t machineIndependentSpeed = 0;
    bool keepRunningInModalLoops = false;
    // The menu-pause hook, installed once per process, and whether a pause it took is outstanding.
    win32::HHOOK hook = nullptr;
    bool hookPaused = false;
    // The library's context of the run, made at start-up and destroyed with the main window.
    AppContext* libraryContext = nullptr;
    // The main window, made before the application starts; null when the run has none.
    win32::HWND mainWindow = nullptr;
    AppWindow* mainLibraryWindow = nullptr;
    // The play area of the top application: a child of the main window (for an MDI application, the main
    // window's MDI client).
    win32::HWND frameWindow = nullptr;
    AppWindow* frameLibraryWindow = nullptr;
    // The display mode chosen when the first application loads (0 until then), its depth code, and whether
    // the screen is updated on the vertical blank.
    win32::WORD displayFlags = 0;
    win32::WORD displayType = 0;
    std::int32_t vsync = 0;
    // 1 while the top application is full screen.
    std::int32_t fullScreen = 0;
    // The library's filter managers over the run's temporary folder, and the main window's sound player.
    CImageFilterMgr* imageFilters = nullptr;
    CSoundFilterMgr* soundFilters = nullptr;
    CSoundManager* soundManager = nullptr;
    // The palette of the application's colours, selected into the library context; owned here.
    win32::HPALETTE palette = nullptr;
    // RuntimeSamplesOn and RuntimeMusicOn; both set when the window classes are registered.
    std::uint16_t flags = 0;
    // 1 on an NT system of major version 5 or later with a minor version other than 0: the owner-drawn menus
    // then follow the flat-menu setting. Nothing on this platform reports such a version, so it stays 0.
    std::uint32_t isNewerNT = 0;
    // An interrupt or termination signal asked the run to end: no frame starts any more.
    bool endRequested = false;
    // Modal sub-applications running now: while any runs, the main window refuses input.
    std::int32_t modalSubApplications = 0;
};

RuntimeServices& Services();

// Makes the application current, with its frame and run state; returns the previous one.
ApplicationRecord* SetCurrentApplication(ApplicationRecord* app);
inline ApplicationRecord* CurrentApplication() {
    return Services().application;
}
// The application at the top of the current one's parents: the main window belongs to it.
ApplicationRecord* TopApplication();

// The applications the loader opened and not yet closed, in opening order. Adding answers false when the
// list cannot grow (the application is then not listed); removing one that is not listed does nothing.
bool AddRunningApplication(ApplicationRecord* app);
void RemoveRunningApplication(ApplicationRecord* app);
void FreeRunningApplications();
std::span<ApplicationRecord* const> RunningApplications();
// The main window belongs to the top application; another window to the running application whose frame
// window it is; null otherwise.
ApplicationRecord* FindApplicationOfWindow(win32::HWND window);

// Makes an application current for the length of a scope.
class CurrentApplicationScope {
public:
    explicit CurrentApplicationScope(ApplicationRecord* app) : previous_(SetCurrentApplication(app)) {}
    ~CurrentApplicationScope() { SetCurrentApplication(previous_); }
    CurrentApplicationScope(const CurrentApplicationScope&) = delete;
    CurrentApplicationScope& operator=(const CurrentApplicationScope&) = delete;

private:
    ApplicationRecord* previous_;
};

} // namespace vtrrt
