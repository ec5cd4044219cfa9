// SPDX-License-Identifier: GPL-3.0-or-later
// SystemConsole: the real standard streams, the controlling terminal and termination signals.
#pragma once

#include <QByteArray>

#include "cli/console.h"

namespace korvane::cli {

// Makes SIGINT, SIGTERM and SIGHUP only record themselves, so that an unlocked vault is always
// locked before the process ends, and ignores SIGPIPE, so that a closed pipe on standard output
// is a write error instead of an end without locking. Call once, before anything else.
void install_termination_handlers();

// Reads up to the next line feed from fd, keeping whatever follows in buffer for the next call.
// The wait ends early, as Interrupted, once wake_fd (if not -1) becomes readable.
LineRead read_line(int fd, int wake_fd, QByteArray& buffer);

// Shows prompt on the terminal tty_fd and reads one line with echo off; the terminal's settings
// are restored whatever happens. NoTerminal when tty_fd is not a terminal.
LineRead read_secret_line(int tty_fd, const QByteArray& prompt, int wake_fd);

class SystemConsole final : public Console {
public:
    SystemConsole();
    ~SystemConsole() override;
    SystemConsole(const SystemConsole&) = delete;
    SystemConsole& operator=(const SystemConsole&) = delete;

    void write_out(const QByteArray& bytes) override;
    void write_err(const QByteArray& bytes) override;
    LineRead read_input_line() override;
    LineRead read_secret(const QByteArray& prompt) override;
    int termination_signal() const override;
    int termination_fd() const override;

private:
    QByteArray input_buffer_;
    int tty_fd_ = -1;
};

}  // namespace korvane::cli
