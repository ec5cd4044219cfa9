// Helpers for the tool dialog tests: an unlocked vault, a scripted file chooser, and answers
// to message boxes and password prompts.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/tools/file_chooser.h"
#include "support/dialog_driver.h"
#include "support/raw_sqlite.h"
#include "vault/vault_record.h"
#include "vault/vault_session.h"

namespace korvane::testing {

// Answers file dialogs from a queue (an empty answer is a cancel) and records every call.
class ScriptedChooser : public FileChooser {
public:
    struct Call {
        QWidget* owner = nullptr;
        QString caption;
        QString filter;
        QString default_suffix;
    };

    std::deque<QString> answers;
    std::vector<Call> save_calls;
    std::vector<Call> open_calls;

    QString save_file(QWidget* owner, const QString& caption, const QString& filter,
                      const QString& default_suffix) override;
    QString open_file(QWidget* owner, const QString& caption, const QString& filter) override;

private:
    QString next_answer();
};

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

    QTemporaryDir vault_dir_;
    QTemporaryDir files_;
    std::unique_ptr<VaultSession> session_;
    ScriptedChooser chooser_;
    QWidget owner_;
};

// Runs action and answers each message box it opens with the next of answers (OK once they
// run out); returns what the boxes said, in order.
std::vector<SeenMessage> answer_messages(const std::function<void()>& action,
                                         std::deque<QMessageBox::StandardButton> answers = {});

// The next LoginDialog gets password typed and confirmed, or is cancelled for nullopt.
void answer_login(std::optional<QString> password);

// Cancels every LoginDialog that opens while it lives and counts them, so a prompt that should
// not appear fails the test instead of blocking it.
class LoginWatcher {
public:
    LoginWatcher();
    ~LoginWatcher();
    LoginWatcher(const LoginWatcher&) = delete;
    LoginWatcher& operator=(const LoginWatcher&) = delete;
    int prompts() const { return *prompts_; }

private:
    std::shared_ptr<int> prompts_;
    QTimer* poll_;
};

}  // namespace korvane::testing
