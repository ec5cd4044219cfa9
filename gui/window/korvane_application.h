// SPDX-License-Identifier: GPL-3.0-or-later
// KorvaneApplication: the program's life in order: vault start-up, main window, event loop,
// shutdown.
#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QStringList>
#include <memory>

#include "gui/commands/command_target.h"
#include "gui/settings/settings_store.h"
#include "vault/vault_session.h"

class QApplication;

namespace korvane {

class MainWindow;
class SessionPrompts;

class KorvaneApplication : public QObject, public CommandTarget {
    Q_OBJECT
public:
    explicit KorvaneApplication(QApplication& app);
    ~KorvaneApplication() override;

    // Runs the whole program and returns the process exit code.
    int run(const QStringList& arguments = QCoreApplication::arguments());

    // The parts of run(), for tests that drive the program step by step. start() returns
    // false when the program should end at once, with exit_code() set.
    bool start(SessionPrompts& prompts, const QString& vault_dir);
    // Destroys the main window, then locks the vault; what the lock has to tell (VaultSession::
    // lock) is returned, and written to standard error.
    std::optional<QString> shut_down();
    int exit_code() const { return exit_code_; }
    // Ends the program after an exception: locks the vault, tells the user what happened and
    // returns the exit code (1). For run() and for main(), around run().
    int end_with_failure(const QString& what);
    // shut_down(), with what it has to tell shown in a box.
    void shut_down_and_tell();
    MainWindow* main_window() const { return window_.get(); }
    VaultSession* session() const { return session_.get(); }

    // CommandTarget: the about box.
    bool handles_command(int id) const override;
    void execute_command(int id) override;

private:
    void install_translations();
    void on_termination_requested();

    QApplication& app_;
    // Declared before the window, which reads and writes it until it is destroyed.
    SettingsStore settings_;
    std::unique_ptr<VaultSession> session_;
    std::unique_ptr<MainWindow> window_;
    int exit_code_ = 0;
};

}  // namespace korvane
