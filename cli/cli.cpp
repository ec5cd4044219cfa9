// korvane-cli's commands: each gathers its input, opens the vault through VaultSession and calls
// the vault's statements or a tool, exactly as the window's handlers do.
#include "cli/cli.h"

#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <new>

#include "cli/arguments.h"
#include "cli/password_questions.h"
#include "cli/terminal_prompts.h"
#include "platform/clipboard.h"
#include "tools/backup_export.h"
#include "tools/csv_export.h"
#include "tools/database_import.h"
#include "tools/database_sync.h"
#include "tools/file_crypt.h"
#include "tools/legacy_import.h"
#include "tools/password_generator.h"
#include "vault/fault_injection.h"
#include "vault/session_files.h"
#include "vault/text.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane::cli {
namespace {

constexpr int kDefaultClearSeconds = 10;
constexpr int kMaxClearSeconds = 24 * 60 * 60;
constexpr int kDefaultGeneratedLength = 16;

const QString kVaultMissing = QStringLiteral("密码库不存在，请先运行 korvane-cli init");

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

QString root_label() { return text::from_gbk(kRootCategory); }

// One field of a tab-separated line; escaping keeps one record on one line and is reversible.
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

// The texts given for a record's fields, already in the vault's encoding.
struct FieldValues {
    std::optional<std::string> title, account, password, remark, category;
    bool ask_password = false;

    bool any() const { return title || account || password || remark || category || ask_password; }
};

class Command {
public:
    Command(Console& console, ParsedArguments arguments)
        : console_(console),
          args_(std::move(arguments)),
          questions_(console, args_.password_stdin) {}

    int run();

private:
    void say(const QString& message) { console_.write_err((message + u'\n').toLocal8Bit()); }
    void print(const QString& line) { console_.write_out((line + u'\n').toLocal8Bit()); }
    int fail(int exit_code, const QString& message) {
        say(message);
        return exit_code;
    }
    int fail(const Failure& failure) { return fail(failure.exit_code, failure.message); }
    int question_failed() {
        return questions_.failure() ? fail(*questions_.failure())
                                    : fail(kExitUsage, QStringLiteral("已取消。"));
    }

    QString vault_dir() const;
    static bool vault_exists(const QString& dir);
    // Unlocks the vault, runs body while it is open, then locks it again whatever happened.
    int with_vault(const std::function<int(VaultSession&)>& body);
    // body's exit code; an exception (most likely an allocation that failed) ends only the
    // command, said in Chinese, so that the vault is still locked after it.
    int guarded(const std::function<int(VaultSession&)>& body, VaultSession& doc);
    int start_failed(StartOutcome outcome);
    int finish(VaultSession& doc, int exit_code);

    std::optional<RecordId> record_id(const QString& text);
    std::optional<std::string> stored(const QString& text, const QString& field_name);
    std::optional<FieldValues> field_values();
    // The stored form of a category argument; the root's label stands for the root.
    std::optional<std::string> category_bytes(const QString& label);
    bool category_usable(VaultSession& doc, const std::string& category, const QString& label);
    std::optional<VaultRecord> existing_record(VaultSession& doc, RecordId oid);
    // False, having said why, when path is one of the vault's own files (whatever --force
    // says) or exists and --force is not given.
    bool may_write(const QString& path);

    int init();
    int list();
    int categories();
    int show();
    int add();
    int edit();
    int remove();
    int move();
    int clip();
    int export_csv();
    int backup();
    int import();
    int sync();
    int passwd();
    int crypt_file(bool encrypt);
    int generate();

    int hold_on_clipboard(const QString& password, int seconds);

    Console& console_;
    ParsedArguments args_;
    PasswordQuestions questions_;
};

int Command::run() {
    static const std::map<QString, int (Command::*)()> handlers = {
        {QStringLiteral("init"), &Command::init},
        {QStringLiteral("ls"), &Command::list},
        {QStringLiteral("categories"), &Command::categories},
        {QStringLiteral("show"), &Command::show},
        {QStringLiteral("add"), &Command::add},
        {QStringLiteral("edit"), &Command::edit},
        {QStringLiteral("rm"), &Command::remove},
        {QStringLiteral("mv"), &Command::move},
        {QStringLiteral("clip"), &Command::clip},
        {QStringLiteral("export-csv"), &Command::export_csv},
        {QStringLiteral("backup"), &Command::backup},
        {QStringLiteral("import"), &Command::import},
        {QStringLiteral("sync"), &Command::sync},
        {QStringLiteral("passwd"), &Command::passwd},
        {QStringLiteral("generate"), &Command::generate},
    };
    const QString& name = args_.command->name;
    if (name == QLatin1String("encrypt-file")) return crypt_file(true);
    if (name == QLatin1String("decrypt-file")) return crypt_file(false);
    const auto handler = handlers.find(name);
    if (handler == handlers.end())
        return fail(kExitUsage, QStringLiteral("未知命令“%1”。").arg(name));
    return (this->*(handler->second))();
}

QString Command::vault_dir() const {
    // Only the parsed option counts: a record field that happens to read "--vault-dir" must not
    // choose the folder.
    return args_.vault_dir ? *args_.vault_dir : default_vault_dir();
}

bool Command::vault_exists(const QString& dir) {
    const QDir folder(dir);
    const QFileInfo work(folder.filePath(QLatin1String(VaultSession::kWorkFileName)));
    // An empty working file holds nothing; the session treats it as absent.
    return QFileInfo::exists(folder.filePath(QLatin1String(VaultSession::kVaultFileName))) ||
           (work.exists() && work.size() > 0);
}

int Command::with_vault(const std::function<int(VaultSession&)>& body) {
    const QString dir = vault_dir();
    // Checked first because the session would create a vault (and its folder) otherwise.
    if (!vault_exists(dir)) return fail(kExitFile, kVaultMissing);
    VaultSession doc(dir);
    TerminalPrompts prompts(console_, questions_, doc.work_path(),
                            TerminalPrompts::Creation::Refused);
    const StartOutcome outcome = doc.start(prompts);
    if (outcome != StartOutcome::Unlocked) return start_failed(outcome);
    const int exit_code = console_.termination_signal() != 0 ? kExitSuccess : guarded(body, doc);
    return finish(doc, exit_code);
}

int Command::guarded(const std::function<int(VaultSession&)>& body, VaultSession& doc) {
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

int Command::start_failed(StartOutcome outcome) {
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

int Command::finish(VaultSession& doc, int exit_code) {
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

std::optional<RecordId> Command::record_id(const QString& text) {
    bool ok = false;
    const qlonglong oid = text.toLongLong(&ok);
    if (!ok || oid <= 0) {
        say(QStringLiteral("“%1”不是有效的记录编号。").arg(text));
        return std::nullopt;
    }
    return RecordId(oid);
}

std::optional<std::string> Command::stored(const QString& text, const QString& field_name) {
    auto bytes = text::to_gbk(text, field_name);
    if (!bytes) {
        say(bytes.error());
        return std::nullopt;
    }
    return std::move(bytes).value();
}

std::optional<FieldValues> Command::field_values() {
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

std::optional<std::string> Command::category_bytes(const QString& label) {
    if (label == root_label()) return std::string(kRootCategory);
    return stored(label, QStringLiteral("分类"));
}

bool Command::category_usable(VaultSession& doc, const std::string& category,
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

std::optional<VaultRecord> Command::existing_record(VaultSession& doc, RecordId oid) {
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

bool Command::may_write(const QString& path) {
    if (Status allowed = SessionFiles(vault_dir()).check_output(path); !allowed) {
        say(allowed.error());
        return false;
    }
    if (!QFileInfo::exists(path) || args_.has(QStringLiteral("--force"))) return true;
    say(QStringLiteral("“%1”已存在；加 --force 才会替换它。").arg(native(path)));
    return false;
}

int Command::init() {
    const QString dir = vault_dir();
    if (vault_exists(dir)) {
        return fail(kExitFile, QStringLiteral("文件夹“%1”中已经有密码库。").arg(native(dir)));
    }
    VaultSession doc(dir);
    TerminalPrompts prompts(console_, questions_, doc.work_path(),
                            TerminalPrompts::Creation::Allowed);
    const StartOutcome outcome = doc.start(prompts);
    if (outcome != StartOutcome::Unlocked) return start_failed(outcome);
    const int exit_code = finish(doc, kExitSuccess);
    if (exit_code == kExitSuccess)
        say(QStringLiteral("已创建密码库：%1").arg(native(doc.vault_path())));
    return exit_code;
}

int Command::list() {
    const QString label = args_.arguments.value(0);
    std::optional<std::string> category;
    if (!label.isEmpty() && label != root_label()) {
        category = category_bytes(label);
        if (!category) return kExitUsage;
    }
    return with_vault([&](VaultSession& doc) {
        if (category && !category_usable(doc, *category, label)) return int(kExitUsage);
        auto rows = category ? statements::list_records_of_category(doc.db(), *category)
                             : statements::list_root_records(doc.db());
        if (!rows) return fail(kExitFile, rows.error());
        QString out;
        for (const RecordSummary& row : *rows) {
            out += QStringLiteral("%1\t%2\t%3\t%4\n")
                       .arg(row.oid)
                       .arg(escaped(row.title), escaped(row.account), escaped(row.remark));
        }
        console_.write_out(out.toLocal8Bit());
        return int(kExitSuccess);
    });
}

int Command::categories() {
    return with_vault([&](VaultSession& doc) {
        auto names = statements::list_categories(doc.db());
        if (!names) return fail(kExitFile, names.error());
        QString out;
        for (const std::string& name : *names) out += escaped(name) + u'\n';
        console_.write_out(out.toLocal8Bit());
        return int(kExitSuccess);
    });
}

int Command::show() {
    const auto oid = record_id(args_.arguments[0]);
    if (!oid) return kExitUsage;
    return with_vault([&](VaultSession& doc) {
        const auto record = existing_record(doc, *oid);
        if (!record) return int(kExitUsage);
        const QString password = args_.has(QStringLiteral("--show-password"))
                                     ? text::from_gbk(record->password)
                                     : QStringLiteral("（已隐藏，加 --show-password 显示）");
        print(QStringLiteral("编号：%1").arg(*oid));
        print(QStringLiteral("标题：") + text::from_gbk(record->title));
        print(QStringLiteral("用户名：") + text::from_gbk(record->account));
        print(QStringLiteral("密码：") + password);
        print(QStringLiteral("备注：") + text::from_gbk(record->remark));
        print(QStringLiteral("分类：") + text::from_gbk(record->category));
        return int(kExitSuccess);
    });
}

int Command::add() {
    const auto values = field_values();
    if (!values) return kExitUsage;
    return with_vault([&](VaultSession& doc) {
        // A record made while the root is selected belongs to the root's label.
        VaultRecord record{
            values->title.value_or(std::string()), values->account.value_or(std::string()),
            values->password.value_or(std::string()), values->remark.value_or(std::string()),
            values->category.value_or(std::string(kRootCategory))};
        if (!category_usable(doc, record.category, args_.value(QStringLiteral("--category")))) {
            return int(kExitUsage);
        }
        if (values->ask_password) {
            auto password = questions_.record_password();
            if (!password) return question_failed();
            record.password = std::move(*password);
        }
        auto oid = statements::insert_record(doc.db(), record);
        if (!oid) return fail(kExitFile, oid.error());
        print(QString::number(*oid));
        say(QStringLiteral("已新增记录 %1。").arg(*oid));
        return int(kExitSuccess);
    });
}

int Command::edit() {
    const auto oid = record_id(args_.arguments[0]);
    if (!oid) return kExitUsage;
    const auto values = field_values();
    if (!values) return kExitUsage;
    if (!values->any()) return fail(kExitUsage, QStringLiteral("没有给出要修改的字段。"));
    return with_vault([&](VaultSession& doc) {
        auto record = existing_record(doc, *oid);
        if (!record) return int(kExitUsage);
        if (values->category &&
            !category_usable(doc, *values->category, args_.value(QStringLiteral("--category")))) {
            return int(kExitUsage);
        }
        if (values->title) record->title = *values->title;
        if (values->account) record->account = *values->account;
        if (values->password) record->password = *values->password;
        if (values->remark) record->remark = *values->remark;
        if (values->category) record->category = *values->category;
        if (values->ask_password) {
            auto password = questions_.record_password();
            if (!password) return question_failed();
            record->password = std::move(*password);
        }
        if (Status saved = statements::update_record(doc.db(), *oid, *record); !saved) {
            return fail(kExitFile, saved.error());
        }
        say(QStringLiteral("已修改记录 %1。").arg(*oid));
        return int(kExitSuccess);
    });
}

int Command::remove() {
    const auto oid = record_id(args_.arguments[0]);
    if (!oid) return kExitUsage;
    return with_vault([&](VaultSession& doc) {
        if (!existing_record(doc, *oid)) return int(kExitUsage);
        if (Status removed = statements::delete_record(doc.db(), *oid); !removed) {
            return fail(kExitFile, removed.error());
        }
        say(QStringLiteral("已删除记录 %1。").arg(*oid));
        return int(kExitSuccess);
    });
}

int Command::move() {
    const auto oid = record_id(args_.arguments[0]);
    if (!oid) return kExitUsage;
    const QString label = args_.arguments[1];
    const auto category = category_bytes(label);
    if (!category) return kExitUsage;
    return with_vault([&](VaultSession& doc) {
        if (!existing_record(doc, *oid) || !category_usable(doc, *category, label)) {
            return int(kExitUsage);
        }
        if (Status moved = statements::move_record(doc.db(), *oid, *category); !moved) {
            return fail(kExitFile, moved.error());
        }
        say(QStringLiteral("已把记录 %1 移到“%2”。").arg(*oid).arg(label));
        return int(kExitSuccess);
    });
}

int Command::clip() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return fail(kExitFile, QStringLiteral("没有图形显示（DISPLAY 或 WAYLAND_DISPLAY），"
                                              "无法使用剪贴板。"));
    }
    int seconds = kDefaultClearSeconds;
    if (args_.has(QStringLiteral("--clear-after"))) {
        bool ok = false;
        seconds = args_.value(QStringLiteral("--clear-after")).toInt(&ok);
        if (!ok || seconds < 1 || seconds > kMaxClearSeconds) {
            return fail(
                kExitUsage,
                QStringLiteral("--clear-after 须为 1 到 %1 的整数。").arg(kMaxClearSeconds));
        }
    }
    const auto oid = record_id(args_.arguments[0]);
    if (!oid) return kExitUsage;
    QString password;
    const int exit_code = with_vault([&](VaultSession& doc) {
        // The window's statement reads an empty text for a missing row, which must not look
        // like a copied password.
        if (!existing_record(doc, *oid)) return int(kExitUsage);
        auto stored_password = statements::record_password(doc.db(), *oid);
        if (!stored_password) return fail(kExitFile, stored_password.error());
        password = text::from_gbk(*stored_password);
        return int(kExitSuccess);
    });
    // The vault is locked again and free for the window before the wait begins.
    if (exit_code != kExitSuccess) return exit_code;
    return hold_on_clipboard(password, seconds);
}

int Command::hold_on_clipboard(const QString& password, int seconds) {
    put_text_on_clipboard(password);
    say(QStringLiteral("密码已复制到剪贴板，%1 秒后清除。").arg(seconds));
    QEventLoop wait;
    QTimer::singleShot(seconds * 1000, &wait, &QEventLoop::quit);
    std::unique_ptr<QSocketNotifier> interrupt;
    if (console_.termination_fd() >= 0) {
        interrupt =
            std::make_unique<QSocketNotifier>(console_.termination_fd(), QSocketNotifier::Read);
        QObject::connect(interrupt.get(), &QSocketNotifier::activated, &wait, &QEventLoop::quit);
    }
    if (console_.termination_signal() == 0) wait.exec();
    // Whatever the user copied since is theirs and stays.
    if (QGuiApplication::clipboard()->text() == password) clear_clipboard();
    if (const int sig = console_.termination_signal(); sig != 0) {
        say(QStringLiteral("已中断。"));
        return exit_code_for_signal(sig);
    }
    return kExitSuccess;
}

int Command::export_csv() {
    const QString path = args_.arguments[0];
    if (!may_write(path)) return kExitFile;
    return with_vault([&](VaultSession& doc) {
        auto csv = tools::build_csv(doc.db());
        if (!csv) return fail(kExitFile, csv.error());
        if (Status written = tools::write_csv(path, *csv, SessionFiles(doc)); !written) {
            return fail(kExitFile, written.error());
        }
        say(QStringLiteral("已导出到“%1”。").arg(native(path)));
        return int(kExitSuccess);
    });
}

int Command::backup() {
    const QString path = args_.arguments[0];
    if (!may_write(path)) return kExitFile;
    return with_vault([&](VaultSession& doc) {
        if (Status written = tools::export_backup(doc.db(), path, SessionFiles(doc)); !written) {
            return fail(kExitFile, written.error());
        }
        say(QStringLiteral("已导出无加密的备份到“%1”。").arg(native(path)));
        return int(kExitSuccess);
    });
}

int Command::import() {
    const QString kind = args_.arguments[0];
    const QString path = args_.arguments[1];
    if (kind == QLatin1String("db")) {
        return with_vault([&](VaultSession& doc) {
            auto counts = tools::import_database(doc.db(), path);
            if (!counts) return fail(kExitFile, counts.error());
            say(QStringLiteral("已导入 %1 条记录、%2 个分类。")
                    .arg(counts->records)
                    .arg(counts->categories));
            return int(kExitSuccess);
        });
    }
    if (kind != QLatin1String("old") && kind != QLatin1String("new")) {
        return fail(kExitUsage, QStringLiteral("要导入的文件种类须为 old、new 或 db。"));
    }
    // Checked before any password is asked, so a wrong file costs no typing.
    auto file = tools::LegacyVaultFile::open(
        path, kind == QLatin1String("old") ? tools::LegacyFormat::Old : tools::LegacyFormat::New);
    if (!file) return fail(kExitFile, file.error());
    return with_vault([&](VaultSession& doc) {
        const auto password = questions_.legacy_password();
        if (!password) return question_failed();
        const tools::LegacyImportResult result =
            tools::import_legacy_file(doc.db(), *file, *password);
        switch (result.outcome) {
            case tools::LegacyImportOutcome::Imported:
                say(QStringLiteral("已导入 %1 条记录。").arg(result.imported));
                return int(kExitSuccess);
            case tools::LegacyImportOutcome::WrongPassword:
                return fail(kExitPassword, QStringLiteral("密码错误"));
            case tools::LegacyImportOutcome::Failed:
                break;
        }
        return fail(kExitFile, result.message);
    });
}

int Command::sync() {
    const QString path = args_.arguments[0];
    return with_vault([&](VaultSession& doc) {
        auto counts = tools::sync_database(doc.db(), path);
        if (!counts) return fail(kExitFile, counts.error());
        say(QStringLiteral("数据库同步成功，共同步了%1条数据").arg(counts->records));
        return int(kExitSuccess);
    });
}

int Command::passwd() {
    return with_vault([&](VaultSession& doc) {
        const auto password = questions_.new_master_password();
        if (!password) return question_failed();
        if (Status changed = doc.change_master_password(*password); !changed) {
            return fail(kExitFile, changed.error());
        }
        say(QStringLiteral("主密码已修改。"));
        return int(kExitSuccess);
    });
}

int Command::crypt_file(bool encrypt) {
    const QString source = args_.arguments[0];
    if (!QFileInfo(source).isFile()) {
        return fail(kExitFile, QStringLiteral("找不到文件“%1”").arg(native(source)));
    }
    const QString target =
        encrypt ? tools::encrypted_file_path(source) : tools::decrypted_file_path(source);
    if (!may_write(target)) return kExitFile;
    std::string password;
    if (args_.has(QStringLiteral("--use-master-password"))) {
        const int exit_code = with_vault([&](VaultSession& doc) {
            password = doc.master_password();
            return int(kExitSuccess);
        });
        if (exit_code != kExitSuccess) return exit_code;
    } else {
        auto typed = questions_.file_password();
        if (!typed) return question_failed();
        password = std::move(*typed);
    }
    const SessionFiles session(vault_dir());
    const Status done = encrypt ? tools::encrypt_file(source, target, password, session)
                                : tools::decrypt_file(source, target, password, session);
    if (!done) return fail(kExitFile, done.error());
    say((encrypt ? QStringLiteral("加密成功：%1") : QStringLiteral("解密成功：%1"))
            .arg(native(target)));
    return kExitSuccess;
}

int Command::generate() {
    int length = kDefaultGeneratedLength;
    if (args_.has(QStringLiteral("--length"))) {
        bool ok = false;
        length = args_.value(QStringLiteral("--length")).toInt(&ok);
        if (!ok) return fail(kExitUsage, QStringLiteral("--length 须为整数。"));
    }
    tools::CharClasses classes;
    const QString letters = args_.has(QStringLiteral("--classes"))
                                ? args_.value(QStringLiteral("--classes"))
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
                return fail(kExitUsage, QStringLiteral("--classes 只能由 l、u、d、s 组成。"));
        }
    }
    auto password = tools::generate_password(length, classes);
    if (!password) return fail(kExitUsage, password.error());
    // Generated characters are ASCII only.
    print(QString::fromLatin1(password->data(), qsizetype(password->size())));
    return kExitSuccess;
}

}  // namespace

int run(const QStringList& arguments, Console& console) {
    Result<ParsedArguments> parsed = parse_arguments(arguments);
    if (!parsed) {
        console.write_err(
            (parsed.error() + QStringLiteral("\n运行 korvane-cli --help 查看用法。\n"))
                .toLocal8Bit());
        return kExitUsage;
    }
    if (parsed->command == nullptr) {
        if (parsed->help) {
            console.write_out(program_help().toLocal8Bit());
            return kExitSuccess;
        }
        console.write_err((QStringLiteral("缺少命令。\n\n") + program_help()).toLocal8Bit());
        return kExitUsage;
    }
    if (parsed->help) {
        console.write_out(command_help(*parsed->command).toLocal8Bit());
        return kExitSuccess;
    }
    Command command(console, std::move(parsed).value());
    return command.run();
}

bool wants_clipboard(const QStringList& arguments) {
    Result<ParsedArguments> parsed = parse_arguments(arguments);
    return parsed && parsed->command != nullptr && !parsed->help &&
           parsed->command->name == QLatin1String("clip");
}

}  // namespace korvane::cli
