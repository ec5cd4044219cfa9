// Password strength: zxcvbn's estimate, cut into the bands zxcvbn itself scores with.
#include "tools/password_strength.h"

#include <zxcvbn.h>

#include <QByteArray>
#include <array>
#include <cmath>

#include "vault/secure_wipe.h"

namespace korvane::tools {
namespace {

// zxcvbn's own score bands, upper bounds on log10(guesses) for scores 0 to 3, so our five levels
// mean what its score 0 to 4 means wherever else the user meets zxcvbn. The C library returns
// log2(guesses) rather than a score, so the bands are applied after converting.
constexpr std::array<double, 4> kLog10GuessBands = {3.0, 6.0, 8.0, 10.0};

}  // namespace

StrengthLevel strength_for_bits(double bits) {
    const double log10_guesses = bits * std::log10(2.0);
    int level = 0;
    while (level < int(kLog10GuessBands.size()) && log10_guesses >= kLog10GuessBands[level]) {
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
