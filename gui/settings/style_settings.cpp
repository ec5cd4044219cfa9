// SPDX-License-Identifier: GPL-3.0-or-later
// StyleSettings: reading and writing bXPMode in the per-user native settings store.
#include "gui/settings/style_settings.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace korvane {
int StyleSettings::read() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
    if (store.status() != QSettings::NoError) return kFallback;
    // A text store gives the number back as a string in a later run; toInt parses either.
    const QVariant value = store.value(QString::fromLatin1(kKey));
    if (!value.isValid()) return kFallback;
    bool ok = false;
    const int mode = value.toString().trimmed().toInt(&ok);
    return ok ? mode : kFallback;
}

void StyleSettings::write(int mode) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
    store.setValue(QString::fromLatin1(kKey), mode);
    store.sync();
}

}  // namespace korvane
