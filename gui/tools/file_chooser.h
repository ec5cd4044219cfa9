// SPDX-License-Identifier: GPL-3.0-or-later
// FileChooser: how the tools ask for a file name, replaceable so tests can answer for the user.
#pragma once

#include <QString>

class QWidget;

namespace korvane {

class FileChooser {
public:
    virtual ~FileChooser() = default;

    // A name to write to, or empty when cancelled. An existing file is returned only after the
    // user agreed to replace it; default_suffix is added to a name typed without one.
    virtual QString save_file(QWidget* owner, const QString& caption, const QString& filter,
                              const QString& default_suffix) = 0;
    // An existing file to read, or empty when cancelled.
    virtual QString open_file(QWidget* owner, const QString& caption, const QString& filter) = 0;
};

// The platform's file dialogs.
class QtFileChooser final : public FileChooser {
public:
    QString save_file(QWidget* owner, const QString& caption, const QString& filter,
                      const QString& default_suffix) override;
    QString open_file(QWidget* owner, const QString& caption, const QString& filter) override;
};

// The chooser the tool commands use: the platform's dialogs unless replaced.
FileChooser& file_chooser();
// Makes chooser the one file_chooser() returns (nullptr: the platform's dialogs again) and
// returns the previous replacement, or nullptr.
FileChooser* set_file_chooser(FileChooser* chooser);

// Captions and the filter for picking a source file.
QString save_caption();  // "另存为"
QString open_caption();  // "打开"
QString any_file_filter();

}  // namespace korvane
