// SPDX-License-Identifier: GPL-3.0-or-later
// LockKeyIndicators: the status bar's 大写 / 数字 / 滚动 panes, following the lock keys.
#pragma once

#include <QObject>
#include <optional>

#include "platform/lock_keys.h"

class QLabel;
class QStatusBar;
class QTimer;

namespace korvane {

class LockKeyIndicators : public QObject {
    Q_OBJECT
public:
    LockKeyIndicators(QStatusBar& bar, QObject* parent = nullptr);

    // Shows state, or every indicator dimmed when the state is unknown.
    void show_state(const std::optional<LockKeyState>& state);

    QLabel* caps() const { return caps_; }
    QLabel* num() const { return num_; }
    QLabel* scroll() const { return scroll_; }

private:
    QLabel* caps_;
    QLabel* num_;
    QLabel* scroll_;
    QTimer* poll_;
};

}  // namespace korvane
