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
    return context.with_vault([&](VaultSession& doc) {
        auto csv = tools::build_csv(doc.db());
        if (!csv) return context.fail(kExitFile, csv.error());
        if (Status written = tools::write_csv(path, *csv, SessionFiles(doc)); !written) {
            return context.fail(kExitFile, written.error());
        }
        context.say(QStringLiteral("已导出到“%1”。").arg(native_path(path)));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
