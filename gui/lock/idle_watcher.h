// SPDX-License-Identifier: GPL-3.0-or-later
// IdleWatcher: says when the user has given the program no input for a set number of minutes.
#pragma once

#include <QObject>
#include <QtGlobal>
#include <functional>

class QTimer;

namespace korvane {

// Watches every input event of the application (keys, mouse buttons, the wheel, mouse moves).
// The time comes from an injected clock and tick(), so tests move the clock instead of waiting;
// a timer calls tick() in the program.
class IdleWatcher : public QObject {
    Q_OBJECT
public:
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;

    explicit IdleWatcher(Clock now, QObject* parent = nullptr);

    // kIdleOff (0) turns the watch off; any other value starts the wait anew from now.
    void set_minutes(int minutes);
    int minutes() const { return minutes_; }

    // Announces idle() once the wait has passed with no input; once per quiet spell.
    void tick();
    // The user did something: the wait starts again.
    void note_input();

signals:
    void idle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Clock now_;
    QTimer* ticker_;
    qint64 last_input_ = 0;
    int minutes_ = 0;
    bool announced_ = false;
};

}  // namespace korvane
