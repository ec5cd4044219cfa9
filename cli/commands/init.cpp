// SPDX-License-Identifier: GPL-3.0-or-later
// init: creates a new vault in the chosen folder, the new password typed twice.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "cli/terminal_prompts.h"

namespace korvane::cli::commands {

int init(CommandContext& context) {
    const QString dir = context.vault_dir();
    // Only a folder that plainly holds no vault gets one: one that cannot be looked into (a
    // link that leads nowhere, a loop of links, a folder that cannot be entered) may hold one,
    // and what stands in the way is named instead.
    const Result<VaultPresence> presence = CommandContext::vault_presence_in(dir);
    if (!presence) return context.fail(kExitFile, presence.error());
    if (*presence == VaultPresence::Present) {
        return context.fail(kExitFile,
                            QStringLiteral("文件夹“%1”中已经有密码库。").arg(native_path(dir)));
    }
    VaultSession session(dir);
    TerminalPrompts prompts(context.console(), context.questions(),
                            TerminalPrompts::Creation::Allowed);
    const StartOutcome outcome = session.start(prompts);
    if (outcome != StartOutcome::Unlocked) return context.start_failed(outcome);
    const int exit_code = context.finish(session, kExitSuccess);
    if (exit_code == kExitSuccess)
        context.say(QStringLiteral("已创建密码库：%1").arg(native_path(session.vault_path())));
    return exit_code;
}

}  // namespace korvane::cli::commands
