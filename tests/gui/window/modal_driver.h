// ModalDriver: answers, in order, the modal windows a widget test provokes.
#pragma once

#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

class QWidget;

namespace korvane::testing {

class ModalDriver {
public:
    // Gets the modal window that came up; must close it.
    using Step = std::function<void(QWidget& modal)>;

    ModalDriver();

    ModalDriver& then(Step step) {
        steps_.push_back(std::move(step));
        return *this;
    }
    // Window titles of the modal windows seen, unexpected ones included.
    const std::vector<QString>& captions() const { return captions_; }
    std::size_t pending() const { return steps_.size(); }

private:
    void poll();

    QTimer timer_;
    std::deque<Step> steps_;
    std::vector<QString> captions_;
    QWidget* last_seen_ = nullptr;
};

// Answers a message box with OK, whatever language the button is labelled in.
ModalDriver::Step press_ok();

}  // namespace korvane::testing
