// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps a crashing process from writing the open vault into a core file, other processes of
// the same user from reading its memory through ptrace, and a file-size limit from killing it
// half way through a write.
#pragma once

namespace korvane::platform {

// Sets RLIMIT_CORE to 0, marks the process not dumpable and ignores SIGXFSZ, so that a write
// past RLIMIT_FSIZE fails with EFBIG like one to a full disk. Called first thing in each main.
// Returns false if the system refused any of them; the program goes on, with the risk it names.
bool harden_process();

}  // namespace korvane::platform
