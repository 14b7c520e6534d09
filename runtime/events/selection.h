// Which instances of an object info (or of a qualifier's members) the current event talks about:
// selections that lapse by stamp, condition and action walks, type walks, fixed values, zones and lines.
#pragma once

#include "core/event_state.h"
#include "core/frame_run_state.h"

#include "win32/types.h"

#include <cstdint>
#include <vector>

namespace vtrrt {

struct RunObject;
struct ObjectInfoRunEntry;

constexpr std::uint16_t NoObjectInfo = 0xFFFF;

// The object of a handle of the object list, or null.
inline RunObject* ObjectOfHandle(std::int32_t handle) {
    const EventRunState* s = CurrentEventState();
    const FrameRunState* run = s ? s->run : nullptr;
    if (!run || !run->objects || handle < 0 || handle >= run->maxObjects) return nullptr;
    return run->objects[handle].object;
}
// Whether the object belongs to the object info, or to a member of the qualifier, of a reference.
bool ObjectBelongsTo(std::uint16_t objectInfo, const RunObject* object);
// The index of the object's object info in the run table (what references hold), or -1.
std::int32_t ObjectInfoIndexOf(const RunObject* object);
// The object-info indexes a reference stands for: the object info, or the qualifier's members.
std::vector<std::int16_t> MemberIndexesOf(std::uint16_t objectInfo);
// The live instances of the object info, or of every member of the qualifier (0 for a reference to none).
std::int32_t InstanceCountOf(std::uint16_t objectInfo);
// Makes every selection stale: a new event starts.
void RaiseEventStamp();
// Between two loops: every selection stale and read as all instances, no walk under way.
void ResetSelectionWords();

std::int32_t SelectedCount(std::uint16_t objectInfo);
// The instances of an object info (by its index in the run table) in chain order, kept between changes of
// the chain.
const std::vector<std::int16_t>& InstancesOf(std::int32_t index);

RunObject* FirstConditionObject(std::uint16_t objectInfo, std::int32_t* count);
RunObject* NextConditionObject();
// Unlinks the current object of the condition walk from its selection.
void DropConditionObject();
// Keeps in the selection of `objectInfo` the objects `keep` answers true for (negated: false for); true
// when any object is left.
bool FilterSelection(std::uint16_t objectInfo, bool negated, bool (*keep)(RunObject*, void*), void* user);

RunObject* SelectObjectByFixedValue(std::uint16_t objectInfo, std::int32_t* count, std::uint32_t fixedValue);
void AddObjectToSelection(RunObject* object);
int ExtensionAddObjectToSelection(void* context, void* ignored, RunObject* object);
void SelectOnlyObject(std::uint16_t objectInfo, RunObject* object);
void EmptyQualifierSelections(std::uint16_t qualifier);
void ClearActiveObjectSelections();
void ClearAllSelections();

RunObject* FirstObjectOfType(std::int16_t type);
RunObject* NextObjectOfType();

RunObject* GetActionObject(std::uint16_t objectInfo, bool* more);
RunObject* GetActionQualifierObject(std::uint16_t qualifier, bool* more);
// Either of the two above, by the reference's qualifier bit.
RunObject* GetActionObjectOf(std::uint16_t objectInfo, bool* more);
// The next pass of the action walk of an object info (by index) that steps through its selection or its
// instances: the pass's object and whether more follow; null when the walk is another kind, or has to take
// its full step (the walk is then left as it was).
RunObject* StepActionWalkOf(std::int32_t objectInfo, bool* more);
// The object an expression token names (its object-info index at 8).
RunObject* GetExpressionObject(const std::uint8_t* token);
// The object of an object parameter (resolved index at 4) for the action `record`.
RunObject* GetParameterObject(const std::uint8_t* parameter, std::uint8_t* record);

RunObject* GetNthSelectedObject(std::uint16_t objectInfo, std::int32_t n, std::int32_t* counter);
RunObject* GetNthObjectOfType(std::int16_t type, std::int32_t n, std::int32_t* count);
RunObject* GetNthObjectOfTypeInZone(const win32::RECT& zone, std::int32_t n, std::int16_t type,
                                    std::int32_t* count);
std::int32_t SelectObjectsInZone(const win32::RECT& zone, std::int16_t type);
void CountObjectsInZone(std::uint16_t objectInfo, const win32::RECT& zone, std::int32_t* count);
std::int32_t CountObjectsCrossingLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
// Whether the segment crosses the object's box (its box edges included).
bool LineCrossesObject(const RunObject* object, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                       std::int32_t y2);

int IsNewCollision(std::int32_t pairKey, RunObject* object);

} // namespace vtrrt
