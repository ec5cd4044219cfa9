// SPDX-License-Identifier: GPL-3.0-or-later
// SettingsFolder: the per-user native settings in a temporary folder, as a test writes and reads
// them by hand.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

namespace korvane::test_support {

// Points the per-user native settings at folders of its own, one fresh folder per use_fresh(),
// and back to the suite's folder when it ends.
class SettingsFolder {
public:
    SettingsFolder() : previous_(current_folder()) { use_fresh(); }
    ~SettingsFolder() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, previous_);
    }

    // A new folder has no stored value; QSettings caches files by name, so a value written by
    // hand needs a folder no QSettings has read yet.
    void use_fresh() {
        folder_ = root_.filePath(QString::number(++uses_));
        QDir().mkpath(folder_);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_);
    }
    // Where earlier installations and later runs look for the settings.
    QString file() const {
        return folder_ + QStringLiteral("/Local AppWizard-Generated Applications/Pellorin.conf");
    }
    // Stores text as a previous run would have left it.
    void store(const QByteArray& text) {
        QDir().mkpath(QFileInfo(file()).path());
        QFile out(file());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
    }
    QByteArray stored() const {
        QFile in(file());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    const QString& folder() const { return folder_; }

private:
    static QString current_folder() {
        const QSettings probe(QSettings::NativeFormat, QSettings::UserScope,
                              QStringLiteral("probe-organisation"), QStringLiteral("probe"));
        return QFileInfo(probe.fileName()).dir().absolutePath().section('/', 0, -2);
    }

    QString previous_;
    QTemporaryDir root_;
    QString folder_;
    int uses_ = 0;
};

}  // namespace korvane::test_support
