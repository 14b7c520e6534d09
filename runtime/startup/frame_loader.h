// Loading a frame's chunk list into a FrameRecord, and giving it all back.
#pragma once

#include "core/frame_record.h"

#include <cstddef>
#include <cstdint>
#include <span>

class CInputFile;
class cSurface;

namespace vtrrt {

struct ApplicationRecord;

// Loads the frame of that index of the current application and makes it current; null when it cannot be
// (the error has been reported; `error` receives the code).
FrameRecord* LoadFrame(std::int32_t index, int* error = nullptr);

// Reads the chunk list at the data stream's position into a new current FrameRecord; null on failure, with
// the previous current frame restored (LoadFrame reports the failure).
FrameRecord* LoadFrameChunks(int* error = nullptr);

void FreeFrame(FrameRecord* frame);
// A 256-colour sub-application's frame palette linked to its top application's (a remap table in a
// 256-colour display, else the shared palette), and the link let go with the frame.
void LinkSubApplicationPalette(const ApplicationRecord& app, FrameRecord& frame);
void FreePaletteLink(FrameRecord& frame);
// Deletes a frame's screen surface (forgotten by the frame window first when it is attached there) and
// clears the pointer.
void DestroyFrameSurface(cSurface*& surface);
void ResetFrameLayers(FrameRecord& frame, bool freeAll);
void FreeLayerBackdropGrid(FrameLayer& layer);
// Gives each layer with an entry in the layer-effects chunk its ink effect and parameter.
void CreateLayerEffects();

// The current frame's instances whose object is not a backdrop, in frame order.
FrameItemInstance* FirstFrameItemToCreate();
FrameItemInstance* NextFrameItemToCreate();

// The instance of that handle in the frame, or null.
FrameItemInstance* FindFrameInstance(FrameRecord& frame, std::uint16_t handle);

// The application's image list (the menu's icons): u32 count, then {u16 command, u16 image} entries; only
// the entries that lie inside the block. The images are stored indexes until the first frame has loaded
// them, library handles after.
std::span<std::uint8_t> ImageListEntries(const ApplicationRecord& app);
constexpr std::size_t ImageListEntrySize = 4;
inline std::uint16_t ImageListEntryCommand(std::span<const std::uint8_t> entries, std::size_t at) {
    return static_cast<std::uint16_t>(entries[at] | entries[at + 1] << 8);
}
inline std::uint16_t ImageListEntryImage(std::span<const std::uint8_t> entries, std::size_t at) {
    return ImageListEntryCommand(entries, at + 2);
}

} // namespace vtrrt
