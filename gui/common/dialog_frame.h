// SPDX-License-Identifier: GPL-3.0-or-later
// The window frame the program's small dialogs share: resizable, with a maximise button.
#pragma once

class QDialog;

namespace korvane {

// Lets dialog be resized down to what its layout needs and offers the maximise button, so a
// larger font or a longer text never leaves it cut off at a size fixed by the designer.
void use_resizable_frame(QDialog& dialog);

}  // namespace korvane
