// SPDX-License-Identifier: GPL-3.0-or-later
// ModalDriver: answers the modal windows a widget test provokes; and the small helpers that find,
// show and type into dialogs, for the offscreen widget suites.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace korvane::test_support {

// The named child of type T; a missing one fails the test that asked for it.
template <typename T>
T* child(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no child named " << name;
    return found;
}

// Sends a key press and release to target as the user's keyboard would, letting unhandled
// keys travel up to the dialog.
void press_key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Shows dialog and lets the platform settle, so focus and layout are what a user would see.
void show_and_settle(QWidget* dialog);

// The widgets that get the focus, starting with the dialog's focus widget and pressing Tab
// until the focus comes back round (at most limit steps).
std::vector<QWidget*> tab_cycle(QWidget* dialog, int limit = 20);

// Every text widget and its children hand to the user or to assistive tools: label and button
// texts, tooltips, status tips, What's This, accessible names and descriptions.
QStringList texts_exposed_by(QWidget* widget);

struct SeenMessage {
    bool shown = false;
    QString text;
    QString caption;
    QWidget* owner = nullptr;
};

// A timer that hands each new modal window to the next step whose type it has. Steps queued
// with then() are used once, in order; a standing answer from every() takes what is left.
class ModalDriver {
public:
    // Gets the modal window that came up; must close it.
    using Step = std::function<void(QWidget& modal)>;

    // What becomes of a modal window no step takes: a failure (and a reject, so the test ends
    // instead of waiting for ever), or left alone for another driver.
    enum class Unexpected { Fail, Ignore };

    explicit ModalDriver(Unexpected unexpected = Unexpected::Fail);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    ModalDriver& then(Step step);
    template <typename D>
    ModalDriver& then(std::function<void(D*)> step) {
        queued_.push_back({is_a<D>, typed<D>(std::move(step))});
        return *this;
    }
    template <typename D>
    ModalDriver& every(std::function<void(D*)> step) {
        standing_ = {is_a<D>, typed<D>(std::move(step))};
        return *this;
    }
    // Fails the test and stops if steps are still queued after about ms milliseconds.
    ModalDriver& give_up_after(int ms);

    // Window titles of the modal windows taken or failed, in order.
    const std::vector<QString>& captions() const { return captions_; }
    // The message boxes among them, as they looked before their step ran.
    const std::vector<SeenMessage>& messages() const { return messages_; }
    std::size_t pending() const { return queued_.size(); }

    // A driver on the heap that runs one step on the next modal D and then deletes itself, for
    // a dialog opened inside exec() after the call; gives up after about five seconds, so a
    // stray poll cannot act in a later test.
    template <typename D>
    static void once(std::function<void(D*)> step) {
        auto* driver = new ModalDriver(Unexpected::Ignore);
        driver->then<D>(std::move(step)).give_up_after(5000);
        driver->delete_when_done_ = true;
    }

private:
    struct Answer {
        std::function<bool(QWidget*)> accepts;
        Step step;
    };

    template <typename D>
    static bool is_a(QWidget* modal) {
        return qobject_cast<D*>(modal) != nullptr;
    }
    template <typename D>
    static Step typed(std::function<void(D*)> step) {
        return [step = std::move(step)](QWidget& modal) { step(qobject_cast<D*>(&modal)); };
    }

    void poll();
    const Answer* answer_for(QWidget* modal) const;
    void take(QWidget* modal, Step step);
    void unexpected(QWidget* modal);
    void give_up();
    void finish();

    std::unique_ptr<QTimer> timer_;
    Unexpected unexpected_;
    std::deque<Answer> queued_;
    Answer standing_;
    std::vector<QString> captions_;
    std::vector<SeenMessage> messages_;
    QWidget* last_seen_ = nullptr;
    int ticks_left_ = -1;
    bool delete_when_done_ = false;
};

// Answers a message box with OK, whatever language the button is labelled in.
ModalDriver::Step press_ok();

// Once a modal dialog of type D is open (for instance inside exec()), runs step on it.
template <typename D>
void on_next_modal(std::function<void(D*)> step) {
    ModalDriver::once<D>(std::move(step));
}

// Runs action; if it opens a modal message box, records the box and answers OK (or closes it
// when it has no OK button).
SeenMessage answer_message_box(const std::function<void()>& action);

// Runs action, which should not raise a message box; one that appears is answered, so the test
// fails instead of waiting for ever.
void expect_no_message(const std::function<void()>& action);

// Runs action and answers each message box it opens with the next of answers (OK once they
// run out); returns what the boxes said, in order.
std::vector<SeenMessage> answer_messages(const std::function<void()>& action,
                                         std::deque<QMessageBox::StandardButton> answers = {});

}  // namespace korvane::test_support
