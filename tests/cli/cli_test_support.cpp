// SPDX-License-Identifier: GPL-3.0-or-later
// FakeConsole, the offscreen application and the window-side vault helpers.
#include "cli_test_support.h"

#include <QGuiApplication>
#include <algorithm>

#include "cli/cli.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane::test_support {

cli::LineRead FakeConsole::read_input_line() {
    if (input_.isEmpty()) return {cli::ReadStatus::EndOfInput, {}};
    ++lines_read;
    qsizetype end = input_.indexOf('\n');
    if (end < 0) end = input_.size();
    cli::LineRead read{cli::ReadStatus::Ok, input_.left(end)};
    input_.remove(0, end + 1);
    return read;
}

void FakeConsole::write_out(const QByteArray& bytes) {
    ++out_writes;
    // The real console writes nothing more once a write has failed.
    if (out_error() != 0) return;
    if (out_errno == 0 || out.size() + bytes.size() <= out_room) {
        out += bytes;
        return;
    }
    out += bytes.left(std::max<qsizetype>(out_room - out.size(), 0));
    record_out_error(out_errno);
}

void ensure_application() {
    if (QCoreApplication::instance() != nullptr) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "korvane_cli_tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the test process
}

void CliTest::make_vault(const std::vector<std::string>& categories,
                         const std::vector<VaultRecord>& records) {
    auto doc = window_vault().unlock(kPaddedMaster);
    ASSERT_TRUE(doc);
    for (const std::string& name : categories) {
        ASSERT_TRUE(statements::insert_category(doc->db(), name).ok());
    }
    for (const VaultRecord& record : records) {
        auto oid = statements::insert_record(doc->db(), record);
        ASSERT_TRUE(oid.ok());
        oids_.push_back(*oid);
    }
    doc->lock();
}

CliRun CliTest::cli(const QStringList& arguments, const QByteArray& input, int signal_from_ask) {
    FakeConsole console(input);
    console.signal_from_ask = signal_from_ask;
    console.out_errno = out_errno_;
    console.out_room = out_room_;
    console.out_terminal = out_terminal_;
    const QStringList full =
        QStringList{QStringLiteral("korvane-cli"), QStringLiteral("--vault-dir"), vault_dir(),
                    QStringLiteral("--password-stdin")} +
        arguments;
    CliRun run;
    run.exit_code = cli::run(full, console);
    run.out = QString::fromUtf8(console.out);
    run.out_bytes = console.out;
    run.err = QString::fromUtf8(console.err);
    run.lines_read = console.lines_read;
    run.out_writes = console.out_writes;
    return run;
}

std::vector<VaultRecord> CliTest::window_records(const std::string& password) {
    auto doc = window_vault().unlock(password);
    if (!doc) return {};
    auto records = statements::all_records(doc->db());
    EXPECT_TRUE(records.ok());
    doc->lock();
    return records.ok() ? *records : std::vector<VaultRecord>{};
}

}  // namespace korvane::test_support
