// SPDX-License-Identifier: GPL-3.0-or-later
// The window program's command line: the vault folder, or a request for its help or version.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace korvane {

struct WindowOption {
    QString name;        // with its leading "--"
    QString value_name;  // empty for a flag
};

struct WindowArguments {
    enum class Request { Run, Help, Version };
    Request request = Request::Run;
    std::optional<QString> vault_dir;  // only when --vault-dir named one
};

// The options korvane answers itself, in the order --help lists them.
const std::vector<WindowOption>& window_options();

// Needs no QCoreApplication, so that --help and --version work where no display is. A word it
// does not know is left alone: QApplication takes its own options (-platform, -style) later.
WindowArguments parse_window_arguments(const QStringList& arguments);

QString window_help();
QString window_version();

// The vault folder the command line chooses: --vault-dir DIR or --vault-dir=DIR, else the
// default folder rule.
QString vault_dir_from_arguments(const QStringList& arguments);

}  // namespace korvane
