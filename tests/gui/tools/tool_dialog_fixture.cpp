// SPDX-License-Identifier: GPL-3.0-or-later
// ToolDialogTest: the vault is created and unlocked before each test, the chooser checked after.
#include "tool_dialog_fixture.h"

#include "support/file_helpers.h"
#include "vault/vault_statements.h"

namespace korvane::test_support {

void ToolDialogTest::SetUp() {
    session_ = vault_.unlock(kMasterPassword);
    ASSERT_TRUE(session_);
    set_file_chooser(&chooser_);
}

void ToolDialogTest::TearDown() {
    set_file_chooser(nullptr);
    EXPECT_TRUE(chooser_.answers.empty()) << "file dialog answers left unused";
}

QStringList ToolDialogTest::files() const { return folder_entries(files_.path()); }

void ToolDialogTest::add_record(const VaultRecord& record) {
    ASSERT_TRUE(statements::insert_record(session_->db(), record).ok());
}

void ToolDialogTest::add_category(const std::string& name) {
    ASSERT_TRUE(statements::insert_category(session_->db(), name).ok());
}

std::vector<test_support::RawRow> ToolDialogTest::records() {
    return test_support::DecipheredVault(session_->vault_path(), session_->master_password())
        .db()
        .rows("select bt,name,pass,bz,type from userpass order by OID");
}

std::vector<std::string> ToolDialogTest::categories() {
    std::vector<std::string> names;
    test_support::DecipheredVault stored(session_->vault_path(), session_->master_password());
    for (const auto& row : stored.db().rows("select leibie from type order by OID")) {
        names.push_back(row[0].value_or("<NULL>"));
    }
    return names;
}

}  // namespace korvane::test_support
