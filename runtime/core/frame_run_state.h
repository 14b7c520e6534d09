// The state of a running frame: object list, object-info run list, loop clocks, exit code and the routine
// slots handed to extensions; created when a run starts and freed when it ends.
#pragma once

#include "core/frame_record.h"
#include "core/typed_value.h"

#include "win32/kernel.h"
#include "win32/types.h"

#include <cstdint>

namespace vtrrt {

struct RunObject;
struct EventRunState;
struct FrameRunState;
struct LoopPassTimes;
struct BackgroundQueueNode;
struct ExtensionRunRoutines;
class InputRecorder;
using ObjectRoutine = void (*)(RunObject*);

struct ObjectListEntry {
    RunObject* object; // null: a free slot
    ObjectRoutine routine;
};

// One entry per object info the frame uses; the list ends with an entry whose handle is -1.
struct ObjectInfoRunEntry {
    std::int16_t handle;
    std::int16_t firstSelected;
    std::int16_t objectType;
    std::int16_t firstInstance;
    win32::WCHAR name[24];
    std::int32_t instanceCount;
    std::int32_t flags;
    // Filled by the event preparation and the object services.
    std::int16_t qualifiers[8]; // -1 ends
    std::int16_t qualifierList;
    std::uint16_t collisionFlags;
    std::uint16_t obstacleFlags;
    std::int16_t rememberedFrameItem;      // -1 = none
    std::uint32_t objectFlags;             // of the object info's definition
    std::int32_t conditionSlots;           // index of the entry's first condition slot
    const std::int32_t* collisionPartners; // object-info indexes, -1 ends; null = none
    const std::uint8_t* definition;        // the object info's, loaded for the frame
    std::uint32_t inkEffect;               // the object info's ink and its parameter
    std::uint32_t inkParameter;
    std::int8_t wrapMask; // play-area borders its objects wrap at (1 left, 2 right, 4 top, 8 bottom)
    // Raised at every change of the instance chain, so that what is kept of the chain knows it lapsed.
    std::uint32_t instanceChanges;
};

// Flags of a run entry.
constexpr std::int32_t RunEntryHasValues = 0x100;

enum FrameExitCode : std::int16_t {
    ExitNone = 0,
    ExitNextFrame = 1,
    ExitPreviousFrame = 2,
    ExitJumpToFrame = 3,
    ExitRestartApplication = 4,
    ExitPause = 5,
    ExitLoadPositionJump = 7,
    ExitLoadPosition = 9,
    ExitEndApplication = 100,
    ExitRestartFrame = 101,
    ExitError = -2,
};

// Run flags of the run state, by bit.
constexpr std::uint16_t RunMachineIndependent = 0x2;
constexpr std::uint16_t RunCreated = 0x4;
constexpr std::uint16_t RunFadeInPending = 0x10;
constexpr std::uint16_t RunObjectInfosBuilt = 0x20;
// Set at creation: pointer positions are scaled to a play area that the window stretches.
constexpr std::uint16_t RunScalesPointer = 0x40;
constexpr std::uint16_t RunKeptAcrossRestarts = 0x80;
// Set with RunObjectInfosBuilt when the object-info run list is built; nothing in the runtime reads it.
constexpr std::uint16_t RunObjectInfoListReady = 0x200;
// Set while the frame's run ends: an animation that plays its last loop then raises nothing.
constexpr std::uint16_t RunFrameEnding = 0x8000;

// The save request that asks the frame tick to save the position.
constexpr std::int16_t SaveRequestPosition = 8;

// One window-message hook per object extension, and the rich text object's.
constexpr int MaxWindowHooks = 96 + 1;

// A routine that sees the running frame's window messages first; its result flags say what happens next
// (CallWindowHooks).
using WindowHookRoutine = std::uint16_t (*)(FrameRunState* state, win32::HWND window, win32::UINT message,
                                            win32::WPARAM wParam, win32::LPARAM lParam);
struct WindowHook {
    WindowHookRoutine routine;
    std::int32_t priority;
};
constexpr int LoopTimeRingSize = 10;
constexpr std::int32_t DefaultLoopTime = 20;
constexpr std::int32_t VirtualSizeUnbounded = 0x7FFFF000;
constexpr int MaxCatchUpLoops = 3;

struct FrameRunState {
    void* frameLibraryWindow;
    void* mainLibraryWindow;
    void* libraryContext;
    win32::HWND frameWindow, mainWindow, topWindow;
    ApplicationRecord* application;
    FrameRecord* frame;
    std::uint8_t playerCount;
    std::uint8_t mousePlayers;
    std::uint16_t runFlags;
    std::int16_t exitCode;
    std::int16_t resultWord;
    std::int32_t exitParameter;
    std::int32_t objectCount;
    std::int32_t maxObjects;
    std::int32_t objectInfoCount;
    ObjectInfoRunEntry* objectInfos;
    std::int32_t objectInfoCapacity; // entries allocated, the end included
    std::int32_t eventBufferKb;
    std::uint8_t* eventBufferBlock; // both halves
    std::uint8_t* eventBufferCurrent;
    std::uint8_t* eventBufferPreviousStart;
    std::uint8_t* eventBufferStart;
    std::uint8_t* eventBufferLimit;
    std::int32_t virtualWidth, virtualHeight;
    std::int32_t scrollX, scrollY;
    // Clocks. Loop counts and ticks are 64-bit inside; the 32-bit ticks of the clock wrap.
    std::int64_t lastLoopTick;
    std::int64_t targetLoopCount;
    std::int64_t loopsToRun;
    std::int64_t loopCount;
    std::int64_t frameClock;
    std::uint32_t clockBase;
    std::int64_t loopTime;
    std::int64_t totalLoopTime;
    std::uint16_t loopCounter16;
    std::int64_t secondLoopCounter;
    double timeFactor;
    std::int32_t loopTimes[LoopTimeRingSize];
    std::int32_t loopTimeIndex;
    std::uint8_t firstLoopDone;
    std::int32_t pauseCount;
    std::uint32_t pauseTime;
    std::int64_t pauseTickOffset;
    std::uint16_t randomSeed;
    std::int32_t positionLoadFlag;
    // The application's extensions' object-level routines (index = object type - 32); the routines the
    // runtime offers their objects are the services block's table.
    ExtensionRunRoutines* extensionRoutines;
    std::int16_t extensionCount;
    std::int16_t recorderMode; // RecorderMode
    InputRecorder* recorder;   // owned
    std::int16_t saveRequest;
    // The position file an event named for the next save or load (empty: a dialog asks), and the stamp
    // the position is saved with or must carry.
    win32::WCHAR positionFile[win32::MAX_PATH];
    std::int32_t positionStamp;
    // The last music the speaker asked for: its bank handle (-1 for a file), its flags and loops.
    std::int32_t musicRequestHandle;
    std::uint32_t musicRequestFlags;
    std::int32_t musicRequestLoops;
    std::int16_t pointerShowCount;
    std::int32_t cursorCentreX, cursorCentreY;
    win32::POINT savedPointer; // where the pointer was when the mouse was captured
    // Control windows of extensions: how many have a message routine of the extension.
    std::int32_t controlsWithRoutines;
    // The window-message hooks of the frame, by ascending priority, and the result a hook stores for the
    // window procedure to return.
    std::int16_t windowHookCount;
    WindowHook windowHooks[MaxWindowHooks];
    win32::LRESULT hookResult;
    // Input of this loop.
    std::uint32_t playerBits;
    std::uint32_t previousPlayerBits;
    std::uint32_t changedPlayerBits;
    std::uint32_t validPlayers;
    std::uint32_t enabledControls;
    std::int32_t mouseX, mouseY;
    std::int32_t mouseWindowX, mouseWindowY;
    std::uint8_t mouseButtons;
    std::int32_t mouseMotionX, mouseMotionY; // of this loop, for players that move with the mouse
    std::int32_t windowAreaWidth, windowAreaHeight;
    win32::RECT outerLimits;
    win32::RECT activeLimits;
    std::uint32_t* objectBits;
    std::size_t objectBitBytes;
    ObjectListEntry* objects;
    // Object lifecycle.
    std::uint16_t creationCounter;
    std::uint16_t moveCounter;     // raised at each move step; objects keep it as their move stamp
    std::int32_t processingSlot;   // slot the object pass is at plus one; 0 outside the pass
    std::int32_t createdAhead;     // objects created behind the pass's position in this pass
    std::int32_t countedObjects;   // objects with ObjectCounted: controls that Tab moves between
    std::int32_t destroyRequested; // a bit of objectBits is set
    std::int32_t lastWord;
    std::int32_t animationNumber; // of the animation that last ended
    // Display.
    std::uint8_t redrawRequest;
    std::uint8_t firstDisplayDone;
    std::int32_t previousScrollX, previousScrollY; // as the last redraw saw them
    std::int32_t scrollDeltaX, scrollDeltaY;
    std::int16_t savedListHead, savedListTail; // objects drawn over a saved background; 0x8000: none
    BackgroundQueueNode* backgroundQueueHead;
    BackgroundQueueNode* backgroundQueueTail;
    EventRunState* eventState; // owned; attached while the frame's events are prepared
    // Null unless a caller (a benchmark) measures the game loop: each loop then adds its passes' times.
    LoopPassTimes* passTimes;
};

inline FrameRunState* CurrentRunState();

} // namespace vtrrt

#include "core/runtime_services.h"

inline vtrrt::FrameRunState* vtrrt::CurrentRunState() {
    return Services().runState;
}
