// SPDX-License-Identifier: GPL-3.0-or-later
// passwd: changes the master password.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"

namespace korvane::cli::commands {

int passwd(CommandContext& context) {
    return context.with_vault([&](VaultSession& session) {
        const auto password = context.questions().new_master_password();
        if (!password) return context.question_failed();
        if (Status changed = session.change_master_password(*password); !changed) {
            return context.fail(kExitFile, changed.error());
        }
        context.say(QStringLiteral("主密码已修改。"));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
