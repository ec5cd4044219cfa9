// SPDX-License-Identifier: GPL-3.0-or-later
// GuardedApplication: the QApplication that keeps exceptions from unwinding through Qt.
#pragma once

#include <QApplication>

namespace korvane {

// An exception out of an event handler (std::bad_alloc, any std::exception, anything else) is
// caught here: the program is marked failed and quitting, and every running event loop ends
// with code 1, so that KorvaneApplication::run() closes the vault and says what happened. Qt
// cannot unwind an exception through its event loop; letting one through would end the process
// with nothing said.
class GuardedApplication : public QApplication {
    Q_OBJECT
public:
    GuardedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// What the failure was, for the message that tells the user; call inside a catch block.
QString describe_current_exception();

}  // namespace korvane
