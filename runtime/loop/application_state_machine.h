// The application's state machine (start, frames, fades, end), its start and end, and the pacing of ticks.
#pragma once

#include "core/frame_clock.h"

#include "core/application_record.h"

#include "win32/user.h"

#include <cstdint>

namespace vtrrt {

// Frame rates outside MinFrameRate..MaxFrameRate are taken as the nearest limit.
std::int32_t ClampFrameRate(std::int32_t rate);

// The timer resolution asked for a frame rate: 1 ms from 50 frames per second, 50 ms up to 10, else half a
// tick.
win32::UINT TimerPeriodFor(std::int32_t frameRate);

// 1, or 0 when the application cannot start.
int StartApplication(ApplicationRecord* app);
// One step of the state machine; 1 while the application goes on, 0 once it has quit.
int RunApplicationStep(ApplicationRecord* app, int stopAfterStart);
void EndApplication(ApplicationRecord* app);
// Frees the frame (and its run) that a quit set from outside the frame's own end left loaded.
void FreeLoadedFrame(ApplicationRecord& app);
// The program's main loop: start the application, step it until it quits, end it. False when the
// application could not start, or ended because a frame could not be loaded or started (reported).
bool RunApplication(ApplicationRecord* app);

// Ends the run in order, asking no one: the running frame ends as after a quit, and no frame starts after
// it. What an interrupt or termination signal does, whatever the close box is set to do.
void RequestEndOfRun();

// Dispatches every waiting message; stops early after a message named by the stop mask (1 WM_COMMAND,
// 2 WM_LBUTTONDOWN, 4 WM_LBUTTONUP).
void PumpMessages(win32::MSG* msg, int stopMask);
// Pumps messages until the next tick of the current frame is due.
void WaitForFrameTick();
// Ticks of the top-level frame rate since the current application's start time.
std::int64_t GetElapsedTicks();

} // namespace vtrrt
