// run_modal: resets the answer, refuses to ask while quitting, and cancels a run the quit ended.
#include "gui/common/run_modal.h"

#include <QCoreApplication>
#include <QDialog>

#include "gui/common/program_state.h"

namespace korvane {
namespace {

void reset(QDialog& dialog) {
    dialog.setResult(QDialog::Rejected);
    if (auto* answer = dynamic_cast<ModalAnswer*>(&dialog)) answer->reset_answer();
}

// QDialog::exec() would return at once: the loops were told to end, and Qt keeps that mark
// until the application loop returns, which a quit during start-up never reaches. The notice
// waits for its answer itself.
int wait_for_answer(QDialog& dialog) {
    dialog.setModal(true);
    dialog.show();
    while (dialog.isVisible()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return dialog.result();
}

}  // namespace

int run_modal(QDialog& dialog, WhenQuitting when) {
    reset(dialog);
    if (when == WhenQuitting::ShowAnyway && program_quitting()) return wait_for_answer(dialog);
    if (program_quitting()) return QDialog::Rejected;
    const int result = dialog.exec();
    if (!program_quitting()) return result;
    // The quit ended the run's event loop, not the user: whatever the dialog holds is no answer.
    dialog.hide();
    reset(dialog);
    return QDialog::Rejected;
}

}  // namespace korvane
