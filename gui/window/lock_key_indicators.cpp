// SPDX-License-Identifier: GPL-3.0-or-later
// Lock-key indicators: status-bar panes polling the lights that platform/lock_keys reads.
#include "gui/window/lock_key_indicators.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "resources/resource_ids.h"
#include "resources/string_table.h"

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
