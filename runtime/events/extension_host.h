// The host of object extensions: the modules an application lists, loaded from the run's temporary folder
// and bound by name, their run-time information, the application and frame broadcasts, and the calls the
// rest of the runtime makes into an extension object's entry points.
#pragma once

#include "events/dispatch.h"
#include "plugin/extension.h"

#include "win32/types.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vtrrt {

struct ApplicationRecord;
struct FrameRunState;
struct ObjectInfo;

// One listed extension (index = object type - 32).
struct ExtensionRecord {
    win32::HMODULE module; // null: not loaded
    win32::WCHAR* name;
    win32::WCHAR* subType;
    std::intptr_t userData;
    void* entries[extension::ApplicationEntryCount];
    std::int32_t unicode; // 0: 8-bit strings in the application's code page
};

// The object-level side of an extension, shared with the run state.
struct ExtensionRunRoutines {
    void* entries[extension::ObjectEntryCount];
    extension::RunInfo info;
    DecodedRoutines routines; // the info's routine arrays as the dispatch calls them
};

// Result codes of the loaders.
constexpr int ExtensionIndexOutOfRange = 13;
constexpr int ExtensionRefused = -1;

// Chunk forms of the extension list: 0x2228 (names 8 bytes into an entry) and 0x2234 (16 bytes into it).
constexpr int ExtensionListForm = 0;
constexpr int ExtensionListFormWide = 1;

// Reads the list chunk's payload into the application's records and loads every listed module; on the first
// error everything is freed again. 0 or an error code (8 out of memory, 13, -1, or a data error).
int LoadExtensionList(ApplicationRecord& app, std::span<const std::uint8_t> chunk, int form);
// 0, 8, 13 (index beyond the count) or -1 (missing, refused or not loadable; the message was shown).
int LoadExtension(ApplicationRecord& app, int index, std::u16string_view name, std::u16string_view subType);
void FreeExtension(ApplicationRecord& app, int index);
void FreeAllExtensions(ApplicationRecord& app);

// StartApp, EndApp, StartFrame and EndFrame of every loaded extension of the current application, in index
// order.
void BroadcastStartApp();
void BroadcastEndApp();
void BroadcastStartFrame(std::int32_t frameIndex);
void BroadcastEndFrame(std::int32_t frameIndex);
// At frame start, once per extension type the frame creates: its run information asked again with its
// sub-type current.
void StartExtensionType(std::int16_t type);

// The record of an extension type of the application, or null (not an extension type, or not loaded).
ExtensionRecord* ExtensionOfType(ApplicationRecord* app, std::int32_t type);
ExtensionRunRoutines* ExtensionRoutinesOfType(ApplicationRecord* app, std::int32_t type);
// The routines of an extension type in a run state (what the dispatch calls), or null.
const DecodedRoutines* RunStateExtensionRoutines(const FrameRunState* state, std::int32_t type);

// An object-level entry point of an object's extension, or null.
void* ObjectEntryOf(const RunObject* object, extension::ObjectEntry entry);
template <typename Proc> Proc ObjectEntry(const RunObject* object, extension::ObjectEntry entry) {
    return reinterpret_cast<Proc>(ObjectEntryOf(object, entry));
}
// Whether the object belongs to a loaded extension whose module takes 8-bit strings.
bool ExtensionTakesNarrowStrings(const RunObject* object);

// The entry points the object services call; each does nothing (or gives 0) when the extension lacks it.
std::uint16_t ExtensionRecordSize(std::int16_t type, const std::uint8_t* definition);
int CreateExtensionObject(RunObject* object, const ObjectCreationParams* params);
void DestroyExtensionObject(RunObject* object, int mode);
void SetExtensionObjectRoutines(RunObject* object);
void UpdateExtensionZone(RunObject* object);
void DisplayExtensionObject(RunObject* object);
void PauseExtensionObject(RunObject* object);
void ContinueExtensionObject(RunObject* object);
void SaveExtensionBackground(RunObject* object);
void RestoreExtensionBackground(RunObject* object);
void KillExtensionBackground(RunObject* object);
cSurface* ExtensionObjectSurface(RunObject* object);
void* ExtensionCollisionMask(RunObject* object, win32::LPARAM flags);
bool GetExtensionFont(RunObject* object, win32::LOGFONTW& font);
bool SetExtensionFont(RunObject* object, const win32::LOGFONTW& font, const win32::RECT* box);
bool GetExtensionTextColour(RunObject* object, win32::COLORREF& colour);
bool SetExtensionTextColour(RunObject* object, win32::COLORREF colour);

// The display routine of extension objects that draw by handing over a surface: the surface blitted whole at
// the object's display position onto the frame's work surface, with the object's ink; a null surface
// falls back to the extension's DisplayRunObject.
void DisplayExtensionSurface(RunObject* object);

// The window-message hooks of the application's extensions that ask for them, appended to the run state's.
void AddExtensionWindowHooks(FrameRunState& state);

// When an extension-type object definition is loaded, brought up to date by its extension and handed to it;
// when it is unloaded, the extension lets go of it.
int PrepareExtensionDefinition(ApplicationRecord& app, ObjectInfo& info);
void ReleaseExtensionDefinition(ApplicationRecord& app, ObjectInfo& info);
// The bank references the extension names in its definition data.
void EnumExtensionReferences(ObjectInfo& info, void (*visit)(int bank, std::uint8_t* field, void* user),
                             void* user);

// What an extension type keeps of its objects in a saved position: its current data version, and whether
// it writes and reads its objects' state. Nullopt when the type is not a loaded extension of the current
// application.
struct ExtensionSavedState {
    std::int16_t dataVersion;
    bool saves;
    bool loads;
};
std::optional<ExtensionSavedState> ExtensionStateKeeping(std::int16_t type);
// The object's state as its extension's SaveRunObject writes it; false when it has none or it fails.
bool SaveExtensionObjectState(RunObject* object, std::vector<std::uint8_t>& state);
// The state handed to the extension's LoadRunObject; false when it has none, fails, or does not read the
// state exactly to its end.
bool LoadExtensionObjectState(RunObject* object, std::span<const std::uint8_t> state);

// The own condition count of an extension type of the current application (the slots its objects need).
std::int32_t ExtensionConditionCount(std::int32_t type);

} // namespace vtrrt
