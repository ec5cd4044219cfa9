// SPDX-License-Identifier: GPL-3.0-or-later
// import: records from an older vault file or from a database vault.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "tools/database_import.h"
#include "tools/legacy_import.h"

namespace korvane::cli::commands {
namespace {

// A tool that failed after a termination signal has rolled its one transaction back; the
// command then ends as the signal asked, having said that nothing was changed.
int failed_or_stopped(CommandContext& context, int exit_code, const QString& message) {
    const int sig = context.console().termination_signal();
    return context.fail(sig != 0 ? exit_code_for_signal(sig) : exit_code, message);
}

}  // namespace

int import(CommandContext& context) {
    const QString kind = context.args().arguments[0];
    const QString path = context.args().arguments[1];
    const tools::StopRequested stop = [&context] {
        return context.console().termination_signal() != 0;
    };
    if (kind == QLatin1String("db")) {
        return context.with_vault([&](VaultSession& session) {
            auto counts = tools::import_database(session.db(), path, stop);
            if (!counts) return failed_or_stopped(context, kExitFile, counts.error());
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
    return context.with_vault([&](VaultSession& session) {
        const auto password = context.questions().legacy_password();
        if (!password) return context.question_failed();
        const tools::LegacyImportResult result =
            tools::import_legacy_file(session.db(), *file, *password, stop);
        switch (result.outcome) {
            case tools::LegacyImportOutcome::Imported:
                context.say(QStringLiteral("已导入 %1 条记录。").arg(result.imported));
                return int(kExitSuccess);
            case tools::LegacyImportOutcome::WrongPassword:
                return context.fail(kExitPassword, QStringLiteral("密码错误"));
            case tools::LegacyImportOutcome::Failed:
                break;
        }
        return failed_or_stopped(context, kExitFile, result.message);
    });
}

}  // namespace korvane::cli::commands
