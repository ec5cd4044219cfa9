// SPDX-License-Identifier: GPL-3.0-or-later
// The platform file dialogs behind FileChooser, and the replaceable chooser the commands use.
#include "gui/tools/file_chooser.h"

#include <QFileDialog>

#include "gui/common/run_modal.h"

namespace korvane {
namespace {

FileChooser* g_replacement = nullptr;

}  // namespace

QString QtFileChooser::save_file(QWidget* owner, const QString& caption, const QString& filter,
                                 const QString& default_suffix) {
    // The static getSaveFileName cannot add a default suffix, so the dialog is built here; its
    // default options keep the overwrite confirmation.
    QFileDialog dialog(owner, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(default_suffix);
    if (run_modal(dialog) != QDialog::Accepted) return QString();
    return dialog.selectedFiles().value(0);
}

QString QtFileChooser::open_file(QWidget* owner, const QString& caption, const QString& filter) {
    // Built like the save dialog rather than through getOpenFileName, so that it runs through
    // run_modal and a quit while it is open chooses nothing.
    QFileDialog dialog(owner, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (run_modal(dialog) != QDialog::Accepted) return QString();
    return dialog.selectedFiles().value(0);
}

FileChooser& file_chooser() {
    static QtFileChooser platform;
    return g_replacement != nullptr ? *g_replacement : platform;
}

FileChooser* set_file_chooser(FileChooser* chooser) {
    FileChooser* previous = g_replacement;
    g_replacement = chooser;
    return previous;
}

QString save_caption() { return QStringLiteral("另存为"); }

QString open_caption() { return QStringLiteral("打开"); }

// "*.*" would hide files without an extension on Linux, so every file is matched by "*".
QString any_file_filter() { return QStringLiteral("All Files (*)"); }

}  // namespace korvane
