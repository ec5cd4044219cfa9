// SPDX-License-Identifier: GPL-3.0-or-later
// ls: the records of the root view or of one category, one tab-separated line each.
#include <QString>
#include <optional>
#include <string>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "cli/row_output.h"
#include "vault/vault_statements.h"

namespace korvane::cli::commands {

int list(CommandContext& context) {
    const QString label = context.args().arguments.value(0);
    std::optional<std::string> category;
    if (!label.isEmpty() && label != root_label()) {
        category = context.category_bytes(label);
        if (!category) return kExitUsage;
    }
    return context.with_vault_read_only([&](VaultSession& session) {
        if (category && !context.category_usable(session, *category, label)) return int(kExitUsage);
        RowOutput out(context.console(), context.escaping());
        const auto write_row = [&out, &context](const RecordSummary& row) {
            out.number(row.oid);
            for (const std::string* text : {&row.title, &row.account, &row.remark}) {
                out.tab();
                out.field(*text);
            }
            out.end_line();
            // A reader that went away, or a full disk, would take none of the rest.
            return context.console().out_error() == 0;
        };
        const Status listed =
            category ? statements::for_each_record_of_category(session.db(), *category, write_row)
                     : statements::for_each_root_record(session.db(), write_row);
        out.flush();
        if (!listed) return context.fail(kExitFile, listed.error());
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
