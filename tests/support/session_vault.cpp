// SPDX-License-Identifier: GPL-3.0-or-later
// SessionVault: start-up answered by ScriptedPrompts, every outcome checked.
#include "support/session_vault.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include "support/scripted_prompts.h"

namespace korvane::test_support {

SessionVault::SessionVault(std::string password, const QString& folder)
    : owned_(std::make_unique<QTemporaryDir>()),
      path_(folder.isEmpty() ? owned_->path() : owned_->filePath(folder)),
      initial_password_(std::move(password)) {}

SessionVault::SessionVault(FolderOfTheTest, const QString& folder, std::string password)
    : path_(folder),
      initial_password_(std::move(password)),
      created_(QFileInfo::exists(VaultFiles(folder).vault)) {}

SessionVault SessionVault::in_folder(const QString& folder, std::string password) {
    return SessionVault(FolderOfTheTest{}, folder, std::move(password));
}

std::unique_ptr<VaultSession> SessionVault::unlock(const std::string& password) {
    ScriptedPrompts prompts;
    if (!created_) prompts.new_password(initial_password_);
    prompts.master_password(password);
    auto doc = std::make_unique<VaultSession>(path_);
    const StartOutcome outcome = doc->start(prompts);
    created_ = true;
    if (outcome != StartOutcome::Unlocked) {
        ADD_FAILURE() << "the vault did not unlock (outcome " << int(outcome) << ", "
                      << prompts.messages().size() << " messages"
                      << (prompts.messages().empty()
                              ? std::string()
                              : ", the last: " + prompts.messages().back().text.toStdString())
                      << ")";
        return nullptr;
    }
    EXPECT_TRUE(prompts.all_answers_used());
    return doc;
}

StartOutcome SessionVault::try_unlock(const std::string& password) {
    EXPECT_TRUE(created_) << "try_unlock needs a vault";
    ScriptedPrompts prompts;
    prompts.master_password(password);
    VaultSession doc(path_);
    const StartOutcome outcome = doc.start(prompts);
    doc.lock();
    return outcome;
}

std::unique_ptr<VaultSession> SessionVault::relock(std::unique_ptr<VaultSession> doc,
                                                   const std::string& password) {
    if (!doc) return nullptr;
    const std::optional<QString> notice = doc->lock();
    EXPECT_FALSE(notice.has_value()) << notice.value_or(QString()).toStdString();
    doc.reset();
    return unlock(password);
}

}  // namespace korvane::test_support
