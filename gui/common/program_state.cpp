// SPDX-License-Identifier: GPL-3.0-or-later
// The quitting and failure marks as dynamic properties of QCoreApplication::instance().
#include "gui/common/program_state.h"

#include <QCoreApplication>
#include <QVariant>

namespace korvane {
namespace {

constexpr char kQuitting[] = "korvane_quitting";
constexpr char kFailure[] = "korvane_failure";

}  // namespace

bool program_quitting() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && app->property(kQuitting).toBool();
}

void mark_program_quitting() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->setProperty(kQuitting, true);
}

void mark_program_failed(const QString& what) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    app->setProperty(kQuitting, true);
    if (!app->property(kFailure).isValid()) app->setProperty(kFailure, what);
}

std::optional<QString> program_failure() {
    const QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return std::nullopt;
    const QVariant failure = app->property(kFailure);
    if (!failure.isValid()) return std::nullopt;
    return failure.toString();
}

void clear_program_state() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    app->setProperty(kQuitting, QVariant());
    app->setProperty(kFailure, QVariant());
}

}  // namespace korvane
