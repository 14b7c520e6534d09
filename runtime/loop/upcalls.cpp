// Sets the calls of core/upcalls.h that reach this layer from the layers below it. The program and every
// test link this file (the layer's target names VtrLoopUpcalls as undefined), so they are set before main.
#include "core/upcalls.h"

#include "loop/application_state_machine.h"
#include "loop/frame_lifecycle.h"
#include "loop/frame_transitions.h"
#include "loop/game_loop.h"
#include "loop/pause.h"

namespace vtrrt {
namespace {

bool Install() {
    up::PauseApplication = &PauseApplication;
    up::ResumeApplication = &ResumeApplication;
    up::ApplicationPaused = &ApplicationPaused;
    up::PauseFrameTimer = &PauseFrameTimer;
    up::ResumeFrameTimer = &ResumeFrameTimer;
    up::PauseService = &PauseService;
    up::ResumeService = &ResumeService;
    up::PumpMessages = &PumpMessages;
    up::GetElapsedTicks = &GetElapsedTicks;
    up::TimerPeriodFor = &TimerPeriodFor;
    up::RunApplicationStep = &RunApplicationStep;
    up::StartApplication = &StartApplication;
    up::EndApplication = &EndApplication;
    up::WaitForFrameTick = &WaitForFrameTick;
    up::FreeLoadedFrame = &FreeLoadedFrame;
    up::EndCurrentFrame = &EndCurrentFrame;
    up::StepFrameTransition = &StepFrameTransition;
    up::EndFrameTransition = &EndFrameTransition;
    up::CreateFrameCollisionMask = &CreateFrameCollisionMask;
    up::FrameFadeRunning = &FrameFadeRunning;
    up::DropFrameTransition = &DropFrameTransition;
    up::ReadPlayerControls = &ReadPlayerControls;
    up::InitFrameRunState = &InitFrameRunState;
    return true;
}

} // namespace
} // namespace vtrrt

extern "C" const bool VtrLoopUpcalls = vtrrt::Install();
