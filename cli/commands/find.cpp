// SPDX-License-Identifier: GPL-3.0-or-later
// find: the records of every category whose title, account or remark holds a text, as ls lists
// them plus their category.
#include <QString>
#include <string>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "cli/row_output.h"
#include "vault/record_search.h"

namespace korvane::cli::commands {

int find(CommandContext& context) {
    const QString text = context.args().arguments.value(0);
    // Refused before the password is asked: an empty text searches nothing.
    if (text.isEmpty()) return context.fail(kExitUsage, QStringLiteral("查找的文字不能为空。"));
    return context.with_vault_read_only([&](VaultSession& session) {
        RowOutput out(context.console(), context.escaping());
        const Status searched =
            search::for_each_match(session.db(), text, [&out](const RecordMatch& match) {
                const RecordSummary& row = match.record;
                out.number(row.oid);
                for (const std::string* field :
                     {&row.title, &row.account, &row.remark, &match.category}) {
                    out.tab();
                    out.field(*field);
                }
                out.end_line();
                return true;
            });
        out.flush();
        if (!searched) return context.fail(kExitFile, searched.error());
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
