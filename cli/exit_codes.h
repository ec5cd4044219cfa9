// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line front end's exit codes and the failure that carries one.
#pragma once

#include <QString>

namespace korvane::cli {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitUsage = 1,     // a wrong command line or a value that cannot be stored
    kExitPassword = 2,  // a wrong password, or one that makes no key
    kExitBusy = 3,      // another instance has the vault open
    kExitFile = 4,      // a missing vault, or a file that cannot be read, written or understood
};

// A signal ends the command the way shells report it.
inline int exit_code_for_signal(int sig) { return 128 + sig; }

// Why a command stops, and what the user is told.
struct Failure {
    int exit_code = kExitUsage;
    QString message;
};

}  // namespace korvane::cli
