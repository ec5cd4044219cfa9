// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptedPrompts: answers the vault start-up's questions from a script and records messages.
#pragma once

#include <QString>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "vault/session_prompts.h"

namespace korvane::test_support {

class ScriptedPrompts : public SessionPrompts {
public:
    struct Message {
        QString text;
        QString caption;
    };

    // Queue the answers in the order the start-up will ask; nullopt answers Cancel.
    ScriptedPrompts& new_password(std::optional<std::string> answer);
    ScriptedPrompts& master_password(std::optional<std::string> answer);

    void show_message(const QString& text, const QString& caption) override;
    std::optional<std::string> ask_new_password(NewPasswordReason reason) override;
    std::optional<std::string> ask_master_password() override;

    const std::vector<Message>& messages() const { return messages_; }
    // Every question, in order: "message", "new", "master".
    const std::vector<std::string>& log() const { return log_; }
    bool all_answers_used() const { return new_answers_.empty() && master_answers_.empty(); }

private:
    std::deque<std::optional<std::string>> new_answers_;
    std::deque<std::optional<std::string>> master_answers_;
    std::vector<Message> messages_;
    std::vector<std::string> log_;
};

}  // namespace korvane::test_support
