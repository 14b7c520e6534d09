// Named fast loops of the special object: a start-loop action runs the loop's groups a number of times
// inside one action, by the groups prepared for a literal name or through the on-loop condition's list.
#pragma once

#include <cstdint>
#include <string_view>

namespace vtrrt {

// The position of the loop named so in the run's table, appended when absent; -1 when memory runs out.
std::int32_t FindOrAddNamedLoop(std::u16string_view name);
// The position of the first loop named so, or -1.
std::int32_t FindNamedLoop(std::u16string_view name);

void StartLoopAction(std::uint8_t* record);
void StopLoopAction(std::uint8_t* record);
void SetLoopIndexAction(std::uint8_t* record);
// Condition -16 raised: the loop being run has the parameter's name.
int OnLoopCondition(std::uint8_t* record);
// The loop index expressions (46, and 66 that a literal name is rewritten to) and the literal constants
// they read.
void InstallLoopExpressions();

} // namespace vtrrt
