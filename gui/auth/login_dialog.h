// SPDX-License-Identifier: GPL-3.0-or-later
// LoginDialog: asks for the master password at start-up and hands back its padded GBK bytes.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class LoginDialog;
}

namespace korvane {

class LoginDialog : public QDialog {
    Q_OBJECT

public:
    explicit LoginDialog(QWidget* parent = nullptr);
    ~LoginDialog() override;

    // After OK: the typed password as GBK bytes, padded by text::pad_master_password. It is not
    // judged here; a wrong one is found when the vault is deciphered.
    const std::string& password() const { return password_; }

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::LoginDialog> ui_;
    std::string password_;
};

}  // namespace korvane
