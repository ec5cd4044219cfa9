// SPDX-License-Identifier: GPL-3.0-or-later
// RecordList over a real vault, in a main window with its category tree: fills, copy, the editor
// and delete flows, view modes, dragging and the password change, checked through what the
// database file holds.
#include "gui/records/record_list.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include "gui/categories/category_tree.h"
#include "gui/commands/command_router.h"
#include "gui/editor/delete_confirm_dialog.h"
#include "gui/records/record_details_view.h"
#include "gui/records/record_drag.h"
#include "gui/records/record_icon_view.h"
#include "gui/records/record_list_model.h"
#include "gui/settings/settings_store.h"
#include "gui/window/main_window.h"
#include "resources/resource_ids.h"
#include "support/modal_driver.h"
#include "support/raw_sqlite.h"
#include "support/session_vault.h"
#include "vault/text.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane::test_support {
namespace {

using test_support::RawRow;
using Rows = std::vector<RawRow>;

const QString kRoot = QStringLiteral("我的密码");

std::string gbk(const QString& text) { return *text::to_gbk(text, QStringLiteral("测试")); }

RawRow row_of(std::initializer_list<std::string> cells) {
    return RawRow(cells.begin(), cells.end());
}

// Types the four texts into the record editor and saves, noting its caption and shown title.
ModalDriver::Step save_editor(QStringList texts, QString* caption = nullptr,
                              QString* shown_title = nullptr) {
    return [=](QWidget& modal) {
        auto* title = modal.findChild<QLineEdit*>(QStringLiteral("title_edit"));
        auto* account = modal.findChild<QLineEdit*>(QStringLiteral("account_edit"));
        auto* password = modal.findChild<QLineEdit*>(QStringLiteral("password_edit"));
        auto* remark = modal.findChild<QPlainTextEdit*>(QStringLiteral("remark_edit"));
        ASSERT_TRUE(title && account && password && remark) << modal.windowTitle().toStdString();
        if (caption) *caption = modal.windowTitle();
        if (shown_title) *shown_title = title->text();
        title->setText(texts[0]);
        account->setText(texts[1]);
        password->setText(texts[2]);
        remark->setPlainText(texts[3]);
        modal.findChild<QPushButton*>(QStringLiteral("save_button"))->click();
    };
}

ModalDriver::Step press(const char* button, std::vector<QString>* questions = nullptr) {
    return [=](QWidget& modal) {
        if (auto* dialog = qobject_cast<DeleteConfirmDialog*>(&modal); dialog && questions) {
            questions->push_back(text::from_gbk(dialog->message()));
        }
        auto* target = modal.findChild<QPushButton*>(QString::fromLatin1(button));
        ASSERT_NE(target, nullptr) << button;
        target->click();
    };
}

class RecordListTest : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = vault_.unlock("secretyyyyyyyyyyy");
        ASSERT_TRUE(session_);
        // The panes talk through the main window; the list is its active pane.
        window_ = std::make_unique<MainWindow>(*session_, settings_, nullptr);
        tree_ = &window_->category_tree();
        list_ = &window_->record_list();
        window_->resize(1000, 600);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        list_->current_view().setFocus();
        window_->set_active_pane(list_);
        tree_->reload();
    }

    RecordId add(const QString& title, const QString& type, const QString& password = {}) {
        return *statements::insert_record(session_->db(),
                                          {gbk(title), "", gbk(password), "", gbk(type)});
    }
    void add_category(const QString& name) {
        ASSERT_TRUE(statements::insert_category(session_->db(), gbk(name)).ok());
    }
    void select_category(const QString& name) {
        for (int i = 0; i < tree_->root_item()->childCount(); ++i) {
            if (tree_->root_item()->child(i)->text(0) == name) {
                return tree_->setCurrentItem(tree_->root_item()->child(i));
            }
        }
        FAIL() << "no category " << name.toStdString();
    }
    QStringList titles() const {
        QStringList out;
        for (int row = 0; row < list_->row_count(); ++row) out << item(row).data().toString();
        return out;
    }
    QModelIndex item(int row) const { return list_->model().index(row, 0); }
    QPoint center(int row) { return list_->current_view().visualRect(item(row)).center(); }
    QWidget* viewport() { return list_->current_view().viewport(); }
    void click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(viewport(), Qt::LeftButton, modifiers, center(row));
    }
    // What the platform delivers for a double click: a click, then the double click.
    void double_click(QPoint pos) {
        QTest::mouseClick(viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseDClick(viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    }
    std::vector<int> selected_rows() const {
        std::vector<int> rows;
        for (int row = 0; row < list_->row_count(); ++row) {
            if (list_->selection_model().isSelected(item(row))) rows.push_back(row);
        }
        return rows;
    }
    CommandRouter& router() { return window_->router(); }
    // Read from the disk, not through the code under test.
    Rows stored(const std::string& sql) {
        return test_support::DecipheredVault(session_->vault_path(), session_->master_password())
            .db()
            .rows(sql);
    }

    SessionVault vault_{"secretyyyyyyyyyyy"};
    std::unique_ptr<VaultSession> session_;
    SettingsStore settings_;
    std::unique_ptr<MainWindow> window_;
    CategoryTree* tree_ = nullptr;
    RecordList* list_ = nullptr;
};

TEST_F(RecordListTest, RootViewListsRecordsOfNoCategoryAndACategoryItsOwn) {
    add(QStringLiteral("typed A"), QStringLiteral("A"));
    add(QStringLiteral("typed root"), kRoot);
    add(QStringLiteral("untyped"), QString());
    tree_->reload();
    EXPECT_EQ(titles(), (QStringList{"typed A", "typed root", "untyped"}));  // no categories

    add_category(QStringLiteral("A"));
    add_category(QStringLiteral("乙"));
    add(QStringLiteral("typed 乙"), QStringLiteral("乙"));
    add(QStringLiteral("typed gone"), QStringLiteral("gone"));
    tree_->reload();
    EXPECT_EQ(titles(), (QStringList{"typed root", "untyped", "typed gone"}));
    select_category(QStringLiteral("乙"));
    EXPECT_EQ(titles(), (QStringList{"typed 乙"}));
    select_category(QStringLiteral("A"));
    EXPECT_EQ(titles(), (QStringList{"typed A"}));
    EXPECT_EQ(std::to_string(item(0).data(Qt::UserRole).toLongLong()),
              stored("select OID from userpass where bt='typed A'").at(0).at(0));
}

TEST_F(RecordListTest, CopyWithoutMarkShowsErrorWithOkOnlyAndAKeyboardFocusMarksNothing) {
    add(QStringLiteral("one"), kRoot, QStringLiteral("pw"));
    tree_->reload();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QString text;
    QMessageBox::StandardButtons buttons;
    ModalDriver driver;
    driver.then([&](QWidget& modal) {
        text = qobject_cast<QMessageBox*>(&modal)->text();
        buttons = qobject_cast<QMessageBox*>(&modal)->standardButtons();
        press_ok()(modal);
    });
    // Qt would make the first item current when the focus arrives by Tab.
    QApplication::setActiveWindow(window_.get());
    list_->current_view().setFocus(Qt::TabFocusReason);
    router().dispatch(res::kCmdCopy);

    EXPECT_EQ(driver.captions(), std::vector<QString>{QStringLiteral("错误")});
    EXPECT_EQ(text, QStringLiteral("你没有选中任何项"));
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    click(0);  // a click sets the mark, a refill clears it
    list_->on_copy_password();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("pw"));
    list_->on_refresh();
    driver.then(press_ok());
    list_->on_copy_password();
    EXPECT_EQ(driver.captions().size(), 2u);
}

TEST_F(RecordListTest, CopyTakesThePasswordOfTheMarkedRecordMarkedAsSecret) {
    add(QStringLiteral("first"), kRoot, QStringLiteral("p-first"));
    add(QStringLiteral("second"), kRoot, QStringLiteral("密码二"));
    add(QStringLiteral("third"), kRoot, QStringLiteral("p-third"));
    tree_->reload();
    click(2);
    click(0, Qt::ControlModifier);
    click(1, Qt::ControlModifier);
    ASSERT_EQ(selected_rows(), (std::vector<int>{0, 1, 2}));
    list_->on_copy_password();

    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(data->text(), QStringLiteral("密码二"));
    EXPECT_EQ(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
}

TEST_F(RecordListTest, FailedStatementIsShownInsteadOfIgnored) {
    add(QStringLiteral("one"), kRoot);
    tree_->reload();
    click(0);
    ASSERT_TRUE(session_->db().exec("drop table userpass").ok());
    ModalDriver driver;
    driver.then(press_ok()).then(press_ok());
    list_->on_copy_password();
    list_->on_refresh();
    EXPECT_EQ(driver.captions(), (std::vector<QString>{"出错啦", "出错啦"}));
    EXPECT_EQ(list_->row_count(), 0);
}

TEST_F(RecordListTest, NewAndCollectedRecordsGoIntoTheSelectedCategory) {
    add_category(QStringLiteral("工作"));
    tree_->reload();
    select_category(QStringLiteral("工作"));
    QString caption;
    ModalDriver driver;
    driver.then(save_editor({"邮箱", "me", "p'w", "line1\nline2"}, &caption));
    router().dispatch(res::kCmdNew);
    EXPECT_EQ(caption, QStringLiteral("新增记录"));
    EXPECT_EQ(titles(), QStringList{"邮箱"});

    tree_->setCurrentItem(tree_->root_item());  // the root's label becomes the category
    list_->insert_collected_record({"t2", "a2", "p2", "r2", "ignored"});
    EXPECT_EQ(titles(), QStringList{"t2"});
    // The remark keeps its line break, stored the Windows way as the earlier program did.
    EXPECT_EQ(stored("select bt,name,pass,bz,type from userpass order by OID"),
              (Rows{row_of({gbk("邮箱"), "me", "p'w", "line1\r\nline2", gbk("工作")}),
                    row_of({"t2", "a2", "p2", "r2", gbk(kRoot)})}));
}

TEST_F(RecordListTest, EditingMovesTheRecordIntoTheSelectedCategory) {
    add_category(QStringLiteral("old"));
    add(QStringLiteral("kept"), QStringLiteral("old"), QStringLiteral("pw"));
    add(QStringLiteral("orphan"), QStringLiteral("deleted category"), QStringLiteral("pw2"));
    tree_->reload();
    ASSERT_EQ(titles(), QStringList{"orphan"});
    QString caption, shown_title;
    ModalDriver driver;
    driver.then(save_editor({"orphan2", "a2", "pw2", ""}, &caption, &shown_title));
    double_click(center(0));

    EXPECT_EQ(caption, QStringLiteral("修改记录"));
    EXPECT_EQ(shown_title, QStringLiteral("orphan"));
    EXPECT_EQ(
        stored("select bt,name,pass,type from userpass order by OID"),
        (Rows{row_of({"kept", "", "pw", "old"}), row_of({"orphan2", "a2", "pw2", gbk(kRoot)})}));
    EXPECT_EQ(titles(), QStringList{"orphan2"});
}

TEST_F(RecordListTest, DiscardWritesNothingButRefillsAndEmptySaveOnEmptySpaceAddsARecord) {
    add(QStringLiteral("one"), kRoot, QStringLiteral("pw"));
    tree_->reload();
    add(QStringLiteral("unseen"), kRoot);  // shows whether the list was filled again
    ModalDriver driver;
    driver.then([](QWidget& modal) {
        modal.findChild<QLineEdit*>(QStringLiteral("title_edit"))->setText(QStringLiteral("x"));
        modal.findChild<QPushButton*>(QStringLiteral("discard_button"))->click();
    });
    double_click(center(0));
    EXPECT_EQ(titles(), (QStringList{"one", "unseen"}));

    QString caption;
    driver.then(save_editor({"", "", "", ""}, &caption));
    click(0);
    const QPoint corner(viewport()->width() - 5, viewport()->height() - 5);
    ASSERT_FALSE(list_->current_view().indexAt(corner).isValid());
    double_click(corner);  // clears the selection first, so this adds
    EXPECT_EQ(caption, QStringLiteral("新增记录"));
    EXPECT_EQ(
        stored("select bt,name,pass,bz,type from userpass order by OID"),
        (Rows{row_of({"one", "", "pw", "", gbk(kRoot)}), row_of({"unseen", "", "", "", gbk(kRoot)}),
              row_of({"", "", "", "", gbk(kRoot)})}));
}

class DeleteRecordsTest : public RecordListTest {
protected:
    void SetUp() override {
        RecordListTest::SetUp();
        for (const char* title : {"r0", "r1", "r2", "r3"}) add(QString::fromLatin1(title), kRoot);
        tree_->reload();
    }
    void select_first_three() {
        click(0);
        click(1, Qt::ControlModifier);
        click(2, Qt::ControlModifier);
        ASSERT_EQ(selected_rows(), (std::vector<int>{0, 1, 2}));
    }
    Rows remaining() { return stored("select bt from userpass order by OID"); }

    ModalDriver driver_;
    std::vector<QString> questions_;
};

TEST_F(DeleteRecordsTest, AsksRecordByRecordAndFollowsEachAnswer) {
    select_first_three();
    driver_.then(press("ok_button", &questions_))
        .then(press("no_button", &questions_))
        .then(press("ok_button", &questions_));
    router().dispatch(res::kCmdDelete);
    EXPECT_EQ(questions_, (std::vector<QString>{"是否删除  r0", "是否删除  r1", "是否删除  r2"}));
    EXPECT_EQ(remaining(), (Rows{row_of({"r1"}), row_of({"r3"})}));
    EXPECT_EQ(titles(), (QStringList{"r1", "r3"}));
}

TEST_F(DeleteRecordsTest, YesToAllAsksOnceAndCancelKeepsWhatWasDeleted) {
    select_first_three();
    driver_.then(press("yes_to_all_button", &questions_));
    list_->on_delete_records();
    EXPECT_EQ(questions_.size(), 1u);
    EXPECT_EQ(remaining(), Rows{row_of({"r3"})});

    for (const char* title : {"s1", "s2"}) add(QString::fromLatin1(title), kRoot);
    tree_->reload();
    select_first_three();
    driver_.then(press("ok_button", &questions_)).then(press("cancel_button", &questions_));
    list_->on_delete_records();
    EXPECT_EQ(questions_.size(), 3u);
    EXPECT_EQ(remaining(), (Rows{row_of({"s1"}), row_of({"s2"})}));
    EXPECT_EQ(titles(), (QStringList{"s1", "s2"}));
}

TEST_F(DeleteRecordsTest, WithoutMarkDoesNothingAndWithMarkButNoSelectionAsksNothing) {
    add(QStringLiteral("unseen"), kRoot);
    list_->on_delete_records();
    EXPECT_EQ(titles().size(), 4);  // not even refilled

    click(1);
    click(1, Qt::ControlModifier);  // deselects; the mark stays
    ASSERT_TRUE(selected_rows().empty());
    list_->on_delete_records();
    EXPECT_EQ(titles().size(), 5);  // refilled
    EXPECT_EQ(remaining().size(), 5u);
    EXPECT_TRUE(driver_.captions().empty());
}

TEST_F(RecordListTest, ViewModesKeepItemsAndSelectionAndShowHeadersOnlyInDetails) {
    for (const char* title : {"a", "b", "c"}) add(QString::fromLatin1(title), kRoot);
    tree_->reload();
    ASSERT_EQ(list_->view_mode(), RecordList::ViewMode::LargeIcons);
    EXPECT_EQ(qobject_cast<QListView*>(&list_->current_view())->viewMode(), QListView::IconMode);
    click(1);
    click(2, Qt::ControlModifier);

    const struct {
        int command;
        bool details, arrange;
    } modes[] = {{res::kCmdViewSmallIcons, false, true},
                 {res::kCmdViewList, false, false},
                 {res::kCmdViewDetails, true, false},
                 {res::kCmdViewLargeIcons, false, true}};
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.command);
        ASSERT_TRUE(router().dispatch(mode.command));
        EXPECT_EQ(titles(), (QStringList{"a", "b", "c"}));
        EXPECT_EQ(selected_rows(), (std::vector<int>{1, 2}));
        EXPECT_EQ(list_->selection_model().currentIndex().row(), 2);
        auto* details = list_->findChild<RecordDetailsView*>();
        EXPECT_EQ(details->isVisible(), mode.details);
        EXPECT_EQ(&list_->current_view() == details, mode.details);
        if (mode.details) {
            EXPECT_TRUE(details->header()->isVisible());
            EXPECT_EQ(details->header()->sectionSize(2), 510);
        }
        for (int command : {res::kCmdViewSmallIcons, res::kCmdViewLargeIcons, res::kCmdViewList,
                            res::kCmdViewDetails}) {
            EXPECT_EQ(router().state(command).radio, command == mode.command) << command;
        }
        EXPECT_EQ(router().state(res::kCmdViewArrange).enabled, mode.arrange);
    }
}

// The text of the tooltip the view shows when the pointer rests on the middle of rect.
QString tooltip_at(QAbstractItemView& view, const QRect& rect) {
    QToolTip::hideText();
    QHelpEvent rest(QEvent::ToolTip, rect.center(), view.viewport()->mapToGlobal(rect.center()));
    QApplication::sendEvent(view.viewport(), &rest);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST_F(RecordListTest, EveryModeShowsTitleAccountAndRemarkButNoPasswordOnRest) {
    const std::string password = "Zq9-tooltip-PW";
    ASSERT_TRUE(
        statements::insert_record(session_->db(), {gbk(QStringLiteral("网银")), "me@x", password,
                                                   gbk(QStringLiteral("周一改")), gbk(kRoot)})
            .ok());
    ASSERT_TRUE(
        statements::insert_record(session_->db(), {"bare", "", password, "", gbk(kRoot)}).ok());
    ASSERT_TRUE(
        statements::insert_record(session_->db(), {"<img src=x>", "a", password, "", gbk(kRoot)})
            .ok());
    tree_->reload();
    const QString with_remark = QStringLiteral("标题：网银\n账号：me@x\n备注：周一改");
    const QString without_remark = QStringLiteral("标题：bare\n账号：");
    for (int command : {res::kCmdViewLargeIcons, res::kCmdViewSmallIcons, res::kCmdViewList,
                        res::kCmdViewDetails}) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(router().dispatch(command));
        QAbstractItemView& view = list_->current_view();
        const int columns = command == res::kCmdViewDetails ? RecordListModel::ColumnCount : 1;
        for (int column = 0; column < columns; ++column) {
            // 类别 is hidden outside a search: there is nowhere to rest the pointer on it.
            if (view.visualRect(list_->model().index(0, column)).isEmpty()) continue;
            const auto rest_on = [&](int row) {
                return tooltip_at(view, view.visualRect(list_->model().index(row, column)));
            };
            const QString first = rest_on(0);
            EXPECT_EQ(first, with_remark) << column;
            EXPECT_FALSE(first.contains(QString::fromStdString(password)));
            EXPECT_EQ(rest_on(1), without_remark) << column;
            // A title that looks like markup is shown as its characters.
            EXPECT_TRUE(rest_on(2).contains(QStringLiteral("&lt;img src=x&gt;")))
                << rest_on(2).toStdString();
        }
    }
}

// How many pixel rows, from the first to the last, the title of an item spans below its icon.
int title_ink_height(QListView& view, const QModelIndex& index) {
    const QRect item = view.visualRect(index);
    const QImage image = view.viewport()->grab(item).toImage();
    int first = -1, last = -1;
    for (int y = view.iconSize().height() + 2; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                if (first < 0) first = y;
                last = y;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

TEST_F(RecordListTest, LargeIconsWrapALongChineseTitleOntoASecondLine) {
    add(QStringLiteral("中国工商银行网上银行个人客户端登录"), kRoot);
    tree_->reload();
    ASSERT_EQ(list_->view_mode(), RecordList::ViewMode::LargeIcons);
    auto& view = *qobject_cast<QListView*>(&list_->current_view());
    // One line of ink is at most a line high; two lines need well over that.
    EXPECT_GT(title_ink_height(view, item(0)), 3 * view.fontMetrics().height() / 2);
}

TEST_F(RecordListTest, DragCarriesOnlyThePressedRecordAndTheListTakesNoDrops) {
    add(QStringLiteral("a"), kRoot);
    const RecordId pressed = add(QStringLiteral("b"), kRoot);
    add(QStringLiteral("c"), kRoot);
    tree_->reload();
    const QString type = QString::fromLatin1(record_drag::kMimeType);
    for (int command : {res::kCmdViewLargeIcons, res::kCmdViewDetails}) {
        SCOPED_TRACE(command);
        router().dispatch(command);
        click(0);
        click(1, Qt::ControlModifier);
        click(2, Qt::ControlModifier);
        QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, center(1));
        auto* icons = qobject_cast<RecordIconView*>(&list_->current_view());
        std::unique_ptr<QMimeData> data(
            icons ? icons->drag_mime_data()
                  : qobject_cast<RecordDetailsView*>(&list_->current_view())->drag_mime_data());
        QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, center(1));
        ASSERT_TRUE(data);
        EXPECT_EQ(data->formats(), QStringList{type});
        EXPECT_EQ(data->data(type).toLongLong(), pressed);
        EXPECT_FALSE(viewport()->acceptDrops());
    }
}

TEST_F(RecordListTest, ChangePasswordStoresTheNewPasswordOnlyOnOk) {
    const std::string before = session_->master_password();
    const auto type_and = [](const char* button) {
        return [button](QWidget& modal) {
            for (const char* edit : {"new_password_edit", "confirm_password_edit"}) {
                modal.findChild<QLineEdit*>(QString::fromLatin1(edit))
                    ->setText(QStringLiteral("newpw"));
            }
            press(button)(modal);
        };
    };
    ModalDriver driver;
    driver.then(type_and("cancel_button"));
    router().dispatch(res::kCmdChangePassword);
    EXPECT_EQ(session_->master_password(), before);
    EXPECT_EQ(stored("select pass from userad"), Rows{row_of({before})});

    driver.then(type_and("ok_button"));
    router().dispatch(res::kCmdChangePasswordAlt);
    EXPECT_EQ(session_->master_password(), "newpwyyyyyyyyyyyy");
    EXPECT_EQ(stored("select pass from userad"), Rows{row_of({"newpwyyyyyyyyyyyy"})});
}

}  // namespace
}  // namespace korvane::test_support
