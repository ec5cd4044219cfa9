// Scripted chooser, vault fixture and modal answers for the tool dialog tests.
#include "tool_dialog_support.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "gui/auth/login_dialog.h"
#include "support/file_helpers.h"
#include "support/scripted_prompts.h"
#include "vault/vault_statements.h"

namespace korvane::testing {

QString ScriptedChooser::save_file(QWidget* owner, const QString& caption, const QString& filter,
                                   const QString& default_suffix) {
    save_calls.push_back({owner, caption, filter, default_suffix});
    return next_answer();
}

QString ScriptedChooser::open_file(QWidget* owner, const QString& caption, const QString& filter) {
    open_calls.push_back({owner, caption, filter, QString()});
    return next_answer();
}

QString ScriptedChooser::next_answer() {
    if (answers.empty()) {
        ADD_FAILURE() << "a file dialog opened that the test did not expect";
        return QString();
    }
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

void ToolDialogTest::SetUp() {
    ScriptedPrompts prompts;
    prompts.new_password(kMasterPassword).master_password(kMasterPassword);
    session_ = std::make_unique<VaultSession>(vault_dir_.path());
    ASSERT_EQ(session_->start(prompts), StartOutcome::Unlocked);
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
    return test_support::RawSqlite(session_->work_path())
        .rows("select bt,name,pass,bz,type from userpass order by OID");
}

std::vector<std::string> ToolDialogTest::categories() {
    std::vector<std::string> names;
    for (const auto& row : test_support::RawSqlite(session_->work_path())
                               .rows("select leibie from type order by OID")) {
        names.push_back(row[0].value_or("<NULL>"));
    }
    return names;
}

std::vector<SeenMessage> answer_messages(const std::function<void()>& action,
                                         std::deque<QMessageBox::StandardButton> answers) {
    std::vector<SeenMessage> seen;
    QMessageBox* answered = nullptr;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box == answered) return;
        answered = box;
        seen.push_back(SeenMessage{true, box->text(), box->windowTitle(), box->parentWidget()});
        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (QAbstractButton* button = box->button(answer)) {
            button->click();
        } else {
            ADD_FAILURE() << "message box without the scripted button: "
                          << box->text().toStdString();
            box->reject();
        }
    });
    poll.start();
    action();
    poll.stop();
    return seen;
}

void answer_login(std::optional<QString> password) {
    on_next_modal<LoginDialog>([password](LoginDialog* prompt) {
        if (!password) {
            prompt->reject();
            return;
        }
        child<QLineEdit>(prompt, "password_edit")->setText(*password);
        child<QPushButton>(prompt, "ok_button")->click();
    });
}

LoginWatcher::LoginWatcher() : prompts_(std::make_shared<int>(0)), poll_(new QTimer) {
    poll_->setInterval(5);
    QObject::connect(poll_, &QTimer::timeout, [prompts = prompts_] {
        if (auto* prompt = qobject_cast<LoginDialog*>(QApplication::activeModalWidget())) {
            ++*prompts;
            prompt->reject();
        }
    });
    poll_->start();
}

LoginWatcher::~LoginWatcher() { delete poll_; }

}  // namespace korvane::testing
