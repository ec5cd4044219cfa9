// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the korvane-cli suites: a console with scripted input, and a vault made and read
// back through the window's own code paths (VaultSession and the statements).
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <string>
#include <vector>

#include "cli/console.h"
#include "support/session_vault.h"
#include "vault/vault_record.h"

namespace korvane::test_support {

class FakeConsole : public cli::Console {
public:
    explicit FakeConsole(QByteArray input) : input_(std::move(input)) {}

    // Once out holds out_room bytes, writes fail with out_errno (0: they never fail); what
    // still fits is kept, as a full disk keeps it.
    void write_out(const QByteArray& bytes) override;
    void write_err(const QByteArray& bytes) override { err += bytes; }
    bool out_is_terminal() const override { return out_terminal; }
    cli::LineRead read_input_line() override;
    cli::LineRead read_secret(const QByteArray&) override {
        return {cli::ReadStatus::NoTerminal, {}};
    }
    // A signal that "arrives" from the signal_from_ask-th question on (0: never), counted over
    // every caller, so a test can place it between two rows of a long-running writer.
    int termination_signal() const override {
        ++signal_asks;
        return signal_from_ask > 0 && signal_asks >= signal_from_ask ? signal_number : 0;
    }
    int termination_fd() const override { return -1; }

    int out_errno = 0;
    qsizetype out_room = 0;
    bool out_terminal = false;
    int out_writes = 0;  // calls of write_out, those after a failure included
    int signal_from_ask = 0;
    int signal_number = 15;  // SIGTERM
    mutable int signal_asks = 0;
    int lines_read = 0;
    QByteArray out;
    QByteArray err;

private:
    QByteArray input_;
};

struct CliRun {
    int exit_code = -1;
    QString out;
    QByteArray out_bytes;  // as written, for output that is no text (GBK, a database)
    QString err;
    int lines_read = 0;
    int out_writes = 0;
};

// Makes the one QGuiApplication of the test process (offscreen), for the clipboard and QProcess.
void ensure_application();

class CliTest : public ::testing::Test {
protected:
    static constexpr char kMaster[] = "master";
    static constexpr char kPaddedMaster[] = "masteryyyyyyyyyyy";

    QString vault_dir() const { return vault_.path(); }
    QString file(const QString& name) const { return files_.filePath(name); }
    QString vault_file(const char* name) const { return vault_.filePath(QLatin1String(name)); }

    // Creates the vault as the window does, with these categories and records, and locks it.
    void make_vault(const std::vector<std::string>& categories,
                    const std::vector<VaultRecord>& records);
    // korvane-cli --vault-dir <vault> --password-stdin <arguments>, in-process; a signal
    // arrives at the signal_from_ask-th look at the flag (FakeConsole), 0 for none.
    CliRun cli(const QStringList& arguments, const QByteArray& input = QByteArray("master\n"),
               int signal_from_ask = 0);
    // Every record as the window reads them (OID order), unlocking with password.
    std::vector<VaultRecord> window_records(const std::string& password = kPaddedMaster);
    // The vault folder as the window opens it: the vault there, else one made under
    // kPaddedMaster at the first unlock.
    SessionVault window_vault() const {
        return SessionVault::in_folder(vault_dir(), kPaddedMaster);
    }

    // For the next cli() runs: standard output as FakeConsole's fields of the same names.
    int out_errno_ = 0;
    qsizetype out_room_ = 0;
    bool out_terminal_ = false;

    QTemporaryDir vault_;
    QTemporaryDir files_;
    std::vector<RecordId> oids_;  // of the records make_vault added, in order
};

}  // namespace korvane::test_support
