// SPDX-License-Identifier: GPL-3.0-or-later
// CommandRouter: one QAction per command id (plus popup entries with their own texts), routed
// to the active pane, then the frame, then the application, with update rules applied before
// menus open and after every command.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

#include "gui/commands/command_target.h"

class QAction;
class QMenu;
class QPoint;

namespace korvane {

class CommandRouter : public QObject {
    Q_OBJECT
public:
    using Chain = std::function<std::vector<CommandTarget*>()>;

    explicit CommandRouter(QObject* parent = nullptr);

    // The routing chain, asked anew for every command: active pane, frame, application.
    void set_chain(Chain chain) { chain_ = std::move(chain); }

    // The action for id with its menu-bar text, status prompt, tooltip and icon; created on
    // first use.
    QAction* action(int id);
    // A further action for id with another text, for popup menus whose entries read
    // differently; it runs the same command and follows the same update rule.
    QAction* action_with_text(int id, const QString& text);

    // Runs id on the first target that handles it; false when none does.
    bool dispatch(int id);
    // The state an update rule gives id now (disabled when no target handles it).
    CommandState state(int id) const;
    // Applies the update rules to every action.
    void update_actions();

    // Shows menu at pos with owner taking the chosen command first, then the usual chain.
    void exec_popup(QMenu& menu, CommandTarget* owner, const QPoint& pos);

    // Connects a menu so that its items show the state at the moment it opens.
    void track_menu(QMenu* menu);

signals:
    void command_executed(int id);

private:
    std::vector<CommandTarget*> routing_chain() const;
    QAction* make_action(int id, const QString& text);
    static void apply_state(QAction& action, const CommandState& state);

    Chain chain_;
    CommandTarget* popup_owner_ = nullptr;
    QHash<int, QList<QPointer<QAction>>> actions_;
};

}  // namespace korvane
