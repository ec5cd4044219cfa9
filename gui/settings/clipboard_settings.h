// SPDX-License-Identifier: GPL-3.0-or-later
// ClipboardSettings: the stored delay after which a copied password leaves the clipboard.
#pragma once

#include <QVariant>

namespace korvane {

// Kept beside the chosen look, in the same settings store (StyleSettings).
class ClipboardSettings {
public:
    static constexpr char kKey[] = "Settings/ClipboardClearSeconds";
    static constexpr int kDefaultSeconds = 10;
    // 0 keeps a copied password until the user replaces it.
    static constexpr int kNever = 0;
    // Less than 5 s leaves no time to paste; more than 5 min is hardly a clearing.
    static constexpr int kMinSeconds = 5;
    static constexpr int kMaxSeconds = 300;

    // The stored delay in seconds; kDefaultSeconds when it is missing or out of range.
    static int read();
    // Stores seconds as given; read() decides what an out-of-range value means.
    static void write(int seconds);
    // What a stored value means: kNever, a delay in range, or kDefaultSeconds for anything else.
    static int from_stored(const QVariant& stored);
};

}  // namespace korvane
