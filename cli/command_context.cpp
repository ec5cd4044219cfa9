// SPDX-License-Identifier: GPL-3.0-or-later
// What every korvane-cli command shares: output, the unlocked vault and the argument checks.
#include "cli/command_context.h"

#include <QDir>
#include <QFileInfo>
#include <exception>
#include <new>
#include <utility>

#include "cli/option_names.h"
#include "cli/terminal_prompts.h"
#include "vault/atomic_file_writer.h"
#include "vault/default_vault_dir.h"
#include "vault/fault_injection.h"
#include "vault/session_files.h"
#include "vault/text.h"
#include "vault/vault_folder_check.h"
#include "vault/vault_statements.h"
#include "vault/write_failure.h"

namespace korvane::cli {
namespace {

const QString kVaultMissing = QStringLiteral("密码库不存在，请先运行 korvane-cli init");

// What run_with_vault hands finish when a signal came before the body could start.
constexpr int kBodyNotRun = -1;

}  // namespace

QString root_label() { return text::from_gbk(kRootCategory); }

bool is_escaped(char16_t c, Escaping escaping) {
    if (c == u'\\' || c == u'\t' || c == u'\r' || c == u'\n') return true;
    if (escaping == Escaping::LineBreaksOnly) return false;
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

QString escaped_text(const QString& text, Escaping escaping) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (!is_escaped(code, escaping)) {
            out += c;
            continue;
        }
        switch (code) {
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
                // ASCII as \xHH, the way a shell's printf writes it back; the rest as \uHHHH.
                out += code < 0x80
                           ? QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0'))
                           : QStringLiteral("\\u%1").arg(int(code), 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}

QString escaped(const std::string& stored, Escaping escaping) {
    return escaped_text(text::from_gbk(stored), escaping);
}

CommandContext::CommandContext(Console& console, ParsedArguments arguments)
    : console_(console), args_(std::move(arguments)), questions_(console, args_.password_stdin) {}

void CommandContext::say(const QString& message) {
    console_.write_err(console_.encode(message + u'\n'));
}

void CommandContext::print(const QString& line) {
    // The rest of a record shown in part would be no use.
    if (console_.out_error() != 0) return;
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

Result<VaultPresence> CommandContext::vault_presence_in(const QString& dir) {
    return vault_presence(VaultFiles(dir));
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
    // "No vault" is said only of a folder that plainly has none: a link that leads nowhere
    // or a folder that cannot be entered is named, since init would not help there.
    const Result<VaultPresence> presence = vault_presence_in(dir);
    if (!presence) return fail(kExitFile, presence.error());
    if (*presence == VaultPresence::Absent) return fail(kExitFile, kVaultMissing);
    VaultSession session(dir, access);
    TerminalPrompts prompts(console_, questions_, TerminalPrompts::Creation::Refused);
    const StartOutcome outcome = session.start(prompts);
    if (outcome != StartOutcome::Unlocked) return start_failed(outcome);
    const int exit_code = console_.termination_signal() != 0 ? kBodyNotRun : guarded(body, session);
    return finish(session, exit_code);
}

int CommandContext::guarded(const std::function<int(VaultSession&)>& body, VaultSession& session) {
    try {
        if (fault::should_fail("cli.command")) throw std::bad_alloc();
        return body(session);
    } catch (const std::bad_alloc&) {
        return fail(kExitFile, QStringLiteral("内存不足，命令没有完成，密码库没有改动。"));
    } catch (const std::exception& error) {
        return fail(kExitFile, QStringLiteral("命令意外出错，没有完成（%1），密码库没有改动。")
                                   .arg(QString::fromLocal8Bit(error.what())));
    } catch (...) {
        return fail(kExitFile, QStringLiteral("命令意外出错，没有完成，密码库没有改动。"));
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

int CommandContext::finish(VaultSession& session, int exit_code) {
    // A body that succeeded has committed its change for good: whatever comes after, a signal
    // too, the report must say it was done, or a retry would do it twice.
    const bool completed = exit_code == kExitSuccess;
    if (std::optional<QString> notice = session.lock()) say(*notice);
    change_kept_ = completed && session.access() == VaultSession::Access::ReadWrite;
    const int sig = console_.termination_signal();
    if (sig == 0) return exit_code == kBodyNotRun ? int(kExitSuccess) : exit_code;
    if (completed) {
        say(QStringLiteral("命令已经完成，没有被中断。"));
        return kExitSuccess;
    }
    // A question cut short, or a writer that rolled back, has already said that it was
    // interrupted.
    if (exit_code != exit_code_for_signal(sig)) say(QStringLiteral("已中断，密码库没有改动。"));
    return exit_code_for_signal(sig);
}

std::optional<RecordId> CommandContext::record_id(const QString& text) {
    bool ok = false;
    const qlonglong oid = text.toLongLong(&ok);
    if (!ok || oid <= 0) {
        say(QStringLiteral("“%1”不是有效的记录编号。").arg(escaped_text(text)));
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
    const std::pair<QLatin1String, std::optional<std::string> FieldValues::*> texts[] = {
        {option::kTitle, &FieldValues::title},
        {option::kAccount, &FieldValues::account},
        {option::kPassword, &FieldValues::password},
        {option::kRemark, &FieldValues::remark},
    };
    const QString names[] = {QStringLiteral("标题"), QStringLiteral("用户名"),
                             QStringLiteral("密码"), QStringLiteral("备注")};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        const QString option = texts[i].first;
        if (!args_.has(option)) continue;
        auto bytes = stored(args_.value(option), names[i]);
        if (!bytes) return std::nullopt;
        values.*texts[i].second = std::move(bytes);
    }
    if (args_.has(option::kCategory)) {
        values.category = category_bytes(args_.value(option::kCategory));
        if (!values.category) return std::nullopt;
    }
    values.ask_password = args_.has(option::kAskPassword);
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

bool CommandContext::category_usable(VaultSession& session, const std::string& category,
                                     const QString& label) {
    // The window only offers the categories of its tree, whose root is no row of table type.
    if (category == kRootCategory) return true;
    Result<bool> exists = statements::category_exists(session.db(), category);
    if (!exists) {
        say(exists.error());
        return false;
    }
    if (!*exists) say(QStringLiteral("分类“%1”不存在。").arg(escaped_text(label)));
    return *exists;
}

std::optional<VaultRecord> CommandContext::existing_record(VaultSession& session, RecordId oid) {
    auto record = statements::load_record(session.db(), oid);
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
    // Before any password is asked; the writer asks again when it writes.
    if (Status regular = AtomicFileWriter::check_target(path); !regular) {
        say(regular.error());
        return false;
    }
    if (!QFileInfo::exists(path) || args_.has(option::kForce)) return true;
    say(QStringLiteral("“%1”已存在；加 --force 才会替换它。").arg(native_path(path)));
    return false;
}

Status CommandContext::write_out(std::string_view bytes) {
    // The console writes the bytes before it returns; no copy is made for it.
    console_.write_out(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    if (console_.out_error() == 0) return Status::success();
    output_failure_said_ = true;
    return make_error(output_failure());
}

bool CommandContext::may_show(const QString& what) {
    if (!console_.out_is_terminal()) return true;
    say(QStringLiteral("标准输出是终端，%1会直接显示在屏幕上，因此没有输出。"
                       "请把它重定向到文件或管道（例如 > 文件名 或 | 命令），或者给出输出文件名。")
            .arg(what));
    return false;
}

QString CommandContext::output_failure() const {
    return QStringLiteral("写入标准输出失败：%1。输出不完整。")
        .arg(system_error_text(console_.out_error()));
}

int CommandContext::ended(int exit_code) {
    if (console_.out_error() == 0) return exit_code;
    if (!output_failure_said_) {
        output_failure_said_ = true;
        say(change_kept_ && exit_code == kExitSuccess
                ? output_failure() + QStringLiteral("命令已经完成，所做的修改已保存。")
                : output_failure());
    }
    // A failure of its own, or a signal, says more than the output's.
    return exit_code == kExitSuccess ? int(kExitFile) : exit_code;
}

Escaping CommandContext::escaping() const {
    return args_.has(option::kRaw) ? Escaping::LineBreaksOnly : Escaping::Full;
}

}  // namespace korvane::cli
