// LockKeyIndicators: the status bar's 大写 / 数字 / 滚动 panes, following the lock keys.
#pragma once

#include <QObject>
#include <optional>

class QLabel;
class QStatusBar;
class QTimer;

namespace korvane {

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The lock keys' state, or nullopt where the platform does not tell it (Wayland, offscreen).
std::optional<LockKeyState> read_lock_keys();

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
