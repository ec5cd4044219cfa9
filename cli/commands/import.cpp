// SPDX-License-Identifier: GPL-3.0-or-later
// import: records from an older vault file or from a database vault.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "tools/database_import.h"
#include "tools/legacy_import.h"

namespace korvane::cli::commands {

int import(CommandContext& context) {
    const QString kind = context.args().arguments[0];
    const QString path = context.args().arguments[1];
    if (kind == QLatin1String("db")) {
        return context.with_vault([&](VaultSession& doc) {
            auto counts = tools::import_database(doc.db(), path);
            if (!counts) return context.fail(kExitFile, counts.error());
            context.say(QStringLiteral("已导入 %1 条记录、%2 个分类。")
                            .arg(counts->records)
                            .arg(counts->categories));
            return int(kExitSuccess);
        });
    }
    if (kind != QLatin1String("old") && kind != QLatin1String("new")) {
        return context.fail(kExitUsage, QStringLiteral("要导入的文件种类须为 old、new 或 db。"));
    }
    // Checked before any password is asked, so a wrong file costs no typing.
    auto file = tools::LegacyVaultFile::open(
        path, kind == QLatin1String("old") ? tools::LegacyFormat::Old : tools::LegacyFormat::New);
    if (!file) return context.fail(kExitFile, file.error());
    return context.with_vault([&](VaultSession& doc) {
        const auto password = context.questions().legacy_password();
        if (!password) return context.question_failed();
        const tools::LegacyImportResult result =
            tools::import_legacy_file(doc.db(), *file, *password);
        switch (result.outcome) {
            case tools::LegacyImportOutcome::Imported:
                context.say(QStringLiteral("已导入 %1 条记录。").arg(result.imported));
                return int(kExitSuccess);
            case tools::LegacyImportOutcome::WrongPassword:
                return context.fail(kExitPassword, QStringLiteral("密码错误"));
            case tools::LegacyImportOutcome::Failed:
                break;
        }
        return context.fail(kExitFile, result.message);
    });
}

}  // namespace korvane::cli::commands
