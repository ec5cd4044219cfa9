// SPDX-License-Identifier: GPL-3.0-or-later
// VisualStyle: mapping looks to commands and sheets, and applying a sheet program-wide.
#include "gui/settings/visual_style.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>

#include "gui/settings/password_mask_style.h"
#include "resources/resource_ids.h"

namespace korvane {
namespace {

struct Look {
    int mode;
    int command;
    const char* sheet;
};

constexpr Look kLooks[] = {
    {VisualStyle::kOfficeXp, res::kCmdStyleOfficeXp, ":/styles/office_xp.qss"},
    {VisualStyle::kOffice2000, res::kCmdStyleOffice2000, ":/styles/office_2000.qss"},
    {VisualStyle::kOffice2003, res::kCmdStyleOffice2003, ":/styles/office_2003.qss"},
    {VisualStyle::kWindowsXp, res::kCmdStyleXp, ":/styles/windows_xp.qss"},
};

const Look* find_mode(int mode) {
    for (const Look& look : kLooks) {
        if (look.mode == mode) return &look;
    }
    return nullptr;
}

// The sheet text alongside its look: someone else replacing the program's sheet ends the look.
struct InForce {
    int mode = 0;
    QString sheet;
};

InForce& in_force() {
    static InForce state;
    return state;
}

void use_fusion() {
    // The sheets are drawn over Fusion so that every desktop shows the same looks. Switching
    // the base style repolishes every widget, so it is done only while Fusion is not already
    // the base; QApplication deletes a base style that someone else replaces.
    // Fusion goes under the '*' password mask, which the sheets leave to their base style.
    static QPointer<QStyle> fusion;
    if (fusion) return;
    const QString name = QStringLiteral("Fusion");
    auto* masked = qobject_cast<PasswordMaskStyle*>(QApplication::style());
    if (qApp->styleSheet().isEmpty() && masked &&
        masked->baseStyle()->name().compare(name, Qt::CaseInsensitive) == 0) {
        fusion = masked;
        return;
    }
    fusion = new PasswordMaskStyle(QStyleFactory::create(name));
    QApplication::setStyle(fusion);
}

}  // namespace

bool VisualStyle::is_look(int mode) { return find_mode(mode) != nullptr; }

int VisualStyle::command_for(int mode) {
    const Look* look = find_mode(mode);
    return look ? look->command : 0;
}

int VisualStyle::mode_for_command(int command) {
    for (const Look& look : kLooks) {
        if (look.command == command) return look.mode;
    }
    return 0;
}

QString VisualStyle::sheet_resource(int mode) {
    const Look* look = find_mode(mode);
    return look ? QString::fromLatin1(look->sheet) : QString();
}

bool VisualStyle::apply_look(int mode) {
    const Look* look = find_mode(mode);
    if (!look || !qApp) return false;
    QFile file(QString::fromLatin1(look->sheet));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QString sheet = QString::fromUtf8(file.readAll());
    if (sheet.isEmpty()) return false;
    use_fusion();
    // Setting an equal sheet again would still repolish every widget.
    if (qApp->styleSheet() != sheet) qApp->setStyleSheet(sheet);
    in_force() = {mode, sheet};
    return true;
}

int VisualStyle::look_in_force() {
    const InForce& state = in_force();
    if (state.mode == 0 || !qApp || qApp->styleSheet() != state.sheet) return 0;
    return state.mode;
}

}  // namespace korvane
