// SPDX-License-Identifier: GPL-3.0-or-later
// The string table: status-bar prompts, tooltips and fixed texts, looked up by id.
#pragma once

#include <QString>

namespace korvane::res {

// The entry for id, or an empty text when there is none.
QString string_entry(int id);

// A command's status-bar prompt: the entry up to its line break.
QString command_prompt(int id);
// A command's tooltip: the entry after its line break, or the whole entry without one.
QString command_tooltip(int id);

}  // namespace korvane::res
