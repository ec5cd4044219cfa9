// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptedPrompts: scripted answers for the vault start-up.
#include "support/scripted_prompts.h"

#include <gtest/gtest.h>

namespace korvane::test_support {

ScriptedPrompts& ScriptedPrompts::new_password(std::optional<std::string> answer) {
    new_answers_.push_back(std::move(answer));
    return *this;
}

ScriptedPrompts& ScriptedPrompts::master_password(std::optional<std::string> answer) {
    master_answers_.push_back(std::move(answer));
    return *this;
}

void ScriptedPrompts::show_message(const QString& text, const QString& caption) {
    messages_.push_back({text, caption});
    log_.push_back("message");
}

std::optional<std::string> ScriptedPrompts::ask_new_password(NewPasswordReason) {
    log_.push_back("new");
    if (new_answers_.empty()) {
        ADD_FAILURE() << "unexpected new-password dialog";
        return std::nullopt;
    }
    auto answer = new_answers_.front();
    new_answers_.pop_front();
    return answer;
}

std::optional<std::string> ScriptedPrompts::ask_master_password() {
    log_.push_back("master");
    if (master_answers_.empty()) {
        ADD_FAILURE() << "unexpected password prompt";
        return std::nullopt;
    }
    auto answer = master_answers_.front();
    master_answers_.pop_front();
    return answer;
}

}  // namespace korvane::test_support
