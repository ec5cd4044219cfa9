// SPDX-License-Identifier: GPL-3.0-or-later
// FloatWindowFollower: keeps the floating window beside the main window as that one is shown,
// moved, minimised and restored.
#pragma once

#include <QObject>
#include <QPoint>

class QMainWindow;
class QWidget;

namespace korvane {

// The floating window first appears over the top-left corner of the main window's client area,
// below the menu bar and the toolbar, when the main window is first shown. Until the user drags
// it away it keeps to that corner as the main window moves (a window manager places the main
// window only after it is shown). It is hidden while the main window is minimised and comes
// back with it, unless the user has put it away; a main window hidden in the tray leaves it up.
class FloatWindowFollower : public QObject {
    Q_OBJECT
public:
    FloatWindowFollower(QMainWindow& frame, QWidget& floating);

    // Whether the user wants the floating window shown (显示/隐藏浮动窗口).
    bool wanted() const { return wanted_; }
    void set_wanted(bool wanted);
    // While the vault is locked the window stays hidden, whatever the main window does.
    void set_held_back(bool held);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPoint client_area_corner() const;
    void place();
    // Places the window again unless the user has dragged it since it was last placed.
    void follow();
    void show_or_hide();

    QMainWindow& window_;
    QWidget& floating_;
    bool wanted_ = true;
    bool held_back_ = false;
    bool frame_shown_once_ = false;
    // Where the window was last put; anywhere else means the user dragged it.
    QPoint placed_at_;
};

}  // namespace korvane
