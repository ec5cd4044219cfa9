// SPDX-License-Identifier: GPL-3.0-or-later
// record_tooltip: the labelled lines of a record's tooltip, kept plain text whatever it holds.
#include "gui/records/record_tooltip.h"

#include <QTextDocument>

#include "vault/text.h"

namespace korvane {
namespace {

// A remark may be a whole page; the tooltip shows its start rather than cover the screen.
constexpr qsizetype kRemarkChars = 300;

}  // namespace

QString record_tooltip(std::string_view title, std::string_view account,
                       std::string_view remark_bytes) {
    QString remark = text::from_gbk(remark_bytes);
    if (remark.size() > kRemarkChars) remark = remark.left(kRemarkChars) + QChar(0x2026);
    QString tooltip = QStringLiteral("标题：") + text::from_gbk(title) +
                      QStringLiteral("\n账号：") + text::from_gbk(account);
    if (!remark.isEmpty()) tooltip += QStringLiteral("\n备注：") + remark;
    // QToolTip takes text that looks like markup for markup: a title such as "<b>x" would lose
    // its characters, or an <img> in it be loaded. Such text is shown escaped instead.
    if (Qt::mightBeRichText(tooltip))
        return Qt::convertFromPlainText(tooltip, Qt::WhiteSpaceNormal);
    return tooltip;
}

}  // namespace korvane
