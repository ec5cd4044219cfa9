// TrayIcon: the notification-area icon with its tooltip, left-click restore and res::kTrayMenu.
#pragma once

#include <QObject>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace korvane {

class CommandRouter;

class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(CommandRouter& router, QObject* parent = nullptr);
    ~TrayIcon() override;

    // False where the desktop has no notification area; the icon is then never shown.
    bool available() const;
    // Sets the tooltip "Korvane" and the application icon again, and shows the icon.
    void refresh();

signals:
    void left_clicked();

private:
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace korvane
