// What a move meets: the play area's borders (entering, leaving and wrapping round), the backdrops and the
// other objects, raised as the moving object's conditions while it moves.
#pragma once

#include "win32/types.h"

#include <cstdint>
#include <vector>

struct Sprite;

namespace vtrrt {

struct RunObject;

// Border bits of a box: 1 left, 2 right, 4 top, 8 bottom.
constexpr std::uint32_t BorderLeft = 1;
constexpr std::uint32_t BorderRight = 2;
constexpr std::uint32_t BorderTop = 4;
constexpr std::uint32_t BorderBottom = 8;

// The borders a box crosses (it reaches past them) in a play area of the given size.
std::uint32_t GetBorderFlags(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                             std::int32_t width, std::int32_t height);

// Border, backdrop and object collisions after the object moved.
void HandleObjectMoved(RunObject* object);
// Whether the object drawn with the image, angle and scales at (x, y) of the frame meets the background of
// its layer: by its box (only its lowest `heightFromBottom` rows when that is not 0) or by its sprite. The
// code of the object's backdrop condition on a hit, else 0. `obstacle` 1 asks for platforms too.
std::int32_t TestObjectBackdropCollision(RunObject* object, win32::DWORD image, float angle, float scaleX,
                                         float scaleY, std::int32_t x, std::int32_t y,
                                         std::int32_t heightFromBottom, std::int32_t obstacle);
// Raises the move counter, keeps it as the object's move stamp and reports the move.
void NotifyObjectMoved(RunObject* object);

// An object the moving object touches, found by its sprite (`sprite`) or by its box (`byBox`).
struct CollisionPair {
    Sprite* sprite;
    bool byBox;
    RunObject* object;
};
// The objects the object would touch drawn with the image, angle and scales at (x, y).
std::vector<CollisionPair> CollectCollidingObjects(RunObject* object, win32::DWORD image, float angle,
                                                   float scaleX, float scaleY, std::int32_t x,
                                                   std::int32_t y);
// The same among the instances of the given object infos (indexes of the run table; null: every object),
// into `pairs`, which is emptied first.
void CollectCollidingObjectsAmong(RunObject* object, win32::DWORD image, float angle, float scaleX,
                                  float scaleY, std::int32_t x, std::int32_t y,
                                  const std::vector<std::int16_t>* objectInfos,
                                  std::vector<CollisionPair>& pairs);

} // namespace vtrrt
