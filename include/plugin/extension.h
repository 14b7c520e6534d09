// The interface of object extensions: plug-in modules (".vxe") that add object kinds, with their own
// conditions, actions and expressions. A module exports the entry points named below as extern "C"
// functions; the runtime binds them by name (absent ones stay unbound) and reaches the module only through
// them. The module reaches the runtime only through the RuntimeServices block handed to its application-level
// entry points, and through the RunRoutines table that block points to. Every record exchanged starts with
// its size and a version word, and every routine table travels with its count, so that no call reaches past
// what the other side built.
#pragma once

#include "plugin/run_object.h"
#include "win32/types.h"

#include <cstddef>
#include <cstdint>

struct AppContext;
struct AppWindow;
class CImageFilterMgr;
class CSoundFilterMgr;
class CSoundManager;
class cSurface;
class CEffectEx;

namespace win32 {
struct LOGFONTW;
}

// How a module marks its entry points.
#define VTR_EXTENSION_EXPORT extern "C" __attribute__((visibility("default")))

namespace extension {

using vtrrt::FrameRunState;
using vtrrt::ObjectCreationParams;
using vtrrt::RunObject;

constexpr std::uint32_t InterfaceVersion = 1;

// The runtime's version, as the services block gives it.
constexpr std::uint32_t RuntimeVersion = 0x0205411D;

// An extension's own routines, indexed by own number (a condition numbered -(n + 81) in the events is own
// condition n; an action or expression numbered n + 80 is own action or expression n). They receive the
// object and up to two decoded parameters as pointer-sized values: 32-bit values, pointers to strings
// (UTF-16, or 8-bit in the application's code page for an extension that is not Unicode) or to the parameter
// itself. A condition's result is compared by the runtime when its parameter is a comparison.
using ConditionRoutine = std::int32_t (*)(RunObject* object, std::intptr_t value1, std::intptr_t value2);
using ActionRoutine = std::int32_t (*)(RunObject* object, std::intptr_t value1, std::intptr_t value2);
// The result is an integer, or with object->resultFlags set a string (ExpressionResultString) or the bits
// of a float (ExpressionResultFloat). Arguments are read with RunRoutines::firstExpressionParameter and
// nextExpressionParameter.
using ExpressionRoutine = std::intptr_t (*)(RunObject* object, const std::uint8_t* token);

// Options of RunInfo.
constexpr std::uint8_t RunInfoWindowProc = 0x80; // WindowProc sees the running frame's window messages

// What GetRunObjectInfos fills (ExtensionRunInfo): the routine arrays with their counts, the options, the
// priority of the window-message hook, the identifier and the current version of the extension's data.
struct RunInfo {
    std::uint32_t size; // sizeof(RunInfo), set by the runtime before the call
    std::uint32_t version;
    const ConditionRoutine* conditions;
    const ActionRoutine* actions;
    const ExpressionRoutine* expressions;
    std::int16_t conditionCount;
    std::int16_t actionCount;
    std::int16_t expressionCount;
    std::uint8_t options;
    std::uint8_t windowProcPriority;
    std::uint32_t identifier;
    std::int16_t dataVersion;
    std::int16_t reserved;
};
static_assert(offsetof(RunInfo, conditions) == 8);
static_assert(offsetof(RunInfo, conditionCount) == 8 + 3 * sizeof(void*));
static_assert(offsetof(RunInfo, dataVersion) == offsetof(RunInfo, conditionCount) + 12);

// The extension data of an object definition starts with its size (u32 at 0) and its data version (u32 at
// 8); the rest is the extension's own. UpdateEditStructure returns a block in the same form.
constexpr std::size_t DataSizeOffset = 0;
constexpr std::size_t DataVersionOffset = 8;
constexpr std::size_t DataHeaderBytes = 12;

// Routines of the running frame, for extension objects (the run-state routine slots). `count` says how many
// of the routine fields are there, from the first; a null routine is one the runtime does not offer.
using ControlMessageRoutine = win32::LRESULT (*)(FrameRunState* state, win32::HWND window,
                                                 win32::UINT message, win32::WPARAM wParam,
                                                 win32::LPARAM lParam);
struct RunRoutines {
    std::uint32_t size;
    std::uint32_t count;
    // Parameters. Wanted types: 0 integer, 1 string, 2 float bits; -1 (nextParameter) the value as it is.
    std::intptr_t (*firstExpressionParameter)(const std::uint8_t* token, RunObject* object,
                                              std::int32_t wanted);
    std::intptr_t (*nextExpressionParameter)(const std::uint8_t* token, RunObject* object,
                                             std::int32_t wanted);
    std::intptr_t (*nextParameter)(RunObject* object, std::int32_t wanted);
    std::intptr_t (*expressionParameter)(RunObject* object);
    std::uint32_t (*comparisonValue)(std::int32_t second);
    // Events. An own condition number n with bit 15 set takes its two event parameters from the two words
    // `parameter` points to.
    std::int32_t (*raiseOwnCondition)(RunObject* object, std::int32_t number, std::intptr_t parameter);
    std::int32_t (*raiseCommonCondition)(RunObject* object, std::int32_t number, const std::int32_t* words);
    std::int32_t (*pushOwnCondition)(RunObject* object, std::int32_t number, std::intptr_t parameter);
    std::int32_t (*pushOwnConditionWithObjectInfo)(RunObject* object, std::int32_t number,
                                                   std::intptr_t parameter);
    std::int32_t (*requestDestroy)(RunObject* object);
    std::int32_t (*notifyMoved)(RunObject* object);
    void (*redisplay)(RunObject* object);
    // A temporary string of `bytes` bytes (UTF-16 or 8-bit), freed by the runtime at the end of the loop.
    void* (*allocateTemporaryString)(std::size_t bytes);
    // A part of the application's path (1 drive, 2 folder, 3 both, 4 file name, 5 temporary folder), UTF-16
    // for a Unicode extension, else 8-bit; `capacity` counts units of the buffer.
    std::int32_t (*applicationPathPart)(RunObject* object, std::int32_t kind, void* buffer,
                                        std::uint32_t capacity);
    // Subclasses the windows the object lists (RunObject::controlWindows).
    std::int32_t (*subclassControlWindows)(RunObject* object, std::int32_t number,
                                           ControlMessageRoutine routine);
    std::int32_t (*random)(std::int32_t n);
    // The four dispatch tables (allocated; freed with the generic call 103).
    void* (*routineTables)();
    std::int32_t (*pause)(void*, void*, void*);
    std::int32_t (*resume)(void*, void*, void*);
    // Movement services.
    void (*selectObjectRoutine)(RunObject* object);
    std::int32_t (*randomDirectionInMask)(std::uint32_t mask);
    std::int32_t (*moveObjectByOwnSpeed)(RunObject* object);
    std::int32_t (*findFreePosition)(RunObject* object, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                     std::int32_t y2, std::int32_t height, std::int32_t kind, std::int32_t* x,
                                     std::int32_t* y);
    std::int32_t (*testPositionAt)(RunObject* object, std::int32_t x, std::int32_t y, std::int32_t height,
                                   std::int32_t kind, std::int32_t excludeOwnInfo);
    std::int32_t (*playerControls)(RunObject* object, std::int32_t player);
    std::int32_t (*testRectAgainstBackdrops)(RunObject* object, std::int32_t x, std::int32_t y,
                                             std::int32_t width, std::int32_t height, std::int32_t layer,
                                             std::int32_t kind);
    std::int32_t (*testPointAgainstBackground)(RunObject* object, std::int32_t x, std::int32_t y,
                                               std::int32_t layer, std::int32_t kind);
    std::int32_t (*callMovementService)(RunObject* object, std::intptr_t a, std::intptr_t b);
    void (*setObjectPosition)(RunObject* object, std::int32_t x, std::int32_t y);
    // Adds the object to its object info's selection of the running event; 0.
    std::int32_t (*addObjectToSelection)(void* context, void* ignored, RunObject* object);
};
constexpr std::uint32_t RunRoutineCount = static_cast<std::uint32_t>(
    (sizeof(RunRoutines) - offsetof(RunRoutines, firstExpressionParameter)) / sizeof(void*));
static_assert(offsetof(RunRoutines, firstExpressionParameter) == 8);

// Codes of RuntimeServices::generic.
enum GenericCall : std::int32_t {
    CallLayoutSubApplications = 19,
    CallBuildInformation = 24,
    CallAllocate = 100,
    CallAllocateZeroed = 101,
    CallReallocate = 102,
    CallFree = 103,
    CallSoundManager = 104,
    CallReleaseSoundManager = 105,
    CallPauseFrameTimer = 106,
    CallResumeFrameTimer = 107,
    CallInkEffectByName = 108,
    CallReleaseInkEffect = 109,
    CallLoadImageFileA = 110,
    CallSetModified = 111,
    CallUnicodeOf = 114,
    CallCodePageOf = 115,
    CallLoadImageFile = 116,
    CallReadTextFile = 117,
    CallWriteTextFile = 118,
};

// The block every application-level entry point receives. The runtime brings its fields up to date whenever
// it calls an application-level entry point, and when a frame creates the extension's first objects.
struct RuntimeServices {
    std::uint32_t size;
    std::uint32_t version;
    void* instance;               // the runtime program
    AppContext* context;          // the library context in use
    AppWindow* mainLibraryWindow; // the library's records of the main and frame windows
    AppWindow* frameLibraryWindow;
    win32::HWND mainWindow;
    win32::HWND frameWindow;
    win32::HPALETTE palette;
    std::uint16_t displayFlags;
    std::uint16_t displayMode;
    std::uint32_t flags; // 0x8000 samples on, 0x4000 music on
    CImageFilterMgr* imageFilters;
    CSoundFilterMgr* soundFilters;
    CSoundManager* soundManager; // null until made; the generic call 104 makes it
    void* application;           // the current application, frame and run state (opaque)
    void* frame;
    FrameRunState* runState;
    const char16_t* subType; // of the extension being loaded or started
    const char16_t* applicationPath;
    const char16_t* tempFolder;     // of this run, without a trailing separator
    const char16_t* languageFolder; // null when none
    AppContext* startContext;       // the library context made at start
    std::uint32_t runtimeVersion;
    std::uint32_t servicePaused; // 1 while the generic call 106 holds the frame timer
    // The word an extension keeps, found by its module (Initialize's second argument); 0 and nothing
    // changed for a module no extension was loaded from.
    std::intptr_t (*getUserData)(win32::HMODULE module);
    std::intptr_t (*setUserData)(win32::HMODULE module, std::intptr_t value);
    // Modeless dialogs offered the program's messages.
    void (*registerDialog)(win32::HWND dialog);
    void (*unregisterDialog)(win32::HWND dialog);
    // Pastes a surface into the frame's background, or adds it as a backdrop of a layer.
    void (*pasteIntoBackground)(cSurface* surface, std::int32_t x, std::int32_t y, std::uint32_t ink,
                                CEffectEx* effect, std::uint16_t obstacle, std::int32_t layer);
    // Files stored in the application: a path the file can be read from (the name itself when it is no
    // stored file), released again when done; 1 or 0. Capacities count units of the out buffer.
    std::int32_t (*usablePathA)(const char* name, char* out, std::uint32_t capacity);
    void (*releasePathA)(const char* name);
    std::int32_t (*usablePath)(const char16_t* name, char16_t* out, std::uint32_t capacity);
    void (*releasePath)(const char16_t* name);
    // Opens a stored or real file for reading at its start, giving its size; -1 as a handle on failure.
    win32::HANDLE (*openFileA)(const char* name, std::uint32_t* size);
    win32::HANDLE (*openFile)(const char16_t* name, std::uint32_t* size);
    void (*closeFile)(win32::HANDLE file);
    std::intptr_t (*generic)(std::int32_t code, std::intptr_t a1, std::intptr_t a2, std::intptr_t a3);
    const RunRoutines* run;
};
static_assert(offsetof(RuntimeServices, instance) == 8);

// What GetInfos is asked.
constexpr std::int32_t InfoUnicode = 8;

// Application-level entry points.
using InitializeProc = std::int32_t (*)(RuntimeServices* services, win32::HMODULE module); // 0 accepts
using FreeProc = std::int32_t (*)(RuntimeServices* services);
using GetInfosProc = std::intptr_t (*)(RuntimeServices* services, std::int32_t which);
using LoadObjectProc = std::int32_t (*)(RuntimeServices* services, void* objectInfo, std::uint8_t* data,
                                        std::int32_t one);
using UnloadObjectProc = void (*)(RuntimeServices* services, std::uint8_t* data, std::int32_t one);
// Relocates a file name in place; `capacity` counts units (UTF-16 for a Unicode extension, else bytes).
using RelocateFileNameProc = void (*)(void* name, std::uint32_t capacity);
using UpdateFileNamesProc = void (*)(RuntimeServices* services, void* zero, std::uint8_t* data,
                                     RelocateFileNameProc relocate);
using GetRunObjectInfosProc = std::int32_t (*)(RuntimeServices* services, RunInfo* info); // nonzero: done
using WindowProcProc = std::uint16_t (*)(FrameRunState* state, win32::HWND window, win32::UINT message,
                                         win32::WPARAM wParam, win32::LPARAM lParam);
// Visits each bank reference of the data: bank 0 images, 1 fonts, 2 sounds, 3 music; `handle` is the 16-bit
// field that holds it.
using BankReferenceProc = void (*)(std::int32_t bank, std::uint16_t* handle, void* user);
using EnumEltsProc = void (*)(RuntimeServices* services, std::uint8_t* data, BankReferenceProc visit,
                              void* user);
using StartAppProc = void (*)(RuntimeServices* services, void* application);
using EndAppProc = void (*)(RuntimeServices* services, void* application);
using StartFrameProc = void (*)(RuntimeServices* services, void* application, std::int32_t frameIndex);
using EndFrameProc = void (*)(RuntimeServices* services, void* application, std::int32_t frameIndex);
// A new block (allocated with the generic call 100) holding the data brought up to date, or null.
using UpdateEditStructureProc = void* (*)(RuntimeServices* services, const std::uint8_t* data);

// Object-level entry points.
using CreateRunObjectProc = std::int32_t (*)(RunObject* object, std::uint8_t* data,
                                             const ObjectCreationParams* params); // 0 on success
using DestroyRunObjectProc = std::int32_t (*)(RunObject* object, std::int32_t mode);
// Bit 0 of the result: the object is no longer handled; bit 1: display it.
using HandleRunObjectProc = std::int32_t (*)(RunObject* object);
using DisplayRunObjectProc = void (*)(RunObject* object);
using GetRunObjectSurfaceProc = cSurface* (*)(RunObject* object);
using ObjectRoutineProc = void (*)(RunObject* object); // ReInit, Pause, Continue, SaveBackground, ...
using GetRunObjectDataSizeProc = std::uint32_t (*)(FrameRunState* state, const std::uint8_t* data);
using GetRunObjectFontProc = void (*)(RunObject* object, win32::LOGFONTW* font);
using SetRunObjectFontProc = void (*)(RunObject* object, const win32::LOGFONTW* font, const win32::RECT* box);
using GetRunObjectTextColorProc = win32::COLORREF (*)(RunObject* object);
using SetRunObjectTextColorProc = void (*)(RunObject* object, win32::COLORREF colour);
using GetRunObjectWindowProc = win32::HWND (*)(RunObject* object);
using GetRunObjectCollisionMaskProc = void* (*)(RunObject* object, win32::LPARAM flags);
// Saved positions: the object's state written to or read from the open file; nonzero on success.
using SaveRunObjectProc = std::int32_t (*)(RunObject* object, win32::HANDLE file);
using LoadRunObjectProc = std::int32_t (*)(RunObject* object, win32::HANDLE file);

// The entry points, in binding order.
constexpr int ApplicationEntryCount = 14;
inline constexpr const char* ApplicationEntryNames[ApplicationEntryCount] = {"GetInfos",
                                                                             "LoadObject",
                                                                             "UnloadObject",
                                                                             "UpdateFileNames",
                                                                             "GetRunObjectInfos",
                                                                             "WindowProc",
                                                                             "EnumElts",
                                                                             "",
                                                                             "",
                                                                             "StartApp",
                                                                             "EndApp",
                                                                             "StartFrame",
                                                                             "EndFrame",
                                                                             "UpdateEditStructure"};
enum ApplicationEntry : int {
    EntryGetInfos = 0,
    EntryLoadObject,
    EntryUnloadObject,
    EntryUpdateFileNames,
    EntryGetRunObjectInfos,
    EntryWindowProc,
    EntryEnumElts,
    EntryStartApp = 9,
    EntryEndApp,
    EntryStartFrame,
    EntryEndFrame,
    EntryUpdateEditStructure,
};
inline constexpr const char* InitializeName = "Initialize";
inline constexpr const char* FreeName = "Free";

constexpr int ObjectEntryCount = 28;
inline constexpr const char* ObjectEntryNames[ObjectEntryCount] = {"CreateRunObject",
                                                                   "DestroyRunObject",
                                                                   "HandleRunObject",
                                                                   "DisplayRunObject",
                                                                   "GetRunObjectSurface",
                                                                   "ReInitRunObject",
                                                                   "PauseRunObject",
                                                                   "ContinueRunObject",
                                                                   "PrepareToSaveRunObject",
                                                                   "RestartRunObject",
                                                                   "GetRunObjectDataSize",
                                                                   "SaveBackground",
                                                                   "RestoreBackground",
                                                                   "ChangeRunData",
                                                                   "KillBackground",
                                                                   "GetZoneInfo",
                                                                   "GetDebugTree",
                                                                   "GetDebugItem",
                                                                   "EditDebugItem",
                                                                   "GetRunObjectFont",
                                                                   "SetRunObjectFont",
                                                                   "GetRunObjectTextColor",
                                                                   "SetRunObjectTextColor",
                                                                   "GetRunObjectWindow",
                                                                   "GetRunObjectCollisionMask",
                                                                   "SaveRunObject",
                                                                   "LoadRunObject",
                                                                   "GetRunObjectMemoryUsage"};
enum ObjectEntry : int {
    EntryCreateRunObject = 0,
    EntryDestroyRunObject,
    EntryHandleRunObject,
    EntryDisplayRunObject,
    EntryGetRunObjectSurface,
    EntryReInitRunObject,
    EntryPauseRunObject,
    EntryContinueRunObject,
    EntryPrepareToSaveRunObject,
    EntryRestartRunObject,
    EntryGetRunObjectDataSize,
    EntrySaveBackground,
    EntryRestoreBackground,
    EntryChangeRunData,
    EntryKillBackground,
    EntryGetZoneInfo,
    EntryGetDebugTree,
    EntryGetDebugItem,
    EntryEditDebugItem,
    EntryGetRunObjectFont,
    EntrySetRunObjectFont,
    EntryGetRunObjectTextColor,
    EntrySetRunObjectTextColor,
    EntryGetRunObjectWindow,
    EntryGetRunObjectCollisionMask,
    EntrySaveRunObject,
    EntryLoadRunObject,
    EntryGetRunObjectMemoryUsage,
};

} // namespace extension
