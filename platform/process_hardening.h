// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps a crashing process from writing the open vault into a core file, and other processes of
// the same user from reading its memory through ptrace.
#pragma once

namespace korvane::platform {

// Sets RLIMIT_CORE to 0 and marks the process not dumpable. Called first thing in each main.
// Returns false if the system refused either; the program goes on, with the risk it names.
bool harden_process();

}  // namespace korvane::platform
