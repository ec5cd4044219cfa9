// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptedChooser: answers the tools' file dialogs from a queue and records every call.
#pragma once

#include <QString>
#include <QWidget>
#include <deque>
#include <vector>

#include "gui/tools/file_chooser.h"

namespace korvane::test_support {

// An empty answer is a cancel; a dialog with no answer left fails the test.
class ScriptedChooser : public FileChooser {
public:
    struct Call {
        QWidget* owner = nullptr;
        QString caption;
        QString filter;
        QString default_suffix;
    };

    std::deque<QString> answers;
    std::vector<Call> save_calls;
    std::vector<Call> open_calls;

    QString save_file(QWidget* owner, const QString& caption, const QString& filter,
                      const QString& default_suffix) override;
    QString open_file(QWidget* owner, const QString& caption, const QString& filter) override;

private:
    QString next_answer();
};

}  // namespace korvane::test_support
