// SPDX-License-Identifier: GPL-3.0-or-later
// Password strength: how hard a password is to guess, in five levels the user can read.
#pragma once

#include <QString>

namespace korvane::tools {

enum class StrengthLevel { VeryWeak, Weak, Fair, Strong, VeryStrong };

// zxcvbn's estimate of the password, as a level; the empty password is VeryWeak.
StrengthLevel password_strength(const QString& password);

// The level for an estimate of log2(guesses), the unit zxcvbn's C library returns.
StrengthLevel strength_for_bits(double bits);

// 很弱, 弱, 一般, 强 or 很强.
QString strength_text(StrengthLevel level);

}  // namespace korvane::tools
