// ModalDriver: a timer that hands each new modal window to the next step; a window with no step
// left fails the test and is rejected, so the test ends instead of waiting for ever.
#include "modal_driver.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace korvane::testing {

ModalDriver::ModalDriver() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
}

void ModalDriver::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        last_seen_ = nullptr;
        return;
    }
    if (modal == last_seen_) return;
    last_seen_ = modal;
    captions_.push_back(modal->windowTitle());
    if (steps_.empty()) {
        ADD_FAILURE() << "unexpected modal window " << modal->windowTitle().toStdString();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    step(*modal);
    // The same dialog object may be run again for the next question.
    if (!modal->isVisible()) last_seen_ = nullptr;
}

ModalDriver::Step press_ok() {
    return [](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        ASSERT_TRUE(box && box->button(QMessageBox::Ok)) << modal.windowTitle().toStdString();
        box->button(QMessageBox::Ok)->click();
    };
}

}  // namespace korvane::testing
