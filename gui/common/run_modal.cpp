// SPDX-License-Identifier: GPL-3.0-or-later
// run_modal: resets the answer, refuses to ask while quitting, and cancels a run the quit ended.
#include "gui/common/run_modal.h"

#include <QApplication>
#include <QDialog>
#include <QVariant>

#include "gui/common/program_state.h"

namespace korvane {
namespace {

// Kept on the application object, like the quitting mark: they belong to this run of the
// program.
constexpr char kWithdrawn[] = "korvane_dialogs_withdrawn";
constexpr char kOpenRuns[] = "korvane_open_modal_runs";

void set_app_property(const char* name, const QVariant& value) {
    if (QCoreApplication* app = QCoreApplication::instance()) app->setProperty(name, value);
}

QVariant app_property(const char* name) {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr ? app->property(name) : QVariant();
}

// Counts a run for as long as its exec() lasts, however it ends.
class CountedRun {
public:
    CountedRun() { set_app_property(kOpenRuns, open_modal_runs() + 1); }
    ~CountedRun() { set_app_property(kOpenRuns, open_modal_runs() - 1); }
    CountedRun(const CountedRun&) = delete;
    CountedRun& operator=(const CountedRun&) = delete;
};

// Neither a quit nor a lock lets a question be answered.
bool answers_refused() { return program_quitting() || dialogs_withdrawn(); }

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
    if (answers_refused()) return QDialog::Rejected;
    int result = QDialog::Rejected;
    {
        CountedRun counted;
        result = dialog.exec();
    }
    if (!answers_refused()) return result;
    // The quit or the lock ended the run's event loop, not the user: whatever the dialog holds
    // is no answer.
    dialog.hide();
    reset(dialog);
    return QDialog::Rejected;
}

void withdraw_dialogs() {
    set_app_property(kWithdrawn, true);
    // A popup's own loop would otherwise outlive the lock with its entries still live.
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (!popup->close()) break;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog != nullptr && dialog->isVisible()) dialog->reject();
    }
}

void allow_dialogs() { set_app_property(kWithdrawn, QVariant()); }

bool dialogs_withdrawn() { return app_property(kWithdrawn).toBool(); }

int open_modal_runs() { return app_property(kOpenRuns).toInt(); }

}  // namespace korvane
