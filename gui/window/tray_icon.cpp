// TrayIcon over QSystemTrayIcon.
#include "gui/window/tray_icon.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include "gui/window/command_router.h"
#include "gui/window/command_table.h"
#include "gui/window/menu_builder.h"
#include "resources/resource_ids.h"

namespace korvane {

TrayIcon::TrayIcon(CommandRouter& router, QObject* parent) : QObject(parent) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    menu_ = build_popup_menu(router, res::kTrayMenu);
    icon_ = new QSystemTrayIcon(this);
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) emit left_clicked();
            });
    refresh();
}

TrayIcon::~TrayIcon() {
    if (icon_) icon_->hide();
}

bool TrayIcon::available() const { return icon_ != nullptr; }

void TrayIcon::refresh() {
    if (!icon_) return;
    icon_->setToolTip(QStringLiteral("Korvane"));
    icon_->setIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    icon_->show();
}

}  // namespace korvane
