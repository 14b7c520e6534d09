// Console control events between the signal that raises them and the message queue that delivers them.
#pragma once

namespace win32::detail {

// Runs the handler routines for a signal that arrived since the last call; cheap when none did.
void DeliverConsoleControlEvents();

// Queues an interrupt as if SIGINT had arrived. False when no routine is registered to take it.
bool QueueConsoleInterrupt();

} // namespace win32::detail
