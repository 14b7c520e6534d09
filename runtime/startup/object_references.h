// The bank references inside an object's loaded definition: found, counted for a frame, loaded on demand,
// and translated from stored indexes into library handles.
#pragma once

#include "startup/banks.h"

#include <cstdint>
#include <span>

namespace vtrrt {

struct ObjectInfo;

// Calls `visit` on each bank reference of a loaded definition with its bank and the reference's place (a
// 16-bit field): the image of an image backdrop and of a shape backdrop filled with an image; every image of
// every animation (objects of type 2, 8 and 9); the font of a text's first paragraph and of a question's
// first two; the digit and animation images or the font of score, lives and counter objects; and the image
// parameters of the object's shader effect (`effects` is the application's effect bank). Each place is
// visited once. Extensions name theirs through the extension host, which adds them here.
void EnumObjectInfoHandles(ObjectInfo& info, std::span<const std::uint8_t> effects,
                           void (*visit)(int kind, std::uint8_t* field, void* user), void* user);
// Adds the uses of an object info, by the values its definition holds now, to a frame's uses.
void CountObjectInfoUses(const ApplicationBanks& banks, ObjectInfo& info, FrameBankUses& uses);
// Replaces the stored indexes of a definition by the library handles of the loaded items (0xFFFF and
// unloaded indexes become 0), and marks the object info translated.
void TranslateObjectInfo(ApplicationBanks& banks, ObjectInfo& info);
// For one object info whose definition is loaded and not yet translated: loads its items, adds one
// reference per use, and translates it.
void LoadObjectInfoBankItems(ApplicationBanks& banks, ObjectInfo& info);
// The same, when the frame loads its objects' items on demand (`frameFlags` has 0x400) or the object asks
// for it (header flag 0x1).
void EnsureObjectInfoBankItems(ApplicationBanks& banks, ObjectInfo& info, std::uint32_t frameFlags);
// A definition loaded again names its effect images by stored index once more.
void ResetEffectImageParameters(ObjectInfo& info, std::span<const std::uint8_t> effects);

constexpr std::uint32_t FrameLoadsOnDemand = 0x400;

} // namespace vtrrt
