// SPDX-License-Identifier: GPL-3.0-or-later
// CommandRouter: actions, the routing chain and update rules.
#include "gui/commands/command_router.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPoint>

#include "gui/commands/command_table.h"
#include "resources/string_table.h"

namespace korvane {

CommandRouter::CommandRouter(QObject* parent) : QObject(parent) {}

QAction* CommandRouter::make_action(int id, const QString& text) {
    auto* action = new QAction(text, this);
    action->setData(id);
    if (const command_table::CommandInfo* info = command_table::find(id);
        info && !info->icon.isEmpty()) {
        action->setIcon(QIcon(info->icon));
    }
    const QString prompt = res::command_prompt(id);
    if (!prompt.isEmpty()) action->setStatusTip(prompt);
    const QString tooltip = res::command_tooltip(id);
    action->setToolTip(
        tooltip.isEmpty() ? QString(text).remove(QLatin1Char('&')).section('\t', 0, 0) : tooltip);
    connect(action, &QAction::triggered, this, [this, id] { dispatch(id); });
    actions_[id].append(action);
    apply_state(*action, state(id));
    return action;
}

QAction* CommandRouter::action(int id) {
    const auto& list = actions_.value(id);
    if (!list.isEmpty() && list.front()) return list.front();
    const command_table::CommandInfo* info = command_table::find(id);
    return make_action(id, info ? info->text : QString::number(id));
}

QAction* CommandRouter::action_with_text(int id, const QString& text) {
    action(id);  // the primary action comes first
    for (const QPointer<QAction>& existing : actions_.value(id)) {
        if (existing && existing->text() == text) return existing;
    }
    return make_action(id, text);
}

std::vector<CommandTarget*> CommandRouter::routing_chain() const {
    std::vector<CommandTarget*> chain;
    if (popup_owner_) chain.push_back(popup_owner_);
    if (chain_) {
        for (CommandTarget* target : chain_()) {
            if (target && target != popup_owner_) chain.push_back(target);
        }
    }
    return chain;
}

bool CommandRouter::dispatch(int id) {
    for (CommandTarget* target : routing_chain()) {
        if (target->handles_command(id)) {
            target->execute_command(id);
            emit command_executed(id);
            update_actions();
            return true;
        }
    }
    return false;
}

CommandState CommandRouter::state(int id) const {
    for (CommandTarget* target : routing_chain()) {
        if (target->handles_command(id)) {
            CommandState state;
            target->update_command(id, state);
            return state;
        }
    }
    CommandState none;
    none.enabled = false;
    return none;
}

void CommandRouter::apply_state(QAction& action, const CommandState& state) {
    action.setEnabled(state.enabled);
    action.setCheckable(state.checkable || state.radio);
    action.setChecked(state.checked || state.radio);
}

void CommandRouter::update_actions() {
    for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
        const CommandState now = state(it.key());
        for (const QPointer<QAction>& action : it.value()) {
            if (action) apply_state(*action, now);
        }
    }
}

void CommandRouter::exec_popup(QMenu& menu, CommandTarget* owner, const QPoint& pos) {
    CommandTarget* previous = popup_owner_;
    popup_owner_ = owner;
    update_actions();
    // The chosen action triggers inside exec, while the owner is still first in the chain.
    menu.exec(pos);
    popup_owner_ = previous;
    update_actions();
}

void CommandRouter::track_menu(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, &CommandRouter::update_actions);
}

}  // namespace korvane
