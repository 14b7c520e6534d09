// The run section of an application: the state machine's fields besides `State` and `CurrentFrame`, which
// the record keeps as `runState` and `currentFrameIndex`.
#pragma once

#include "win32/kernel.h"

#include <cstdint>

namespace vtrrt {

struct FrameRecord;
struct GlobalObjectStore;

enum ApplicationState : std::int32_t {
    StateStartApplication = 0,
    StateStartFrame = 1,
    StateFadeIn = 2,
    StateRunFrame = 3,
    StateFadeOut = 4,
    StateEndFrame = 5,
    StateQuit = 6,
};

constexpr std::uint16_t RunFlagMenuBuilt = 0x1;
constexpr std::uint16_t RunFlagInObjectPass = 0x4;
constexpr std::uint16_t RunFlagMenuWhilePaused = 0x8;

struct ApplicationRun {
    std::int32_t firstFrame;
    std::int32_t nextFrame;
    std::uint32_t startTime;
    std::int32_t stepTimerActive;
    std::uint16_t runFlags;
    std::int32_t inTimerStep;
    std::int32_t menuPauseCount;
    bool menuPausedFrame;      // the outermost menu pause paused the frame, so its resume resumes it
    std::uint32_t timerPeriod; // the period begun at start, ended again at the end
    std::int32_t startError;   // the frame-start error that ended the application; 0 when none
    FrameRecord* frame;        // the loaded frame, null when none
    GlobalObjectStore* globalStore;
    // A position to load when the frame it was saved in starts (empty: none), with its stamp; and whether
    // a position is being loaded now.
    win32::WCHAR pendingPositionFile[win32::MAX_PATH];
    std::int32_t pendingPositionStamp;
    bool loadingPosition;
};

} // namespace vtrrt
