// SPDX-License-Identifier: GPL-3.0-or-later
// ModalDriver: a 5 ms poll of the active modal window; and the dialog helpers built on it.
#include "support/modal_driver.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>

namespace korvane::test_support {
namespace {

constexpr int kPollMs = 5;

SeenMessage seen(QMessageBox& box) {
    return SeenMessage{true, box.text(), box.windowTitle(), box.parentWidget()};
}

}  // namespace

void press_key(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

void show_and_settle(QWidget* dialog) {
    dialog->show();
    QApplication::processEvents();
}

QStringList texts_exposed_by(QWidget* widget) {
    QList<QWidget*> widgets = widget->findChildren<QWidget*>();
    widgets.prepend(widget);
    QStringList texts;
    for (QWidget* w : widgets) {
        texts << w->toolTip() << w->statusTip() << w->whatsThis() << w->accessibleName()
              << w->accessibleDescription() << w->windowTitle();
        if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
        if (auto* bar = qobject_cast<QProgressBar*>(w)) texts << bar->text() << bar->format();
    }
    return texts;
}

std::vector<QWidget*> tab_cycle(QWidget* dialog, int limit) {
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

ModalDriver::ModalDriver(Unexpected unexpected)
    : timer_(std::make_unique<QTimer>()), unexpected_(unexpected) {
    timer_->setInterval(kPollMs);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { poll(); });
    timer_->start();
}

ModalDriver::~ModalDriver() = default;

ModalDriver& ModalDriver::then(Step step) {
    queued_.push_back({[](QWidget*) { return true; }, std::move(step)});
    return *this;
}

ModalDriver& ModalDriver::give_up_after(int ms) {
    ticks_left_ = ms / kPollMs;
    return *this;
}

void ModalDriver::poll() {
    if (ticks_left_ >= 0 && !queued_.empty() && ticks_left_-- == 0) return give_up();
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        last_seen_ = nullptr;
        return;
    }
    if (modal == last_seen_) return;
    const Answer* answer = answer_for(modal);
    if (answer == nullptr) {
        if (unexpected_ == Unexpected::Fail) unexpected(modal);
        return;
    }
    Step step = answer->step;
    if (answer != &standing_) queued_.pop_front();
    take(modal, std::move(step));
}

const ModalDriver::Answer* ModalDriver::answer_for(QWidget* modal) const {
    if (!queued_.empty()) return queued_.front().accepts(modal) ? &queued_.front() : nullptr;
    if (standing_.accepts && standing_.accepts(modal)) return &standing_;
    return nullptr;
}

void ModalDriver::take(QWidget* modal, Step step) {
    last_seen_ = modal;
    captions_.push_back(modal->windowTitle());
    if (auto* box = qobject_cast<QMessageBox*>(modal)) messages_.push_back(seen(*box));
    const bool last = delete_when_done_ && queued_.empty();
    if (last) timer_->stop();
    step(*modal);
    if (last) return finish();
    // The same dialog object may be run again for the next question.
    if (!modal->isVisible()) last_seen_ = nullptr;
}

void ModalDriver::unexpected(QWidget* modal) {
    last_seen_ = modal;
    captions_.push_back(modal->windowTitle());
    ADD_FAILURE() << "unexpected modal window " << modal->windowTitle().toStdString();
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
}

void ModalDriver::give_up() {
    timer_->stop();
    ADD_FAILURE() << "no modal dialog of the expected type opened";
    if (delete_when_done_) finish();
}

void ModalDriver::finish() {
    // Called from the timer's own signal, so the timer is deleted once that has returned.
    timer_->disconnect();
    timer_.release()->deleteLater();
    delete this;
}

ModalDriver::Step press_ok() {
    return [](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        ASSERT_TRUE(box && box->button(QMessageBox::Ok)) << modal.windowTitle().toStdString();
        box->button(QMessageBox::Ok)->click();
    };
}

SeenMessage answer_message_box(const std::function<void()>& action) {
    ModalDriver driver(ModalDriver::Unexpected::Ignore);
    driver.then<QMessageBox>([](QMessageBox* box) {
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            ok->click();
        } else {
            box->reject();
        }
    });
    action();
    return driver.messages().empty() ? SeenMessage{} : driver.messages().front();
}

void expect_no_message(const std::function<void()>& action) {
    const SeenMessage seen = answer_message_box(action);
    EXPECT_FALSE(seen.shown) << "unexpected message: " << seen.text.toStdString();
}

std::vector<SeenMessage> answer_messages(const std::function<void()>& action,
                                         std::deque<QMessageBox::StandardButton> answers) {
    ModalDriver driver(ModalDriver::Unexpected::Ignore);
    driver.every<QMessageBox>([&answers](QMessageBox* box) {
        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (QAbstractButton* button = box->button(answer)) {
            button->click();
        } else {
            ADD_FAILURE() << "message box without the scripted button: "
                          << box->text().toStdString();
            box->reject();
        }
    });
    action();
    return driver.messages();
}

}  // namespace korvane::test_support
