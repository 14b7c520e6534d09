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
#include <string>

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

// Each is set by <layer>/upcalls.cpp of the layer named first; the callers follow the colon.

// events (extension_host.cpp): startup's object infos bind an extension's definition to its module and
// release it; startup's reference walk names the bank items an extension's definition uses.
inline int (*PrepareExtensionDefinition)(ApplicationRecord& app, ObjectInfo& info) = nullptr;
inline void (*ReleaseExtensionDefinition)(ApplicationRecord& app, ObjectInfo& info) = nullptr;
inline void (*EnumExtensionReferences)(ObjectInfo& info,
                                       void (*visit)(int bank, std::uint8_t* field, void* user),
                                       void* user) = nullptr;
// events (event_preparation.cpp): startup's frame loader drops the prepared event lists of a freed frame.
inline void (*ReleaseFrameEventLists)(FrameEvents& events) = nullptr;

// objects (movement_modules.cpp): startup's object infos create the movements of a definition.
inline void (*CreateDefinitionMovements)(const ApplicationRecord& app, const ObjectInfo& info) = nullptr;
// objects (movements.cpp): startup's object infos release the movement modules of a definition.
inline void (*ReleaseMovementPlugins)(const std::uint8_t* definition, std::size_t size) = nullptr;
// objects (movements.cpp): events' dispatch picks a direction from a parameter's mask.
inline int (*RandomDirectionInMask)(std::uint32_t mask) = nullptr;
// objects (movements.cpp): events' preparation hands an object the wrap mask of its object info.
inline void (*SetMovementWrapMask)(RunObject* object, std::int32_t mask) = nullptr;
// objects (run_objects.cpp): events' preparation and extension host reach a run object's parts.
inline RunObjectExtended* (*ExtendedOf)(RunObject* object) = nullptr;
inline ObjectSpriteBlock* (*SpriteBlockOf)(RunObject* object) = nullptr;
// objects (object_sprites.cpp): events' preparation stops sprites colliding that no event tests.
inline SpriteWindow* (*SpritesOfFrame)() = nullptr;
// objects (layer_backdrops.cpp): startup's frame loader frees the backdrops of a frame's layers.
inline void (*FreeLayerBackdrops)(FrameLayer& layer, const FrameRecord& frame) = nullptr;
inline void (*FreeBackdropGrid)(void* grid) = nullptr;
// objects (frame_run_state_setup.cpp): startup's frame loader frees the run state of a freed frame.
inline void (*FreeFrameRunState)(FrameRunState* state) = nullptr;

// builtin (position_parameter.cpp): events' dispatch evaluates a position parameter.
inline bool (*ResolvePositionParameter)(const std::uint8_t* parameter, int options,
                                        ResolvedPosition& out) = nullptr;
// builtin (sub_application.cpp): objects' display pass draws the sub-applications drawn into the frame.
inline void (*DrawEmbeddedSubApps)() = nullptr;

// shell (window_hooks.cpp): objects' run-state setup builds the frame's window hooks; events' extension
// host adds an extension's hook.
inline void (*BuildWindowHookList)(FrameRunState& state) = nullptr;
inline bool (*AppendWindowHook)(FrameRunState& state, WindowHookRoutine routine,
                                std::int32_t priority) = nullptr;
// shell (extension_services.cpp): events' extension host hands extensions the runtime's services; builtin's
// special services reach embedded files through them.
inline extension::RuntimeServices* (*ExtensionServices)() = nullptr;
inline int (*GetEmbeddedFilePath)(const win32::WCHAR* name, win32::WCHAR* out,
                                  std::size_t capacity) = nullptr;
inline void (*ReleaseEmbeddedFilePath)(const win32::WCHAR* name) = nullptr;
// shell (extension_services.cpp): richtext's object reads its files through the embedded-file service.
inline win32::HANDLE (*OpenEmbeddedFile)(const win32::WCHAR* name, std::uint32_t* size) = nullptr;
inline void (*CloseEmbeddedFile)(win32::HANDLE file) = nullptr;
// shell (window_placement.cpp): objects' backgrounds copy the screen behind the window.
inline void (*CaptureScreenBehindWindow)() = nullptr;
// shell (frame_surfaces.cpp): objects' display pass and backgrounds open and present the frame's drawing in
// display-driver modes.
inline void (*ClearFrameSurfaces)(int clear) = nullptr;
inline void (*PresentFrameSurface)() = nullptr;
// shell (frame_surfaces.cpp): the frame's effect object goes with the frame.
inline void (*ReleaseFrameEffect)(FrameRecord& frame) = nullptr;
// shell (application_menu.cpp): builtin's special services act on the application's menu.
inline win32::HMENU (*CurrentMenuHandle)() = nullptr;
// shell (full_screen.cpp): builtin's special services and storyboard show and hide the menu bar and switch
// between full screen and a window.
inline void (*ShowMenuBar)() = nullptr;
inline void (*HideMenuBar)() = nullptr;
inline void (*SwitchToFullScreen)(int setDisplayMode) = nullptr;
inline void (*SwitchToWindow)() = nullptr;
// shell (mdi_client.cpp): builtin's sub-application object lays out the docked sub-application windows.
inline void (*LayoutDockedSubApps)() = nullptr;

// persist (input_recording.cpp): builtin's keyboard object reads the keys a recording plays, the storyboard
// starts playing one, shell's window procedure records clicks, objects' run-state setup frees the recorder.
inline std::optional<bool> (*PlayedKeyState)(std::int32_t virtualKey) = nullptr;
inline bool (*StartInputPlayback)(const win32::WCHAR* fileName) = nullptr;
inline void (*RecordMouseClick)(win32::UINT message) = nullptr;
inline void (*FreeInputRecorder)(FrameRunState& state) = nullptr;

// loop (pause.cpp): builtin's special services, shell's window procedure and extension services, and
// persist's saved positions pause and resume the application, its frame timer and its services.
inline void (*PauseApplication)() = nullptr;
inline void (*ResumeApplication)() = nullptr;
inline bool (*ApplicationPaused)() = nullptr;
inline void (*PauseFrameTimer)() = nullptr;
inline void (*ResumeFrameTimer)() = nullptr;
inline int (*PauseService)(void*, void*, void*) = nullptr;
inline int (*ResumeService)(void*, void*, void*) = nullptr;
// loop (application_state_machine.cpp): builtin's special services pump messages, the storyboard reads the
// clock and the timer period of a frame rate, shell's window procedure runs a step of the application.
inline void (*PumpMessages)(win32::MSG* msg, int stopMask) = nullptr;
inline std::int64_t (*GetElapsedTicks)() = nullptr;
inline win32::UINT (*TimerPeriodFor)(std::int32_t frameRate) = nullptr;
inline int (*RunApplicationStep)(ApplicationRecord* app, int stopAfterStart) = nullptr;
// loop (application_state_machine.cpp): builtin's sub-application object starts, paces and ends its child.
inline int (*StartApplication)(ApplicationRecord* app) = nullptr;
inline void (*EndApplication)(ApplicationRecord* app) = nullptr;
inline void (*WaitForFrameTick)() = nullptr;
inline void (*FreeLoadedFrame)(ApplicationRecord& app) = nullptr;
// loop (frame_lifecycle.cpp, frame_transitions.cpp): builtin's sub-application object ends its child's frame
// and fades.
inline void (*EndCurrentFrame)() = nullptr;
inline int (*StepFrameTransition)() = nullptr;
inline void (*EndFrameTransition)(ApplicationRecord* app, bool fadeOut) = nullptr;
// loop (frame_lifecycle.cpp): builtin's storyboard remakes the frame's collision mask for a new size.
inline int (*CreateFrameCollisionMask)(const FrameRecord& frame) = nullptr;
// loop (frame_transitions.cpp): shell's window procedure asks whether a frame fade runs; startup's frame
// loader drops the transition of a freed frame.
inline bool (*FrameFadeRunning)() = nullptr;
inline void (*DropFrameTransition)(FrameRecord& frame) = nullptr;
// loop (game_loop.cpp): persist's input recording reads the player controls; its saved positions start the
// frame's run state again after a load.
inline void (*ReadPlayerControls)() = nullptr;
inline void (*InitFrameRunState)() = nullptr;

// translator (resource_translator.cpp): events' extension host and objects' movement modules hand a module's
// language file to the resource translator after loading it and drop its translation before unloading it;
// startup's clean-up drops the library's.
inline int (*LoadModuleTranslation)(win32::HMODULE module, const std::u16string& path) = nullptr;
inline void (*ReleaseModuleTranslation)(win32::HMODULE module) = nullptr;

// app (sub_applications.cpp): builtin's sub-application object loads its child application with its frame
// window (options, style and extended style as the object gives them) and closes it again. The load
// reports its own errors and frees everything it made on a failure (null).
inline ApplicationRecord* (*LoadSubApplication)(const win32::WCHAR* path, std::int32_t frame,
                                                ApplicationRecord* parent, std::uint32_t options,
                                                win32::DWORD style, win32::DWORD exStyle) = nullptr;
inline void (*CloseApplication)(ApplicationRecord* app) = nullptr;

} // namespace up
} // namespace vtrrt
