// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of korvane-cli.
#include <QCoreApplication>
#include <QGuiApplication>
#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>

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

// The arguments as text in the locale's encoding; nullopt, having said which one, when one is not
// valid in it: a value taken apart by the wrong decoding would be stored, or name a file, as
// something the user never typed.
std::optional<QStringList> decoded_arguments(int argc, char* argv[],
                                             korvane::cli::SystemConsole& console) {
    QStringList arguments;
    // The program's own name is never used as a value.
    if (argc > 0) arguments.append(console.encoding().shown(argv[0]));
    for (int i = 1; i < argc; ++i) {
        if (std::optional<QString> text = console.decode(argv[i])) {
            arguments.append(*text);
            continue;
        }
        QString which =
            QStringLiteral("第 %1 个参数“%2”").arg(i).arg(console.encoding().shown(argv[i]));
        if (i > 1 && argv[i - 1][0] == '-') {
            which = QStringLiteral("%1 的值“%2”")
                        .arg(arguments.at(i - 1), console.encoding().shown(argv[i]));
        }
        console.write_err(
            console.encode(QStringLiteral("%1不是当前区域设置的编码（%2）下的有效文字。\n"
                                          "运行 korvane-cli --help 查看用法。\n")
                               .arg(which, console.encoding_name())));
        return std::nullopt;
    }
    return arguments;
}

int run_program(int argc, char* argv[], const QByteArray& codeset) {
    // Before the vault is opened: a crash must not write it into a core file.
    korvane::platform::harden_process();
    // Before the vault can be unlocked, so that no signal can end the process while it is.
    korvane::cli::install_termination_handlers();
    korvane::cli::SystemConsole console(codeset);

    const std::optional<QStringList> decoded = decoded_arguments(argc, argv, console);
    if (!decoded) return korvane::cli::kExitUsage;
    const QStringList& arguments = *decoded;
    std::unique_ptr<QCoreApplication> app;
    if (korvane::cli::wants_clipboard(arguments) && display_named()) {
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The same name as the program, so the default vault folder is the same per-user folder.
    QCoreApplication::setApplicationName(QStringLiteral("korvane"));

    return korvane::cli::run(arguments, console);
}

}  // namespace

int main(int argc, char* argv[]) {
    // The manual promises the locale's encoding for arguments, input and output; Qt would take
    // UTF-8 whatever the locale, so the C library's codeset decides.
    std::setlocale(LC_ALL, "");
    const QByteArray codeset = korvane::cli::LocaleEncoding::current_codeset();
    // The last resort: a session still open when this unwinds has been locked by its
    // destructor. The messages are encoded now, so that telling them needs no allocation.
    QByteArray out_of_memory, unexpected;
    {
        const korvane::cli::LocaleEncoding encoding(codeset);
        out_of_memory = encoding.encode(u"内存不足，korvane-cli 已中止。\n");
        unexpected = encoding.encode(u"korvane-cli 意外出错，已中止。\n");
    }
    try {
        return run_program(argc, argv, codeset);
    } catch (const std::bad_alloc&) {
        std::fputs(out_of_memory.constData(), stderr);
    } catch (...) {
        std::fputs(unexpected.constData(), stderr);
    }
    return korvane::cli::kExitFile;
}
