// SPDX-License-Identifier: GPL-3.0-or-later
// SessionPrompts: the questions and messages the vault start-up and shutdown need from the
// user. The window layer answers with real dialogs, tests with scripted answers.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "vault/vault_files.h"

namespace korvane {

class SessionPrompts {
public:
    virtual ~SessionPrompts() = default;

    // A message box with an OK button only.
    virtual void show_message(const QString& text, const QString& caption) = 0;
    // The new-password dialog: the padded password as GBK bytes, or nullopt on cancel.
    virtual std::optional<std::string> ask_new_password(NewPasswordReason reason) = 0;
    // The login prompt: the padded password as GBK bytes, or nullopt on cancel.
    virtual std::optional<std::string> ask_master_password() = 0;
};

}  // namespace korvane
