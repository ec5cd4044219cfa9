// SPDX-License-Identifier: GPL-3.0-or-later
// Console: what the command-line front end reads and writes, so that tests can run it in-process.
#pragma once

#include <QByteArray>

namespace korvane::cli {

enum class ReadStatus {
    Ok,
    EndOfInput,   // nothing more to read (Ctrl+D, or standard input ran out)
    Interrupted,  // a termination signal arrived while waiting
    NoTerminal,   // there is no terminal to ask
};

struct LineRead {
    ReadStatus status = ReadStatus::EndOfInput;
    QByteArray line;  // without its line end, in the locale's encoding
};

class Console {
public:
    virtual ~Console() = default;

    // Data for the caller (standard output) and messages for the user (standard error).
    virtual void write_out(const QByteArray& bytes) = 0;
    virtual void write_err(const QByteArray& bytes) = 0;

    // The next line of standard input.
    virtual LineRead read_input_line() = 0;
    // A line typed at the terminal after prompt, with echo off.
    virtual LineRead read_secret(const QByteArray& prompt) = 0;

    // The number of a termination signal (SIGINT, SIGTERM, SIGHUP) received so far, else 0.
    virtual int termination_signal() const = 0;
    // A descriptor that becomes readable once such a signal arrives; -1 when there is none.
    virtual int termination_fd() const = 0;
};

}  // namespace korvane::cli
