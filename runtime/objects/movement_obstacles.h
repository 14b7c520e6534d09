// Whether a position is free for a moving object (the play area's borders, the backdrops and the objects it
// takes as obstacles), the search by halving for the nearest free position on a segment, and the way a stop
// or bounce made during the object's own move takes it out of what it hit.
#pragma once

#include "plugin/run_object.h"

#include <cstdint>

namespace vtrrt {

// 1 free, 0 blocked; x and y are frame coordinates of the hot spot. `height` 0 tests the whole box against
// the backdrops, else that many rows from its bottom; `kind` is the backdrop obstacle kind (1: obstacles and
// platforms). `excludeOwnInfo` lets objects of the object's own object info not block it.
std::int32_t TestObjectPositionAt(RunObject* object, std::int32_t x, std::int32_t y, std::int32_t height,
                                  std::int32_t kind, std::int32_t excludeOwnInfo);
std::int32_t TestObjectPosition(RunObject* object, std::int32_t x, std::int32_t y,
                                std::int32_t excludeOwnInfo);

// The free position nearest to the near end (x1, y1) on the segment to the far end (x2, y2), found by
// halving: 1 found, 0 not (x and y then hold the last point tried). FindFreePosition takes and gives points
// relative to the scroll position; its service form and FindFreePositionOnPath take frame coordinates.
std::int32_t FindFreePosition(RunObject* object, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                              std::int32_t y2, std::int32_t height, std::int32_t kind, std::int32_t* x,
                              std::int32_t* y);
std::int32_t FindFreePositionService(RunObject* object, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                     std::int32_t y2, std::int32_t height, std::int32_t kind, std::int32_t* x,
                                     std::int32_t* y);
std::int32_t FindFreePositionOnPath(RunObject* object, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                    std::int32_t y2, std::int32_t excludeOwnInfo, std::int32_t* x,
                                    std::int32_t* y);

// Takes the object out of what the event being handled says it hit: a backdrop or an object (by the escape
// offsets of its direction, else back where it was before the move) or the play area's border. With
// `searchBack`, ResolveObstacleEx(object, 0).
void ResolveObstacle(RunObject* object, std::int32_t searchBack);
// The same, first searching back along the move for a free position. 0 when nothing was free and
// `excludeOwnInfo` is set (the object is then left where it is), else 1.
std::int32_t ResolveObstacleEx(RunObject* object, std::int32_t excludeOwnInfo);

// Services in frame coordinates: 1 when the backdrop test finds nothing, 0 when it hits.
std::int32_t TestRectAgainstBackdropsService(RunObject* object, std::int32_t x, std::int32_t y,
                                             std::int32_t width, std::int32_t height, std::int32_t layer,
                                             std::int32_t kind);
std::int32_t TestPointAgainstBackgroundService(RunObject* object, std::int32_t x, std::int32_t y,
                                               std::int32_t layer, std::int32_t kind);

} // namespace vtrrt
