// SPDX-License-Identifier: GPL-3.0-or-later
// backup: the vault as an unencrypted database file, or its bytes on standard output.
#include <QString>
#include <string_view>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "tools/backup_export.h"
#include "vault/session_files.h"

namespace korvane::cli::commands {

int backup(CommandContext& context) {
    const QString path = context.args().arguments[0];
    if (CommandContext::is_standard_output(path)) {
        if (!context.may_show(
                QStringLiteral("无加密的备份是二进制的数据库文件，其中的密码都是明文，")))
            return kExitUsage;
        return context.with_vault_read_only([&](VaultSession& session) {
            const Status written = tools::export_backup(
                session.db(),
                [&context](std::string_view bytes) { return context.write_out(bytes); });
            if (!written) return context.fail(kExitFile, written.error());
            return int(kExitSuccess);
        });
    }
    if (!context.may_write(path)) return kExitFile;
    return context.with_vault_read_only([&](VaultSession& session) {
        if (Status written = tools::export_backup(session.db(), path, SessionFiles(session));
            !written) {
            return context.fail(kExitFile, written.error());
        }
        context.say(QStringLiteral("已导出无加密的备份到“%1”。").arg(native_path(path)));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
