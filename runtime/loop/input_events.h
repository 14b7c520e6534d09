// The conditions that input raises: what the window procedures and the game loop hand over (menu
// commands, close requests, keys, clicks, the wheel, dropped files) becomes the events' triggered
// conditions. Each does nothing while the frame's events are not prepared or the application is paused,
// except the key that ends a pause.
#pragma once

#include "win32/user.h"

#include <cstdint>

namespace vtrrt {

// Puts the raisers in the shell's table, in the slots that hold none.
void InstallEventRaisers();

// True when an event took the command.
bool TriggerMenuCommand(std::int32_t id, std::int32_t value);
// True when an event keeps the application running.
bool TriggerQuitRequest();
void TriggerMouseWheel(std::int32_t delta);
void TriggerKeyDown(std::int32_t key);
// A button-down or double-click message.
void TriggerMouseClick(win32::UINT message);
void OnFilesDropped(win32::HDROP drop);
void ResetUserIdleTime();
// The paused dialog closed: as a resume by key, the resume loop is kept and the resume raised.
void TriggerResumed();
// The players' control changes of this loop (the game loop calls it after reading the controls).
void RaisePlayerControls();

} // namespace vtrrt
