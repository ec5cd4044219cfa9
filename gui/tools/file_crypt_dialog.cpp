// SPDX-License-Identifier: GPL-3.0-or-later
// FileCryptDialog: password checks, result names and messages around the file tool.
#include "gui/tools/file_crypt_dialog.h"

#include <QFileInfo>

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/common/message_box.h"
#include "gui/tools/file_chooser.h"
#include "tools/file_crypt.h"
#include "ui_file_crypt_dialog.h"
#include "vault/file_io.h"
#include "vault/text.h"

namespace korvane {
namespace {

QString success_caption() { return QStringLiteral("成功啦"); }

}  // namespace

FileCryptDialog::FileCryptDialog(const QString& password, SessionFiles session,
                                 FileChooser& chooser, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::FileCryptDialog>()),
      session_(std::move(session)),
      chooser_(chooser) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    ui_->path_edit->setFocus();
    ui_->password_edit->setText(password);
    ui_->password_again_edit->setText(password);
    connect(ui_->browse_button, &QPushButton::clicked, this, &FileCryptDialog::browse);
    connect(ui_->encrypt_button, &QPushButton::clicked, this, &FileCryptDialog::encrypt);
    connect(ui_->decrypt_button, &QPushButton::clicked, this, &FileCryptDialog::decrypt);
    connect(ui_->cancel_button, &QPushButton::clicked, this, &FileCryptDialog::reject);
}

FileCryptDialog::~FileCryptDialog() = default;

void FileCryptDialog::browse() {
    const QString path = chooser_.open_file(this, open_caption(), any_file_filter());
    if (!path.isEmpty()) ui_->path_edit->setText(path);
}

std::optional<std::string> FileCryptDialog::checked_password() {
    if (ui_->password_edit->text() != ui_->password_again_edit->text()) {
        show_message(this, tools::kPasswordsDiffer, plain_error_caption());
        return std::nullopt;
    }
    auto bytes = text::to_gbk(ui_->password_edit->text(), QStringLiteral("密码"));
    if (!bytes) {
        show_message(this, bytes.error(), plain_error_caption());
        return std::nullopt;
    }
    if (Status usable = tools::check_file_password(*bytes); !usable) {
        show_message(this, usable.error(), plain_error_caption());
        return std::nullopt;
    }
    return std::move(bytes).value();
}

QString FileCryptDialog::checked_source() {
    const QString path = ui_->path_edit->text();
    if (path.isEmpty()) {
        show_message(this, QStringLiteral("请先选择要加密或解密的文件"), plain_error_caption());
        return QString();
    }
    if (!QFileInfo(path).isFile()) {
        show_message(this, QStringLiteral("找不到文件“%1”").arg(native_path(path)),
                     plain_error_caption());
        return QString();
    }
    return path;
}

bool FileCryptDialog::may_write(const QString& target) {
    // Refused before the question, so the user is never asked to replace the vault.
    if (Status allowed = session_.check_output(target); !allowed) {
        show_message(this, allowed.error(), error_caption());
        return false;
    }
    if (!QFileInfo::exists(target)) return true;
    return show_message(this, QStringLiteral("“%1”已存在，要替换它吗？").arg(native_path(target)),
                        windowTitle(), MessageButtons::OkCancel,
                        QMessageBox::Question) == QMessageBox::Ok;
}

void FileCryptDialog::encrypt() {
    const auto password = checked_password();
    if (!password) return;
    const QString source = checked_source();
    if (source.isEmpty()) return;
    const QString target = tools::encrypted_file_path(source);
    if (!may_write(target)) return;
    if (Status done = tools::encrypt_file(source, target, *password, session_); !done) {
        show_message(this, done.error(), error_caption());
        return;
    }
    show_message(this, QStringLiteral("加密成功"), success_caption());
}

void FileCryptDialog::decrypt() {
    const auto password = checked_password();
    if (!password) return;
    const QString source = checked_source();
    if (source.isEmpty()) return;
    // A wrong password cannot be told from the file, so its output never replaces the source.
    const QString target = tools::decrypted_file_path(source);
    if (!may_write(target)) return;
    if (Status done = tools::decrypt_file(source, target, *password, session_); !done) {
        show_message(this, done.error(), error_caption());
        return;
    }
    show_message(this, QStringLiteral("解密成功"), success_caption());
}

}  // namespace korvane
