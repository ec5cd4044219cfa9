// SPDX-License-Identifier: GPL-3.0-or-later
// KorvaneApplication: start-up order, the event loop and the shutdown that enciphers the vault.
#include "gui/window/korvane_application.h"

#include <QApplication>
#include <QDialog>
#include <QIcon>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QThread>
#include <QTranslator>

#include "gui/auth/qt_session_prompts.h"
#include "gui/common/message_box.h"
#include "gui/common/program_state.h"
#include "gui/common/run_modal.h"
#include "gui/lock/vault_locker.h"
#include "gui/settings/password_mask_style.h"
#include "gui/window/about_dialog.h"
#include "gui/window/main_window.h"
#include "gui/window/window_arguments.h"
#include "platform/unix_signal_watcher.h"
#include "resources/resource_ids.h"
#include "vault/default_vault_dir.h"
#include "vault/file_io.h"

namespace korvane {
namespace {

int exit_code_for(StartOutcome outcome) {
    switch (outcome) {
        case StartOutcome::Unlocked:
        case StartOutcome::Cancelled:
        case StartOutcome::WrongPassword:
            return 0;
        case StartOutcome::Busy:
        case StartOutcome::FileError:
            return 1;
    }
    return 1;
}

// Ends the event loop that run() waits in. Qt 6's quit() first asks every window to close, and
// the frame's close box only hides it, so quit() could never end the program. exit() leaves a
// flag that stops the next event loop at once, so it is called only while one runs.
void end_event_loop() {
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

// Before the application loop runs, exit() would leave Qt's quit mark behind for every later
// loop; each open question is cancelled instead, and run_modal asks no new one.
void cancel_open_questions() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* question = qobject_cast<QDialog*>(window);
        if (question != nullptr && question->isVisible()) question->reject();
    }
}

// vault_path is empty when no vault was open.
QString failure_text(const QString& what, const QString& vault_path) {
    QString text = QStringLiteral("程序出现意外错误，已退出：%1").arg(what);
    if (!vault_path.isEmpty()) {
        text += QStringLiteral("\n\n已完成的修改都已加密保存在“%1”。").arg(native_path(vault_path));
    }
    return text;
}

}  // namespace

KorvaneApplication::KorvaneApplication(QApplication& app) : app_(app) {
    QApplication::setApplicationName(QStringLiteral("korvane"));
    // Lets the desktop match windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    // Closing the window only hides it; the program ends through 退出.
    QApplication::setQuitOnLastWindowClosed(false);
    // The login comes before the main window applies a look.
    PasswordMaskStyle::install();
}

KorvaneApplication::~KorvaneApplication() {
    shut_down();
    // The marks belong to this run of the program, not to the application object's life.
    clear_program_state();
}

void KorvaneApplication::install_translations() {
    auto* translator = new QTranslator(&app_);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    }
}

bool KorvaneApplication::start(SessionPrompts& prompts, const QString& vault_dir) {
    install_translations();
    session_ = std::make_unique<VaultSession>(vault_dir);
    const StartOutcome outcome = session_->start(prompts);
    if (outcome != StartOutcome::Unlocked) {
        exit_code_ = exit_code_for(outcome);
        session_.reset();
        return false;
    }
    window_ = std::make_unique<MainWindow>(*session_, settings_, this);
    connect(window_.get(), &MainWindow::exit_requested, &app_, &end_event_loop);
    window_->initial_update();
    window_->show();
    window_->activateWindow();
    return true;
}

std::optional<QString> KorvaneApplication::shut_down() {
    // A password copied in the last seconds must not outlive the program on the clipboard.
    if (window_) window_->clipboard_clearer().clear_now();
    window_.reset();
    if (!session_) return std::nullopt;
    std::optional<QString> notice = session_->lock();
    session_.reset();
    if (notice) qWarning("%s", qUtf8Printable(*notice));
    return notice;
}

void KorvaneApplication::shut_down_and_tell() {
    std::optional<QString> notice = shut_down();
    // Told in a box unless the system is ending the program, which no box may hold up.
    if (notice && !program_quitting()) show_closing_message(*notice, error_caption());
}

int KorvaneApplication::run(const QStringList& arguments) {
    // Watching from the first moment: a signal while the vault is being unlocked must still end
    // in the shutdown that closes it and wipes the key.
    UnixSignalWatcher signals_watcher;
    connect(&signals_watcher, &UnixSignalWatcher::termination_requested, this,
            [this] { on_termination_requested(); });
    QtSessionPrompts prompts;
    const bool started = start(prompts, vault_dir_from_arguments(arguments));
    if (std::optional<QString> failure = program_failure()) return end_with_failure(*failure);
    if (!started) return exit_code_;
    if (program_quitting()) {
        shut_down_and_tell();
        return 0;
    }

    // Nothing needs saving at logout: every change is in the enciphered vault already.
    connect(&app_, &QGuiApplication::commitDataRequest, this, [](QSessionManager& manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    });

    const int code = app_.exec();
    if (std::optional<QString> failure = program_failure()) return end_with_failure(*failure);
    shut_down_and_tell();
    return code;
}

int KorvaneApplication::end_with_failure(const QString& what) {
    // No question may come up while the vault is being closed.
    mark_program_failed(what);
    const QString vault_path = session_ ? session_->vault_path() : QString();
    const std::optional<QString> notice = shut_down();
    QString text = failure_text(what, vault_path);
    if (notice) text += QStringLiteral("\n\n") + *notice;
    qCritical("%s", qUtf8Printable(text));
    show_closing_message(text, error_caption());
    return 1;
}

void KorvaneApplication::on_termination_requested() {
    // Marked first: every question still open, and every later one, counts as cancelled.
    mark_program_quitting();
    if (window_) {
        end_event_loop();
        return;
    }
    // Still starting. A start that has already unlocked the vault is locked again by run()
    // before any window appears.
    cancel_open_questions();
}

bool KorvaneApplication::handles_command(int id) const { return id == res::kCmdAbout; }

void KorvaneApplication::execute_command(int id) {
    if (id != res::kCmdAbout) return;
    AboutDialog dialog(window_.get());
    run_modal(dialog);
}

}  // namespace korvane
