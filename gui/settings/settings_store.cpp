// SPDX-License-Identifier: GPL-3.0-or-later
// SettingsStore: what the stored texts and numbers mean, and the store they are kept in.
#include "gui/settings/settings_store.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace korvane {
namespace {

// A text store gives a number back as a string in a later run; toInt parses either.
int number_from_stored(const SettingRow& row, const QVariant& stored) {
    bool ok = false;
    const int number = stored.toString().trimmed().toInt(&ok);
    if (!ok) return row.default_value;
    if (row.kind == SettingKind::Number) return number;
    if (number == row.off || (number >= row.min && number <= row.max)) return number;
    return row.default_value;
}

// A switch written in this run is a bool; one read from the file is its text.
int switch_from_stored(const SettingRow& row, const QVariant& stored) {
    const QString text = stored.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return 1;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return 0;
    return row.default_value;
}

int from_stored(const SettingRow& row, const QVariant& stored) {
    if (!stored.isValid()) return row.default_value;
    if (row.kind == SettingKind::Switch) return switch_from_stored(row, stored);
    return number_from_stored(row, stored);
}

}  // namespace

QSettings SettingsStore::open() const {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
}

int SettingsStore::value(Setting setting) const {
    const SettingRow& setting_row = row(setting);
    const QSettings store = open();
    if (store.status() != QSettings::NoError) return setting_row.default_value;
    return from_stored(setting_row, store.value(QString::fromLatin1(setting_row.key)));
}

void SettingsStore::set_value(Setting setting, int value) {
    const SettingRow& setting_row = row(setting);
    QSettings store = open();
    const QString key = QString::fromLatin1(setting_row.key);
    if (setting_row.kind == SettingKind::Switch) {
        store.setValue(key, value != 0);
    } else {
        store.setValue(key, value);
    }
    store.sync();
}

}  // namespace korvane
