// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptedChooser: queued answers, recorded calls.
#include "scripted_chooser.h"

#include <gtest/gtest.h>

namespace korvane::test_support {

QString ScriptedChooser::save_file(QWidget* owner, const QString& caption, const QString& filter,
                                   const QString& default_suffix) {
    save_calls.push_back({owner, caption, filter, default_suffix});
    return next_answer();
}

QString ScriptedChooser::open_file(QWidget* owner, const QString& caption, const QString& filter) {
    open_calls.push_back({owner, caption, filter, QString()});
    return next_answer();
}

QString ScriptedChooser::next_answer() {
    if (answers.empty()) {
        ADD_FAILURE() << "a file dialog opened that the test did not expect";
        return QString();
    }
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace korvane::test_support
