// SPDX-License-Identifier: GPL-3.0-or-later
// export-csv: every record as comma-separated text, as the window exports it, to a file or to
// standard output.
#include <QString>
#include <string_view>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "tools/csv_export.h"
#include "vault/session_files.h"

namespace korvane::cli::commands {

int export_csv(CommandContext& context) {
    const QString path = context.args().arguments[0];
    if (CommandContext::is_standard_output(path)) {
        if (!context.may_show(QStringLiteral("导出的 CSV 文本含有每条记录的明文密码，")))
            return kExitUsage;
        return context.with_vault_read_only([&](VaultSession& session) {
            const Status written = tools::export_csv(
                session.db(),
                [&context](std::string_view bytes) { return context.write_out(bytes); });
            if (!written) return context.fail(kExitFile, written.error());
            return int(kExitSuccess);
        });
    }
    if (!context.may_write(path)) return kExitFile;
    return context.with_vault_read_only([&](VaultSession& session) {
        if (Status written = tools::export_csv(session.db(), path, SessionFiles(session));
            !written) {
            return context.fail(kExitFile, written.error());
        }
        context.say(QStringLiteral("已导出到“%1”。").arg(native_path(path)));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
