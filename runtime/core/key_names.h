// The names the keyboard set-up shows for virtual keys.
#pragma once

#include "win32/types.h"

namespace vtrrt {

constexpr int KeyNameUnits = 64;

// The key's name into a buffer of KeyNameUnits: the number pad's digits and F1 to F24 by pattern, the named
// keys from the string table, any other key as the character it types (empty when it types none).
void GetKeyName(win32::WCHAR* buffer, int key);
// Alt, Print Screen, Caps Lock, Escape, Help, Pause and the locks are never a player's key.
bool KeyCanBeAssigned(int key);

} // namespace vtrrt
