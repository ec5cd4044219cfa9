// SPDX-License-Identifier: GPL-3.0-or-later
// UnlockPanel: what the main window shows while the vault is locked, a password box and 解锁.
#pragma once

#include <QWidget>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace korvane {

class UnlockPanel : public QWidget {
    Q_OBJECT
public:
    explicit UnlockPanel(QWidget* parent = nullptr);
    ~UnlockPanel() override;

    // The typed password as the login pads it, the box emptied; nothing, after telling the user,
    // when it holds a character the key cannot be made of.
    std::optional<std::string> take_password();
    // Empties the box and puts the cursor in it.
    void reset();

signals:
    // 解锁 was clicked, or Return pressed in the box.
    void unlock_requested();

private:
    QLineEdit* password_edit_;
    QPushButton* unlock_button_;
};

}  // namespace korvane
