// SPDX-License-Identifier: GPL-3.0-or-later
// korvane-cli's entry point, callable in-process: one command line in, one exit code out.
#pragma once

#include <QStringList>

#include "cli/console.h"
#include "cli/exit_codes.h"

namespace korvane::cli {

// Runs the command line (arguments[0] is the program's name) against console and returns the
// process exit code. Without --vault-dir the vault folder is the program's default, which needs
// a QCoreApplication named "korvane"; clip needs a QGuiApplication.
int run(const QStringList& arguments, Console& console);

// True when the command line runs clip, the one command that needs a QGuiApplication.
bool wants_clipboard(const QStringList& arguments);

}  // namespace korvane::cli
