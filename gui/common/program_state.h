// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the program is ending, and why, kept as properties of the application object.
#pragma once

#include <QString>
#include <optional>

namespace korvane {

// Set once the system or a failure has asked the program to end: from then on no question is
// shown and every one still open counts as cancelled. Without an application object nothing is
// quitting.
bool program_quitting();
void mark_program_quitting();

// An exception that reached the event loop: the program ends with a failure and says why. The
// first failure is kept; later ones are usually its consequences.
void mark_program_failed(const QString& what);
std::optional<QString> program_failure();

// Forgets both marks, when the run they belong to is over.
void clear_program_state();

}  // namespace korvane
