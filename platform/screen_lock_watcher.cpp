// SPDX-License-Identifier: GPL-3.0-or-later
// ScreenLockWatcher: the D-Bus signals of the screen savers and of logind.
#include "platform/screen_lock_watcher.h"

#include <QCoreApplication>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>

namespace korvane {
namespace {

const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLogindSession = QStringLiteral("org.freedesktop.login1.Session");
// The answer is awaited in the background; this only bounds how long the call stays pending.
constexpr int kSessionLookupMs = 5000;

// Our own names for the connections, so that they never share Qt's default ones.
const QString kSessionConnection = QStringLiteral("korvane-desktop-session-bus");
const QString kSystemConnection = QStringLiteral("korvane-desktop-system-bus");

QDBusConnection connect_or_none(const QString& address, const QString& name) {
    // QDBusConnection::sessionBus() may launch a bus of its own where none runs (libdbus's
    // X11 autolaunch); an address we found ourselves is never more than a connect.
    if (address.isEmpty()) return QDBusConnection(name);
    return QDBusConnection::connectToBus(address, name);
}

QString socket_address(const QString& path) {
    return QFileInfo(path).exists() ? QStringLiteral("unix:path=") + path : QString();
}

}  // namespace

QDBusConnection ScreenLockWatcher::desktop_session_bus() {
    QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    const QString runtime_dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (address.isEmpty() && !runtime_dir.isEmpty()) {
        address = socket_address(runtime_dir + QStringLiteral("/bus"));
    }
    return connect_or_none(address, kSessionConnection);
}

QDBusConnection ScreenLockWatcher::desktop_system_bus() {
    QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty()) address = socket_address(QStringLiteral("/run/dbus/system_bus_socket"));
    return connect_or_none(address, kSystemConnection);
}

ScreenLockWatcher::ScreenLockWatcher(const QDBusConnection& session_bus,
                                     const QDBusConnection& system_bus, QObject* parent)
    : QObject(parent), session_bus_(session_bus), system_bus_(system_bus) {
    watch_screen_savers();
    watch_logind();
}

// Every subscription takes any sender: asking the bus who owns a name would be a round trip at
// start-up, and a forged signal can do no more than lock the vault.
void ScreenLockWatcher::watch_screen_savers() {
    if (!session_bus_.isConnected()) return;
    const QString freedesktop = QStringLiteral("org.freedesktop.ScreenSaver");
    const QString gnome = QStringLiteral("org.gnome.ScreenSaver");
    const QString signal = QStringLiteral("ActiveChanged");
    // KDE sends the freedesktop signal from /ScreenSaver as well as from the documented path.
    for (const QString& path :
         {QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("/ScreenSaver")}) {
        session_bus_.connect(QString(), path, freedesktop, signal, this,
                             SLOT(on_active_changed(bool)));
    }
    session_bus_.connect(QString(), QStringLiteral("/org/gnome/ScreenSaver"), gnome, signal, this,
                         SLOT(on_active_changed(bool)));
}

void ScreenLockWatcher::watch_logind() {
    if (!system_bus_.isConnected()) return;
    system_bus_.connect(QString(), kLogindPath, kLogindManager, QStringLiteral("PrepareForSleep"),
                        this, SLOT(on_prepare_for_sleep(bool)));
    QDBusMessage lookup = QDBusMessage::createMethodCall(
        kLogindService, kLogindPath, kLogindManager, QStringLiteral("GetSessionByPID"));
    lookup << quint32(QCoreApplication::applicationPid());
    auto* pending =
        new QDBusPendingCallWatcher(system_bus_.asyncCall(lookup, kSessionLookupMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                call->deleteLater();
                watch_session_lock(reply.isValid() ? reply.value().path() : QString());
            });
}

void ScreenLockWatcher::watch_session_lock(const QString& path) {
    // A program started outside any session (a service, a remote shell) has none to look up;
    // it then hears the Lock of every session, which logind sends only when one is locked.
    watching_session_lock_ = system_bus_.connect(
        QString(), path, kLogindSession, QStringLiteral("Lock"), this, SLOT(on_session_lock()));
}

void ScreenLockWatcher::on_active_changed(bool active) {
    if (active) emit screen_locked();
}

void ScreenLockWatcher::on_prepare_for_sleep(bool sleeping) {
    if (sleeping) emit screen_locked();
}

void ScreenLockWatcher::on_session_lock() { emit screen_locked(); }

}  // namespace korvane
