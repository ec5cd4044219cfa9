// SPDX-License-Identifier: GPL-3.0-or-later
// show_message: the message box is wide enough for its caption.
#include "gui/common/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>

#include "support/modal_driver.h"

namespace {

namespace kt = korvane::test_support;

// The window manager elides a caption wider than the title bar: "出错啦" came out as "··".
TEST(MessageBox, IsWideEnoughForItsCaptionAndTheFrameButtons) {
    constexpr int kFrameButtonsMargin = 96;
    for (const QString& caption : {korvane::error_caption(), korvane::plain_error_caption(),
                                   QStringLiteral("一个相当长的标题，比消息本身长得多")}) {
        SCOPED_TRACE(caption.toStdString());
        int shown_width = 0;
        kt::ModalDriver driver;
        driver.then<QMessageBox>([&](QMessageBox* box) {
            shown_width = box->width();
            box->button(QMessageBox::Ok)->click();
        });
        korvane::show_message(nullptr, QStringLiteral("x"), caption);
        ASSERT_EQ(driver.pending(), 0u);
        EXPECT_GE(shown_width, QFontMetrics(QApplication::font()).horizontalAdvance(caption) +
                                   kFrameButtonsMargin);
    }
}

}  // namespace
