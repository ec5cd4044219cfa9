// SPDX-License-Identifier: GPL-3.0-or-later
// ManualPage: splits a roff page at its .SH and .SS requests and undoes the escapes that would
// hide an option's name (\- for a hyphen, \fB and friends for fonts).
#include "support/manual_page.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace korvane::test_support {
namespace {

QString plain_text(QString line) {
    static const QRegularExpression fonts(QStringLiteral(R"(\\f[BIRP])"));
    line.remove(fonts);
    line.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    line.replace(QStringLiteral("\\e"), QStringLiteral("\\"));
    return line;
}

QString heading(const QString& line) {
    QString title = line.mid(3).trimmed();
    title.remove(QLatin1Char('"'));
    return title;
}

}  // namespace

ManualPage::ManualPage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return;
    QString current;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = plain_text(raw);
        if (line.startsWith(QLatin1String(".SH "))) {
            current = heading(line);
            sections_.insert(current, QString());
        } else if (!current.isEmpty()) {
            sections_[current] += line + QLatin1Char('\n');
        }
    }
}

QVector<std::pair<QString, QString>> ManualPage::subsections(const QString& section_name) const {
    QVector<std::pair<QString, QString>> parts;
    for (const QString& line : section(section_name).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SS "))) {
            parts.append({heading(line).section(QLatin1Char(' '), 0, 0), QString()});
        } else if (!parts.isEmpty()) {
            parts.back().second += line + QLatin1Char('\n');
        }
    }
    return parts;
}

QStringList long_options(const QString& text) {
    static const QRegularExpression option(QStringLiteral(R"((?<![\w-])--[a-z][a-z-]*)"));
    QStringList found;
    for (const QRegularExpressionMatch& match : option.globalMatch(text)) {
        found.append(match.captured(0));
    }
    found.sort();
    found.removeDuplicates();
    return found;
}

QString sorted_names(QStringList names) {
    names.sort();
    names.removeDuplicates();
    return names.join(QLatin1Char(' '));
}

}  // namespace korvane::test_support
