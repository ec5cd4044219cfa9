// CVellApp: start-up order, the event loop and the shutdown that enciphers the vault.
#include "ui/cvell_app.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QThread>
#include <QTranslator>

#include "auth/qt_session_prompts.h"
#include "resources/resource_ids.h"
#include "ui/about_dialog.h"
#include "ui/base/message_box.h"
#include "ui/cmain_frame.h"
#include "ui/unix_signal_watcher.h"

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

}  // namespace

CVellApp::CVellApp(QApplication& app) : app_(app) {
    QApplication::setApplicationName(QStringLiteral("korvane"));
    // Lets the desktop match windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    // Closing the window only hides it; the program ends through 退出.
    QApplication::setQuitOnLastWindowClosed(false);
}

CVellApp::~CVellApp() { (void)shut_down(true); }

void CVellApp::install_translations() {
    auto* translator = new QTranslator(&app_);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    }
}

bool CVellApp::start(SessionPrompts& prompts, const QString& vault_dir) {
    install_translations();
    doc_ = std::make_unique<CVellDoc>(vault_dir);
    const StartOutcome outcome = doc_->start(prompts);
    if (outcome != StartOutcome::Unlocked) {
        exit_code_ = exit_code_for(outcome);
        doc_.reset();
        return false;
    }
    frame_ = std::make_unique<CMainFrame>(*doc_, this);
    connect(frame_.get(), &CMainFrame::exit_requested, &app_, &end_event_loop);
    frame_->initial_update();
    frame_->show();
    frame_->activateWindow();
    return true;
}

Status CVellApp::shut_down(bool quiet) {
    frame_.reset();
    if (!doc_) return Status::success();
    Status locked = doc_->lock();
    if (!locked && !quiet) {
        show_message(nullptr,
                     locked.error() + QStringLiteral("\n\n数据库仍保存在明文工作文件中，"
                                                     "下次启动时会自动重新加密。"),
                     error_caption());
    }
    doc_.reset();
    return locked;
}

int CVellApp::run(const QStringList& arguments) {
    // Watching from the first moment: a signal while the vault is being unlocked must still end
    // in the shutdown that enciphers it again, not leave the plain working file behind.
    UnixSignalWatcher signals_watcher;
    connect(&signals_watcher, &UnixSignalWatcher::termination_requested, this,
            [this] { on_termination_requested(); });
    QtSessionPrompts prompts;
    if (!start(prompts, resolve_vault_dir(arguments))) return exit_code_;
    if (signals_watcher.received()) return shut_down(true) ? 0 : 1;

    // Nothing needs saving at logout: every change is in the database already, and the
    // vault is enciphered when the session manager ends the program.
    connect(&app_, &QGuiApplication::commitDataRequest, this,
            [](QSessionManager& manager) { manager.setRestartHint(QSessionManager::RestartNever); });

    const int code = app_.exec();
    Status locked = shut_down(signals_watcher.received());
    return locked ? code : 1;
}

void CVellApp::on_termination_requested() {
    if (frame_) {
        end_event_loop();
        return;
    }
    // Still starting: the question on screen is answered as cancelled. A start that has already
    // unlocked the vault is locked again by run() before any window appears.
    if (QWidget* question = QApplication::activeModalWidget()) question->close();
}

bool CVellApp::handles_command(int id) const { return id == res::kCmdAbout; }

void CVellApp::execute_command(int id) {
    if (id != res::kCmdAbout) return;
    AboutDialog dialog(frame_.get());
    dialog.exec();
}

}  // namespace korvane
