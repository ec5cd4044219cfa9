// Lock-key indicators; on X11 the state comes from the keyboard extension.
#include "ui/lock_key_indicators.h"

#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "resources/resource_ids.h"
#include "resources/string_table.h"

#ifdef KORVANE_HAVE_X11
#include <X11/XKBlib.h>

#include <QtGui/qguiapplication_platform.h>
#endif

namespace korvane {
namespace {

constexpr int kPollMs = 300;

void show_indicator(QLabel* label, bool known, bool on) {
    // Known and off: an empty pane of the same width, as the keys' own lights would show it.
    label->setEnabled(known);
    label->setText(known && !on ? QString() : label->property("indicator_text").toString());
}

QLabel* make_indicator(QStatusBar& bar, int string_id) {
    const QString text = res::string_entry(string_id);
    auto* label = new QLabel(text, &bar);
    label->setProperty("indicator_text", text);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(text) + 12);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    bar.addPermanentWidget(label);
    return label;
}

}  // namespace

std::optional<LockKeyState> read_lock_keys() {
#ifdef KORVANE_HAVE_X11
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        Display* display = x11 ? x11->display() : nullptr;
        unsigned int lights = 0;
        if (display && XkbGetIndicatorState(display, XkbUseCoreKbd, &lights) == Success) {
            // Indicator bits of the core keyboard: Caps Lock 0, Num Lock 1, Scroll Lock 2.
            return LockKeyState{(lights & 1u) != 0, (lights & 2u) != 0, (lights & 4u) != 0};
        }
    }
#endif
    return std::nullopt;
}

LockKeyIndicators::LockKeyIndicators(QStatusBar& bar, QObject* parent)
    : QObject(parent),
      caps_(make_indicator(bar, res::kStrIndicatorCaps)),
      num_(make_indicator(bar, res::kStrIndicatorNum)),
      scroll_(make_indicator(bar, res::kStrIndicatorScroll)),
      poll_(new QTimer(this)) {
    const std::optional<LockKeyState> first = read_lock_keys();
    show_state(first);
    if (first) {
        connect(poll_, &QTimer::timeout, this, [this] { show_state(read_lock_keys()); });
        poll_->start(kPollMs);
    }
}

void LockKeyIndicators::show_state(const std::optional<LockKeyState>& state) {
    show_indicator(caps_, state.has_value(), state && state->caps);
    show_indicator(num_, state.has_value(), state && state->num);
    show_indicator(scroll_, state.has_value(), state && state->scroll);
}

}  // namespace korvane
