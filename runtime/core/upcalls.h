// The calls a lower layer makes into a higher one. Each is a pointer with the signature of the function it
// reaches; the layer that owns the function sets it while the program starts (its <layer>/upcalls.cpp,
// which every program and test links), so that each layer's library links only the layers below it.
#pragma once

#include "core/frame_run_state.h"
#include "plugin/run_object.h"

#include "win32/types.h"
#include "win32/user.h"

#include <cstddef>
#include <cstdint>
#include <optional>

struct SpriteWindow;
namespace extension {
struct RuntimeServices;
}

namespace vtrrt {

struct ApplicationRecord;
struct FrameEvents;
struct ObjectInfo;

// Where a position parameter of an action points: the result of up::ResolvePositionParameter.
struct ResolvedPosition {
    std::int32_t x = 0, y = 0;
    std::int32_t direction = -1; // -1: none
    std::int32_t layer = 0;
    RunObject* reference = nullptr; // the object the position is relative to, or null
    bool more = false;              // the reference's walk has further objects
};

namespace up {

// Set by events (extension_host.cpp): the object infos of extensions bind and release their module's
// definition, and name the bank items their definition refers to.
inline int (*PrepareExtensionDefinition)(ApplicationRecord& app, ObjectInfo& info) = nullptr;
inline void (*ReleaseExtensionDefinition)(ApplicationRecord& app, ObjectInfo& info) = nullptr;
inline void (*EnumExtensionReferences)(ObjectInfo& info,
                                       void (*visit)(int bank, std::uint8_t* field, void* user),
                                       void* user) = nullptr;
// Set by events (event_preparation.cpp): a frame being freed drops the lists its events were prepared into.
inline void (*ReleaseFrameEventLists)(FrameEvents& events) = nullptr;

// Set by objects (movements.cpp, movement_modules.cpp): object infos create and release the movements of
// their definition; the event engine picks random directions and hands an object the wrap mask of its
// object info.
inline void (*CreateDefinitionMovements)(const ApplicationRecord& app, const ObjectInfo& info) = nullptr;
inline void (*ReleaseMovementPlugins)(const std::uint8_t* definition, std::size_t size) = nullptr;
inline int (*RandomDirectionInMask)(std::uint32_t mask) = nullptr;
inline void (*SetMovementWrapMask)(RunObject* object, std::int32_t mask) = nullptr;
// Set by objects (run_objects.cpp, object_sprites.cpp): the parts of a run object, and the frame's sprites.
inline RunObjectExtended* (*ExtendedOf)(RunObject* object) = nullptr;
inline ObjectSpriteBlock* (*SpriteBlockOf)(RunObject* object) = nullptr;
inline SpriteWindow* (*SpritesOfFrame)() = nullptr;
// Set by objects (layer_backdrops.cpp, frame_run_state_setup.cpp): a frame being freed releases its layers'
// backdrops and its run state.
inline void (*FreeLayerBackdrops)(FrameLayer& layer, const FrameRecord& frame) = nullptr;
inline void (*FreeBackdropGrid)(void* grid) = nullptr;
inline void (*FreeFrameRunState)(FrameRunState* state) = nullptr;

// Set by builtin (position_parameter.cpp): the event engine's position parameters.
inline bool (*ResolvePositionParameter)(const std::uint8_t* parameter, int options,
                                        ResolvedPosition& out) = nullptr;

// Set by shell (window_hooks.cpp, extension_services.cpp, window_placement.cpp, application_menu.cpp,
// full_screen.cpp).
inline void (*BuildWindowHookList)(FrameRunState& state) = nullptr;
inline bool (*AppendWindowHook)(FrameRunState& state, WindowHookRoutine routine,
                                std::int32_t priority) = nullptr;
inline extension::RuntimeServices* (*ExtensionServices)() = nullptr;
inline int (*GetEmbeddedFilePath)(const win32::WCHAR* name, win32::WCHAR* out,
                                  std::size_t capacity) = nullptr;
inline void (*ReleaseEmbeddedFilePath)(const win32::WCHAR* name) = nullptr;
inline void (*CaptureScreenBehindWindow)() = nullptr;
inline win32::HMENU (*CurrentMenuHandle)() = nullptr;
inline void (*ShowMenuBar)() = nullptr;
inline void (*HideMenuBar)() = nullptr;
inline void (*SwitchToFullScreen)(int setDisplayMode) = nullptr;
inline void (*SwitchToWindow)() = nullptr;

// Set by persist (input_recording.cpp): what a recording plays back, and what it records.
inline std::optional<bool> (*PlayedKeyState)(std::int32_t virtualKey) = nullptr;
inline bool (*StartInputPlayback)(const win32::WCHAR* fileName) = nullptr;
inline void (*RecordMouseClick)(win32::UINT message) = nullptr;
inline void (*FreeInputRecorder)(FrameRunState& state) = nullptr;

// Set by loop (pause.cpp, application_state_machine.cpp, frame_lifecycle.cpp, frame_transitions.cpp,
// game_loop.cpp): pausing, the message pump and the clock, the frame's collision mask and fades.
inline void (*PauseApplication)() = nullptr;
inline void (*ResumeApplication)() = nullptr;
inline bool (*ApplicationPaused)() = nullptr;
inline void (*PauseFrameTimer)() = nullptr;
inline void (*ResumeFrameTimer)() = nullptr;
inline int (*PauseService)(void*, void*, void*) = nullptr;
inline int (*ResumeService)(void*, void*, void*) = nullptr;
inline void (*PumpMessages)(win32::MSG* msg, int stopMask) = nullptr;
inline std::int64_t (*GetElapsedTicks)() = nullptr;
inline win32::UINT (*TimerPeriodFor)(std::int32_t frameRate) = nullptr;
inline int (*RunApplicationStep)(ApplicationRecord* app, int stopAfterStart) = nullptr;
inline int (*CreateFrameCollisionMask)(const FrameRecord& frame) = nullptr;
inline bool (*FrameFadeRunning)() = nullptr;
inline void (*DropFrameTransition)(FrameRecord& frame) = nullptr;
inline void (*ReadPlayerControls)() = nullptr;
inline void (*InitFrameRunState)() = nullptr;

} // namespace up
} // namespace vtrrt
