// SPDX-License-Identifier: GPL-3.0-or-later
// UnlockPanel: the locked window's content, centred in the space the panes had.
#include "gui/lock/unlock_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/common/app_icon.h"
#include "gui/common/message_box.h"
#include "vault/text.h"

namespace korvane {
namespace {

constexpr int kIconSize = 48;
constexpr int kPasswordWidth = 240;

}  // namespace

UnlockPanel::UnlockPanel(QWidget* parent)
    : QWidget(parent),
      password_edit_(new QLineEdit(this)),
      unlock_button_(new QPushButton(QStringLiteral("解锁"), this)) {
    setObjectName(QStringLiteral("unlock_panel"));
    auto* icon = new QLabel(this);
    icon->setPixmap(app_icon().pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignCenter);
    auto* message = new QLabel(QStringLiteral("密码库已锁定，请输入您的密码"), this);
    message->setAlignment(Qt::AlignCenter);
    password_edit_->setObjectName(QStringLiteral("unlock_password_edit"));
    // The mask character comes from the program's style, '*' like the login's.
    password_edit_->setEchoMode(QLineEdit::Password);
    password_edit_->setMinimumWidth(kPasswordWidth);
    unlock_button_->setObjectName(QStringLiteral("unlock_button"));

    auto* row = new QHBoxLayout;
    row->addWidget(password_edit_);
    row->addWidget(unlock_button_);
    auto* column = new QVBoxLayout;
    column->addWidget(icon);
    column->addWidget(message);
    column->addLayout(row);
    auto* layout = new QGridLayout(this);
    layout->setRowStretch(0, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(2, 1);
    layout->addLayout(column, 1, 1);

    setFocusProxy(password_edit_);
    connect(unlock_button_, &QPushButton::clicked, this, &UnlockPanel::unlock_requested);
    connect(password_edit_, &QLineEdit::returnPressed, this, &UnlockPanel::unlock_requested);
}

UnlockPanel::~UnlockPanel() { password_edit_->clear(); }

std::optional<std::string> UnlockPanel::take_password() {
    auto bytes = text::to_gbk(password_edit_->text(), QStringLiteral("用户密码"));
    if (!bytes) {
        // Replacing the character would silently change the key, so the user must retype.
        show_message(this, bytes.error(), plain_error_caption());
        password_edit_->setFocus();
        return std::nullopt;
    }
    password_edit_->clear();
    return text::pad_master_password(std::move(bytes).value());
}

void UnlockPanel::reset() {
    password_edit_->clear();
    password_edit_->setFocus(Qt::OtherFocusReason);
}

}  // namespace korvane
