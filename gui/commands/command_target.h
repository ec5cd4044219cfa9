// SPDX-License-Identifier: GPL-3.0-or-later
// CommandTarget: a window that handles some of the program's command ids.
#pragma once

namespace korvane {

// What an update rule says of a command right now.
struct CommandState {
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    bool radio = false;  // drawn as the selected item of a group
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;

    // True when this target has a handler for id; a command goes to the first such target of
    // the routing chain.
    virtual bool handles_command(int id) const = 0;
    virtual void execute_command(int id) = 0;
    // The update rule of a handled command: enabled by default; may check or mark it.
    virtual void update_command(int id, CommandState& state) const {
        (void)id;
        (void)state;
    }
};

}  // namespace korvane
