// SPDX-License-Identifier: GPL-3.0-or-later
// What the window benchmarks need to unlock a vault without windows.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "vault/session_prompts.h"
#include "vault/text.h"

namespace korvane::bench {

inline const std::string kPassword = "benchmarkyyyyyyyy";

// The start-up's questions, answered without windows.
class FixedPrompts : public SessionPrompts {
public:
    void show_message(const QString&, const QString&) override {}
    std::optional<std::string> ask_new_password(NewPasswordReason) override { return kPassword; }
    std::optional<std::string> ask_master_password() override { return kPassword; }
};

inline std::string gbk(const QString& text) { return *text::to_gbk(text, QStringLiteral("bench")); }

}  // namespace korvane::bench
