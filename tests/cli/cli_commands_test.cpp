// SPDX-License-Identifier: GPL-3.0-or-later
// korvane-cli's record, category and tool commands, run in-process against a vault made by the
// window's code paths and read back the same way.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <set>

#include "cli/arguments.h"
#include "cli/cli.h"
#include "cli/command_catalog.h"
#include "cli/command_context.h"
#include "cli_test_support.h"
#include "support/file_helpers.h"
#include "support/hostile_values.h"
#include "support/legacy_files.h"
#include "support/manual_page.h"
#include "support/scratch_vault.h"
#include "support/scripted_prompts.h"
#include "tools/csv_export.h"
#include "tools/file_crypt.h"
#include "tools/source_vault.h"
#include "vault/fault_injection.h"
#include "vault/text.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane::test_support {
namespace {

class CliCommandsTest : public CliTest {
protected:
    void SetUp() override {
        make_vault({gbk("工作"), gbk("家庭")},
                   {{gbk("邮箱"), "me@x", "p0", gbk("备注0"), gbk("工作")},
                    {gbk("银行"), "acct", "p1", gbk("甲\t乙\\丙"), gbk("家庭")},
                    {"root", "r", "p2", "", kRootCategory},
                    {"orphan", "o", "p3", "", gbk("旧分类")},
                    {"multi", "m", "p4", "l1\r\nl2\tx\\y", kRootCategory}});
    }
    QString oid(int index) const { return QString::number(oids_.at(index)); }
    QString line(int index, const QString& rest) const { return oid(index) + "\t" + rest + "\n"; }
};

TEST_F(CliCommandsTest, ListingAndFindingFollowTheWindowsRules) {
    // The root view: records of no existing category, the root's own label included.
    const QString root =
        line(2, "root\tr\t") + line(3, "orphan\to\t") + line(4, "multi\tm\tl1\\r\\nl2\\tx\\\\y");
    EXPECT_EQ(cli({"ls"}).out, root);
    EXPECT_EQ(cli({"ls", "我的密码"}).out, root);
    EXPECT_EQ(cli({"ls", "工作"}).out, line(0, "邮箱\tme@x\t备注0"));
    EXPECT_EQ(cli({"ls", "家庭"}).out, line(1, "银行\tacct\t甲\\t乙\\\\丙"));

    const CliRun unknown = cli({"ls", "旧分类"});
    EXPECT_EQ(unknown.exit_code, cli::kExitUsage);
    EXPECT_TRUE(unknown.err.contains("分类“旧分类”不存在")) << unknown.err.toStdString();
    EXPECT_EQ(cli({"categories"}).out, "工作\n家庭\n");

    // find: every category, with the category as a fifth field; never the password.
    EXPECT_EQ(cli({"find", "O"}).out,
              line(2, "root\tr\t\t我的密码") + line(3, "orphan\to\t\t旧分类"));
    const CliRun password_only = cli({"find", "p0"});
    EXPECT_EQ(password_only.exit_code, 0);
    EXPECT_TRUE(password_only.out.isEmpty());
    const CliRun empty = cli({"find", ""});
    EXPECT_EQ(empty.exit_code, cli::kExitUsage);
    EXPECT_EQ(empty.lines_read, 0);
}

// What a read-only command's body found while it ran; the fault hook is a plain function pointer,
// so it reports here.
struct DuringCommand {
    QString vault_dir;
    bool ran = false;
    QStringList entries;
    StartOutcome second_session = StartOutcome::Unlocked;
};
DuringCommand* g_during = nullptr;

bool look_during_command(const char* point) {
    if (g_during == nullptr || std::string(point) != "cli.command") return false;
    g_during->ran = true;
    g_during->entries = folder_entries(g_during->vault_dir);
    ScriptedPrompts prompts;  // a session that got past the lock would be asked in vain
    VaultSession second(g_during->vault_dir);
    g_during->second_session = second.start(prompts);
    return false;
}

// Every name in the folder that was created, written, renamed or removed while it was watched.
class FolderWatch {
public:
    explicit FolderWatch(const QString& dir) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(fd_, 0);
        EXPECT_GE(inotify_add_watch(fd_, QFile::encodeName(dir).constData(),
                                    IN_CREATE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM |
                                        IN_MOVED_TO | IN_DELETE | IN_CLOSE_WRITE),
                  0);
    }
    ~FolderWatch() { ::close(fd_); }
    QStringList touched() {
        QStringList names;
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0) names.append(QString::fromUtf8(event->name));
                at += sizeof(inotify_event) + event->len;
            }
        }
        names.removeDuplicates();
        return names;
    }

private:
    int fd_;
};

struct FileState {
    ino_t inode = 0;
    timespec mtime{};
    std::string bytes;
    bool operator==(const FileState& o) const {
        return inode == o.inode && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && bytes == o.bytes;
    }
};

FileState file_state(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    return {info.st_ino, info.st_mtim, read_file(path)};
}

// A command that changes nothing never rewrites user.dat and never puts a plain copy of the
// vault in its folder, while it holds the folder as any session does.
TEST_F(CliCommandsTest, ReadOnlyCommandsLeaveTheVaultFileAndWriteNoPlainFile) {
    ensure_application();  // for clip
    write_file(file("doc.txt"), "plain");
    const QStringList commands[] = {
        {"ls"},
        {"ls", "工作"},
        {"show", oid(0), "--show-password"},
        {"categories"},
        {"find", "o"},
        {"export-csv", file("all.csv"), "--force"},
        {"backup", file("copy.dat"), "--force"},
        {"encrypt-file", file("doc.txt"), "--use-master-password", "--force"},
        {"clip", oid(0), "--clear-after", "1"},
    };
    for (const QStringList& arguments : commands) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const FileState before = file_state(vault_file("user.dat"));
        DuringCommand during;
        during.vault_dir = vault_dir();
        g_during = &during;
        fault::set_hook(look_during_command);
        FolderWatch watch(vault_dir());
        const CliRun run = cli(arguments);
        QStringList touched = watch.touched();
        // The lock is written in a private file of its own before it takes its name.
        touched.removeIf([](const QString& name) {
            return QRegularExpression("^user\\.lock\\.\\d+\\.[0-9a-f]{8}\\.part$")
                .match(name)
                .hasMatch();
        });
        g_during = nullptr;
        EXPECT_EQ(run.exit_code, 0) << run.err.toStdString();
        EXPECT_TRUE(during.ran);
        EXPECT_EQ(during.entries, (QStringList{"user.dat", "user.lock"}))
            << during.entries.join(' ').toStdString();
        EXPECT_EQ(during.second_session, StartOutcome::Busy);
        EXPECT_EQ(touched, QStringList{"user.lock"}) << touched.join(' ').toStdString();
        EXPECT_TRUE(file_state(vault_file("user.dat")) == before);
        EXPECT_EQ(folder_entries(vault_dir()), QStringList{"user.dat"});
    }
}

TEST_F(CliCommandsTest, ShowHidesThePasswordUnlessAsked) {
    const CliRun hidden = cli({"show", oid(0)});
    EXPECT_EQ(hidden.exit_code, 0);
    EXPECT_TRUE(hidden.out.contains("标题：邮箱\n用户名：me@x\n"));
    EXPECT_FALSE(hidden.out.contains("p0"));
    EXPECT_TRUE(cli({"show", oid(0), "--show-password"}).out.contains("密码：p0\n"));
    EXPECT_EQ(cli({"show", "999"}).exit_code, cli::kExitUsage);
    EXPECT_EQ(cli({"show", "x1"}).exit_code, cli::kExitUsage);
}

TEST_F(CliCommandsTest, AddStoresGbkTextWhereTheWindowWould) {
    const CliRun added = cli({"add", "--title", "新记录", "--account", "用户", "--password",
                              "密码1", "--remark", "说明", "--category", "家庭"});
    ASSERT_EQ(added.exit_code, 0) << added.err.toStdString();
    const VaultRecord expected{gbk("新记录"), gbk("用户"), gbk("密码1"), gbk("说明"), gbk("家庭")};
    EXPECT_EQ(window_records().back(), expected);
    EXPECT_TRUE(cli({"ls", "家庭"}).out.endsWith(added.out.trimmed() + "\t新记录\t用户\t说明\n"));

    // No category is the root's; --ask-password takes the line after the master password.
    ASSERT_EQ(cli({"add", "--title", "t", "--ask-password"}, "master\nasked pw\n").exit_code, 0);
    EXPECT_EQ(window_records().back(), (VaultRecord{"t", "", "asked pw", "", kRootCategory}));
}

TEST_F(CliCommandsTest, RefusedValuesChangeNothing) {
    const std::vector<VaultRecord> before = window_records();
    const CliRun emoji = cli({"add", "--title", "t", "--remark", "笑😀"});
    EXPECT_EQ(emoji.exit_code, cli::kExitUsage);
    EXPECT_TRUE(emoji.err.contains("“备注”中含有无法保存的字符")) << emoji.err.toStdString();
    EXPECT_EQ(emoji.lines_read, 0);  // refused before the password was asked
    EXPECT_EQ(cli({"add", "--category", "没有"}).exit_code, cli::kExitUsage);
    EXPECT_EQ(cli({"edit", oid(0)}).exit_code, cli::kExitUsage);
    EXPECT_EQ(cli({"edit", "999", "--title", "x"}).exit_code, cli::kExitUsage);
    EXPECT_EQ(cli({"mv", oid(0), "没有"}).exit_code, cli::kExitUsage);
    EXPECT_EQ(cli({"rm", "999"}).exit_code, cli::kExitUsage);
    EXPECT_EQ(window_records(), before);
}

TEST_F(CliCommandsTest, EditMoveAndRemoveTouchOnlyTheirRecord) {
    std::vector<VaultRecord> expected = window_records();
    ASSERT_EQ(cli({"edit", oid(0), "--account", "新用户", "--remark="}).exit_code, 0);
    expected[0].account = gbk("新用户");
    expected[0].remark.clear();
    EXPECT_EQ(window_records(), expected);

    ASSERT_EQ(cli({"mv", oid(1), "我的密码"}).exit_code, 0);
    ASSERT_EQ(cli({"mv", oid(2), "工作"}).exit_code, 0);
    expected[1].category = kRootCategory;
    expected[2].category = gbk("工作");
    EXPECT_EQ(window_records(), expected);

    ASSERT_EQ(cli({"rm", oid(3)}).exit_code, 0);
    expected.erase(expected.begin() + 3);
    EXPECT_EQ(window_records(), expected);
}

TEST_F(CliCommandsTest, ExportsAreTheWindowsExports) {
    ASSERT_EQ(cli({"export-csv", file("all.csv")}).exit_code, 0);
    ASSERT_EQ(cli({"backup", file("copy.dat")}).exit_code, 0);

    std::string csv;
    {
        auto doc = window_vault().unlock(kPaddedMaster);
        ASSERT_TRUE(doc);
        auto built = tools::build_csv(doc->db());
        ASSERT_TRUE(built.ok());
        csv = *built;
    }
    EXPECT_EQ(read_file(file("all.csv")), csv);

    auto backup = tools::read_source_vault(file("copy.dat"));
    ASSERT_TRUE(backup.ok()) << backup.error().toStdString();
    EXPECT_EQ(backup->records, window_records());

    // An existing file is replaced only when asked, and then before any password is typed.
    const CliRun refused = cli({"export-csv", file("copy.dat")});
    EXPECT_EQ(refused.exit_code, cli::kExitFile);
    EXPECT_EQ(refused.lines_read, 0);
    EXPECT_EQ(cli({"export-csv", file("copy.dat"), "--force"}).exit_code, 0);
    EXPECT_TRUE(read_file(file("copy.dat")) == csv);
}

// The vault's own files are never an output, --force or not, and the refusal comes before any
// password is asked, also for the file tool that does not open the vault.
TEST_F(CliCommandsTest, OutputsNeverReplaceTheVaultsOwnFiles) {
    const std::vector<VaultRecord> before = window_records();
    const std::string sealed = read_file(vault_file("user.dat"));
    write_file(vault_file("user.dat.enc"),
               *tools::encrypt_bytes("not a vault", "a file password!"));
    ASSERT_TRUE(QFile::link(vault_file("user.dat"), file("doc.txt.enc")));
    write_file(file("doc.txt"), "plain");
    const QByteArray key = "a file password!\na file password!\n";
    const std::pair<QStringList, QByteArray> refused[] = {
        {{"export-csv", vault_file("user.tmp"), "--force"}, "master\n"},
        {{"export-csv", vault_file("user.dat"), "--force"}, "master\n"},
        {{"backup", vault_file("user.lock")}, "master\n"},
        {{"decrypt-file", vault_file("user.dat.enc"), "--force"}, key},
        {{"encrypt-file", file("doc.txt"), "--force"}, key},
    };
    for (const auto& [arguments, input] : refused) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const CliRun run = cli(arguments, input);
        EXPECT_EQ(run.exit_code, cli::kExitFile);
        EXPECT_EQ(run.lines_read, 0);
        EXPECT_TRUE(run.err.contains("密码库")) << run.err.toStdString();
        EXPECT_EQ(read_file(vault_file("user.dat")), sealed);
    }
    EXPECT_EQ(window_records(), before);
}

// Where the fault hook puts a FIFO in place of the target while the command runs, after the
// check made before the password was asked.
QString g_fifo_during_command;

bool fifo_during_command(const char* point) {
    if (g_fifo_during_command.isEmpty() || std::string(point) != "cli.command") return false;
    EXPECT_TRUE(replace_with_fifo(g_fifo_during_command));
    g_fifo_during_command.clear();
    return false;
}

// An output that is there and is no regular file is refused by every command that writes one,
// --force or not, naming what it is, before the password is asked; one swapped in while the
// command runs is refused when the output is written. The target is never replaced.
TEST_F(CliCommandsTest, OutputsThatAreNoRegularFileAreRefusedAndLeftAlone) {
    struct Command {
        QStringList (*arguments)(const QString& dir);
        const char* target;  // in dir
    };
    const Command commands[] = {
        {[](const QString& d) {
             return QStringList{"export-csv", d + "/out", "--force"};
         },
         "out"},
        {[](const QString& d) {
             return QStringList{"backup", d + "/out", "--force"};
         },
         "out"},
        {[](const QString& d) {
             return QStringList{"encrypt-file", d + "/doc.txt", "--force", "--use-master-password"};
         },
         "doc.txt.enc"},
        {[](const QString& d) {
             return QStringList{"decrypt-file", d + "/doc.bin.enc", "--force",
                                "--use-master-password"};
         },
         "doc.bin"},
    };
    for (const SpecialTarget& special : special_targets()) {
        for (const Command& command : commands) {
            QTemporaryDir dir;
            write_file(dir.filePath("doc.txt"), "plain");
            write_file(dir.filePath("doc.bin.enc"), *tools::encrypt_bytes("plain", kPaddedMaster));
            const QStringList arguments = command.arguments(dir.path());
            SCOPED_TRACE(special.name + (" " + arguments.join(' ').toStdString()));
            const QString target = dir.filePath(command.target);
            std::string why;
            if (!special.make(target, &why)) {
                ADD_FAILURE() << "cannot make it here: " << why;
                continue;
            }
            if (special.appears_while_writing) {
                g_fifo_during_command = target;
                fault::set_hook(fifo_during_command);
            }
            const std::string identity = file_identity(target);
            const CliRun run = cli(arguments);
            fault::set_hook(nullptr);
            g_fifo_during_command.clear();
            EXPECT_EQ(run.exit_code, cli::kExitFile);
            EXPECT_EQ(run.lines_read, special.appears_while_writing ? 1 : 0);
            EXPECT_TRUE(run.err.contains(QString::fromUtf8(special.kind)) &&
                        run.err.contains(QDir::toNativeSeparators(target)))
                << run.err.toStdString();
            if (special.appears_while_writing) {
                struct stat info {};
                ASSERT_EQ(::lstat(QFile::encodeName(target).constData(), &info), 0);
                EXPECT_TRUE(S_ISFIFO(info.st_mode));
            } else {
                EXPECT_EQ(file_identity(target), identity);
            }
        }
    }
}

// "-" is standard output: the export's exact bytes, nothing written to any file, no file "-".
TEST_F(CliCommandsTest, ADashWritesTheExportToStandardOutput) {
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(files_.path()));
    const CliRun csv = cli({"export-csv", "-"});
    const CliRun database = cli({"backup", "-", "--force"});
    QDir::setCurrent(cwd);
    EXPECT_EQ(csv.exit_code, 0) << csv.err.toStdString();
    EXPECT_EQ(database.exit_code, 0) << database.err.toStdString();
    EXPECT_TRUE(folder_entries(files_.path()).isEmpty());

    std::string expected;
    {
        auto doc = window_vault().unlock(kPaddedMaster);
        ASSERT_TRUE(doc);
        auto built = tools::build_csv(doc->db());
        ASSERT_TRUE(built.ok());
        expected = *built;
    }
    EXPECT_TRUE(csv.out_bytes.toStdString() == expected);
    write_file(file("copy.dat"), database.out_bytes.toStdString());
    auto backup = tools::read_source_vault(file("copy.dat"));
    ASSERT_TRUE(backup.ok()) << backup.error().toStdString();
    EXPECT_EQ(backup->records, window_records());
    EXPECT_EQ(query_sqlite(file("copy.dat"), "pragma integrity_check"), "ok");

    // On a terminal "-" would show every password, or a database's bytes, on the screen: it is
    // refused before the password is asked. A file named there, or a listing, is still written.
    out_terminal_ = true;
    for (const char* command : {"export-csv", "backup"}) {
        SCOPED_TRACE(command);
        const CliRun shown = cli({command, "-"});
        EXPECT_EQ(shown.exit_code, cli::kExitUsage);
        EXPECT_EQ(shown.lines_read, 0);
        EXPECT_TRUE(shown.out_bytes.isEmpty());
        EXPECT_TRUE(shown.err.contains("标准输出是终端")) << shown.err.toStdString();
        EXPECT_EQ(cli({command, file(command)}).exit_code, cli::kExitSuccess);
    }
    EXPECT_EQ(cli({"ls"}).exit_code, cli::kExitSuccess);
}

// Output that cannot be written (a full disk, a reader that went away) is a failure said once,
// with its cause, and the command writes nothing more; the vault is sealed as always, and a
// change already made is said to be kept.
TEST_F(CliCommandsTest, OutputThatCannotBeWrittenIsAFailure) {
    {
        // Several chunks of listing and of CSV, so that a command that goes on writing shows.
        auto doc = window_vault().unlock(kPaddedMaster);
        ASSERT_TRUE(doc);
        for (int i = 0; i < 80; ++i) {
            ASSERT_TRUE(statements::insert_record(
                            doc->db(), {std::string(4000, 'x'), "a", "p", "", kRootCategory})
                            .ok());
        }
        doc->lock();
    }
    const std::size_t records = window_records().size();
    struct Case {
        QStringList arguments;
        int error_number;
        qsizetype room;
        const char* says;
    };
    const Case cases[] = {
        {{"ls"}, EPIPE, 0, "写入标准输出失败：断开的管道"},
        {{"ls"}, ENOSPC, 70000, "写入标准输出失败：磁盘空间不足"},
        {{"export-csv", "-"}, EPIPE, 0, "写入标准输出失败：断开的管道"},
        {{"backup", "-"}, EFBIG, 0, "写入标准输出失败：文件过大"},
        {{"show", oid(0), "--show-password"}, EIO, 0, "写入标准输出失败：输入/输出错误"},
        {{"categories"}, ENOSPC, 0, "磁盘空间不足"},
        {{"--help"}, EPIPE, 0, "断开的管道"},
        {{"add", "--title", "t"}, EPIPE, 0, "命令已经完成，所做的修改已保存"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        out_errno_ = c.error_number;
        out_room_ = c.room;
        const CliRun run = cli(c.arguments);
        EXPECT_EQ(run.exit_code, cli::kExitFile);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.says))) << run.err.toStdString();
        EXPECT_EQ(run.err.count(QStringLiteral("写入标准输出失败")), 1) << run.err.toStdString();
        // Nothing more is tried once a write has failed.
        EXPECT_EQ(run.out_writes, c.room == 0 ? 1 : 2);
        EXPECT_EQ(run.out_bytes.size(), c.room);
        EXPECT_EQ(folder_entries(vault_dir()), QStringList{"user.dat"});
    }
    out_errno_ = 0;
    EXPECT_EQ(window_records().size(), records + 1);
}

// The characters that would act on a terminal or turn a line around, as no GBK text can carry
// the C1 controls and the bidirectional ones.
TEST(CliEscaping, ControlAndBidirectionalCharactersAreWrittenAsCodes) {
    const QString text = QString::fromUtf16(
        u"a\u202ab\u202ec\u2066d\u2069e\u0080f\u009fg\u001b[2K\u0007\u007f\\\t\r\n"
        u"\u2067\u202b\u00a0\u2065\u206a\u2029");
    EXPECT_EQ(
        cli::escaped_text(text),
        QString::fromUtf16(u"a\\u202ab\\u202ec\\u2066d\\u2069e\\u0080f\\u009fg\\x1b[2K\\x07\\x7f"
                           u"\\\\\\t\\r\\n\\u2067\\u202b\u00a0\u2065\u206a\u2029"));
    EXPECT_EQ(cli::escaped_text(text, cli::Escaping::LineBreaksOnly),
              QString::fromUtf16(u"a\u202ab\u202ec\u2066d\u2069e\u0080f\u009fg\u001b[2K\u0007\u007f"
                                 u"\\\\\\t\\r\\n\u2067\u202b\u00a0\u2065\u206a\u2029"));
}

TEST_F(CliCommandsTest, ImportAndSyncAddWhatTheToolsAdd) {
    write_source_vault(
        file("other.dat"),
        {raw({"s1", "a", "p", "", "X"}), raw({"root", "r", "p2", "", kRootCategory})}, {"X"});
    const CliRun synced = cli({"sync", file("other.dat")});
    ASSERT_EQ(synced.exit_code, 0);
    EXPECT_TRUE(synced.err.contains("共同步了1条数据")) << synced.err.toStdString();
    EXPECT_TRUE(cli({"sync", file("other.dat")}).err.contains("共同步了0条数据"));

    ASSERT_EQ(cli({"import", "db", file("other.dat")}).exit_code, 0);
    EXPECT_EQ(window_records().size(), 5u + 1u + 2u);

    const std::string legacy_key = text::pad_master_password("old");
    write_file(file("old.dat"),
               seal_legacy(0, legacy_key, old_body({old_slot("legacy", "la", "lp", "lr")})));
    const CliRun wrong = cli({"import", "old", file("old.dat")}, "master\nnot old\n");
    EXPECT_EQ(wrong.exit_code, cli::kExitPassword);
    ASSERT_EQ(cli({"import", "old", file("old.dat")}, "master\nold\n").exit_code, 0);
    EXPECT_EQ(window_records().back(), (VaultRecord{"legacy", "la", "lp", "lr", ""}));
    EXPECT_EQ(window_records().size(), 9u);

    // A source whose schema computes its values is refused, not reported as imported.
    test_support::RawSqlite(file("generated.dat"))
        .exec(
            "CREATE TABLE type(leibie TEXT); CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,"
            "bz TEXT GENERATED ALWAYS AS (hex(zeroblob(100000))) VIRTUAL,type TEXT);"
            "INSERT INTO userpass(bt) VALUES('t')");
    for (const QStringList& arguments : {QStringList{"sync", file("generated.dat")},
                                         QStringList{"import", "db", file("generated.dat")}}) {
        const CliRun refused = cli(arguments);
        EXPECT_EQ(refused.exit_code, cli::kExitFile) << arguments[0].toStdString();
        EXPECT_TRUE(refused.err.contains("生成列")) << refused.err.toStdString();
    }
    EXPECT_EQ(window_records().size(), 9u);

    // A file that is not of the kind is refused before any password is asked.
    const CliRun not_legacy = cli({"import", "new", file("missing")});
    EXPECT_EQ(not_legacy.exit_code, cli::kExitFile);
    EXPECT_EQ(not_legacy.lines_read, 0);
    EXPECT_EQ(cli({"import", "csv", file("old.dat")}).exit_code, cli::kExitUsage);
}

TEST_F(CliCommandsTest, FileToolWritesTheWindowsNamesAndRoundTrips) {
    const std::string plain = "twenty bytes of text";
    write_file(file("doc.txt"), plain);
    const QByteArray key = "a file password!\na file password!\n";
    ASSERT_EQ(cli({"encrypt-file", file("doc.txt")}, key).exit_code, 0);
    auto opened = tools::decrypt_bytes(read_file(file("doc.txt.enc")), "a file password!");
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(*opened, plain);

    QFile::remove(file("doc.txt"));
    ASSERT_EQ(cli({"decrypt-file", file("doc.txt.enc")}, key).exit_code, 0);
    EXPECT_EQ(read_file(file("doc.txt")), plain);

    EXPECT_EQ(cli({"encrypt-file", file("doc.txt")}, key).exit_code, cli::kExitFile);  // exists
    EXPECT_EQ(
        cli({"encrypt-file", file("doc.txt"), "--force"}, "a file password!\nother\n").exit_code,
        cli::kExitUsage);
    EXPECT_EQ(cli({"encrypt-file", file("doc.txt"), "--force"}, "short\nshort\n").exit_code,
              cli::kExitPassword);

    // The window's tool opens with the master password filled in.
    ASSERT_EQ(cli({"encrypt-file", file("doc.txt"), "--force", "--use-master-password"}).exit_code,
              0);
    opened = tools::decrypt_bytes(read_file(file("doc.txt.enc")), kPaddedMaster);
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(*opened, plain);
}

// What a terminal acts on in UTF-8 output: C0 controls but tab and line feed, DEL, the C1
// controls (C2 80 to C2 9F) and the bidirectional overrides and isolates.
bool acts_on_a_terminal(const QByteArray& out) {
    for (qsizetype i = 0; i < out.size(); ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        const auto next = [&](qsizetype k) {
            return i + k < out.size() ? static_cast<unsigned char>(out[i + k]) : 0;
        };
        if ((b < 0x20 && b != '\t' && b != '\n') || b == 0x7F) return true;
        if (b == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) return true;
        if (b == 0xE2 && next(1) == 0x80 && next(2) >= 0xAA && next(2) <= 0xAE) return true;
        if (b == 0xE2 && next(1) == 0x81 && next(2) >= 0xA6 && next(2) <= 0xA9) return true;
    }
    return false;
}

// The text an escaped field stands for, read back by this test's own rules; with only_breaks,
// only \\, \t, \r and \n are escapes (--raw).
QString unescape(const QString& field, bool only_breaks = false) {
    QString out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const QChar code = field[++i];
        if (code == u'\\') {
            out += u'\\';
        } else if (code == u't') {
            out += u'\t';
        } else if (code == u'r') {
            out += u'\r';
        } else if (code == u'n') {
            out += u'\n';
        } else if (!only_breaks && (code == u'x' || code == u'u')) {
            const qsizetype digits = code == u'x' ? 2 : 4;
            out += QChar(char16_t(field.mid(i + 1, digits).toUInt(nullptr, 16)));
            i += digits;
        } else {
            out += QStringLiteral("<bad escape>");
        }
    }
    return out;
}

class CliPrintedTextTest : public CliTest, public ::testing::WithParamInterface<HostileValue> {};

// A stored value reaches the terminal escaped from every printing command, so that no control
// sequence in it acts, and reads back as the text; --raw passes the control characters.
TEST_P(CliPrintedTextTest, EveryPrintingCommandEscapesItAndRawPassesIt) {
    const std::string& value = GetParam().bytes;
    const QString text = text::from_gbk(value);
    make_vault({value}, {{value, "zqx" + value, value, value, kRootCategory},
                         {"filed", "zqx", "p", "", value}});
    const QString first = QString::number(oids_.at(0)), second = QString::number(oids_.at(1));
    const bool has_controls = acts_on_a_terminal(text.toUtf8());

    const QString root = cli::root_label();
    // Each line's fields.
    const std::pair<QStringList, std::vector<QStringList>> listings[] = {
        {{"ls"}, {{first, text, "zqx" + text, text}}},
        {{"find", "zqx"},
         {{first, text, "zqx" + text, text, root}, {second, "filed", "zqx", "", text}}},
        {{"categories"}, {{text}}},
    };
    for (const auto& [command, expected] : listings) {
        for (const bool raw : {false, true}) {
            const QStringList arguments = command + (raw ? QStringList{"--raw"} : QStringList{});
            SCOPED_TRACE(arguments.join(' ').toStdString());
            const CliRun run = cli(arguments);
            ASSERT_EQ(run.exit_code, 0) << run.err.toStdString();
            EXPECT_EQ(acts_on_a_terminal(run.out_bytes), raw && has_controls);
            QStringList lines = run.out.split(u'\n');
            ASSERT_EQ(lines.takeLast(), QString());
            ASSERT_EQ(lines.size(), qsizetype(expected.size()));
            for (qsizetype i = 0; i < lines.size(); ++i) {
                const QStringList fields = lines[i].split(u'\t');
                ASSERT_EQ(fields.size(), expected[i].size());
                for (qsizetype f = 0; f < fields.size(); ++f) {
                    EXPECT_TRUE(unescape(fields[f], raw) == expected[i][f]) << "field " << f;
                }
            }
        }
    }

    const QString shown[] = {QStringLiteral("编号：") + first,     QStringLiteral("标题：") + text,
                             QStringLiteral("用户名：zqx") + text, QStringLiteral("密码：") + text,
                             QStringLiteral("备注：") + text,      QStringLiteral("分类：") + root};
    const CliRun escaped = cli({"show", first, "--show-password"});
    ASSERT_EQ(escaped.exit_code, 0) << escaped.err.toStdString();
    EXPECT_FALSE(acts_on_a_terminal(escaped.out_bytes));
    QStringList lines = escaped.out.split(u'\n');
    ASSERT_EQ(lines.size(), 7);
    for (qsizetype i = 0; i < 6; ++i) {
        const QString label = shown[i].left(shown[i].indexOf(u'：') + 1);
        ASSERT_TRUE(lines[i].startsWith(label)) << i;
        EXPECT_TRUE(label + unescape(lines[i].mid(label.size())) == shown[i]) << i;
    }
    const CliRun filed = cli({"show", second});
    EXPECT_FALSE(acts_on_a_terminal(filed.out_bytes));
    EXPECT_TRUE(filed.out.endsWith(QStringLiteral("分类：") + cli::escaped_text(text) + "\n"));

    const CliRun raw = cli({"show", first, "--show-password", "--raw"});
    ASSERT_EQ(raw.exit_code, 0) << raw.err.toStdString();
    EXPECT_TRUE(raw.out == shown[0] + "\n" + shown[1] + "\n" + shown[2] + "\n" + shown[3] + "\n" +
                               shown[4] + "\n" + shown[5] + "\n");
}

INSTANTIATE_TEST_SUITE_P(Values, CliPrintedTextTest, ::testing::ValuesIn(hostile_values()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliGenerate, NeedsNoVaultAndHonoursLengthAndClasses) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("none");
    auto generate = [&](QStringList extra) {
        FakeConsole console("");
        const int code = cli::run(
            QStringList{"korvane-cli", "--vault-dir", missing, "generate"} + extra, console);
        return std::make_pair(code, QString::fromUtf8(console.out).trimmed());
    };
    const auto [code, password] = generate({});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(password.size(), 16);
    const auto [digits_code, digits] = generate({"--length", "7", "--classes", "d"});
    EXPECT_EQ(digits_code, 0);
    EXPECT_TRUE(QRegularExpression("^[0-9]{7}$").match(digits).hasMatch()) << digits.toStdString();
    EXPECT_EQ(generate({"--length", "51"}).first, cli::kExitUsage);
    EXPECT_EQ(generate({"--classes", "x"}).first, cli::kExitUsage);
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST(CliUsage, HelpAndCommandLineMistakes) {
    auto run = [](QStringList arguments) {
        FakeConsole console("");
        const int code = cli::run(QStringList{"korvane-cli"} + arguments, console);
        return std::make_pair(code, QString::fromUtf8(code == 0 ? console.out : console.err));
    };
    const auto [help_code, help] = run({"--help"});
    EXPECT_EQ(help_code, 0);
    std::set<cli::CommandHandler> handlers;
    for (const cli::CommandInfo& command : cli::command_infos()) {
        // A second row of the same name would never be reached, and a row without its own
        // handler would crash or run another command.
        EXPECT_EQ(cli::find_command(command.name), &command) << command.name.toStdString();
        EXPECT_TRUE(command.handler != nullptr && handlers.insert(command.handler).second)
            << command.name.toStdString();
        EXPECT_TRUE(help.contains("  " + command.name + " ")) << command.name.toStdString();
        const auto [code, text] = run({command.name, "--help"});
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(text.startsWith("用法：")) << text.toStdString();
        for (const cli::OptionSpec& option : command.options) {
            EXPECT_TRUE(text.contains("  " + option.name + " ")) << option.name.toStdString();
        }
    }
    for (const cli::OptionSpec& option : cli::global_options()) {
        EXPECT_TRUE(help.contains(" " + option.name + " ")) << option.name.toStdString();
        // The table names what the parser answers: each global option is taken before a command.
        QStringList line{"korvane-cli", option.name};
        if (!option.value_name.isEmpty()) line << "/nowhere";
        EXPECT_TRUE(cli::parse_arguments(line + QStringList{"init"}).ok())
            << option.name.toStdString();
    }
    // The version needs no vault and wins over a command, so a script can ask it anywhere.
    QTemporaryDir empty;
    for (const QStringList& asked :
         {QStringList{"--version"}, {"--vault-dir", empty.filePath("none"), "ls", "--version"}}) {
        const auto [code, text] = run(asked);
        EXPECT_EQ(code, 0) << asked.join(' ').toStdString();
        EXPECT_TRUE(QRegularExpression("^korvane-cli [0-9]+\\.[0-9]+(\\.[0-9]+)*\n$")
                        .match(text)
                        .hasMatch())
            << text.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(empty.filePath("none")));
    for (const QStringList& wrong : {QStringList{},
                                     {"frobnicate"},
                                     {"show"},
                                     {"show", "1", "2"},
                                     {"ls", "--title", "x"},
                                     {"--vault-dir"},
                                     {"show", "--show-password=yes", "1"}}) {
        EXPECT_EQ(run(wrong).first, cli::kExitUsage) << wrong.join(' ').toStdString();
    }
}

// A command or option missing from the manual, or one the manual names that the program does not
// have, is a manual out of step with the program.
TEST(CliManual, NamesEveryCommandAndOptionAndNoOther) {
    const ManualPage manual(QStringLiteral(KORVANE_CLI_MANUAL));
    ASSERT_FALSE(manual.empty()) << KORVANE_CLI_MANUAL;

    QStringList global;
    for (const cli::OptionSpec& option : cli::global_options()) global.append(option.name);
    EXPECT_EQ(long_options(manual.section("OPTIONS")).join(' ').toStdString(),
              sorted_names(global).toStdString());

    QStringList known = global;
    QStringList table_commands;
    for (const cli::CommandInfo& command : cli::command_infos()) {
        table_commands.append(command.name);
        for (const cli::OptionSpec& option : command.options) known.append(option.name);
    }
    QStringList manual_commands;
    for (const auto& [name, text] : manual.subsections("COMMANDS")) {
        manual_commands.append(name);
        const cli::CommandInfo* command = cli::find_command(name);
        if (command == nullptr) continue;  // reported by the list comparison below
        QStringList own = global;
        for (const cli::OptionSpec& option : command->options) own.append(option.name);
        // Its own options all described, and no other command's option in its place.
        const QStringList named = long_options(text);
        for (const QString& option : own) {
            if (!global.contains(option)) {
                EXPECT_TRUE(named.contains(option))
                    << name.toStdString() << " " << option.toStdString();
            }
        }
        for (const QString& option : named) {
            EXPECT_TRUE(own.contains(option)) << name.toStdString() << " " << option.toStdString();
        }
    }
    EXPECT_EQ(manual_commands.join(' ').toStdString(), table_commands.join(' ').toStdString());

    QString rest;
    for (const char* section : {"SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "EXAMPLES", "FILES"}) {
        rest += manual.section(section);
    }
    for (const QString& option : long_options(rest)) {
        EXPECT_TRUE(known.contains(option)) << option.toStdString();
    }
}

}  // namespace
}  // namespace korvane::test_support
