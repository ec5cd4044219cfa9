// SPDX-License-Identifier: GPL-3.0-or-later
// GuardedApplication: catches in notify(), marks the failure and ends the event loops.
#include "gui/common/guarded_application.h"

#include <QThread>
#include <exception>
#include <new>

#include "gui/common/program_state.h"

namespace korvane {
namespace {

void end_after_exception() noexcept {
    try {
        mark_program_failed(describe_current_exception());
    } catch (...) {
        // Out of memory even for the message: the loops still end below, the text is lost.
    }
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(1);
}

}  // namespace

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        end_after_exception();
        return false;
    }
}

QString describe_current_exception() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return QStringLiteral("内存不足");
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("未知错误");
    }
}

}  // namespace korvane
