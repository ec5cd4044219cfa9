// SPDX-License-Identifier: GPL-3.0-or-later
// add: a new record from the field options, its number on standard output.
#include <QString>
#include <string>
#include <utility>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "cli/option_names.h"
#include "vault/vault_statements.h"

namespace korvane::cli::commands {

int add(CommandContext& context) {
    const auto values = context.field_values();
    if (!values) return kExitUsage;
    return context.with_vault([&](VaultSession& session) {
        // A record made while the root is selected belongs to the root's label.
        VaultRecord record{
            values->title.value_or(std::string()), values->account.value_or(std::string()),
            values->password.value_or(std::string()), values->remark.value_or(std::string()),
            values->category.value_or(std::string(kRootCategory))};
        if (!context.category_usable(session, record.category,
                                     context.args().value(option::kCategory))) {
            return int(kExitUsage);
        }
        if (values->ask_password) {
            auto password = context.questions().record_password();
            if (!password) return context.question_failed();
            record.password = std::move(*password);
        }
        auto oid = statements::insert_record(session.db(), record);
        if (!oid) return context.fail(kExitFile, oid.error());
        context.print(QString::number(*oid));
        context.say(QStringLiteral("已新增记录 %1。").arg(*oid));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
