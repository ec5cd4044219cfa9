// SPDX-License-Identifier: GPL-3.0-or-later
// Clipboard access through QClipboard.
#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace korvane {

void put_text_on_clipboard(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data);
}

void clear_clipboard() { QGuiApplication::clipboard()->clear(); }

}  // namespace korvane
