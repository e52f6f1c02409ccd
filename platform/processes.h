// Processes of this machine: what an operation records about its owner so that a later one
// can tell whether that owner still runs. Never shows a message.
#pragma once

#include <string>

namespace tavlo {

// The id of the running process.
int CurrentProcessId();

// Whether a process with this id runs on this machine, also one this user may not signal
// (and a zombie that its parent has not yet collected). A process id means nothing on
// another machine or after a restart: compare BootId() first.
bool ProcessRunning(int pid);

// Names this boot of this machine ("" when the system does not say), so that an owner
// recorded under another one is known to be gone whatever its process id.
std::string BootId();

}  // namespace tavlo
