// SPDX-License-Identifier: GPL-3.0-or-later
// ScreenLockWatcher: tells when the desktop locks its screen or the machine is about to sleep.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace korvane {

// Listens on the session bus for the screen savers' ActiveChanged(true) (the freedesktop and
// the GNOME names) and on the system bus for logind's Lock of our session and
// PrepareForSleep(true). A bus or a service that is not there is simply not heard.
class ScreenLockWatcher : public QObject {
    Q_OBJECT
public:
    // The desktop's own buses, found from the environment without starting one: a connection
    // that is not connected where there is none.
    static QDBusConnection desktop_session_bus();
    static QDBusConnection desktop_system_bus();

    ScreenLockWatcher(const QDBusConnection& session_bus, const QDBusConnection& system_bus,
                      QObject* parent = nullptr);

    // Whether logind's Lock is listened for yet: the session lookup runs in the background.
    bool watching_session_lock() const { return watching_session_lock_; }

signals:
    // The screen locked, or the machine is going to sleep.
    void screen_locked();

private slots:
    void on_active_changed(bool active);
    void on_prepare_for_sleep(bool sleeping);
    void on_session_lock();

private:
    void watch_screen_savers();
    void watch_logind();
    // path is our session's object, or empty to hear the Lock of any session.
    void watch_session_lock(const QString& path);

    QDBusConnection session_bus_;
    QDBusConnection system_bus_;
    bool watching_session_lock_ = false;
};

}  // namespace korvane
