// SPDX-License-Identifier: GPL-3.0-or-later
// Password generator: random passwords from chosen character classes.
#pragma once

#include <string>
#include <string_view>

#include "vault/result.h"

namespace korvane::tools {

struct CharClasses {
    bool lower = false;    // abcd...
    bool upper = false;    // ABCD...
    bool digits = false;   // 1234...
    bool symbols = false;  // !@#$ and a few more, see kSymbolChars
};

inline constexpr std::string_view kLowerChars = "abcdefghijklmnopqrstuvwxyz";
inline constexpr std::string_view kUpperChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
inline constexpr std::string_view kDigitChars = "0123456789";
// Symbols that sites commonly accept and that need no escaping in a CSV field or a shell.
inline constexpr std::string_view kSymbolChars = "!@#$%^&*_-+=?";

inline constexpr int kMinPasswordLength = 1;
inline constexpr int kMaxPasswordLength = 50;

// length characters from the checked classes, at least one of each, drawn from the system's
// cryptographic generator. Fails when length is outside 1..50, no class is checked, or the
// length is smaller than the number of checked classes.
Result<std::string> generate_password(int length, CharClasses classes);

}  // namespace korvane::tools
