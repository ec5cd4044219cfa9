// SPDX-License-Identifier: GPL-3.0-or-later
// The floating window inside the running program: drops collected into fields, the view/edit
// dialog, writing the record through the main window, and showing or hiding the window.
#include "gui/float/float_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "gui/categories/category_tree.h"
#include "gui/commands/command_router.h"
#include "gui/editor/record_editor_dialog.h"
#include "gui/records/record_list.h"
#include "gui/records/record_list_model.h"
#include "gui/window/korvane_application.h"
#include "gui/window/main_window.h"
#include "gui/window/running_app.h"
#include "resources/resource_ids.h"
#include "support/modal_driver.h"
#include "support/scripted_prompts.h"
#include "vault/text.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

using test_support::answer_message_box;
using test_support::child;
using test_support::on_next_modal;
using test_support::press_key;
using test_support::ScriptedPrompts;

using test_support::application;
using test_support::gbk;
const std::string& kPassword = test_support::kAppPassword;

// What happened to a popup menu while a test answered it.
struct PopupSeen {
    bool opened = false;
    int default_command = 0;
    QList<int> commands;
};

class FloatWindowTest : public test_support::RunningAppTest {
protected:
    void SetUp() override {
        RunningAppTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NE(window_->float_window(), nullptr);
    }

    FloatWindow& floating() { return *window_->float_window(); }

    // Runs action; the first popup menu it opens is answered with command choice (0: the menu
    // is dismissed without a choice).
    PopupSeen answer_popup(int choice, const std::function<void()>& action) {
        PopupSeen seen;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            poll.stop();
            seen.opened = true;
            if (menu->defaultAction()) seen.default_command = menu->defaultAction()->data().toInt();
            QAction* chosen = nullptr;
            for (QAction* item : menu->actions()) {
                if (item->isSeparator()) continue;
                seen.commands << item->data().toInt();
                if (item->data().toInt() == choice) chosen = item;
            }
            menu->close();
            if (chosen) chosen->trigger();
        });
        poll.start();
        action();
        poll.stop();
        return seen;
    }

    // Drags data onto the floating window as the platform would; true when the drop is taken.
    bool send_drop(const QMimeData& data) {
        const QPoint pos(floating().width() / 2, floating().height() / 2);
        QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&floating(), &enter);
        if (!enter.isAccepted()) return false;
        QDragMoveEvent move(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&floating(), &move);
        if (!move.isAccepted()) return false;
        QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&floating(), &drop);
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }

    // Drops text and picks field command choice from the menu that follows.
    PopupSeen drop_text(const QString& text, int choice) {
        QMimeData data;
        data.setText(text);
        bool accepted = false;
        PopupSeen seen = answer_popup(choice, [&] { accepted = send_drop(data); });
        EXPECT_TRUE(accepted) << "drop of " << text.toStdString() << " refused";
        return seen;
    }

    // Picks choice from the floating window's right-click menu.
    PopupSeen choose_from_float_menu(int choice) {
        const QPoint pos(5, 5);
        return answer_popup(choice, [&] {
            QContextMenuEvent request(QContextMenuEvent::Mouse, pos, floating().mapToGlobal(pos));
            QApplication::sendEvent(&floating(), &request);
        });
    }

    void collect(const QString& title, const QString& account, const QString& password,
                 const QString& remark) {
        drop_text(title, res::kCmdCollectTitle);
        drop_text(account, res::kCmdCollectAccount);
        drop_text(password, res::kCmdCollectPassword);
        drop_text(remark, res::kCmdCollectRemark);
    }

    std::vector<VaultRecord> records() { return *statements::all_records(db()); }

    QStringList shown_titles() {
        QStringList titles;
        for (int row = 0; row < list().model().rowCount(); ++row) {
            titles << list().model().index(row, 0).data().toString();
        }
        return titles;
    }
};

TEST_F(FloatWindowTest, DropsAppendToTheChosenFieldWithoutSeparator) {
    const PopupSeen first = drop_text(QStringLiteral("ab"), res::kCmdCollectTitle);
    EXPECT_TRUE(first.opened);
    EXPECT_EQ(first.default_command, res::kCmdCollectTitle);
    EXPECT_EQ(first.commands, (QList<int>{res::kCmdCollectTitle, res::kCmdCollectAccount,
                                          res::kCmdCollectPassword, res::kCmdCollectRemark}));
    drop_text(QStringLiteral("cd"), res::kCmdCollectTitle);
    EXPECT_EQ(floating().title(), "abcd");
    EXPECT_EQ(floating().account(), "");
    EXPECT_EQ(floating().password(), "");
    EXPECT_EQ(floating().remark(), "");
}

TEST_F(FloatWindowTest, EachMenuItemFillsItsOwnFieldWithTheGbkTextBeforeAnyNul) {
    collect(QStringLiteral("网站"), QStringLiteral("user"), QStringLiteral("p@ss"),
            QStringLiteral("备注"));
    EXPECT_EQ(floating().collected(), (VaultRecord{gbk(QStringLiteral("网站")), "user", "p@ss",
                                                   gbk(QStringLiteral("备注")), ""}));
    // The same drop may be given to a further field through another drop of it.
    drop_text(QStringLiteral("user"), res::kCmdCollectRemark);
    EXPECT_EQ(floating().remark(), gbk(QStringLiteral("备注")) + "user");
    // Only what precedes a NUL is taken.
    drop_text(QString::fromUtf16(u"-before\0after", 13), res::kCmdCollectAccount);
    EXPECT_EQ(floating().account(), "user-before");
}

TEST_F(FloatWindowTest, DismissingTheDropMenuChangesNoField) {
    drop_text(QStringLiteral("kept"), res::kCmdCollectTitle);
    const PopupSeen seen = drop_text(QStringLiteral("lost"), 0);
    EXPECT_TRUE(seen.opened);
    EXPECT_EQ(floating().collected(), (VaultRecord{"kept", "", "", "", ""}));
}

TEST_F(FloatWindowTest, DropsThatCarryNoUsableTextAreRefused) {
    drop_text(QStringLiteral("x"), res::kCmdCollectTitle);
    QMimeData no_text;
    no_text.setData(QStringLiteral("application/octet-stream"), QByteArray("\x01\x02", 2));
    PopupSeen seen = answer_popup(res::kCmdCollectTitle, [&] { EXPECT_FALSE(send_drop(no_text)); });
    EXPECT_FALSE(seen.opened);
    EXPECT_EQ(floating().dropped_text(), std::optional<std::string>("x"));

    // A character GBK cannot hold is named in a message; the drop is refused.
    QMimeData emoji;
    emoji.setText(QStringLiteral("a\U0001F600b"));
    bool accepted = true;
    const test_support::SeenMessage message = answer_message_box(
        [&] { seen = answer_popup(res::kCmdCollectTitle, [&] { accepted = send_drop(emoji); }); });
    EXPECT_FALSE(accepted);
    EXPECT_FALSE(seen.opened);
    EXPECT_TRUE(message.shown);
    EXPECT_TRUE(message.text.contains(QStringLiteral("\U0001F600"))) << message.text.toStdString();
    EXPECT_EQ(floating().collected(), (VaultRecord{"x", "", "", "", ""}));
    EXPECT_EQ(floating().dropped_text(), std::optional<std::string>("x"));
}

TEST_F(FloatWindowTest, ViewDialogCancelKeepsTextsAndOkReplacesThem) {
    collect(QStringLiteral("t"), QStringLiteral("a"), QStringLiteral("p"), QStringLiteral("r"));
    bool opened = false;
    on_next_modal<RecordEditorDialog>([&](RecordEditorDialog* dialog) {
        opened = true;
        EXPECT_EQ(dialog->caption(), RecordEditorDialog::kViewRecordCaption);
        EXPECT_EQ(dialog->parentWidget(), nullptr);
        EXPECT_EQ(child<QLineEdit>(dialog, "title_edit")->text(), "t");
        EXPECT_EQ(child<QLineEdit>(dialog, "account_edit")->text(), "a");
        child<QLineEdit>(dialog, "title_edit")->setText(QStringLiteral("discarded"));
        dialog->reject();
    });
    EXPECT_TRUE(choose_from_float_menu(res::kCmdViewCollected).opened);
    EXPECT_TRUE(opened);
    EXPECT_EQ(floating().collected(), (VaultRecord{"t", "a", "p", "r", ""}));

    // A left double click opens the same dialog.
    opened = false;
    on_next_modal<RecordEditorDialog>([&](RecordEditorDialog* dialog) {
        opened = true;
        child<QLineEdit>(dialog, "title_edit")->setText(QStringLiteral("新标题"));
        child<QLineEdit>(dialog, "password_edit")->setText(QStringLiteral("p2"));
        dialog->accept();
    });
    QTest::mouseDClick(&floating(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(opened);
    EXPECT_EQ(floating().collected(),
              (VaultRecord{gbk(QStringLiteral("新标题")), "a", "p2", "r", ""}));
    EXPECT_TRUE(records().empty()) << "viewing must write nothing";
}

TEST_F(FloatWindowTest, WriteFromItsMenuAddsTheRecordUnderTheRootAndEmptiesTheTexts) {
    ASSERT_EQ(tree().currentItem(), tree().root_item());
    collect(QStringLiteral("bank"), QStringLiteral("me"), QStringLiteral("pw"),
            QStringLiteral("r"));
    const PopupSeen seen = choose_from_float_menu(res::kCmdWriteCollected);
    EXPECT_EQ(seen.default_command, res::kCmdWriteCollected);
    EXPECT_EQ(seen.commands, (QList<int>{res::kCmdWriteCollected, res::kCmdViewCollected,
                                         res::kCmdToggleFloat, res::kCmdExit}));
    const std::vector<VaultRecord> written = records();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], (VaultRecord{"bank", "me", "pw", "r", kRootCategory}));
    EXPECT_EQ(floating().collected(), VaultRecord{});
    // No category bears the root's name, so the record shows under the root.
    EXPECT_EQ(shown_titles(), QStringList{"bank"});
}

TEST_F(FloatWindowTest, WritingNothingCollectedAddsAnEmptyRecordInTheSelectedCategory) {
    ASSERT_TRUE(statements::insert_category(db(), "A").ok());
    ASSERT_TRUE(statements::insert_category(db(), "B").ok());
    tree().reload();
    select_category(QStringLiteral("B"));
    ASSERT_TRUE(router().dispatch(res::kCmdWriteCollected));
    const std::vector<VaultRecord> written = records();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], (VaultRecord{"", "", "", "", "B"}));
    EXPECT_EQ(list().row_count(), 1);
    // Writing twice in a row does not repeat the earlier texts.
    drop_text(QStringLiteral("once"), res::kCmdCollectTitle);
    ASSERT_TRUE(router().dispatch(res::kCmdWriteCollected));
    ASSERT_TRUE(router().dispatch(res::kCmdWriteCollected));
    const std::vector<VaultRecord> after = records();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(std::count_if(after.begin(), after.end(),
                            [](const VaultRecord& r) { return r.title == "once"; }),
              1);
}

TEST_F(FloatWindowTest, EnterAndEscapeDoNothing) {
    collect(QStringLiteral("t"), QStringLiteral("a"), QStringLiteral("p"), QStringLiteral("r"));
    floating().setFocus();
    test_support::expect_no_message([&] {
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            press_key(&floating(), key);
        }
    });
    EXPECT_TRUE(floating().isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(floating().collected(), (VaultRecord{"t", "a", "p", "r", ""}));
    EXPECT_TRUE(window_->float_visible());
}

TEST_F(FloatWindowTest, ShowHideCommandTogglesTheWindowAndItsCheck) {
    EXPECT_TRUE(floating().isVisible());
    QAction* shared = router().action(res::kCmdToggleFloat);
    router().update_actions();
    EXPECT_TRUE(shared->isCheckable());
    EXPECT_TRUE(shared->isChecked());
    EXPECT_TRUE(shared->isEnabled());
    EXPECT_TRUE(window_->toolbar().actions().contains(shared));

    shared->trigger();
    EXPECT_FALSE(window_->float_visible());
    EXPECT_FALSE(floating().isVisible());
    EXPECT_FALSE(shared->isChecked());

    ASSERT_TRUE(router().dispatch(res::kCmdToggleFloat));
    EXPECT_TRUE(window_->float_visible());
    EXPECT_TRUE(floating().isVisible());
    EXPECT_TRUE(shared->isChecked());

    // From the floating window's own menu the command goes on to the main window.
    choose_from_float_menu(res::kCmdToggleFloat);
    EXPECT_FALSE(window_->float_visible());
    EXPECT_FALSE(floating().isVisible());
    EXPECT_FALSE(shared->isChecked());
}

TEST_F(FloatWindowTest, OpensOverTheClientAreaAndKeepsToItAsTheMainWindowMoves) {
    const auto client_corner = [&] { return window_->centralWidget()->mapToGlobal(QPoint(0, 0)); };
    QApplication::processEvents();
    ASSERT_TRUE(floating().isVisible());
    EXPECT_EQ(floating().pos(), client_corner());
    window_->move(window_->pos() + QPoint(40, 30));
    QApplication::processEvents();
    EXPECT_EQ(floating().pos(), client_corner());
    // Once dragged away it stays where the user put it.
    const QPoint dragged = client_corner() + QPoint(200, 100);
    floating().move(dragged);
    window_->move(window_->pos() + QPoint(10, 10));
    QApplication::processEvents();
    EXPECT_EQ(floating().pos(), dragged);
}

TEST_F(FloatWindowTest, HidesWhileTheMainWindowIsMinimisedAndReturnsOnlyIfWanted) {
    const struct {
        bool wanted_before, toggled_while_minimised, shown_after;
    } rows[] = {
        {true, false, true}, {false, false, false}, {false, true, true}, {true, true, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.wanted_before << row.toggled_while_minimised);
        if (window_->float_visible() != row.wanted_before) router().dispatch(res::kCmdToggleFloat);
        window_->showMinimized();
        QApplication::processEvents();
        EXPECT_FALSE(floating().isVisible());
        if (row.toggled_while_minimised) router().dispatch(res::kCmdToggleFloat);
        EXPECT_FALSE(floating().isVisible());
        window_->showNormal();
        QApplication::processEvents();
        EXPECT_EQ(floating().isVisible(), row.shown_after);
        EXPECT_EQ(window_->float_visible(), row.shown_after);
    }
}

TEST_F(FloatWindowTest, ExitFromItsMenuReachesTheMainWindow) {
    // Ending the event loop from inside the menu's own loop, with no main loop running, would
    // stop every later nested loop of this process; only the routing is under test here.
    QObject::disconnect(window_, &MainWindow::exit_requested, nullptr, nullptr);
    QSignalSpy exits(window_, &MainWindow::exit_requested);
    choose_from_float_menu(res::kCmdExit);
    EXPECT_EQ(exits.count(), 1);
}

TEST_F(FloatWindowTest, WorksWhileTheMainWindowIsHidden) {
    window_->hide();
    QApplication::processEvents();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(floating().isVisible());

    collect(QStringLiteral("hidden"), QStringLiteral("a"), QStringLiteral("p"),
            QStringLiteral("r"));
    EXPECT_TRUE(choose_from_float_menu(res::kCmdWriteCollected).opened);
    const std::vector<VaultRecord> written = records();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].title, "hidden");

    window_->show();
    QApplication::processEvents();
    EXPECT_TRUE(floating().isVisible());
    EXPECT_EQ(shown_titles(), QStringList{"hidden"});
}

}  // namespace
}  // namespace korvane
