// SPDX-License-Identifier: GPL-3.0-or-later
// FloatWindowFollower: the floating window's place and visibility, driven by the main window's
// show, move and window-state events.
#include "gui/float/float_window_follower.h"

#include <QEvent>
#include <QMainWindow>
#include <QTimer>

namespace korvane {

FloatWindowFollower::FloatWindowFollower(QMainWindow& frame, QWidget& floating)
    : QObject(&frame), window_(frame), floating_(floating) {
    window_.installEventFilter(this);
    frame_shown_once_ = window_.isVisible();
    if (frame_shown_once_) place();
    show_or_hide();
}

void FloatWindowFollower::set_wanted(bool wanted) {
    wanted_ = wanted;
    show_or_hide();
}

void FloatWindowFollower::set_held_back(bool held) {
    held_back_ = held;
    show_or_hide();
}

QPoint FloatWindowFollower::client_area_corner() const {
    const QWidget* client = window_.centralWidget();
    return client ? client->mapToGlobal(QPoint(0, 0)) : window_.mapToGlobal(QPoint(0, 0));
}

void FloatWindowFollower::place() {
    placed_at_ = client_area_corner();
    floating_.move(placed_at_);
}

void FloatWindowFollower::follow() {
    if (floating_.pos() == placed_at_) place();
}

void FloatWindowFollower::show_or_hide() {
    // Before the main window has been shown there is no client area to stand on.
    floating_.setVisible(wanted_ && !held_back_ && frame_shown_once_ && !window_.isMinimized());
}

bool FloatWindowFollower::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) return false;
    switch (event->type()) {
        case QEvent::Show:
            if (!frame_shown_once_) {
                frame_shown_once_ = true;
                place();
                // The platform may still move the client area when it adds the frame, without
                // a move event of ours.
                QTimer::singleShot(0, this, &FloatWindowFollower::follow);
            }
            show_or_hide();
            break;
        case QEvent::Move:
            if (frame_shown_once_) follow();
            break;
        case QEvent::WindowStateChange:
            show_or_hide();
            break;
        case QEvent::WindowActivate:
            // Staying on top is only a hint to the window manager; without one, the main window
            // raised on its return from the tray would cover the floating window.
            if (floating_.isVisible()) floating_.raise();
            break;
        default:
            break;
    }
    return false;
}

}  // namespace korvane
