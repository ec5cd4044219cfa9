// SPDX-License-Identifier: GPL-3.0-or-later
// AboutDialog: the version it shows and the way it closes.
#include "gui/window/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "support/modal_driver.h"
#include "vault/program_version.h"

namespace {

namespace kt = korvane::test_support;
using korvane::AboutDialog;

TEST(AboutDialog, ShowsTheVersionAndClosesWithOk) {
    AboutDialog dialog;
    kt::show_and_settle(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("关于 Korvane"));
    EXPECT_EQ(kt::child<QLabel>(&dialog, "version_label")->text(), QStringLiteral("Korvane V1.2"));
    EXPECT_EQ(kt::child<QLabel>(&dialog, "version_label")->text(),
              QStringLiteral("Korvane V") + QLatin1String(korvane::kProgramVersion));
    EXPECT_FALSE(kt::child<QLabel>(&dialog, "credits_label")->text().isEmpty());
    kt::press_key(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
