// SPDX-License-Identifier: GPL-3.0-or-later
// TrayIcon: the notification-area icon with its tooltip, left-click restore and res::kTrayMenu,
// shown while the desktop has a notification area.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace korvane {

class CommandRouter;

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // Answers whether the desktop has a notification area now.
    using AvailabilityProbe = std::function<bool()>;

    TrayIcon(CommandRouter& router, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the notification area was there when last asked; while it is not, the icon is
    // hidden and nothing can be put away into it.
    bool available() const { return available_; }
    // Sets the tooltip "Korvane" and the application icon again, and shows the icon while there
    // is a notification area.
    void refresh();
    // Whether the icon is up in the notification area.
    bool icon_shown() const;

    // Replaces QSystemTrayIcon::isSystemTrayAvailable (tests answer for a desktop they do not
    // have) and asks it at once.
    void set_availability_probe(AvailabilityProbe probe);
    // Asks the probe again; a change hides or shows the icon and emits availability_changed.
    // A timer asks every few seconds.
    void check_availability();

signals:
    void left_clicked();
    void availability_changed(bool available);

private:
    void create_icon();

    CommandRouter& router_;
    AvailabilityProbe probe_;
    QTimer* poll_ = nullptr;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* icon_ = nullptr;
    bool available_ = false;
};

}  // namespace korvane
