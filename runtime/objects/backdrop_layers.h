// What the background drawing, the run-time backdrops and the background collisions share: where a layer is
// seen from, the placed backdrops of a layer, and the wrapped copies of a box.
#pragma once

#include "objects/backgrounds.h"

#include <array>
#include <cstdint>
#include <vector>

struct ContextBanks;
struct SpriteWindow;

namespace vtrrt {

struct ObjectInfo;
struct FrameRunState;

// The frame's wrap size along each axis (its virtual size); 0 where it does not wrap.
struct WrapSize {
    std::int32_t width, height;
};
WrapSize WrapSizeOf(const FrameRecord& frame);

// The offset between frame and window coordinates of a layer: the scroll position through the layer's
// coefficients, plus its offset, and on a wrapping layer the remainder by the wrap size (keeping the sign of
// the dividend).
win32::POINT LayerShift(const FrameRecord& frame, const FrameLayer& layer, std::int32_t scrollX,
                        std::int32_t scrollY);

// A placed backdrop instance and what its definition says of it.
struct PlacedBackdrop {
    std::int32_t index; // in the frame's instance list
    FrameItemInstance* instance;
    ObjectInfo* info;
    std::int16_t type;      // 0 shape, 1 image
    std::uint16_t obstacle; // 0..4
    bool boxOnly;
    std::int32_t width, height;
    std::uint16_t image; // type 1
    const std::uint8_t* definition;
    std::size_t definitionSize;
};
// False for an instance that is not a backdrop of a layer of the frame, or whose definition is missing.
bool ReadPlacedBackdrop(FrameRecord& frame, std::int32_t index, PlacedBackdrop& out);

// The boxes of a backdrop and of its wrapped copies: slot 0 the box itself, 1 shifted across the wrap
// width, 2 across the height, 3 both; a copy is present when the box crosses the wrap edge, or when the copy
// falls in the window or its margins.
struct WrappedCopies {
    std::array<bool, 4> present{};
    std::array<win32::RECT, 4> box{};
};
// How far past the window's edges wrapped copies are made: the collision mask's margins.
constexpr win32::LONG WrapReachX = 96;
constexpr win32::LONG WrapReachY = 16;
WrappedCopies CopiesOf(const win32::RECT& box, bool wrapX, bool wrapY, const WrapSize& size);

bool LayerWraps(const FrameLayer& layer);
ContextBanks* BanksOfApplication();
SpriteWindow* FrameSpriteWindow();
// Width and height of a bank image; false when it is missing.
bool ImageSize(std::uint32_t image, std::int32_t& width, std::int32_t& height);
// The cell of a layer's backdrop grid that holds a point of the frame (indexes of solid placed instances);
// null when the layer has no grid. Areas up to a cell's side meet at most four cells.
constexpr int BackdropGridSide = 512;
const std::vector<std::int32_t>* BackdropGridCell(const FrameLayer& layer, win32::LONG frameX,
                                                  win32::LONG frameY);
// The run-time backdrops of a layer.
LayerBackdrop* LayerBackdropsOf(FrameLayer& layer);
// Sprite flags a backdrop's sprite takes beside those of every backdrop, by its obstacle type.
constexpr win32::DWORD SolidSpriteFlags = 0x10001;
constexpr win32::DWORD PlatformSpriteFlags = 0x20001;

} // namespace vtrrt
