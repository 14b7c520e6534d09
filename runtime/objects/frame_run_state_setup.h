// Making and unmaking the frame's run state: its object list, object-info run list, events and objects.
#pragma once
#include "core/frame_run_state.h"

#include <cstdint>

namespace vtrrt {

// Allocates the run state and everything it holds and makes it current; -1 when memory runs out (what was
// made is freed again).
int CreateFrameRunState();
void FreeFrameRunState(FrameRunState* state);
// Prepares the current frame's events over the run state (from the stored program unless `fromStored` is
// false) and attaches the run's event state to them; 0, FrameEventsDamaged when the program does not
// hold together, or FrameEventsOutOfMemory.
constexpr int FrameEventsDamaged = -1;
constexpr int FrameEventsOutOfMemory = 8;
int StartFrameEvents(FrameRunState& state, bool fromStored = true);
// Frees the frame's event lists and detaches and frees the run's event state.
void EndFrameEvents(FrameRunState* state);
// Object list slots cleared, unless a saved position is being loaded.
void ResetObjectList();
// The object-info run list of the frame, one entry per object info of type 2 and up that it uses, and the
// speed choice.
void BuildObjectInfoList();
// Creates the objects placed in the frame, in the frame's order. After a fade-in, extension objects that
// are not visible at start wait for the fade to end.
void CreateFrameObjects(bool afterFadeIn);
// Destroys every object now.
void KillAllObjects();
// The object infos the current frame uses (of type 2 and up): marked, and counted.
std::int32_t MarkAndCountFrameObjectInfos();
// The frame's maximum number of objects, raised to hold one more than its object infos and its placed
// objects.
std::int32_t FrameObjectCapacity(const FrameRecord& frame);

} // namespace vtrrt
