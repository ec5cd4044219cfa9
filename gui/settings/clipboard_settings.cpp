// SPDX-License-Identifier: GPL-3.0-or-later
// ClipboardSettings: reading and writing the clipboard delay in the per-user native settings.
#include "gui/settings/clipboard_settings.h"

#include <QSettings>
#include <QString>

#include "gui/settings/style_settings.h"

namespace korvane {
int ClipboardSettings::from_stored(const QVariant& stored) {
    if (!stored.isValid()) return kDefaultSeconds;
    // A text store gives the number back as a string in a later run; toInt parses either.
    bool ok = false;
    const int seconds = stored.toString().trimmed().toInt(&ok);
    if (!ok) return kDefaultSeconds;
    if (seconds == kNever || (seconds >= kMinSeconds && seconds <= kMaxSeconds)) return seconds;
    return kDefaultSeconds;
}

int ClipboardSettings::read() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString::fromLatin1(StyleSettings::kOrganisation),
                    QString::fromLatin1(StyleSettings::kApplication));
    if (store.status() != QSettings::NoError) return kDefaultSeconds;
    return from_stored(store.value(QString::fromLatin1(kKey)));
}

void ClipboardSettings::write(int seconds) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString::fromLatin1(StyleSettings::kOrganisation),
                    QString::fromLatin1(StyleSettings::kApplication));
    store.setValue(QString::fromLatin1(kKey), seconds);
    store.sync();
}

}  // namespace korvane
