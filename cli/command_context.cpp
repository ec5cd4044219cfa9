// SPDX-License-Identifier: GPL-3.0-or-later
// What every korvane-cli command shares: output, the unlocked vault and the argument checks.
#include "cli/command_context.h"

#include <QDir>
#include <QFileInfo>
#include <exception>
#include <new>
#include <utility>

#include "cli/terminal_prompts.h"
#include "vault/default_vault_dir.h"
#include "vault/fault_injection.h"
#include "vault/session_files.h"
#include "vault/text.h"
#include "vault/vault_statements.h"

namespace korvane::cli {
namespace {

const QString kVaultMissing = QStringLiteral("密码库不存在，请先运行 korvane-cli init");

}  // namespace

QString root_label() { return text::from_gbk(kRootCategory); }

QString escaped(const std::string& stored) {
    const QString text = text::from_gbk(stored);
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case u'\\':
                out += QStringLiteral("\\\\");
                break;
            case u'\t':
                out += QStringLiteral("\\t");
                break;
            case u'\r':
                out += QStringLiteral("\\r");
                break;
            case u'\n':
                out += QStringLiteral("\\n");
                break;
            default:
                out += c;
        }
    }
    return out;
}

CommandContext::CommandContext(Console& console, ParsedArguments arguments)
    : console_(console), args_(std::move(arguments)), questions_(console, args_.password_stdin) {}

void CommandContext::say(const QString& message) {
    console_.write_err(console_.encode(message + u'\n'));
}

void CommandContext::print(const QString& line) {
    console_.write_out(console_.encode(line + u'\n'));
}

int CommandContext::fail(int exit_code, const QString& message) {
    say(message);
    return exit_code;
}

int CommandContext::fail(const Failure& failure) {
    return fail(failure.exit_code, failure.message);
}

int CommandContext::question_failed() {
    return questions_.failure() ? fail(*questions_.failure())
                                : fail(kExitUsage, QStringLiteral("已取消。"));
}

QString CommandContext::vault_dir() const {
    // Only the parsed option counts: a record field that happens to read "--vault-dir" must not
    // choose the folder.
    return args_.vault_dir ? *args_.vault_dir : default_vault_dir();
}

bool CommandContext::vault_exists(const QString& dir) {
    const QDir folder(dir);
    const QFileInfo work(folder.filePath(QLatin1String(VaultSession::kWorkFileName)));
    // An empty working file holds nothing; the session treats it as absent.
    return QFileInfo::exists(folder.filePath(QLatin1String(VaultSession::kVaultFileName))) ||
           (work.exists() && work.size() > 0);
}

int CommandContext::with_vault(const std::function<int(VaultSession&)>& body) {
    return run_with_vault(body, VaultSession::Access::ReadWrite);
}

int CommandContext::with_vault_read_only(const std::function<int(VaultSession&)>& body) {
    return run_with_vault(body, VaultSession::Access::ReadOnly);
}

int CommandContext::run_with_vault(const std::function<int(VaultSession&)>& body,
                                   VaultSession::Access access) {
    const QString dir = vault_dir();
    // Checked first because the session would create a vault (and its folder) otherwise.
    if (!vault_exists(dir)) return fail(kExitFile, kVaultMissing);
    VaultSession doc(dir, access);
    TerminalPrompts prompts(console_, questions_, doc.work_path(),
                            TerminalPrompts::Creation::Refused);
    const StartOutcome outcome = doc.start(prompts);
    if (outcome != StartOutcome::Unlocked) return start_failed(outcome);
    const int exit_code = console_.termination_signal() != 0 ? kExitSuccess : guarded(body, doc);
    return finish(doc, exit_code);
}

int CommandContext::guarded(const std::function<int(VaultSession&)>& body, VaultSession& doc) {
    try {
        if (fault::should_fail("cli.command")) throw std::bad_alloc();
        return body(doc);
    } catch (const std::bad_alloc&) {
        return fail(kExitFile, QStringLiteral("内存不足，命令没有完成；密码库随即重新加密。"));
    } catch (const std::exception& error) {
        return fail(kExitFile, QStringLiteral("命令意外出错，没有完成（%1）；密码库随即重新加密。")
                                   .arg(QString::fromLocal8Bit(error.what())));
    } catch (...) {
        return fail(kExitFile, QStringLiteral("命令意外出错，没有完成；密码库随即重新加密。"));
    }
}

int CommandContext::start_failed(StartOutcome outcome) {
    // The session has shown its own message for every outcome but a cancelled question.
    switch (outcome) {
        case StartOutcome::Cancelled:
            return question_failed();
        case StartOutcome::WrongPassword:
            return kExitPassword;
        case StartOutcome::Busy:
            return kExitBusy;
        case StartOutcome::FileError:
        case StartOutcome::Unlocked:
            break;
    }
    return kExitFile;
}

int CommandContext::finish(VaultSession& doc, int exit_code) {
    if (Status locked = doc.lock(); !locked) {
        say(locked.error() +
            QStringLiteral("\n数据库仍保存在明文工作文件中，下次打开时会自动重新加密。"));
        if (exit_code == kExitSuccess) exit_code = kExitFile;
    }
    if (const int sig = console_.termination_signal(); sig != 0) {
        // A question cut short has already said that it was interrupted.
        say(exit_code == exit_code_for_signal(sig) ? QStringLiteral("密码库已重新加密。")
                                                   : QStringLiteral("已中断，密码库已重新加密。"));
        return exit_code_for_signal(sig);
    }
    return exit_code;
}

std::optional<RecordId> CommandContext::record_id(const QString& text) {
    bool ok = false;
    const qlonglong oid = text.toLongLong(&ok);
    if (!ok || oid <= 0) {
        say(QStringLiteral("“%1”不是有效的记录编号。").arg(text));
        return std::nullopt;
    }
    return RecordId(oid);
}

std::optional<std::string> CommandContext::stored(const QString& text, const QString& field_name) {
    auto bytes = text::to_gbk(text, field_name);
    if (!bytes) {
        say(bytes.error());
        return std::nullopt;
    }
    return std::move(bytes).value();
}

std::optional<FieldValues> CommandContext::field_values() {
    FieldValues values;
    const std::pair<const char*, std::optional<std::string> FieldValues::*> texts[] = {
        {"--title", &FieldValues::title},
        {"--account", &FieldValues::account},
        {"--password", &FieldValues::password},
        {"--remark", &FieldValues::remark},
    };
    const QString names[] = {QStringLiteral("标题"), QStringLiteral("用户名"),
                             QStringLiteral("密码"), QStringLiteral("备注")};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        const QString option = QLatin1String(texts[i].first);
        if (!args_.has(option)) continue;
        auto bytes = stored(args_.value(option), names[i]);
        if (!bytes) return std::nullopt;
        values.*texts[i].second = std::move(bytes);
    }
    if (args_.has(QStringLiteral("--category"))) {
        values.category = category_bytes(args_.value(QStringLiteral("--category")));
        if (!values.category) return std::nullopt;
    }
    values.ask_password = args_.has(QStringLiteral("--ask-password"));
    if (values.ask_password && values.password) {
        say(QStringLiteral("--password 与 --ask-password 只能用一个。"));
        return std::nullopt;
    }
    return values;
}

std::optional<std::string> CommandContext::category_bytes(const QString& label) {
    if (label == root_label()) return std::string(kRootCategory);
    return stored(label, QStringLiteral("分类"));
}

bool CommandContext::category_usable(VaultSession& doc, const std::string& category,
                                     const QString& label) {
    // The window only offers the categories of its tree, whose root is no row of table type.
    if (category == kRootCategory) return true;
    Result<bool> exists = statements::category_exists(doc.db(), category);
    if (!exists) {
        say(exists.error());
        return false;
    }
    if (!*exists) say(QStringLiteral("分类“%1”不存在。").arg(label));
    return *exists;
}

std::optional<VaultRecord> CommandContext::existing_record(VaultSession& doc, RecordId oid) {
    auto record = statements::load_record(doc.db(), oid);
    if (!record) {
        say(record.error());
        return std::nullopt;
    }
    if (!record->has_value()) {
        say(QStringLiteral("没有编号为 %1 的记录。").arg(oid));
        return std::nullopt;
    }
    return **record;
}

bool CommandContext::may_write(const QString& path) {
    if (Status allowed = SessionFiles(vault_dir()).check_output(path); !allowed) {
        say(allowed.error());
        return false;
    }
    if (!QFileInfo::exists(path) || args_.has(QStringLiteral("--force"))) return true;
    say(QStringLiteral("“%1”已存在；加 --force 才会替换它。").arg(native_path(path)));
    return false;
}

}  // namespace korvane::cli
