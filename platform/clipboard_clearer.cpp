// SPDX-License-Identifier: GPL-3.0-or-later
// ClipboardClearer: the deadline, the countdown and the check that the clipboard is still ours.
#include "platform/clipboard_clearer.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "platform/clipboard.h"
#include "vault/secure_wipe.h"

namespace korvane {
namespace {

constexpr int kTickMilliseconds = 1000;

// Rounded up, so the count shows the full delay at the start and 1 in its last second.
int whole_seconds_left(qint64 milliseconds) {
    return int((milliseconds + kTickMilliseconds - 1) / kTickMilliseconds);
}

}  // namespace

qint64 ClipboardClearer::steady_now() {
    // The wall clock can jump when the user or NTP sets it; the monotonic clock cannot.
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

ClipboardClearer::ClipboardClearer(Clock now, QObject* parent)
    : QObject(parent), now_(std::move(now)), ticker_(new QTimer(this)) {
    // A coarse timer may fire early and leave the count on the same second for two ticks.
    ticker_->setTimerType(Qt::PreciseTimer);
    ticker_->setInterval(kTickMilliseconds);
    connect(ticker_, &QTimer::timeout, this, &ClipboardClearer::tick);
}

ClipboardClearer::~ClipboardClearer() { secure_wipe(secret_); }

void ClipboardClearer::set_delay_seconds(int seconds) { delay_seconds_ = std::max(0, seconds); }

void ClipboardClearer::put(const QString& secret) {
    forget();
    put_text_on_clipboard(secret);
    if (delay_seconds_ == 0) return;
    // A copy of its own, so the wipe reaches the buffer this object keeps and no other.
    secret_ = QString(secret.constData(), secret.size());
    deadline_ = now_() + qint64(delay_seconds_) * kTickMilliseconds;
    pending_ = true;
    announced_ = delay_seconds_;
    ticker_->start();
    emit countdown(announced_);
}

void ClipboardClearer::tick() {
    if (!pending_) return;
    const qint64 left = deadline_ - now_();
    if (left <= 0) {
        clear_now();
        return;
    }
    const int seconds = whole_seconds_left(left);
    if (seconds == announced_) return;
    announced_ = seconds;
    emit countdown(seconds);
}

void ClipboardClearer::clear_now() {
    if (!pending_) return;
    if (QGuiApplication::clipboard()->text() == secret_) clear_clipboard();
    forget();
    emit finished();
}

void ClipboardClearer::forget() {
    ticker_->stop();
    secure_wipe(secret_);
    pending_ = false;
}

}  // namespace korvane
