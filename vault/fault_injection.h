// SPDX-License-Identifier: GPL-3.0-or-later
// Test-only hook at each file operation of the vault: lets tests fail a step or kill the
// process there. Compiles to nothing unless KORVANE_FAULT_INJECTION is defined.
#pragma once

namespace korvane::fault {

// Returns true when the named step should fail as if the file system had refused it.
using Hook = bool (*)(const char* point);

#ifdef KORVANE_FAULT_INJECTION
void set_hook(Hook hook);
bool should_fail(const char* point);
#else
inline bool should_fail(const char*) { return false; }
#endif

}  // namespace korvane::fault
