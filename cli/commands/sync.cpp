// SPDX-License-Identifier: GPL-3.0-or-later
// sync: adds the records and categories of another database vault that this one lacks.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "tools/database_sync.h"

namespace korvane::cli::commands {
namespace {

// A tool that failed after a termination signal has rolled its one transaction back; the
// command then ends as the signal asked, having said that nothing was changed.
int failed_or_stopped(CommandContext& context, int exit_code, const QString& message) {
    const int sig = context.console().termination_signal();
    return context.fail(sig != 0 ? exit_code_for_signal(sig) : exit_code, message);
}

}  // namespace

int sync(CommandContext& context) {
    const QString path = context.args().arguments[0];
    return context.with_vault([&](VaultSession& session) {
        auto counts = tools::sync_database(
            session.db(), path, [&context] { return context.console().termination_signal() != 0; });
        if (!counts) return failed_or_stopped(context, kExitFile, counts.error());
        context.say(QStringLiteral("数据库同步成功，共同步了%1条数据").arg(counts->records));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
