// SPDX-License-Identifier: GPL-3.0-or-later
// read_lock_keys: the Caps, Num and Scroll Lock lights as the desktop reports them.
#pragma once

#include <optional>

namespace korvane {

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The lock keys' state, or nullopt where the platform does not tell it (Wayland, offscreen).
std::optional<LockKeyState> read_lock_keys();

}  // namespace korvane
