// The path movement: the object follows a recorded chain of straight segments (nodes), each at its own speed
// and with an optional pause and name, and at the end loops, goes back to where it started or travels back.
#include "objects/path_movement.h"

#include "core/application_record.h"
#include "core/runtime_services.h"
#include "events/event_evaluation.h"
#include "objects/animations.h"
#include "objects/movements.h"
#include "objects/object_moved.h"
#include "objects/run_objects.h"
#include "startup/stored_text.h"

#include "vtrs2/memory.h"
#include "win32/kernel.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace vtrrt {

namespace {

// The path data after the common part.
constexpr std::size_t PathNodeCount = 12;
constexpr std::size_t PathMinimumSpeed = 14;
constexpr std::size_t PathMaximumSpeed = 16;
constexpr std::size_t PathLoops = 18;
constexpr std::size_t PathReturns = 19;
constexpr std::size_t PathReverses = 20;
constexpr std::size_t PathFirstNode = 22;
// A node: offset back, size, speed, direction, dx, dy, cosine, sine, length, pause, then its name.
constexpr std::size_t NodeSize = 1;
constexpr std::size_t NodeSpeed = 2;
constexpr std::size_t NodeDirection = 3;
constexpr std::size_t NodeDx = 4;
constexpr std::size_t NodeDy = 6;
constexpr std::size_t NodeCosine = 8;
constexpr std::size_t NodeSine = 10;
constexpr std::size_t NodeLength = 12;
constexpr std::size_t NodePause = 14;
constexpr std::size_t NodeName = 16;

constexpr std::int16_t ConditionNodeReached = -20;
constexpr std::int16_t ConditionPathEnded = -21;
constexpr std::int16_t ConditionNamedNodeReached = -35;

constexpr std::int32_t LoopTimeBudget = 256;
constexpr std::int64_t MaxSliceDistance = 0x80000; // 8 pixels in 16.16
constexpr std::int32_t Held = 0x8000;

struct PathNode {
    std::int32_t speed, direction, dx, dy, cosine, sine, length, pause;
    std::u16string name;
};

// What the movement keeps beside its block: the nodes read from the data, the end options and the name of
// the node to stop at.
struct PathNodes {
    std::vector<PathNode> nodes;
    bool loops = false, returns = false, reverses = false;
    std::u16string stopName;
    bool stopNameSet = false;
};

struct [[gnu::packed]] PathBlock {
    std::int32_t startX, startY;
    std::int32_t node;
    std::int32_t backwards;
    std::int32_t segmentStartX, segmentStartY, segmentEndX, segmentEndY;
    std::int32_t cosine, sine, length;
    std::int32_t progress; // 16.16 pixels along the segment
    std::int32_t speed;
    std::int32_t pauseCountdown; // milliseconds
    std::int32_t stopped;        // the held speed | 0x8000
    std::int32_t ended;          // at the end of the path, stopped there: no node started
    PathNodes* nodes;
};
static_assert(sizeof(PathBlock) <= sizeof(ObjectMovementBlock::typeData));

PathBlock* PathOf(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b || x->movementType != MovementPath) return nullptr;
    return reinterpret_cast<PathBlock*>(b->typeData);
}

bool WideNames() {
    const ApplicationRecord* app = CurrentApplication();
    return !app || app->unicode;
}

std::u16string NameOf(std::span<const std::uint8_t> bytes) {
    const ApplicationRecord* app = CurrentApplication();
    win32::WCHAR* wide = StoredTextToWide(bytes, WideNames(), app ? app->codePage : 1252);
    if (!wide) return {};
    std::u16string name(wide);
    FreeMemory(&wide);
    return name;
}

// The nodes of the data, each checked against what is left of it: a node cut short ends the list.
PathNodes* ReadNodes(MovementDataView data) {
    auto* p = new (std::nothrow) PathNodes;
    if (!p) return nullptr;
    p->loops = data.U8(PathLoops) != 0;
    p->returns = data.U8(PathReturns) != 0;
    p->reverses = data.U8(PathReverses) != 0;
    const std::span<const std::uint8_t> bytes = data.Span();
    std::size_t at = PathFirstNode;
    for (std::uint32_t i = 0; i < data.U16(PathNodeCount); ++i) {
        if (at + NodeName > bytes.size()) break;
        const std::size_t size = data.U8(at + NodeSize);
        if (size < NodeName || at + size > bytes.size()) break;
        PathNode n{data.U8(at + NodeSpeed),
                   data.U8(at + NodeDirection) & 31,
                   data.I16(at + NodeDx),
                   data.I16(at + NodeDy),
                   data.I16(at + NodeCosine),
                   data.I16(at + NodeSine),
                   std::max<std::int32_t>(data.I16(at + NodeLength), 0),
                   std::max<std::int32_t>(data.I16(at + NodePause), 0),
                   NameOf(bytes.subspan(at + NodeName, size - NodeName))};
        p->nodes.push_back(std::move(n));
        at += size;
    }
    return p;
}

std::int32_t NodeCount(const PathBlock& p) {
    return p.nodes ? static_cast<std::int32_t>(p.nodes->nodes.size()) : 0;
}

const PathNode& NodeAt(const PathBlock& p, std::int32_t i) {
    return p.nodes->nodes[static_cast<std::size_t>(i)];
}

// Raises a stop request so that a move in progress starts over.
void StartPathNode(RunObject* o, PathBlock& p, std::int32_t index, bool backwards) {
    RunObjectExtended* x = ExtendedOf(o);
    if (index < 0 || index >= NodeCount(p)) return;
    const PathNode& n = NodeAt(p, index);
    const std::int32_t sign = backwards ? -1 : 1;
    p.node = index;
    p.backwards = backwards ? 1 : 0;
    p.ended = 0;
    p.progress = 0;
    p.segmentStartX = o->x;
    p.segmentStartY = o->y;
    p.segmentEndX = o->x + sign * n.dx;
    p.segmentEndY = o->y + sign * n.dy;
    p.cosine = sign * n.cosine;
    p.sine = sign * n.sine;
    p.length = n.length;
    x->direction = backwards ? (n.direction - 16) & 31 : n.direction;
    const std::int32_t before = p.speed;
    if (n.pause > 0) {
        p.pauseCountdown = n.pause * 20;
        p.stopped = n.speed | Held;
        p.speed = 0;
    } else {
        p.speed = n.speed;
    }
    if (p.speed != before || p.speed != 0) RequestMoveStop(o);
    x->speed = p.speed;
}

void HaltPath(RunObject* o, PathBlock& p) {
    p.speed = 0;
    p.stopped = 0;
    ExtendedOf(o)->speed = 0;
    RequestMoveStop(o);
}

// The point where node `index` starts, from the start position.
void NodeStart(const PathBlock& p, std::int32_t index, std::int32_t& x, std::int32_t& y) {
    std::int64_t px = p.startX, py = p.startY;
    for (std::int32_t i = 0; i < index && i < NodeCount(p); ++i) {
        px += NodeAt(p, i).dx;
        py += NodeAt(p, i).dy;
    }
    x = static_cast<std::int32_t>(std::clamp<std::int64_t>(px, INT32_MIN, INT32_MAX));
    y = static_cast<std::int32_t>(std::clamp<std::int64_t>(py, INT32_MIN, INT32_MAX));
}

void PutAt(RunObject* o, std::int32_t x, std::int32_t y) {
    o->x = x;
    o->y = y;
    o->xFraction = o->yFraction = 0;
    ExtendedOf(o)->changed = 1;
}

void MarkNodeReached(RunObject* o, const PathBlock& p, std::int32_t node) {
    o->nodeReachedStamp = static_cast<std::int32_t>(o->runState->loopCount);
    o->nodeName = const_cast<char16_t*>(NodeAt(p, node).name.c_str());
}

// After the last node forwards or the first backwards; -1 when the path stopped.
std::int32_t EndOfPath(RunObject* o, PathBlock& p) {
    const PathNodes& n = *p.nodes;
    if (!p.backwards) o->pathEndStamp = static_cast<std::int32_t>(o->runState->loopCount);
    if (!p.backwards && n.reverses) {
        StartPathNode(o, p, NodeCount(p) - 1, true);
        return 0;
    }
    if (n.returns) PutAt(o, p.startX, p.startY);
    if (n.loops) {
        StartPathNode(o, p, 0, false);
        return 0;
    }
    HaltPath(o, p);
    p.ended = 1;
    return -1;
}

// Moves `distance` (16.16) along the segment; the time left over past a node goes back into `budget`.
// -1 when the path stopped or an event stopped the move.
std::int32_t AdvanceAlongPath(RunObject* o, PathBlock& p, std::int64_t distance, std::int64_t& budget) {
    std::int64_t progress = std::int64_t{p.progress} + distance;
    if (progress / 65536 < p.length) {
        p.progress = static_cast<std::int32_t>(progress);
        const std::int64_t along = progress / 65536;
        PutAt(o, static_cast<std::int32_t>(p.segmentStartX + along * p.cosine / 16384),
              static_cast<std::int32_t>(p.segmentStartY + along * p.sine / 16384));
        HandleObjectMoved(o);
        return MovementField(o, MovementBlockStopRequest) != 0 ? -1 : 0;
    }
    const std::int64_t beyond = progress - std::int64_t{p.length} * 65536;
    if (p.speed > 0) budget += beyond / p.speed / 32;
    PutAt(o, p.segmentEndX, p.segmentEndY);
    HandleObjectMoved(o);
    if (MovementField(o, MovementBlockStopRequest) != 0 || !(p.nodes) || PathOf(o) != &p) return -1;
    MarkNodeReached(o, p, p.node);
    p.progress = 0;
    PathNodes& n = *p.nodes;
    const bool stopHere = n.stopNameSet && win32::EqualsIgnoringCase(n.stopName, NodeAt(p, p.node).name);
    std::int32_t result = 0;
    if (!p.backwards && p.node + 1 < NodeCount(p))
        StartPathNode(o, p, p.node + 1, false);
    else if (p.backwards && p.node > 0)
        StartPathNode(o, p, p.node - 1, true);
    else
        result = EndOfPath(o, p);
    if (stopHere) {
        // Stopped with the next node ready, so that a start goes on from here.
        n.stopName.clear();
        n.stopNameSet = false;
        if (!p.ended) PathStop(o, 0);
        return -1;
    }
    return result;
}

void RaisePathEvents(RunObject* o) {
    const auto loop = static_cast<std::int32_t>(o->runState->loopCount);
    if (o->nodeReachedStamp == loop) {
        TriggerObjectCondition(o, EventCodeOf(o->objectType, ConditionNodeReached));
        TriggerObjectCondition(o, EventCodeOf(o->objectType, ConditionNamedNodeReached));
    }
    if (o->pathEndStamp == loop) TriggerObjectCondition(o, EventCodeOf(o->objectType, ConditionPathEnded));
}

std::int32_t FindNode(const PathBlock& p, std::u16string_view name) {
    for (std::int32_t i = 0; i < NodeCount(p); ++i)
        if (win32::EqualsIgnoringCase(NodeAt(p, i).name, name)) return i;
    return -1;
}

} // namespace

void InitPathMovement(RunObject* o, MovementDataView data) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    std::memset(b->typeData, 0, sizeof(b->typeData));
    auto* p = reinterpret_cast<PathBlock*>(b->typeData);
    p->startX = o->x;
    p->startY = o->y;
    x->movementRoutine = PathMovementHandler;
    o->xFraction = 0;
    x->minimumSpeed = data.U16(PathMinimumSpeed);
    x->maximumSpeed = data.U16(PathMaximumSpeed);
    p->nodes = ReadNodes(data);
    if (p->nodes) StartPathNode(o, *p, 0, false);
    x->speed = p->speed;
    x->changed = 1;
}

MovementBlockBytes PathOwnedBytes() {
    return {offsetof(ObjectMovementBlock, typeData) + offsetof(PathBlock, nodes), sizeof(PathNodes*)};
}

void FreePathMovement(RunObject* o) {
    PathBlock* p = PathOf(o);
    if (!p) return;
    delete p->nodes;
    p->nodes = nullptr;
    // The name pointed into the nodes.
    o->nodeName = nullptr;
}

void ShiftPathMovement(RunObject* o, std::int32_t dx, std::int32_t dy) {
    PathBlock* p = PathOf(o);
    if (!p) return;
    p->segmentStartX += dx;
    p->segmentStartY += dy;
    p->segmentEndX += dx;
    p->segmentEndY += dy;
}

void PathMovementHandler(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    PathBlock* p = PathOf(o);
    if (!x || !p || !o->runState) return;
    o->nodeReachedStamp = 0;
    x->animationRequest = AnimationWalking;
    if (x->animationRoutine) x->animationRoutine(o);
    p = PathOf(o);
    if (!p || !p->nodes || NodeCount(*p) == 0) return;
    // A block restored from a saved position may name a node the path does not have.
    p->node = std::clamp(p->node, 0, NodeCount(*p) - 1);
    if (p->speed == 0) {
        if (p->pauseCountdown > 0) {
            p->pauseCountdown -=
                static_cast<std::int32_t>(std::clamp<std::int64_t>(o->runState->loopTime, 0, 1000000));
            if (p->pauseCountdown > 0) {
                x->speed = 0;
                HandleObjectMoved(o);
                return;
            }
            p->pauseCountdown = 0;
            p->speed = p->stopped & 0x7FFF;
            p->stopped = 0;
            x->speed = p->speed;
        }
        if (p->speed == 0) {
            HandleObjectMoved(o);
            return;
        }
    }
    std::int64_t budget = ScaledBySpeedFactor(o, LoopTimeBudget);
    // Zero-length nodes give their whole slice back: the rounds are bounded however the path is made.
    for (std::int64_t round = 0; budget > 0 && round < 4 * std::int64_t{NodeCount(*p)} + 64; ++round) {
        if (p->speed <= 0) break;
        std::int64_t distance = budget * p->speed * 32;
        std::int64_t used = budget;
        if (distance > MaxSliceDistance) {
            distance = MaxSliceDistance;
            used = std::max<std::int64_t>(0x4000 / p->speed, 1);
        }
        budget -= used;
        if (AdvanceAlongPath(o, *p, distance, budget) < 0) break;
        if (PathOf(o) != p) return;
    }
    if (PathOf(o) == p) RaisePathEvents(o);
}

void PathStop(RunObject* o, std::int32_t) {
    PathBlock* p = PathOf(o);
    if (!p) return;
    RequestMoveStop(o);
    if (!(p->stopped & Held)) p->stopped = p->speed | Held;
    p->speed = 0;
    ExtendedOf(o)->speed = 0;
}

void PathStart(RunObject* o, std::int32_t) {
    PathBlock* p = PathOf(o);
    if (!p || !(p->stopped & Held)) return;
    p->speed = p->stopped & 0x7FFF;
    p->stopped = 0;
    p->pauseCountdown = 0;
    ExtendedOf(o)->speed = p->speed;
    RequestMoveStop(o);
}

void PathSetSpeed(RunObject* o, std::int32_t v) {
    PathBlock* p = PathOf(o);
    if (!p) return;
    v = std::clamp(v, 0, 0x7FFF);
    p->speed = v;
    ExtendedOf(o)->speed = v;
    RequestMoveStop(o);
}

void PathReverse(RunObject* o, std::int32_t) {
    PathBlock* p = PathOf(o);
    RunObjectExtended* x = ExtendedOf(o);
    if (!p || !x || !p->nodes || NodeCount(*p) == 0 || (p->stopped & Held)) return;
    if (p->progress != 0) {
        const std::int32_t startX = p->segmentStartX, startY = p->segmentStartY;
        p->segmentStartX = p->segmentEndX;
        p->segmentStartY = p->segmentEndY;
        p->segmentEndX = startX;
        p->segmentEndY = startY;
        p->cosine = -p->cosine;
        p->sine = -p->sine;
        p->progress = static_cast<std::int32_t>(std::int64_t{p->length} * 65536 - p->progress);
        x->direction = (x->direction - 16) & 31;
        p->backwards ^= 1;
        return;
    }
    if (p->ended) {
        StartPathNode(o, *p, p->node, !p->backwards);
        return;
    }
    // At a node: the segment behind the object, the other way.
    if (!p->backwards && p->node > 0)
        StartPathNode(o, *p, p->node - 1, true);
    else if (p->backwards && p->node + 1 < NodeCount(*p))
        StartPathNode(o, *p, p->node + 1, false);
}

void PathJumpToNode(RunObject* o, std::u16string_view name) {
    PathBlock* p = PathOf(o);
    if (!p || !p->nodes || !o->runState) return;
    const std::int32_t i = FindNode(*p, name);
    if (i < 0) return;
    std::int32_t nx = 0, ny = 0;
    NodeStart(*p, i, nx, ny);
    PutAt(o, nx, ny);
    // Travelling back, the object goes on from the node's start towards its predecessor.
    if (p->backwards && i > 0)
        StartPathNode(o, *p, i - 1, true);
    else
        StartPathNode(o, *p, i, false);
    MarkNodeReached(o, *p, i);
    RequestMoveStop(o);
    RaisePathEvents(o);
}

void PathGotoNode(RunObject* o, std::u16string_view name) {
    PathBlock* p = PathOf(o);
    if (!p || !p->nodes) return;
    const std::int32_t i = FindNode(*p, name);
    if (i < 0) return;
    p->nodes->stopName = std::u16string(name);
    p->nodes->stopNameSet = true;
    if (p->stopped & Held) PathStart(o, 0);
    if (p->ended) {
        // Every node lies behind an ended path.
        StartPathNode(o, *p, p->node, !p->backwards);
        return;
    }
    const bool ahead = p->backwards ? i <= p->node : i >= p->node;
    if (!ahead) PathReverse(o, 0);
}

} // namespace vtrrt
