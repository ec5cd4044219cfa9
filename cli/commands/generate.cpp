// SPDX-License-Identifier: GPL-3.0-or-later
// generate: a random password; needs no vault.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "cli/option_names.h"
#include "tools/password_generator.h"

namespace korvane::cli::commands {
namespace {

constexpr int kDefaultGeneratedLength = 16;

}  // namespace

int generate(CommandContext& context) {
    int length = kDefaultGeneratedLength;
    if (context.args().has(option::kLength)) {
        bool ok = false;
        length = context.args().value(option::kLength).toInt(&ok);
        if (!ok) return context.fail(kExitUsage, QStringLiteral("--length 须为整数。"));
    }
    tools::CharClasses classes;
    const QString letters = context.args().has(option::kClasses)
                                ? context.args().value(option::kClasses)
                                : QStringLiteral("luds");
    for (const QChar letter : letters) {
        switch (letter.unicode()) {
            case u'l':
                classes.lower = true;
                break;
            case u'u':
                classes.upper = true;
                break;
            case u'd':
                classes.digits = true;
                break;
            case u's':
                classes.symbols = true;
                break;
            default:
                return context.fail(kExitUsage,
                                    QStringLiteral("--classes 只能由 l、u、d、s 组成。"));
        }
    }
    auto password = tools::generate_password(length, classes);
    if (!password) return context.fail(kExitUsage, password.error());
    // Generated characters are ASCII only.
    context.print(QString::fromLatin1(password->data(), qsizetype(password->size())));
    return kExitSuccess;
}

}  // namespace korvane::cli::commands
