// SPDX-License-Identifier: GPL-3.0-or-later
// edit: changes the fields given and leaves the others as they are.
#include <QString>
#include <utility>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "cli/option_names.h"
#include "vault/vault_statements.h"

namespace korvane::cli::commands {

int edit(CommandContext& context) {
    const auto oid = context.record_id(context.args().arguments[0]);
    if (!oid) return kExitUsage;
    const auto values = context.field_values();
    if (!values) return kExitUsage;
    if (!values->any()) return context.fail(kExitUsage, QStringLiteral("没有给出要修改的字段。"));
    return context.with_vault([&](VaultSession& session) {
        auto record = context.existing_record(session, *oid);
        if (!record) return int(kExitUsage);
        if (values->category && !context.category_usable(session, *values->category,
                                                         context.args().value(option::kCategory))) {
            return int(kExitUsage);
        }
        if (values->title) record->title = *values->title;
        if (values->account) record->account = *values->account;
        if (values->password) record->password = *values->password;
        if (values->remark) record->remark = *values->remark;
        if (values->category) record->category = *values->category;
        if (values->ask_password) {
            auto password = context.questions().record_password();
            if (!password) return context.question_failed();
            record->password = std::move(*password);
        }
        if (Status saved = statements::update_record(session.db(), *oid, *record); !saved) {
            return context.fail(kExitFile, saved.error());
        }
        context.say(QStringLiteral("已修改记录 %1。").arg(*oid));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
