// SPDX-License-Identifier: GPL-3.0-or-later
// TerminalPrompts: the vault session's questions and messages on the terminal.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "cli/console.h"
#include "cli/password_questions.h"
#include "vault/session_prompts.h"

namespace korvane::cli {

class TerminalPrompts final : public SessionPrompts {
public:
    enum class Creation {
        Allowed,  // init: the new password also answers the password prompt that follows
        Refused,  // every other command: only a left-over working file may get a new password
    };

    TerminalPrompts(Console& console, PasswordQuestions& questions, Creation creation);

    void show_message(const QString& text, const QString& caption) override;
    std::optional<std::string> ask_new_password(NewPasswordReason reason) override;
    std::optional<std::string> ask_master_password() override;

private:
    Console& console_;
    PasswordQuestions& questions_;
    Creation creation_;
    std::optional<std::string> created_password_;
};

}  // namespace korvane::cli
