// SPDX-License-Identifier: GPL-3.0-or-later
// TrayIcon over QSystemTrayIcon, following the notification area as it comes and goes.
#include "gui/window/tray_icon.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "gui/commands/command_router.h"
#include "gui/commands/command_table.h"
#include "gui/commands/menu_builder.h"
#include "resources/resource_ids.h"

namespace korvane {
namespace {

// Qt tells nobody when the notification area appears or goes (a panel restarts, the user
// removes it), so it is asked this often. The question is cheap on every desktop Qt supports.
constexpr int kAvailabilityPollMs = 2000;

}  // namespace

TrayIcon::TrayIcon(CommandRouter& router, QObject* parent)
    : QObject(parent), router_(router), probe_(&QSystemTrayIcon::isSystemTrayAvailable) {
    available_ = probe_();
    if (available_) create_icon();
    refresh();
    poll_ = new QTimer(this);
    poll_->setInterval(kAvailabilityPollMs);
    connect(poll_, &QTimer::timeout, this, &TrayIcon::check_availability);
    poll_->start();
}

TrayIcon::~TrayIcon() {
    if (icon_) icon_->hide();
}

void TrayIcon::create_icon() {
    menu_ = build_popup_menu(router_, res::kTrayMenu);
    icon_ = new QSystemTrayIcon(this);
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) emit left_clicked();
            });
}

void TrayIcon::refresh() {
    if (!icon_) return;
    icon_->setToolTip(QStringLiteral("Korvane"));
    icon_->setIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    icon_->setVisible(available_);
}

bool TrayIcon::icon_shown() const { return icon_ && icon_->isVisible(); }

void TrayIcon::set_availability_probe(AvailabilityProbe probe) {
    probe_ = std::move(probe);
    check_availability();
}

void TrayIcon::check_availability() {
    const bool now = probe_();
    if (now == available_) return;
    available_ = now;
    if (available_ && !icon_) create_icon();
    // Hidden while the area is gone, so that a new one gets the icon docked afresh.
    refresh();
    emit availability_changed(available_);
}

}  // namespace korvane
