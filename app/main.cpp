// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the korvane program.
#include <QStringList>
#include <cstdio>

#include "gui/common/guarded_application.h"
#include "gui/window/korvane_application.h"
#include "gui/window/window_arguments.h"
#include "platform/process_hardening.h"

namespace {

// --help and --version are answered before the QApplication is made: it ends the process when
// there is no display, and a terminal asking for the version may have none.
bool answered_without_window(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    const korvane::WindowArguments parsed = korvane::parse_window_arguments(arguments);
    if (parsed.request == korvane::WindowArguments::Request::Run) return false;
    const QString text = parsed.request == korvane::WindowArguments::Request::Help
                             ? korvane::window_help()
                             : korvane::window_version();
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Before the vault is opened: a crash must not write it into a core file.
    korvane::platform::harden_process();
    if (answered_without_window(argc, argv)) return 0;
    korvane::GuardedApplication app(argc, argv);
    korvane::KorvaneApplication program(app);
    try {
        return program.run();
    } catch (...) {
        // Exceptions inside the event loop are caught by the application object; one thrown
        // outside it (start-up, shutdown) must not leave the vault deciphered either.
        return program.end_with_failure(korvane::describe_current_exception());
    }
}
