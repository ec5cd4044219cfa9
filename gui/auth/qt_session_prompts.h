// SPDX-License-Identifier: GPL-3.0-or-later
// QtSessionPrompts: answers the vault start-up's questions with the real dialogs.
#pragma once

#include "vault/session_prompts.h"

namespace korvane {

// Every window it shows has no owner: the start-up runs before the main window exists.
class QtSessionPrompts final : public SessionPrompts {
public:
    void show_message(const QString& text, const QString& caption) override;
    std::optional<std::string> ask_new_password(NewPasswordReason reason) override;
    std::optional<std::string> ask_master_password() override;
};

}  // namespace korvane
