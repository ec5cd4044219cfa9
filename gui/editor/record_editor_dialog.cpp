// SPDX-License-Identifier: GPL-3.0-or-later
// RecordEditorDialog: the record editor used for new records, changes and the floating window.
#include "gui/editor/record_editor_dialog.h"

#include <QKeyEvent>
#include <QStyle>

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/common/message_box.h"
#include "gui/common/strength_bar.h"
#include "platform/clipboard.h"
#include "platform/clipboard_clearer.h"
#include "ui_record_editor_dialog.h"
#include "vault/text.h"

namespace korvane {
namespace {

QString field_name(int index) {
    static const std::array<QString, 4> names = {QStringLiteral("标题"), QStringLiteral("用户名"),
                                                 QStringLiteral("密码"), QStringLiteral("备注")};
    return names[index];
}

// Stored remarks come from edit boxes that end lines with CR LF; keeping that form lets vaults
// move to and from earlier installations unchanged.
QString remark_for_storage(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

}  // namespace

RecordEditorDialog::RecordEditorDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::RecordEditorDialog>()) {
    ui_->setupUi(this);
    const QIcon icon = app_icon();
    setWindowIcon(icon);
    use_resizable_frame(*this);
    // The icon is the only thing that tells the user where to click to reveal the password.
    ui_->reveal_button->setIcon(
        icon.isNull() ? style()->standardIcon(QStyle::SP_FileDialogInfoView, nullptr, this) : icon);
    ui_->password_edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    ui_->discard_button->setFocus();

    connect(ui_->save_button, &QPushButton::clicked, this, &RecordEditorDialog::accept);
    connect(ui_->discard_button, &QPushButton::clicked, this, &RecordEditorDialog::reject);
    connect(ui_->reveal_button, &QToolButton::clicked, this,
            &RecordEditorDialog::toggle_password_mask);
    connect(ui_->copy_button, &QPushButton::clicked, this, &RecordEditorDialog::copy_password);
    connect(ui_->password_edit, &QLineEdit::textChanged, ui_->strength_bar,
            &StrengthBar::show_strength_of);
}

RecordEditorDialog::~RecordEditorDialog() = default;

void RecordEditorDialog::set_caption(std::string caption) {
    caption_ = std::move(caption);
    setWindowTitle(text::from_gbk(caption_));
    // A new record has nothing to hide yet; a stored one may be looked at over the shoulder.
    ui_->password_edit->setEchoMode(caption_ == kNewRecordCaption ? QLineEdit::Normal
                                                                  : QLineEdit::Password);
}

void RecordEditorDialog::set_field(FieldIndex index, std::string bytes) {
    QString text = text::from_gbk(bytes);
    if (index == kRemark) {
        ui_->remark_edit->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    } else {
        QLineEdit* edits[] = {ui_->title_edit, ui_->account_edit, ui_->password_edit};
        edits[index]->setText(text);
    }
    fields_[index] = Field{std::move(bytes), box_text(index)};
}

QString RecordEditorDialog::box_text(FieldIndex index) const {
    switch (index) {
        case kTitle:
            return ui_->title_edit->text();
        case kAccount:
            return ui_->account_edit->text();
        case kPassword:
            return ui_->password_edit->text();
        default:
            return ui_->remark_edit->toPlainText();
    }
}

void RecordEditorDialog::focus_box(FieldIndex index) {
    QWidget* boxes[] = {ui_->title_edit, ui_->account_edit, ui_->password_edit, ui_->remark_edit};
    boxes[index]->setFocus();
}

void RecordEditorDialog::accept() {
    std::array<std::string, kFieldCount> saved;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto index = static_cast<FieldIndex>(i);
        const QString text = box_text(index);
        if (text == fields_[index].shown) {
            saved[index] = fields_[index].bytes;
            continue;
        }
        auto bytes =
            text::to_gbk(index == kRemark ? remark_for_storage(text) : text, field_name(index));
        if (!bytes) {
            show_message(this, bytes.error(), plain_error_caption());
            focus_box(index);
            return;
        }
        saved[index] = std::move(bytes).value();
    }
    for (int i = 0; i < kFieldCount; ++i) {
        fields_[i] = Field{std::move(saved[i]), box_text(static_cast<FieldIndex>(i))};
    }
    QDialog::accept();
}

void RecordEditorDialog::keyPressEvent(QKeyEvent* event) {
    // Save is not the default button, yet Enter outside the remark box (which keeps Enter as a
    // line break) saves; a focused push button takes Enter as its own click.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else {
            accept();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void RecordEditorDialog::toggle_password_mask() {
    QLineEdit* edit = ui_->password_edit;
    edit->setEchoMode(edit->echoMode() == QLineEdit::Normal ? QLineEdit::Password
                                                            : QLineEdit::Normal);
}

void RecordEditorDialog::copy_password() {
    if (clearer_ != nullptr) {
        clearer_->put(ui_->password_edit->text());
    } else {
        put_text_on_clipboard(ui_->password_edit->text());
    }
}

}  // namespace korvane
