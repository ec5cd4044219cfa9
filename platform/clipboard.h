// SPDX-License-Identifier: GPL-3.0-or-later
// The one way text reaches the clipboard, and the way it is emptied.
#pragma once

#include <QString>

namespace korvane {

// Replaces the clipboard's content with text, marked as a secret so that clipboard managers
// that honour the hint do not keep it in their history.
void put_text_on_clipboard(const QString& text);

// Empties the clipboard.
void clear_clipboard();

}  // namespace korvane
