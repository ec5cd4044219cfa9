// Drives widget dialogs in the offscreen test suites: children by name, keys, and modal boxes.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace korvane::testing {

// The named child of type T; a missing one fails the test that asked for it.
template <typename T>
T* child(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no child named " << name;
    return found;
}

// Sends a key press and release to target as the user's keyboard would, letting unhandled
// keys travel up to the dialog.
inline void press_key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

// Shows dialog and lets the platform settle, so focus and layout are what a user would see.
inline void show_and_settle(QWidget* dialog) {
    dialog->show();
    QApplication::processEvents();
}

// The widgets that get the focus, starting with the dialog's focus widget and pressing Tab
// until the focus comes back round (at most limit steps).
inline std::vector<QWidget*> tab_cycle(QWidget* dialog, int limit = 20) {
    std::vector<QWidget*> order;
    QWidget* first = dialog->focusWidget();
    if (first == nullptr) return order;
    order.push_back(first);
    for (int i = 0; i < limit; ++i) {
        press_key(dialog->focusWidget(), Qt::Key_Tab);
        QWidget* now = dialog->focusWidget();
        if (now == first || now == nullptr) break;
        order.push_back(now);
    }
    return order;
}

struct SeenMessage {
    bool shown = false;
    QString text;
    QString caption;
    QWidget* owner = nullptr;
};

// Runs action; if it opens a modal message box, records the box and answers OK.
inline SeenMessage answer_message_box(const std::function<void()>& action) {
    SeenMessage seen;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        poll.stop();
        seen = SeenMessage{true, box->text(), box->windowTitle(), box->parentWidget()};
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            ok->click();
        } else {
            box->reject();
        }
    });
    poll.start();
    action();
    poll.stop();
    return seen;
}

// Runs action, which should not raise a message box; one that appears is answered, so the test
// fails instead of waiting for ever.
inline void expect_no_message(const std::function<void()>& action) {
    const SeenMessage seen = answer_message_box(action);
    EXPECT_FALSE(seen.shown) << "unexpected message: " << seen.text.toStdString();
}

// Once a modal dialog of type D is open (for instance inside exec()), runs step on it. Gives up
// with a failure after about five seconds, so a stray poll cannot act in a later test.
template <typename D>
void on_next_modal(std::function<void(D*)> step) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, step = std::move(step), ticks = 0]() mutable {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (dialog == nullptr && ++ticks < 1000) return;
        poll->stop();
        poll->deleteLater();
        if (dialog == nullptr) {
            ADD_FAILURE() << "no modal dialog of the expected type opened";
            return;
        }
        step(dialog);
    });
    poll->start();
}

}  // namespace korvane::testing
