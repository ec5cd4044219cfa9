// SPDX-License-Identifier: GPL-3.0-or-later
// main() of the widget test suites: the program's offscreen application object with settings
// kept in a temporary folder, then every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "gui/common/guarded_application.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    korvane::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvane-tests"));
    // Every main window writes its look when it is destroyed; keep that out of the user's own
    // settings, and out of the shared test-mode folder that other runs may read.
    QTemporaryDir settings_dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_dir.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
