// SPDX-License-Identifier: GPL-3.0-or-later
// export-csv: every record as comma-separated text, as the window exports it.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "tools/csv_export.h"
#include "vault/session_files.h"

namespace korvane::cli::commands {

int export_csv(CommandContext& context) {
    const QString path = context.args().arguments[0];
    if (!context.may_write(path)) return kExitFile;
    return context.with_vault_read_only([&](VaultSession& doc) {
        if (Status written = tools::export_csv(doc.db(), path, SessionFiles(doc)); !written) {
            return context.fail(kExitFile, written.error());
        }
        context.say(QStringLiteral("已导出到“%1”。").arg(native_path(path)));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
