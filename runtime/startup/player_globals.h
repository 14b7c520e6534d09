// Players' controls, lives and scores and the global values and strings of an application, set up when the
// application starts; shared data is reached through the owner up the parent chain.
#pragma once

#include "core/application_record.h"

#include "core/typed_value.h"

#include <cstdint>

namespace vtrrt {

// X minimum, X maximum, Y minimum, Y maximum of one joystick.
struct JoystickRange {
    std::uint32_t xMin, xMax, yMin, yMax;
};
JoystickRange& JoystickRangeOf(int joystick);

// For the current application: frees what it owns, then sets up its players and globals from its header
// and kept chunks. False when memory ran out (what was made is kept and freed later as usual).
bool InitApplicationGlobals();
// Frees what the current application owns; `all` also frees the kept initial chunks.
void FreeGlobalData(bool all);
void InitPlayerJoystick(int player, int joystick);

ApplicationRecord* GetControlsOwner(ApplicationRecord* app);
ApplicationRecord* GetLivesOwner(ApplicationRecord* app);
ApplicationRecord* GetScoresOwner(ApplicationRecord* app);

ApplicationRecord* GetGlobalValuesOwner(ApplicationRecord* app);
bool ReserveGlobalValues(ApplicationRecord* app, std::int32_t count);
// Never null: out-of-range or failed requests get a static slot reset to integer 0.
TypedValue* GetGlobalValueSlot(ApplicationRecord* app, std::int32_t index);
void SetGlobalValue(ApplicationRecord* app, std::int32_t index, const TypedValue* value);

ApplicationRecord* GetGlobalStringsOwner(ApplicationRecord* app);
// Never null: a missing entry reads as the empty string.
const win32::WCHAR* GetGlobalString(ApplicationRecord* app, std::int32_t index);
void SetGlobalString(ApplicationRecord* app, std::int32_t index, const win32::WCHAR* text);

} // namespace vtrrt
