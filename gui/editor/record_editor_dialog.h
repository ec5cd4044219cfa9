// SPDX-License-Identifier: GPL-3.0-or-later
// RecordEditorDialog: shows and edits the title, account, password and remark of one record.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <memory>
#include <string>

namespace Ui {
class RecordEditorDialog;
}

namespace korvane {

class ClipboardClearer;

// The caller sets the caption and the four texts (GBK bytes), runs the dialog, and after OK
// (Save) reads the texts back; after Cancel they hold what the caller set. The dialog touches
// no database.
class RecordEditorDialog : public QDialog {
    Q_OBJECT

public:
    // GBK bytes of the captions the callers use. Only the first shows the password in clear.
    static constexpr char kNewRecordCaption[] = "\xD0\xC2\xD4\xF6\xBC\xC7\xC2\xBC";  // 新增记录
    static constexpr char kModifyRecordCaption[] = "\xD0\xDE\xB8\xC4\xBC\xC7\xC2\xBC";  // 修改记录
    static constexpr char kViewRecordCaption[] =
        "\xB2\xE9\xBF\xB4\xB2\xA2\xD0\xDE\xB8\xC4\xBC\xC7\xC2\xBC";  // 查看并修改记录

    explicit RecordEditorDialog(QWidget* parent = nullptr);
    ~RecordEditorDialog() override;

    // Sets the window caption and, with it, whether the password starts masked.
    void set_caption(std::string caption);
    const std::string& caption() const { return caption_; }

    void set_title(std::string title) { set_field(kTitle, std::move(title)); }
    void set_account(std::string account) { set_field(kAccount, std::move(account)); }
    void set_password(std::string password) { set_field(kPassword, std::move(password)); }
    void set_remark(std::string remark) { set_field(kRemark, std::move(remark)); }
    const std::string& title() const { return fields_[kTitle].bytes; }
    const std::string& account() const { return fields_[kAccount].bytes; }
    const std::string& password() const { return fields_[kPassword].bytes; }
    const std::string& remark() const { return fields_[kRemark].bytes; }

    // The copy button's password then leaves the clipboard after the clearer's delay; without
    // one it stays there.
    void set_clipboard_clearer(ClipboardClearer& clearer) { clearer_ = &clearer; }

public slots:
    // Save: takes the four boxes, or stays open naming a box whose text GBK cannot hold.
    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum FieldIndex { kTitle, kAccount, kPassword, kRemark, kFieldCount };

    struct Field {
        std::string bytes;
        // The box's text right after bytes were put in: an unchanged box keeps bytes as they
        // were, even bytes that are not valid GBK and so cannot survive a round trip.
        QString shown;
    };

    void set_field(FieldIndex index, std::string bytes);
    QString box_text(FieldIndex index) const;
    void focus_box(FieldIndex index);
    void toggle_password_mask();
    void copy_password();

    std::unique_ptr<Ui::RecordEditorDialog> ui_;
    std::string caption_;
    ClipboardClearer* clearer_ = nullptr;
    std::array<Field, kFieldCount> fields_;
};

}  // namespace korvane
