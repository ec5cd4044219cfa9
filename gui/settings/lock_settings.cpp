// SPDX-License-Identifier: GPL-3.0-or-later
// LockSettings: reading and writing the lock triggers in the per-user native settings.
#include "gui/settings/lock_settings.h"

#include <QSettings>
#include <QString>

#include "gui/settings/style_settings.h"

namespace korvane {
namespace {

QSettings open_store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(StyleSettings::kOrganisation),
                     QString::fromLatin1(StyleSettings::kApplication));
}

}  // namespace

int LockSettings::idle_minutes_from_stored(const QVariant& stored) {
    if (!stored.isValid()) return kDefaultIdleMinutes;
    // A text store gives the number back as a string in a later run; toInt parses either.
    bool ok = false;
    const int minutes = stored.toString().trimmed().toInt(&ok);
    if (!ok || minutes < kIdleOff || minutes > kMaxIdleMinutes) return kDefaultIdleMinutes;
    return minutes;
}

bool LockSettings::on_screen_lock_from_stored(const QVariant& stored) {
    if (!stored.isValid()) return kDefaultOnScreenLock;
    const QString text = stored.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return kDefaultOnScreenLock;
}

int LockSettings::read_idle_minutes() {
    QSettings store = open_store();
    if (store.status() != QSettings::NoError) return kDefaultIdleMinutes;
    return idle_minutes_from_stored(store.value(QString::fromLatin1(kIdleMinutesKey)));
}

void LockSettings::write_idle_minutes(int minutes) {
    QSettings store = open_store();
    store.setValue(QString::fromLatin1(kIdleMinutesKey), minutes);
    store.sync();
}

bool LockSettings::read_on_screen_lock() {
    QSettings store = open_store();
    if (store.status() != QSettings::NoError) return kDefaultOnScreenLock;
    return on_screen_lock_from_stored(store.value(QString::fromLatin1(kOnScreenLockKey)));
}

void LockSettings::write_on_screen_lock(bool on) {
    QSettings store = open_store();
    store.setValue(QString::fromLatin1(kOnScreenLockKey), on);
    store.sync();
}

}  // namespace korvane
