// SPDX-License-Identifier: GPL-3.0-or-later
// ChangePasswordDialog: takes a new master password typed twice and hands back its padded GBK
// bytes.
#pragma once

#include <QDialog>
#include <cstddef>
#include <memory>
#include <string>

namespace Ui {
class ChangePasswordDialog;
}

namespace korvane {

class ChangePasswordDialog : public QDialog {
    Q_OBJECT

public:
    // The key takes the password's whole 4-byte words, at most 14 of them: 60 bytes or more
    // would make a key the cipher cannot take.
    static constexpr std::size_t kMaxPasswordBytes = 59;

    explicit ChangePasswordDialog(QWidget* parent = nullptr);
    ~ChangePasswordDialog() override;

    // After OK: the new password as GBK bytes, padded by text::pad_master_password.
    const std::string& new_password() const { return new_password_; }

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::ChangePasswordDialog> ui_;
    std::string new_password_;
};

}  // namespace korvane
