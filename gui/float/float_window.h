// SPDX-License-Identifier: GPL-3.0-or-later
// FloatWindow: the small always-on-top picture that collects dropped texts for a new record.
#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "gui/commands/command_target.h"
#include "vault/vault_record.h"

class QMimeData;

namespace korvane {

class ClipboardClearer;
class CommandRouter;

// Texts dropped on the window are appended, by the user's choice from res::kDropTargetMenu, to
// one of four collected fields (GBK bytes). The frame writes them into a record with
// res::kCmdWriteCollected; res::kCmdViewCollected shows them in the record editor. The window has
// no close box and ignores Enter and Esc.
class FloatWindow : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    // parent is the main window, whose FloatWindowFollower places, shows and hides it.
    // The record editor it opens copies passwords through clearer.
    FloatWindow(CommandRouter& router, ClipboardClearer& clearer, QWidget* parent);
    ~FloatWindow() override;

    const std::string& title() const { return title_; }
    const std::string& account() const { return account_; }
    const std::string& password() const { return password_; }
    const std::string& remark() const { return remark_; }
    // The four texts as a record without category.
    VaultRecord collected() const;
    void clear_collected();

    // The text the last accepted drop carried, cut at its first NUL; none before the first drop.
    const std::optional<std::string>& dropped_text() const { return dropped_text_; }

    // CommandTarget
    bool handles_command(int id) const override;
    void execute_command(int id) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void view_collected();
    // The dropped text as GBK bytes, or nothing after telling the user why it cannot be kept.
    std::optional<std::string> take_dropped_text(const QMimeData& data);

    CommandRouter& router_;
    ClipboardClearer& clearer_;
    std::string title_;
    std::string account_;
    std::string password_;
    std::string remark_;
    std::optional<std::string> dropped_text_;
};

}  // namespace korvane
