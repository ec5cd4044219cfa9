// SPDX-License-Identifier: GPL-3.0-or-later
// A started program (new vault, main window up) for the window suites, shut down quietly after
// each test.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "gui/categories/category_tree.h"
#include "gui/commands/command_router.h"
#include "gui/records/record_list.h"
#include "gui/window/korvane_application.h"
#include "gui/window/main_window.h"
#include "support/scripted_prompts.h"
#include "vault/text.h"
#include "vault/vault_session.h"

namespace korvane::test_support {

inline const std::string kAppPassword = "secretyyyyyyyyyyy";

inline std::string gbk(const QString& s) { return *text::to_gbk(s, QStringLiteral("test")); }

inline QApplication& application() {
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

class RunningAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptedPrompts prompts;
        prompts.new_password(kAppPassword).master_password(kAppPassword);
        app_ = std::make_unique<KorvaneApplication>(application());
        ASSERT_TRUE(app_->start(prompts, dir_.path()));
        window_ = app_->main_window();
    }
    void TearDown() override {
        if (app_) app_->shut_down();
    }

    SqliteDb& db() { return app_->session()->db(); }
    CategoryTree& tree() { return window_->category_tree(); }
    RecordList& list() { return window_->record_list(); }
    CommandRouter& router() { return window_->router(); }
    // Selects the tree's category item with that label, as a click would.
    void select_category(const QString& name) {
        for (int i = 0; i < tree().root_item()->childCount(); ++i) {
            if (tree().root_item()->child(i)->text(0) == name) {
                tree().setCurrentItem(tree().root_item()->child(i));
                return;
            }
        }
        ADD_FAILURE() << "no category " << name.toStdString();
    }

    QTemporaryDir dir_;
    std::unique_ptr<KorvaneApplication> app_;
    MainWindow* window_ = nullptr;
};

}  // namespace korvane::test_support
