// SPDX-License-Identifier: GPL-3.0-or-later
// Password strength: zxcvbn's estimate in bits, cut into five bands.
#include "tools/password_strength.h"

#include <zxcvbn.h>

#include <QByteArray>
#include <array>

#include "vault/secure_wipe.h"

namespace korvane::tools {
namespace {

// Upper bounds in bits for 很弱, 弱, 一般 and 强. Not zxcvbn's score bands: the C library rates a
// short random string by its character set, so those bands would call "kx9mq2v" very strong. At
// ten billion guesses a second (one graphics card against a fast hash) 30 bits falls in a blink,
// 40 bits in minutes, 60 bits holds for years and 80 bits is out of any attacker's reach.
constexpr std::array<double, 4> kBitBands = {30.0, 40.0, 60.0, 80.0};

}  // namespace

StrengthLevel strength_for_bits(double bits) {
    int level = 0;
    while (level < int(kBitBands.size()) && bits >= kBitBands[level]) {
        ++level;
    }
    return static_cast<StrengthLevel>(level);
}

StrengthLevel password_strength(const QString& password) {
    if (password.isEmpty()) return StrengthLevel::VeryWeak;
    QByteArray utf8 = password.toUtf8();
    // No user words: the estimate must not depend on anything but the password.
    const double bits = ZxcvbnMatch(utf8.constData(), nullptr, nullptr);
    secure_wipe(utf8);
    return strength_for_bits(bits);
}

QString strength_text(StrengthLevel level) {
    switch (level) {
        case StrengthLevel::VeryWeak:
            return QStringLiteral("很弱");
        case StrengthLevel::Weak:
            return QStringLiteral("弱");
        case StrengthLevel::Fair:
            return QStringLiteral("一般");
        case StrengthLevel::Strong:
            return QStringLiteral("强");
        case StrengthLevel::VeryStrong:
            return QStringLiteral("很强");
    }
    return {};
}

}  // namespace korvane::tools
