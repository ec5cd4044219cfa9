// TrayIcon over QSystemTrayIcon.
#include "ui/tray_icon.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include "resources/resource_ids.h"
#include "ui/command_router.h"
#include "ui/command_table.h"
#include "ui/menu_builder.h"

namespace korvane {

TrayIcon::TrayIcon(CommandRouter& router, QObject* parent) : QObject(parent) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    menu_ = build_popup_menu(router, res::kTrayMenu);
    icon_ = new QSystemTrayIcon(this);
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
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
