// ls: the records of the root view or of one category, one tab-separated line each.
#include <QString>
#include <optional>
#include <string>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "vault/vault_statements.h"

namespace korvane::cli::commands {

int list(CommandContext& context) {
    const QString label = context.args().arguments.value(0);
    std::optional<std::string> category;
    if (!label.isEmpty() && label != root_label()) {
        category = context.category_bytes(label);
        if (!category) return kExitUsage;
    }
    return context.with_vault([&](VaultSession& doc) {
        if (category && !context.category_usable(doc, *category, label)) return int(kExitUsage);
        auto rows = category ? statements::list_records_of_category(doc.db(), *category)
                             : statements::list_root_records(doc.db());
        if (!rows) return context.fail(kExitFile, rows.error());
        QString out;
        for (const RecordSummary& row : *rows) {
            out += QStringLiteral("%1\t%2\t%3\t%4\n")
                       .arg(row.oid)
                       .arg(escaped(row.title), escaped(row.account), escaped(row.remark));
        }
        context.console().write_out(out.toLocal8Bit());
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
