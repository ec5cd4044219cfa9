// SPDX-License-Identifier: GPL-3.0-or-later
// StrengthBar: the bar's length and colour for each level, and its texts.
#include "gui/common/strength_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace korvane {
namespace {

constexpr int kLevels = 5;

QString level_colour(tools::StrengthLevel level) {
    // Red to green, the order people read a strength meter in.
    switch (level) {
        case tools::StrengthLevel::VeryWeak:
            return QStringLiteral("#d9342b");
        case tools::StrengthLevel::Weak:
            return QStringLiteral("#ef8a17");
        case tools::StrengthLevel::Fair:
            return QStringLiteral("#d4b106");
        case tools::StrengthLevel::Strong:
            return QStringLiteral("#52a447");
        case tools::StrengthLevel::VeryStrong:
            return QStringLiteral("#1e7b34");
    }
    return {};
}

}  // namespace

StrengthBar::StrengthBar(QWidget* parent)
    : QWidget(parent), bar_(new QProgressBar(this)), label_(new QLabel(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    bar_->setRange(0, kLevels);
    bar_->setTextVisible(false);
    bar_->setMaximumHeight(label_->fontMetrics().height() / 2 + 2);
    // The widest name decides the label's width, so the bar keeps its length as the level
    // changes.
    label_->setMinimumWidth(label_->fontMetrics().horizontalAdvance(QStringLiteral("很弱")));
    layout->addWidget(bar_, 1);
    layout->addWidget(label_);
    // Nothing here is worth a Tab stop: the level follows the password box.
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("密码强度"));
    bar_->setAccessibleName(QStringLiteral("密码强度"));
    show_level(level_);
}

QString StrengthBar::level_text() const { return label_->text(); }

void StrengthBar::show_strength_of(const QString& password) {
    show_level(tools::password_strength(password));
}

void StrengthBar::show_level(tools::StrengthLevel level) {
    level_ = level;
    const QString name = tools::strength_text(level);
    bar_->setValue(int(level) + 1);
    bar_->setStyleSheet(
        QStringLiteral("QProgressBar::chunk { background-color: %1; }").arg(level_colour(level)));
    label_->setText(name);
    const QString described = QStringLiteral("密码强度：%1").arg(name);
    setToolTip(described);
    setAccessibleDescription(described);
    bar_->setAccessibleDescription(described);
}

}  // namespace korvane
