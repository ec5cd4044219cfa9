// The search box in the running program: filtering across categories while typing, the 类别
// column, the ways out of a search, and records changed from the results.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include "gui/window/record_details_view.h"
#include "gui/window/record_editor_dialog.h"
#include "gui/window/record_list_model.h"
#include "gui/window/running_app.h"
#include "gui/window/search_box.h"
#include "resources/resource_ids.h"
#include "support/file_helpers.h"
#include "support/modal_driver.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

using testing::child;
using testing::gbk;
using testing::on_next_modal;
using testing::query_sqlite;

class SearchTest : public testing::RunningAppTest {
protected:
    void SetUp() override {
        RunningAppTest::SetUp();
        for (const char* name : {"工作", "家庭"}) {
            ASSERT_TRUE(statements::insert_category(db(), gbk(QString::fromUtf8(name))).ok());
        }
        gmail_ = add("Gmail", "工作");
        spare_ = add("gmail 备用", "家庭");
        bank_ = add("银行", "工作");
        root_mail_ = add("Mail 根", "我的密码");
        add("hidden", "工作", "mail");  // only its password holds the text
        tree().reload();
        // Keys reach shortcuts and focus moves only in the active window.
        frame_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame_));
        router().dispatch(res::kCmdViewDetails);
        select_category(QStringLiteral("工作"));
    }

    RecordId add(const char* title, const char* category, const char* password = "pw") {
        return *statements::insert_record(db(), {gbk(QString::fromUtf8(title)), "acc", password, "",
                                                 gbk(QString::fromUtf8(category))});
    }
    SearchBox& box() { return frame_->search_box(); }
    // QTest types ASCII only; other text arrives as an input method would commit it.
    void type(const QString& text) {
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(&box(), c.toLatin1());
            } else {
                box().insert(c);
            }
        }
    }
    QString column(int row, int column) {
        return list().model().index(row, column).data().toString();
    }
    QStringList shown(int which = RecordListModel::TitleColumn) {
        QStringList cells;
        for (int row = 0; row < list().row_count(); ++row) cells << column(row, which);
        return cells;
    }
    bool category_column_shown() {
        auto& view = static_cast<RecordDetailsView&>(list().current_view());
        return !view.isColumnHidden(RecordListModel::CategoryColumn);
    }
    int row_of(const QString& title) { return int(shown().indexOf(title)); }
    void select_row(int row) {
        list().selection_model().setCurrentIndex(
            list().model().index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list().current_view().setFocus();
        frame_->set_active_pane(&list());
    }
    // A drag of the record onto the tree's category item at index, as the platform sends it.
    void drop_on_category(int index, RecordId oid) {
        QWidget* target = tree().viewport();
        const QPoint at = tree().visualItemRect(tree().root_item()->child(index)).center();
        QMimeData data;
        data.setData(QLatin1String(CategoryTree::kRecordMimeType), QByteArray::number(oid));
        QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(QPointF(at), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
    }
    std::string stored(const std::string& sql) {
        return query_sqlite(app_->session()->work_path(), sql);
    }

    RecordId gmail_ = 0, spare_ = 0, bank_ = 0, root_mail_ = 0;
};

TEST_F(SearchTest, TypingFiltersEveryCategoryAndShowsWhereEachRecordIs) {
    EXPECT_EQ(box().placeholderText(), "搜索");
    const QList<QAction*> buttons = frame_->toolbar().actions();
    EXPECT_EQ(frame_->toolbar().widgetForAction(buttons.last()), &box());
    EXPECT_EQ(shown(), (QStringList{"Gmail", "银行", "hidden"}));
    EXPECT_FALSE(category_column_shown());

    type(QStringLiteral("MAIL"));
    EXPECT_EQ(shown(), (QStringList{"Gmail", "gmail 备用", "Mail 根"}));
    EXPECT_EQ(shown(RecordListModel::CategoryColumn), (QStringList{"工作", "家庭", "我的密码"}));
    EXPECT_TRUE(category_column_shown());
    EXPECT_EQ(list().model().headerData(RecordListModel::CategoryColumn, Qt::Horizontal), "类别");

    type(QStringLiteral(" 备"));
    EXPECT_EQ(shown(), QStringList{"gmail 备用"});
}

TEST_F(SearchTest, EscInTheBoxOrTheListAndChoosingACategoryEndTheSearch) {
    type(QStringLiteral("mail"));
    QTest::keyClick(&box(), Qt::Key_Escape);
    EXPECT_TRUE(box().text().isEmpty());
    EXPECT_EQ(shown(), (QStringList{"Gmail", "银行", "hidden"}));
    EXPECT_FALSE(category_column_shown());

    type(QStringLiteral("mail"));
    select_row(0);
    QTest::keyClick(&list().current_view(), Qt::Key_Escape);
    EXPECT_TRUE(box().text().isEmpty());
    EXPECT_EQ(shown(), (QStringList{"Gmail", "银行", "hidden"}));

    type(QStringLiteral("mail"));
    select_category(QStringLiteral("家庭"));
    EXPECT_TRUE(box().text().isEmpty());
    EXPECT_EQ(shown(), QStringList{"gmail 备用"});
    EXPECT_FALSE(category_column_shown());
}

TEST_F(SearchTest, CtrlFPutsTheCursorInTheBoxAndEnterLeadsToTheResults) {
    type(QStringLiteral("mail"));
    frame_->toolbar().hide();
    select_row(0);
    router().dispatch(res::kCmdFind);
    EXPECT_TRUE(frame_->toolbar().isVisible());
    EXPECT_TRUE(box().hasFocus());
    EXPECT_EQ(box().selectedText(), "mail");

    // Enter moves on to the results with the first one picked, ready for Ctrl+C.
    list().selection_model().clear();
    QTest::keyClick(&box(), Qt::Key_Return);
    EXPECT_EQ(frame_->active_pane(), &list());
    EXPECT_TRUE(list().current_view().hasFocus());
    EXPECT_EQ(list().selection_model().currentIndex().row(), 0);
}

TEST_F(SearchTest, ChangesMadeFromTheResultsRunTheSearchAgain) {
    type(QStringLiteral("mail"));

    // Delete: the record leaves the vault and the results.
    select_row(row_of(QStringLiteral("gmail 备用")));
    on_next_modal<QDialog>(
        [](QDialog* dialog) { child<QPushButton>(dialog, "ok_button")->click(); });
    router().dispatch(res::kCmdDelete);
    EXPECT_EQ(stored("select count(*) from userpass where OID=" + std::to_string(spare_)), "0");
    EXPECT_EQ(shown(), (QStringList{"Gmail", "Mail 根"}));

    // Edit so that it no longer matches: it leaves the results and stays in its own category,
    // not the one selected in the tree.
    select_category(QStringLiteral("家庭"));
    type(QStringLiteral("mail"));
    select_row(row_of(QStringLiteral("Mail 根")));
    on_next_modal<RecordEditorDialog>([](RecordEditorDialog* dialog) {
        child<QLineEdit>(dialog, "title_edit")->setText(QStringLiteral("信箱"));
        child<QPushButton>(dialog, "save_button")->click();
    });
    list().on_edit_record();
    EXPECT_EQ(shown(), QStringList{"Gmail"});
    EXPECT_EQ(stored("select type from userpass where OID=" + std::to_string(root_mail_)),
              kRootCategory);

    // A drop on a category moves the record and the search stays on.
    drop_on_category(1, gmail_);
    EXPECT_EQ(stored("select type from userpass where OID=" + std::to_string(gmail_)),
              gbk(QStringLiteral("家庭")));
    EXPECT_EQ(box().text(), "mail");
    EXPECT_EQ(shown(RecordListModel::CategoryColumn), QStringList{"家庭"});
}

}  // namespace
}  // namespace korvane
