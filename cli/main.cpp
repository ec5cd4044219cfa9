// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of korvane-cli.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>

#include "cli/cli.h"
#include "cli/exit_codes.h"
#include "cli/system_console.h"
#include "platform/process_hardening.h"

namespace {

// QGuiApplication ends the process when it finds no display, so it is made only when one is
// named; everything but clip runs without it.
bool display_named() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int run_program(int argc, char* argv[]) {
    // Before the vault is opened: a crash must not write it into a core file.
    korvane::platform::harden_process();
    // Before the vault can be unlocked, so that no signal can end the process while it is.
    korvane::cli::install_termination_handlers();

    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    std::unique_ptr<QCoreApplication> app;
    if (korvane::cli::wants_clipboard(arguments) && display_named()) {
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The same name as the program, so the default vault folder is the same per-user folder.
    QCoreApplication::setApplicationName(QStringLiteral("korvane"));

    korvane::cli::SystemConsole console;
    return korvane::cli::run(arguments, console);
}

}  // namespace

int main(int argc, char* argv[]) {
    // The last resort: a session still open when this unwinds has been locked by its
    // destructor; the message needs no allocation.
    try {
        return run_program(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("内存不足，korvane-cli 已中止。\n", stderr);
    } catch (...) {
        std::fputs("korvane-cli 意外出错，已中止。\n", stderr);
    }
    return korvane::cli::kExitFile;
}
