// SPDX-License-Identifier: GPL-3.0-or-later
// encrypt-file and decrypt-file: the file tool, with a typed password or the master password.
#include "tools/file_crypt.h"

#include <QFileInfo>
#include <QString>
#include <string>
#include <utility>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "cli/option_names.h"
#include "vault/session_files.h"

namespace korvane::cli::commands {
namespace {

int crypt_file(CommandContext& context, bool encrypt) {
    const QString source = context.args().arguments[0];
    if (!QFileInfo(source).isFile()) {
        return context.fail(kExitFile, QStringLiteral("找不到文件“%1”").arg(native_path(source)));
    }
    const QString target =
        encrypt ? tools::encrypted_file_path(source) : tools::decrypted_file_path(source);
    if (!context.may_write(target)) return kExitFile;
    std::string password;
    if (context.args().has(option::kUseMasterPassword)) {
        const int exit_code = context.with_vault_read_only([&](VaultSession& session) {
            password = session.master_password();
            return int(kExitSuccess);
        });
        if (exit_code != kExitSuccess) return exit_code;
    } else {
        auto typed = context.questions().file_password();
        if (!typed) return context.question_failed();
        password = std::move(*typed);
    }
    const SessionFiles session(context.vault_dir());
    const Status done = encrypt ? tools::encrypt_file(source, target, password, session)
                                : tools::decrypt_file(source, target, password, session);
    if (!done) return context.fail(kExitFile, done.error());
    context.say((encrypt ? QStringLiteral("加密成功：%1") : QStringLiteral("解密成功：%1"))
                    .arg(native_path(target)));
    return kExitSuccess;
}

}  // namespace

int encrypt_file(CommandContext& context) { return crypt_file(context, true); }

int decrypt_file(CommandContext& context) { return crypt_file(context, false); }

}  // namespace korvane::cli::commands
