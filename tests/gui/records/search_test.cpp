// SPDX-License-Identifier: GPL-3.0-or-later
// The search field in the running program: filtering across categories while typing, the 类别
// column, the ways out of a search, and records deleted or edited from the results.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "gui/editor/record_editor_dialog.h"
#include "gui/records/record_list_model.h"
#include "gui/records/search_box.h"
#include "gui/window/running_app.h"
#include "resources/resource_ids.h"
#include "support/file_helpers.h"
#include "support/modal_driver.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

using test_support::child;
using test_support::gbk;
using test_support::on_next_modal;

class SearchTest : public test_support::RunningAppTest {
protected:
    void SetUp() override {
        RunningAppTest::SetUp();
        for (const char* name : {"工作", "家庭"}) {
            ASSERT_TRUE(statements::insert_category(db(), u8(name)).ok());
        }
        add("Gmail", "工作");
        add("gmail 备用", "家庭");
        add("银行", "工作");
        root_mail_ = add("Mail 根", "我的密码");
        tree().reload();
        // Keys reach shortcuts and focus moves only in the active window.
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
        router().dispatch(res::kCmdViewDetails);
        select_category(QStringLiteral("工作"));
    }

    static std::string u8(const char* text) { return gbk(QString::fromUtf8(text)); }
    RecordId add(const char* title, const char* category) {
        return *statements::insert_record(db(), {u8(title), "acc", "pw", "", u8(category)});
    }
    SearchBox& box() { return window_->search_box(); }
    void type(const char* ascii) { QTest::keyClicks(&box(), QString::fromLatin1(ascii)); }
    QStringList shown(int column = RecordListModel::TitleColumn) {
        QStringList cells;
        for (int row = 0; row < list().row_count(); ++row) {
            cells << list().model().index(row, column).data().toString();
        }
        return cells;
    }
    bool category_column_shown() {
        auto& view = static_cast<QTreeView&>(list().current_view());
        return !view.isColumnHidden(RecordListModel::CategoryColumn);
    }
    void select_title(const QString& title) {
        list().selection_model().setCurrentIndex(
            list().model().index(int(shown().indexOf(title)), 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list().current_view().setFocus();
        window_->set_active_pane(&list());
    }
    std::string type_of(RecordId oid) {
        return test_support::query_vault_file(
            app_->session()->vault_path(), test_support::kAppPassword,
            "select type from userpass where OID=" + std::to_string(oid));
    }

    RecordId root_mail_ = 0;
};

TEST_F(SearchTest, TypingFiltersEveryCategoryUntilEscOrACategoryEndsIt) {
    const QStringList work = {"Gmail", "银行"};
    EXPECT_EQ(box().placeholderText(), "搜索");
    EXPECT_FALSE(category_column_shown());

    type("MAIL");
    EXPECT_EQ(shown(), (QStringList{"Gmail", "gmail 备用", "Mail 根"}));
    EXPECT_EQ(shown(RecordListModel::CategoryColumn), (QStringList{"工作", "家庭", "我的密码"}));
    EXPECT_TRUE(category_column_shown());
    select_title(QStringLiteral("Gmail"));
    router().dispatch(res::kCmdFind);
    EXPECT_EQ(box().selectedText(), "MAIL");
    QTest::keyClick(&box(), Qt::Key_Escape);
    EXPECT_EQ(shown(), work);
    EXPECT_FALSE(category_column_shown());

    type("mail");
    select_title(QStringLiteral("Gmail"));
    QTest::keyClick(&list().current_view(), Qt::Key_Escape);
    EXPECT_TRUE(box().text().isEmpty());
    EXPECT_EQ(shown(), work);

    type("mail");
    select_category(QStringLiteral("家庭"));
    EXPECT_TRUE(box().text().isEmpty());
    EXPECT_EQ(shown(), QStringList{"gmail 备用"});
}

TEST_F(SearchTest, ChangesMadeFromTheResultsRunTheSearchAgain) {
    type("mail");
    select_title(QStringLiteral("gmail 备用"));
    on_next_modal<QDialog>(
        [](QDialog* dialog) { child<QPushButton>(dialog, "ok_button")->click(); });
    router().dispatch(res::kCmdDelete);
    EXPECT_EQ(shown(), (QStringList{"Gmail", "Mail 根"}));

    // Edited so that it no longer matches: it leaves the results and stays in its own category,
    // not the tree's.
    select_title(QStringLiteral("Mail 根"));
    on_next_modal<RecordEditorDialog>([](RecordEditorDialog* dialog) {
        child<QLineEdit>(dialog, "title_edit")->setText(QStringLiteral("信箱"));
        child<QPushButton>(dialog, "save_button")->click();
    });
    list().on_edit_record();
    EXPECT_EQ(shown(), QStringList{"Gmail"});
    EXPECT_EQ(type_of(root_mail_), kRootCategory);
}

}  // namespace
}  // namespace korvane
