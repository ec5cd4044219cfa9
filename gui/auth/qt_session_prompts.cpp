// SPDX-License-Identifier: GPL-3.0-or-later
// QtSessionPrompts: SessionPrompts on LoginDialog, ChangePasswordDialog and show_message.
#include "gui/auth/qt_session_prompts.h"

#include "gui/auth/change_password_dialog.h"
#include "gui/auth/login_dialog.h"
#include "gui/common/message_box.h"
#include "gui/common/run_modal.h"

namespace korvane {

void QtSessionPrompts::show_message(const QString& text, const QString& caption) {
    korvane::show_message(nullptr, text, caption);
}

std::optional<std::string> QtSessionPrompts::ask_new_password(NewPasswordReason) {
    ChangePasswordDialog dialog;
    if (run_modal(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.new_password();
}

std::optional<std::string> QtSessionPrompts::ask_master_password() {
    LoginDialog dialog;
    if (run_modal(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.password();
}

}  // namespace korvane
