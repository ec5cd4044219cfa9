// SPDX-License-Identifier: GPL-3.0-or-later
// show: one record, its password hidden unless asked for, its fields escaped as ls escapes them.
#include <QString>
#include <string>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "cli/option_names.h"
#include "vault/text.h"
#include "vault/vault_statements.h"

namespace korvane::cli::commands {

int show(CommandContext& context) {
    const auto oid = context.record_id(context.args().arguments[0]);
    if (!oid) return kExitUsage;
    return context.with_vault_read_only([&](VaultSession& session) {
        const auto record = context.existing_record(session, *oid);
        if (!record) return int(kExitUsage);
        // A line end in a field would otherwise start a line that reads as another field.
        const bool raw = context.escaping() != Escaping::Full;
        const auto shown = [raw](const std::string& stored) {
            return raw ? text::from_gbk(stored) : escaped(stored);
        };
        const QString password = context.args().has(option::kShowPassword)
                                     ? shown(record->password)
                                     : QStringLiteral("（已隐藏，加 --show-password 显示）");
        context.print(QStringLiteral("编号：%1").arg(*oid));
        context.print(QStringLiteral("标题：") + shown(record->title));
        context.print(QStringLiteral("用户名：") + shown(record->account));
        context.print(QStringLiteral("密码：") + password);
        context.print(QStringLiteral("备注：") + shown(record->remark));
        context.print(QStringLiteral("分类：") + shown(record->category));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
