// The object infos a frame uses: flagged while the frame loads, marked for its run, walked in order, and
// asked for the obstacle kinds the frame's first layer holds.
#pragma once

#include <cstdint>

namespace vtrrt {

struct ApplicationRecord;
struct FrameRecord;
struct ObjectInfo;

// Before a frame loads: every loaded definition becomes a candidate for unloading and the per-frame words
// are cleared, so that only what the new frame flags stays.
void PrepareObjectInfosForFrame(ApplicationRecord& app);
// For each instance of the frame: its object info is kept or loaded for the frame, counted, and told
// whether its bank items load with the frame.
void FlagFrameItemObjectInfos(FrameRecord& frame);

// The object info of that handle in the current application, or null (the cursor does not move).
ObjectInfo* GetObjectInfoByHandle(std::uint16_t handle);

// Marks the object infos of the current frame's instances; the walk gives those of type 2 and up, in the
// application's order.
void MarkFrameObjectInfos();
ObjectInfo* FirstFrameObjectInfo();
ObjectInfo* NextFrameObjectInfo();

// Bit 0: an object of the frame's first layer is an obstacle of type 1; bit 1: of type 2; with the frame's
// own obstacle flags.
std::uint32_t GetFrameObstacleTypes();

} // namespace vtrrt
