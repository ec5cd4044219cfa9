// SPDX-License-Identifier: GPL-3.0-or-later
// clip: copies a record's password to the clipboard and clears it after a while.
#include <QEventLoop>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QString>
#include <memory>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "cli/option_names.h"
#include "platform/clipboard_clearer.h"
#include "vault/secure_wipe.h"
#include "vault/text.h"
#include "vault/vault_statements.h"

namespace korvane::cli::commands {
namespace {

constexpr int kDefaultClearSeconds = 10;
constexpr int kMaxClearSeconds = 24 * 60 * 60;

int hold_on_clipboard(CommandContext& context, QString& password, int seconds) {
    ClipboardClearer clearer;
    clearer.set_delay_seconds(seconds);
    clearer.put(password);
    secure_wipe(password);
    context.say(QStringLiteral("密码已复制到剪贴板，%1 秒后清除。").arg(seconds));
    QEventLoop wait;
    QObject::connect(&clearer, &ClipboardClearer::finished, &wait, &QEventLoop::quit);
    std::unique_ptr<QSocketNotifier> interrupt;
    if (context.console().termination_fd() >= 0) {
        interrupt = std::make_unique<QSocketNotifier>(context.console().termination_fd(),
                                                      QSocketNotifier::Read);
        QObject::connect(interrupt.get(), &QSocketNotifier::activated, &wait, &QEventLoop::quit);
    }
    if (context.console().termination_signal() == 0) wait.exec();
    // On an interruption the deadline has not come; the password must not outlive the command.
    clearer.clear_now();
    if (const int sig = context.console().termination_signal(); sig != 0) {
        context.say(QStringLiteral("已中断。"));
        return exit_code_for_signal(sig);
    }
    return kExitSuccess;
}

}  // namespace

int clip(CommandContext& context) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return context.fail(kExitFile, QStringLiteral("没有图形显示（DISPLAY 或 WAYLAND_DISPLAY），"
                                                      "无法使用剪贴板。"));
    }
    int seconds = kDefaultClearSeconds;
    if (context.args().has(option::kClearAfter)) {
        bool ok = false;
        seconds = context.args().value(option::kClearAfter).toInt(&ok);
        if (!ok || seconds < 1 || seconds > kMaxClearSeconds) {
            return context.fail(
                kExitUsage,
                QStringLiteral("--clear-after 须为 1 到 %1 的整数。").arg(kMaxClearSeconds));
        }
    }
    const auto oid = context.record_id(context.args().arguments[0]);
    if (!oid) return kExitUsage;
    QString password;
    const int exit_code = context.with_vault_read_only([&](VaultSession& session) {
        // The window's statement reads an empty text for a missing row, which must not look
        // like a copied password.
        if (!context.existing_record(session, *oid)) return int(kExitUsage);
        auto stored_password = statements::record_password(session.db(), *oid);
        if (!stored_password) return context.fail(kExitFile, stored_password.error());
        password = text::from_gbk(*stored_password);
        return int(kExitSuccess);
    });
    // The vault is locked again and free for the window before the wait begins.
    if (exit_code != kExitSuccess) return exit_code;
    return hold_on_clipboard(context, password, seconds);
}

}  // namespace korvane::cli::commands
