// SPDX-License-Identifier: GPL-3.0-or-later
// StrengthBar: a password's strength as a coloured bar and the level's name.
#pragma once

#include <QString>
#include <QWidget>

#include "tools/password_strength.h"

class QLabel;
class QProgressBar;

namespace korvane {

// Shows only the level: the password it was given is never kept, nor put in any text, tooltip
// or accessible property, where a screen reader or a screenshot tool could pick it up.
class StrengthBar : public QWidget {
    Q_OBJECT
public:
    explicit StrengthBar(QWidget* parent = nullptr);

    tools::StrengthLevel level() const { return level_; }
    // The level's name as shown beside the bar.
    QString level_text() const;

public slots:
    void show_strength_of(const QString& password);

private:
    void show_level(tools::StrengthLevel level);

    QProgressBar* bar_;
    QLabel* label_;
    tools::StrengthLevel level_ = tools::StrengthLevel::VeryWeak;
};

}  // namespace korvane
