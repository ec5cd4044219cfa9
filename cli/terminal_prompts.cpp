// SPDX-License-Identifier: GPL-3.0-or-later
// TerminalPrompts: messages to standard error, passwords through PasswordQuestions.
#include "cli/terminal_prompts.h"

#include <utility>

namespace korvane::cli {

TerminalPrompts::TerminalPrompts(Console& console, PasswordQuestions& questions, Creation creation)
    : console_(console), questions_(questions), creation_(creation) {}

void TerminalPrompts::show_message(const QString& text, const QString&) {
    console_.write_err(console_.encode(text + QLatin1Char('\n')));
}

std::optional<std::string> TerminalPrompts::ask_new_password(NewPasswordReason reason) {
    if (creation_ == Creation::Refused && reason == NewPasswordReason::NewVault) {
        questions_.fail(kExitFile, QStringLiteral("密码库不存在，请先运行 korvane-cli init"));
        return std::nullopt;
    }
    std::optional<std::string> password = questions_.new_master_password();
    if (creation_ == Creation::Allowed) created_password_ = password;
    return password;
}

std::optional<std::string> TerminalPrompts::ask_master_password() {
    // The window asks again after creating; typing the new password a third time adds nothing.
    if (created_password_) return std::exchange(created_password_, std::nullopt);
    return questions_.master_password();
}

}  // namespace korvane::cli
