// SPDX-License-Identifier: GPL-3.0-or-later
// PasswordQuestions: the passwords a command needs, typed at the terminal or read from standard
// input, encoded and checked as the window's dialogs do.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "cli/console.h"
#include "cli/exit_codes.h"

namespace korvane::cli {

class PasswordQuestions {
public:
    // from_stdin: each answer is the next line of standard input instead of a terminal prompt.
    PasswordQuestions(Console& console, bool from_stdin);

    // Each returns nullopt once a question failed; failure() then says why. The first failure
    // is kept: nothing after it is asked.

    // The login prompt: GBK bytes, padded.
    std::optional<std::string> master_password();
    // The new-password dialog: typed twice, compared as stored bytes, at most 59 bytes, padded.
    std::optional<std::string> new_master_password();
    // The import's prompt for an older vault file's password: as the login prompt.
    std::optional<std::string> legacy_password();
    // The file tool's password, typed twice, exactly as typed, checked by the tool.
    std::optional<std::string> file_password();
    // A record's password, typed once.
    std::optional<std::string> record_password();

    const std::optional<Failure>& failure() const { return failure_; }
    void fail(int exit_code, const QString& message);

private:
    std::optional<QString> ask(const QString& prompt);
    // A line read, as text; nullopt (having failed) when it is too long, holds a NUL or is not
    // valid in the console's encoding.
    std::optional<QString> decoded(const QByteArray& line);
    static QString too_long();
    // Encodes a password as GBK; a character GBK lacks makes no key the window could use.
    std::optional<std::string> encode(const QString& typed, const QString& field_name);

    Console& console_;
    bool from_stdin_;
    std::optional<Failure> failure_;
};

}  // namespace korvane::cli
