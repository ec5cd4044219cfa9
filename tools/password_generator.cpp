// SPDX-License-Identifier: GPL-3.0-or-later
// Password generation with QRandomGenerator::system(): one of each class, the rest uniform
// over the union, then a Fisher-Yates shuffle so the guaranteed ones sit anywhere.
#include "tools/password_generator.h"

#include <QRandomGenerator>
#include <utility>
#include <vector>

namespace korvane::tools {
namespace {

char pick(QRandomGenerator& random, std::string_view chars) {
    return chars[std::size_t(random.bounded(quint32(chars.size())))];
}

}  // namespace

Result<std::string> generate_password(int length, CharClasses classes) {
    if (length < kMinPasswordLength || length > kMaxPasswordLength) {
        return make_error(QStringLiteral("密码位数须在 %1 到 %2 之间")
                              .arg(kMinPasswordLength)
                              .arg(kMaxPasswordLength));
    }
    std::vector<std::string_view> chosen;
    if (classes.lower) chosen.push_back(kLowerChars);
    if (classes.upper) chosen.push_back(kUpperChars);
    if (classes.digits) chosen.push_back(kDigitChars);
    if (classes.symbols) chosen.push_back(kSymbolChars);
    if (chosen.empty()) return make_error(QStringLiteral("请至少选择一种字符"));
    if (std::size_t(length) < chosen.size()) {
        return make_error(
            QStringLiteral("密码位数不能少于所选字符的种类数（%1 种）").arg(chosen.size()));
    }

    std::string all;
    for (std::string_view chars : chosen) all.append(chars);

    QRandomGenerator& random = *QRandomGenerator::system();
    std::string password;
    password.reserve(std::size_t(length));
    for (std::string_view chars : chosen) password.push_back(pick(random, chars));
    while (password.size() < std::size_t(length)) password.push_back(pick(random, all));
    for (std::size_t i = password.size() - 1; i > 0; --i) {
        const auto j = std::size_t(random.bounded(quint32(i + 1)));
        std::swap(password[i], password[j]);
    }
    return password;
}

}  // namespace korvane::tools
