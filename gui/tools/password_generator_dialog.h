// SPDX-License-Identifier: GPL-3.0-or-later
// PasswordGeneratorDialog: random passwords of a chosen length from chosen character classes.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class PasswordGeneratorDialog;
}

namespace korvane {

// OK (or Enter) fills the password box and leaves the dialog open so the result can be copied;
// Cancel closes it. The length box and its arrows are one spin box, limited to 1..50.
class PasswordGeneratorDialog : public QDialog {
    Q_OBJECT

public:
    explicit PasswordGeneratorDialog(QWidget* parent = nullptr);
    ~PasswordGeneratorDialog() override;

public slots:
    // Generates instead of closing.
    void accept() override;

private:
    void copy_password();
    void update_copy_button();

    std::unique_ptr<Ui::PasswordGeneratorDialog> ui_;
};

}  // namespace korvane
