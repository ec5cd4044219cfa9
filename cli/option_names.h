// SPDX-License-Identifier: GPL-3.0-or-later
// Every option of korvane-cli by name, as the parser, the command table and the handlers spell
// it. Texts that mention an option to the user write it out themselves.
#pragma once

#include <QLatin1String>

namespace korvane::cli::option {

// Global options, taken by every command.
inline constexpr QLatin1String kVaultDir("--vault-dir");
inline constexpr QLatin1String kPasswordStdin("--password-stdin");
inline constexpr QLatin1String kHelp("--help");
inline constexpr QLatin1String kVersion("--version");

// A record's fields (add, edit).
inline constexpr QLatin1String kTitle("--title");
inline constexpr QLatin1String kAccount("--account");
inline constexpr QLatin1String kPassword("--password");
inline constexpr QLatin1String kAskPassword("--ask-password");
inline constexpr QLatin1String kRemark("--remark");
inline constexpr QLatin1String kCategory("--category");

// The options of single commands.
inline constexpr QLatin1String kForce("--force");
inline constexpr QLatin1String kRaw("--raw");
inline constexpr QLatin1String kUseMasterPassword("--use-master-password");
inline constexpr QLatin1String kShowPassword("--show-password");
inline constexpr QLatin1String kClearAfter("--clear-after");
inline constexpr QLatin1String kLength("--length");
inline constexpr QLatin1String kClasses("--classes");

}  // namespace korvane::cli::option
