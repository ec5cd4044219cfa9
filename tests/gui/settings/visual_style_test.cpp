// SPDX-License-Identifier: GPL-3.0-or-later
// The four looks: what each look draws, and how the main window reads, shows and writes the
// stored look number.
#include "gui/settings/visual_style.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <memory>
#include <set>
#include <vector>

#include "gui/auth/change_password_dialog.h"
#include "gui/auth/login_dialog.h"
#include "gui/commands/command_router.h"
#include "gui/settings/settings_folder.h"
#include "gui/settings/settings_store.h"
#include "gui/window/korvane_application.h"
#include "gui/window/main_window.h"
#include "resources/resource_ids.h"
#include "support/modal_driver.h"
#include "support/scripted_prompts.h"
#include "support/session_vault.h"
#include "vault/vault_session.h"

namespace korvane {
namespace {

using test_support::SettingsFolder;

constexpr int kAllLooks[] = {1, 2, 3, 4};

TEST(VisualStyleTest, EachLookHasItsMenuCommand) {
    EXPECT_EQ(VisualStyle::command_for(1), res::kCmdStyleOfficeXp);
    EXPECT_EQ(VisualStyle::command_for(2), res::kCmdStyleOffice2000);
    EXPECT_EQ(VisualStyle::command_for(3), res::kCmdStyleOffice2003);
    EXPECT_EQ(VisualStyle::command_for(4), res::kCmdStyleXp);
    for (int mode : kAllLooks) {
        EXPECT_TRUE(VisualStyle::is_look(mode));
        EXPECT_EQ(VisualStyle::mode_for_command(VisualStyle::command_for(mode)), mode);
    }
    for (int other : {0, 5, -1}) {
        EXPECT_FALSE(VisualStyle::is_look(other));
        EXPECT_EQ(VisualStyle::command_for(other), 0);
        EXPECT_TRUE(VisualStyle::sheet_resource(other).isEmpty());
    }
    EXPECT_EQ(VisualStyle::mode_for_command(res::kCmdRefresh), 0);
    EXPECT_EQ(VisualStyle::mode_for_command(32796), 0);
}

// Collects the warnings Qt gives while it parses and draws a sheet.
class WarningCatcher {
public:
    WarningCatcher() { previous_ = qInstallMessageHandler(&WarningCatcher::handle); }
    ~WarningCatcher() { qInstallMessageHandler(previous_); }
    static QStringList& caught() {
        static QStringList messages;
        return messages;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtDebugMsg && type != QtInfoMsg) caught() << message;
    }
    QtMessageHandler previous_ = nullptr;
};

struct LookColours {
    QRgb menu_bar;
    QRgb toolbar;
    QRgb status_bar;
    QRgb menu_highlight;
};

// The colours a look gives the bars and a highlighted menu item, sampled away from any text.
LookColours sample_look() {
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("程序"));
    QToolBar* toolbar = window.addToolBar(QStringLiteral("标准"));
    toolbar->addAction(QStringLiteral("新建"));
    window.statusBar()->showMessage(QStringLiteral("就绪"));
    window.resize(400, 200);
    const QImage shot = window.grab().toImage();
    auto at_right_edge = [&](const QWidget* bar) {
        const QPoint p = bar->mapTo(&window, QPoint(bar->width() - 30, bar->height() / 2));
        return shot.pixel(p);
    };
    QMenu menu;
    QAction* item = menu.addAction(QStringLiteral("删除"));
    menu.addAction(QStringLiteral("复制"));
    menu.setActiveAction(item);
    menu.resize(menu.sizeHint().width() + 60, menu.sizeHint().height());
    const QImage menu_shot = menu.grab().toImage();
    const QRect item_rect = menu.actionGeometry(item);
    return {at_right_edge(window.menuBar()), at_right_edge(toolbar),
            at_right_edge(window.statusBar()),
            menu_shot.pixel(item_rect.right() - 10, item_rect.center().y())};
}

TEST(VisualStyleTest, EachLookRestylesTheBarsDistinctly) {
    WarningCatcher warnings;
    WarningCatcher::caught().clear();
    std::set<QString> sheets;
    std::set<QRgb> menu_bars, toolbars, status_bars, highlights;
    for (int mode : kAllLooks) {
        ASSERT_TRUE(VisualStyle::apply_look(mode)) << mode;
        EXPECT_EQ(VisualStyle::look_in_force(), mode);
        sheets.insert(qApp->styleSheet());
        const LookColours colours = sample_look();
        menu_bars.insert(colours.menu_bar);
        toolbars.insert(colours.toolbar);
        status_bars.insert(colours.status_bar);
        highlights.insert(colours.menu_highlight);
    }
    EXPECT_EQ(sheets.size(), 4u);
    EXPECT_EQ(menu_bars.size(), 4u);
    EXPECT_EQ(toolbars.size(), 4u);
    EXPECT_EQ(status_bars.size(), 4u);
    EXPECT_EQ(highlights.size(), 4u);
    // A sheet Qt cannot parse is dropped with a warning and nothing else.
    EXPECT_TRUE(
        WarningCatcher::caught().filter(QStringLiteral("style"), Qt::CaseInsensitive).isEmpty())
        << WarningCatcher::caught().join('\n').toStdString();
}

TEST(VisualStyleTest, LooksAreDrawnOverFusionWhateverTheDesktopStyle) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    ASSERT_TRUE(VisualStyle::apply_look(4));
    // Under a sheet the application's style is a proxy; the base shows once the sheet is gone,
    // Fusion under the password mask.
    qApp->setStyleSheet(QString());
    auto* masked = qobject_cast<QProxyStyle*>(QApplication::style());
    ASSERT_NE(masked, nullptr);
    EXPECT_EQ(masked->baseStyle()->name().toLower(), "fusion");
    ASSERT_TRUE(VisualStyle::apply_look(4));
}

// The mask each password box of the password dialogs draws, as '*' or the character found.
std::vector<QChar> password_masks() {
    LoginDialog login;
    ChangePasswordDialog change;
    std::vector<QChar> masks;
    for (QWidget* dialog : std::initializer_list<QWidget*>{&login, &change}) {
        for (QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
            if (edit->echoMode() != QLineEdit::Password) continue;
            masks.push_back(QChar(
                edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit)));
        }
    }
    return masks;
}

// The dialogs tell the user the password shows as '*'; the desktop's default is often '●'.
TEST(VisualStyleTest, PasswordBoxesMaskWithAsterisksInEveryLookAndBeforeAny) {
    for (int mode : kAllLooks) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(VisualStyle::apply_look(mode));
        const std::vector<QChar> masks = password_masks();
        EXPECT_EQ(masks.size(), 3u);
        for (QChar mask : masks) EXPECT_EQ(mask, QChar('*'));
    }
    // The login comes before the main window applies a look, over the desktop's style.
    qApp->setStyleSheet(QString());
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    {
        KorvaneApplication app(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        const std::vector<QChar> masks = password_masks();
        EXPECT_EQ(masks.size(), 3u);
        for (QChar mask : masks) EXPECT_EQ(mask, QChar('*'));
    }
    ASSERT_TRUE(VisualStyle::apply_look(VisualStyle::kDefaultLook));
}

TEST(VisualStyleTest, NumberNamingNoLookChangesNothing) {
    ASSERT_TRUE(VisualStyle::apply_look(2));
    const QString office_2000 = qApp->styleSheet();
    for (int other : {0, 5, -1}) {
        EXPECT_FALSE(VisualStyle::apply_look(other));
        EXPECT_EQ(VisualStyle::look_in_force(), 2);
        EXPECT_EQ(qApp->styleSheet(), office_2000);
    }
    // Another sheet put in force by someone else is none of the four looks.
    qApp->setStyleSheet(QStringLiteral("QWidget { color: red; }"));
    EXPECT_EQ(VisualStyle::look_in_force(), 0);
    ASSERT_TRUE(VisualStyle::apply_look(3));
    EXPECT_EQ(VisualStyle::look_in_force(), 3);
}

TEST(VisualStyleTest, SheetsCoverEveryBarStateAndFindTheirImages) {
    const QStringList required = {"QMenuBar::item:selected",
                                  "QMenuBar::item:pressed",
                                  "QMenu::item:selected",
                                  "QMenu::item:disabled",
                                  "QMenu::item:default",
                                  "QMenu::separator",
                                  "QMenu::indicator",
                                  "QToolBar::separator",
                                  "QToolButton:hover",
                                  "QToolButton:pressed",
                                  "QToolButton:checked",
                                  "QStatusBar QLabel",
                                  "QPushButton:pressed",
                                  "QLineEdit",
                                  "QGroupBox",
                                  "selection-background-color"};
    static const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    for (int mode : kAllLooks) {
        QFile file(VisualStyle::sheet_resource(mode));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << mode;
        const QString sheet = QString::fromUtf8(file.readAll());
        for (const QString& selector : required) {
            EXPECT_TRUE(sheet.contains(selector))
                << "look " << mode << " lacks " << selector.toStdString();
        }
        for (const QRegularExpressionMatch& match : url.globalMatch(sheet)) {
            const QString image = match.captured(1).trimmed();
            EXPECT_FALSE(QImage(image).isNull()) << "look " << mode << ": " << image.toStdString();
        }
    }
}

// Runs of the whole program on one vault, each with a new main window, as a user meets them.
class StyleRunTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (app_) {
            app_->shut_down();
        }
    }

    // Starts the program; the first run creates the vault.
    void start() {
        test_support::ScriptedPrompts prompts;
        if (!vault_created_) prompts.new_password(kPassword);
        prompts.master_password(kPassword);
        app_ = std::make_unique<KorvaneApplication>(
            *qobject_cast<QApplication*>(QCoreApplication::instance()));
        ASSERT_TRUE(app_->start(prompts, vault_.path()));
        vault_created_ = true;
    }
    // The normal end: 退出, then the shutdown that destroys the main window and locks the vault.
    void exit_program() {
        ASSERT_TRUE(app_->main_window()->router().dispatch(res::kCmdExit));
        app_->shut_down();
        app_.reset();
    }
    MainWindow& window() { return *app_->main_window(); }

    // 查看 → 风格, as the menu bar holds it.
    QMenu* style_menu() {
        for (QAction* top : window().menuBar()->actions()) {
            if (!top->menu() || top->text() != QStringLiteral("查看(&V)")) continue;
            for (QAction* entry : top->menu()->actions()) {
                if (entry->menu() && entry->text() == QStringLiteral("风格")) return entry->menu();
            }
        }
        return nullptr;
    }
    // The items the style menu shows checked when it is opened.
    QStringList checked_styles() {
        QMenu* menu = style_menu();
        if (!menu) return {QStringLiteral("no style menu")};
        menu->popup(QPoint(0, 0));
        QStringList checked;
        for (QAction* item : menu->actions()) {
            EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
            if (item->isChecked()) checked << item->text();
        }
        menu->hide();
        return checked;
    }
    void choose(const QString& item_text) {
        QMenu* menu = style_menu();
        ASSERT_NE(menu, nullptr);
        for (QAction* item : menu->actions()) {
            if (item->text() == item_text) {
                item->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no style item " << item_text.toStdString();
    }

    static constexpr char kPassword[] = "secretyyyyyyyyyyy";
    SettingsFolder settings_;
    QTemporaryDir vault_;
    bool vault_created_ = false;
    std::unique_ptr<KorvaneApplication> app_;
};

TEST_F(StyleRunTest, FirstStartShowsOfficeXpAndStoresItAtExit) {
    start();
    EXPECT_EQ(checked_styles(), QStringList{"Office XP 风格"});
    EXPECT_EQ(VisualStyle::look_in_force(), 1);
    EXPECT_EQ(window().style_mode(), 1);
    EXPECT_TRUE(settings_.stored().isEmpty()) << "nothing is written before the end";
    exit_program();
    EXPECT_TRUE(settings_.stored().contains("[Settings]\nbXPMode=1\n"))
        << settings_.stored().data();
}

TEST_F(StyleRunTest, ChosenLookShowsAtOnceAndIsInForceAfterARestart) {
    start();
    choose(QStringLiteral("XP风格"));
    EXPECT_EQ(VisualStyle::look_in_force(), 4);
    EXPECT_EQ(checked_styles(), QStringList{"XP风格"});
    // A run ended by killing the process leaves the number that was stored before it.
    EXPECT_EQ(SettingsStore().look(), 1);
    exit_program();
    EXPECT_TRUE(settings_.stored().contains("bXPMode=4")) << settings_.stored().data();

    // A new process starts in another look until the stored one is applied.
    ASSERT_TRUE(VisualStyle::apply_look(1));
    start();
    EXPECT_EQ(VisualStyle::look_in_force(), 4);
    EXPECT_EQ(checked_styles(), QStringList{"XP风格"});
    EXPECT_EQ(window().style_mode(), 4);
}

TEST_F(StyleRunTest, StoredNumberNamingNoLookShowsOffice2000AndIsKept) {
    for (const QByteArray& stored : {QByteArray("0"), QByteArray("5")}) {
        SCOPED_TRACE(stored.data());
        settings_.use_fresh();
        settings_.store("[Settings]\nbXPMode=" + stored + "\n");
        ASSERT_TRUE(VisualStyle::apply_look(4));  // what an earlier window left in force
        start();
        EXPECT_EQ(checked_styles(), QStringList{"Office 2000 风格"});
        EXPECT_EQ(VisualStyle::look_in_force(), 2);
        EXPECT_EQ(window().style_mode(), stored.toInt());
        exit_program();
        EXPECT_TRUE(settings_.stored().contains("bXPMode=" + stored + "\n"))
            << settings_.stored().data();
    }
    // Picking a look replaces the odd number.
    start();
    EXPECT_EQ(checked_styles(), QStringList{"Office 2000 风格"});
    choose(QStringLiteral("Office 2003 风格"));
    exit_program();
    EXPECT_TRUE(settings_.stored().contains("bXPMode=3\n")) << settings_.stored().data();
}

TEST_F(StyleRunTest, ExactlyOneStyleIsCheckedWhateverIsChosen) {
    start();
    const QStringList items = {"XP风格", "Office 2003 风格", "Office XP 风格", "Office 2000 风格"};
    const int looks[] = {4, 3, 1, 2};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < items.size(); ++i) {
            choose(items[i]);
            EXPECT_EQ(checked_styles(), QStringList{items[i]});
            EXPECT_EQ(VisualStyle::look_in_force(), looks[i]);
            EXPECT_EQ(window().style_mode(), looks[i]);
        }
    }
    // Choosing the look already in force keeps it, still checked alone.
    choose(QStringLiteral("Office 2000 风格"));
    EXPECT_EQ(checked_styles(), QStringList{"Office 2000 风格"});
}

// The whole program as run() drives it: the look chosen in a run is stored when 退出 ends it.
TEST(StyleProgramTest, LookChosenInARunIsStoredWhenExitEndsIt) {
    SettingsFolder settings;
    QTemporaryDir dir;
    ASSERT_TRUE(test_support::SessionVault::in_folder(dir.path(), "secretyyyyyyyyyyy")
                    .unlock("secretyyyyyyyyyyy"));
    test_support::on_next_modal<LoginDialog>([](LoginDialog* dialog) {
        test_support::child<QLineEdit>(dialog, "password_edit")->setText(QStringLiteral("secret"));
        test_support::child<QPushButton>(dialog, "ok_button")->click();
    });
    KorvaneApplication app(*qobject_cast<QApplication*>(QCoreApplication::instance()));
    // Once the main window is up, the user picks XP风格 and then 退出.
    QTimer user;
    user.setInterval(20);
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!app.main_window() || QApplication::activeModalWidget()) return;
        user.stop();
        app.main_window()->router().action(res::kCmdStyleXp)->trigger();
        app.main_window()->router().action(res::kCmdExit)->trigger();
    });
    user.start();
    // Should 退出 not end the event loop, this ends it with a code the test refuses.
    QTimer::singleShot(10000, &app, [] { QCoreApplication::exit(7); });
    const int code =
        app.run({QStringLiteral("korvane"), QStringLiteral("--vault-dir"), dir.path()});
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(settings.stored().contains("[Settings]\nbXPMode=4\n")) << settings.stored().data();
}

}  // namespace
}  // namespace korvane
