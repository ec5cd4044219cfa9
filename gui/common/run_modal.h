// SPDX-License-Identifier: GPL-3.0-or-later
// run_modal: the one way the program runs a modal dialog or message box.
#pragma once

class QDialog;

namespace korvane {

// A dialog that keeps its own answer beside QDialog::result() (for instance which of four
// buttons ended it). run_modal resets it before every run, so a run that ends without an answer
// can never report the previous run's one.
class ModalAnswer {
public:
    virtual void reset_answer() = 0;

protected:
    ~ModalAnswer() = default;
};

enum class WhenQuitting {
    Refuse,     // a question: cancelled once the program is ending
    ShowAnyway  // the last notice, after the vault has been closed
};

// Runs dialog modally and returns its result. Once the program is quitting nothing is shown and
// the result is QDialog::Rejected; a quit that arrives while the dialog is open gives Rejected
// too, whatever the dialog held.
int run_modal(QDialog& dialog, WhenQuitting when = WhenQuitting::Refuse);

// Ends every dialog run_modal has open as if cancelled, closes any open popup menu, and refuses
// new dialogs until allow_dialogs(): the vault is about to be locked under them, and nothing a
// dialog held may be written once it is. Each run that was open returns Rejected.
void withdraw_dialogs();
void allow_dialogs();
bool dialogs_withdrawn();
// The runs of run_modal not yet returned, nested ones included.
int open_modal_runs();

}  // namespace korvane
