// find: the records of every category whose title, account or remark holds a text, as ls lists
// them plus their category.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "vault/record_search.h"

namespace korvane::cli::commands {

int find(CommandContext& context) {
    const QString text = context.args().arguments.value(0);
    // Refused before the password is asked: an empty text searches nothing.
    if (text.isEmpty()) return context.fail(kExitUsage, QStringLiteral("查找的文字不能为空。"));
    return context.with_vault([&](VaultSession& doc) {
        auto found = search::find_records(doc.db(), text);
        if (!found) return context.fail(kExitFile, found.error());
        QString out;
        for (const RecordMatch& match : *found) {
            const RecordSummary& row = match.record;
            out += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                       .arg(row.oid)
                       .arg(escaped(row.title), escaped(row.account), escaped(row.remark),
                            escaped(match.category));
        }
        context.console().write_out(out.toLocal8Bit());
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
