// The fades of frames: the fade-in after a frame's first tick (state 2) and the fade-out when it ends
// (state 4), played by a transition module over two pictures of the frame's screen surface.
#pragma once

class cSurface;

namespace vtrrt {

struct ApplicationRecord;
struct FrameRecord;

// 1 when the current frame's fade runs (the state is then 2 or 4), 0 when there is none to play. A fade-in
// starts from the given picture (the previous frame's), or from the application's border colour.
int StartFrameTransition(bool isFadeOut, cSurface* picture);
// One step of the running fade: 1 while it runs, 0 once it is over or cut by a quit or restart command.
int StepFrameTransition();
// Ends the fade of the application's frame (2 becomes 3, 4 becomes 5); after a fade-in the frame goes on
// where its first tick left it.
void EndFrameTransition(ApplicationRecord* app, bool isFadeOut);
// Whether the current application plays a frame fade now.
bool FrameFadeRunning();
// Frees what a fade of the frame holds, without ending it (the frame is being freed).
void DropFrameTransition(FrameRecord& frame);

} // namespace vtrrt
