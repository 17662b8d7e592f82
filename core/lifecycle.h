#pragma once
// Ending the program. A request to end is noted and passed to the event loop; the entry
// checks the note before it starts the loop, since a quit asked for earlier would be lost.
// Halting ends the process at once (used where the program must not show any window).

#include <functional>

namespace rimo {

void requestTerminate();
bool terminateRequested();
void resetTerminateRequest(); // for tests that build the program several times

// Ends the process immediately with `code`. Tests replace the action with their own.
[[noreturn]] void haltProcess(int code);
void setHaltAction(std::function<void(int)> action); // the action must not return normally (throw)

} // namespace rimo
