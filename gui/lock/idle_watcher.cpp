// SPDX-License-Identifier: GPL-3.0-or-later
// IdleWatcher: an application-wide input filter and a clock that is checked every few seconds.
#include "gui/lock/idle_watcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace korvane {
namespace {

// The lock may come this much after the minute it was set for; checking more often buys
// nothing a user would notice.
constexpr int kTickMs = 5000;
constexpr qint64 kMsPerMinute = 60 * 1000;

bool is_user_input(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
            return true;
        default:
            return false;
    }
}

}  // namespace

IdleWatcher::IdleWatcher(Clock now, QObject* parent)
    : QObject(parent), now_(std::move(now)), ticker_(new QTimer(this)) {
    ticker_->setInterval(kTickMs);
    connect(ticker_, &QTimer::timeout, this, &IdleWatcher::tick);
    // On the application, so input to any window counts: dialogs, menus, the floating window.
    QCoreApplication::instance()->installEventFilter(this);
    last_input_ = now_();
}

void IdleWatcher::set_minutes(int minutes) {
    minutes_ = qMax(0, minutes);
    note_input();
    if (minutes_ > 0) {
        ticker_->start();
    } else {
        ticker_->stop();
    }
}

void IdleWatcher::note_input() {
    last_input_ = now_();
    announced_ = false;
}

void IdleWatcher::tick() {
    if (minutes_ <= 0 || announced_) return;
    if (now_() - last_input_ < minutes_ * kMsPerMinute) return;
    announced_ = true;
    emit idle();
}

bool IdleWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (is_user_input(event->type())) note_input();
    return QObject::eventFilter(watched, event);
}

}  // namespace korvane
