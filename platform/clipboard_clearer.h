// SPDX-License-Identifier: GPL-3.0-or-later
// ClipboardClearer: puts a secret on the clipboard and takes it off again after a delay.
#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>
#include <functional>

class QTimer;

namespace korvane {

// One secret at a time: a new put forgets the previous one. At the deadline, or when clear_now
// is called, the clipboard is emptied only if it still holds the secret; whatever the user
// copied since is theirs. A delay of 0 puts the text and never clears it.
class ClipboardClearer : public QObject {
    Q_OBJECT
public:
    // Milliseconds on a clock that never goes back; tests pass one they advance themselves.
    using Clock = std::function<qint64()>;
    static qint64 steady_now();

    explicit ClipboardClearer(Clock now = &ClipboardClearer::steady_now, QObject* parent = nullptr);
    ~ClipboardClearer() override;

    void set_delay_seconds(int seconds);
    int delay_seconds() const { return delay_seconds_; }

    void put(const QString& secret);
    // Checks the clock: announces a new count of seconds left, or clears at the deadline. A
    // timer calls it every second; tests call it after moving their clock.
    void tick();
    // Clears now if a secret is still waiting (the program is ending).
    void clear_now();

    bool pending() const { return pending_; }

signals:
    // The whole seconds left before the clipboard is cleared, once per change.
    void countdown(int seconds_left);
    // The wait is over: cleared, or left alone because the user copied something else.
    void finished();

private:
    void forget();

    Clock now_;
    QTimer* ticker_;
    QString secret_;
    qint64 deadline_ = 0;
    int delay_seconds_ = 0;
    int announced_ = 0;
    bool pending_ = false;
};

}  // namespace korvane
