// SPDX-License-Identifier: GPL-3.0-or-later
// A hand-written roff manual page read back as plain text, split into its sections, for the
// tests that keep the manual and the program's options in step.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <utility>

namespace korvane::test_support {

class ManualPage {
public:
    // An unreadable file gives a page with no sections, which every check then reports.
    explicit ManualPage(const QString& path);

    bool empty() const { return sections_.isEmpty(); }
    // The text under ".SH name", roff escapes for hyphens and fonts removed.
    QString section(const QString& name) const { return sections_.value(name); }
    // The ".SS" parts of a section: the first word of each heading, and the text under it.
    QVector<std::pair<QString, QString>> subsections(const QString& section_name) const;

private:
    QMap<QString, QString> sections_;
};

// Every "--name" in text, once each, sorted: joined, it reads well in a failure message.
QStringList long_options(const QString& text);
// The same order for a list of names from the program, to compare with long_options().
QString sorted_names(QStringList names);

}  // namespace korvane::test_support
