// SPDX-License-Identifier: GPL-3.0-or-later
// ToolDialogTest: the fixture of the tool dialog tests, an unlocked vault and a scripted chooser.
#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "scripted_chooser.h"
#include "support/raw_sqlite.h"
#include "support/session_vault.h"
#include "vault/vault_record.h"
#include "vault/vault_session.h"

namespace korvane::test_support {

// A vault created and unlocked under "master" in a folder of its own, a second folder for the
// files the tools read and write, and the scripted chooser installed for the commands.
class ToolDialogTest : public ::testing::Test {
protected:
    static constexpr char kMasterPassword[] = "masteryyyyyyyyyyy";  // "master", padded

    void SetUp() override;
    void TearDown() override;

    VaultSession& session() { return *session_; }
    QString file(const char* name) const { return files_.filePath(QString::fromUtf8(name)); }
    QStringList files() const;

    void add_record(const VaultRecord& record);
    void add_category(const std::string& name);
    // Read through a connection of their own: bt, name, pass, bz, type in OID order.
    std::vector<test_support::RawRow> records();
    std::vector<std::string> categories();

    SessionVault vault_{kMasterPassword};
    QTemporaryDir files_;
    std::unique_ptr<VaultSession> session_;
    ScriptedChooser chooser_;
    QWidget owner_;
};

}  // namespace korvane::test_support
