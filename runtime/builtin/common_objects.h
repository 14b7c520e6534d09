// The conditions, actions and expressions that every object of type 2 and up answers (and the active
// object's own), with the create-object system object, and what their routines share: the value of an
// expression parameter for each object a condition walks.
#pragma once

#include "core/typed_value.h"

#include "win32/types.h"

#include <cstdint>
#include <vector>

namespace vtrrt {

struct RunObject;

// Each puts its routines in the dispatch tables.
void InstallCommonConditionRoutines();
void InstallCommonActionRoutines();
void InstallDisplayActionRoutines();
void InstallObjectLoopRoutines();
void InstallCommonExpressionRoutines();
void InstallActiveObjectRoutines();
void InstallCreateObjectRoutines();

// What actions left for after the event's actions: swapping positions, then the object loops.
void RunDeferredObjectActions();
void RunObjectLoops();

// The value of a parameter for each object a condition walks: a parameter that is no expression, or an
// expression of one constant token (an integer, a double or a global value), is evaluated once; any other
// expression again for each object, so that it may name that object.
class PerObjectValue {
public:
    explicit PerObjectValue(const std::uint8_t* parameter) : parameter_(parameter) {}
    TypedValue For(RunObject* object);
    std::int32_t IntFor(RunObject* object) { return For(object).ToInt(); }

private:
    const std::uint8_t* parameter_;
    int state_ = 0; // 0 not read yet, 1 constant read, 2 evaluated for each object
    TypedValue value_{};
};

// The comparison operator of a comparison parameter (expression codes: the u16 at 4; code 42: the i16 at
// 12); -1 for a parameter that holds none.
int ComparisonOperatorOf(const std::uint8_t* parameter);

// A zone parameter: left, top, right and bottom; false when the parameter is too short.
bool ZoneOfParameter(const std::uint8_t* parameter, win32::RECT& zone);

// The objects a record names: its resolved object info or qualifier.
std::uint16_t ReferenceOf(const std::uint8_t* record);
// The object infos an action names: its own, or each member of its qualifier.
std::vector<std::uint16_t> ActionObjectInfos(const std::uint8_t* record);

} // namespace vtrrt
