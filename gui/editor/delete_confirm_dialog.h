// SPDX-License-Identifier: GPL-3.0-or-later
// DeleteConfirmDialog: asks whether to delete one record, with yes, yes to all, no and cancel.
#pragma once

#include <QDialog>
#include <QPoint>
#include <memory>
#include <optional>
#include <string>

#include "gui/common/run_modal.h"

namespace Ui {
class DeleteConfirmDialog;
}

namespace korvane {

// Which button ended the dialog. The caller decides by this, not by the dialog result.
enum class DeleteAnswer { yes = 0, no = 1, yes_to_all = 2, cancel = 3 };

class DeleteConfirmDialog : public QDialog, public ModalAnswer {
    Q_OBJECT

public:
    explicit DeleteConfirmDialog(QWidget* parent = nullptr);
    ~DeleteConfirmDialog() override;

    // The question as GBK bytes. One dialog may run several times; each run shows the message
    // set last.
    void set_message(std::string message);
    const std::string& message() const { return message_; }

    // Set by every way of ending a run: yes, no and yes to all end with Accepted, cancel (the
    // button, Esc, the close box) with Rejected.
    DeleteAnswer answer() const { return answer_; }
    // A run that ends without a button (the program quitting) answers cancel, not the last run's
    // answer.
    void reset_answer() override { answer_ = DeleteAnswer::cancel; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void finish(DeleteAnswer answer);

    std::unique_ptr<Ui::DeleteConfirmDialog> ui_;
    std::string message_;
    DeleteAnswer answer_ = DeleteAnswer::cancel;
    // Where the first run came up; later runs of the same question come up there too.
    std::optional<QPoint> first_position_;
};

}  // namespace korvane
