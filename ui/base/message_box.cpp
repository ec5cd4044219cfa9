// show_message: QMessageBox with the program's captions and button sets.
#include "ui/base/message_box.h"

#include "resources/resource_ids.h"
#include "resources/string_table.h"

namespace korvane {

QMessageBox::StandardButton show_message(QWidget* owner, const QString& text,
                                         const QString& caption, MessageButtons buttons,
                                         QMessageBox::Icon icon) {
    QMessageBox box(owner);
    box.setIcon(icon);
    box.setWindowTitle(caption.isEmpty() ? res::string_entry(res::kStrAppTitle) : caption);
    box.setText(text);
    if (buttons == MessageButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString error_caption() { return QStringLiteral("出错啦"); }

QString plain_error_caption() { return QStringLiteral("错误"); }

}  // namespace korvane
