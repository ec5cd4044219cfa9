// SPDX-License-Identifier: GPL-3.0-or-later
// Console: what the command-line front end reads and writes, so that tests can run it in-process.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringView>
#include <cerrno>
#include <optional>

namespace korvane::cli {

// The longest line read from standard input or the terminal. Every line read is a password, and
// no password is near this long; a longer one is a mistake (a file, or /dev/zero) to refuse at
// once instead of holding it all in memory.
inline constexpr qsizetype kMaxLineBytes = 4096;

enum class ReadStatus {
    Ok,
    EndOfInput,   // nothing more to read (Ctrl+D, or standard input ran out)
    Interrupted,  // a termination signal arrived while waiting
    NoTerminal,   // there is no terminal to ask
    TooLong,      // the line has more than kMaxLineBytes; the rest of it was not read
};

struct LineRead {
    ReadStatus status = ReadStatus::EndOfInput;
    QByteArray line;  // without its line end, in the console's encoding (see decode)
};

class Console {
public:
    virtual ~Console() = default;

    // Text in the console's encoding: the locale's for the real one. A character the encoding
    // lacks becomes "?", so that something shows where it was. This base is UTF-8.
    virtual QByteArray encode(QStringView text) const { return text.toUtf8(); }
    // Bytes in the console's encoding (a line read, an argument) as text; nullopt when they are
    // not valid in it.
    virtual std::optional<QString> decode(QByteArrayView bytes) const;
    // The encoding's name, for messages.
    virtual QString encoding_name() const { return QStringLiteral("UTF-8"); }

    // Data for the caller (standard output) and messages for the user (standard error), both
    // already encode()d. Once a write to standard output has failed, nothing more is written
    // there: the output is already incomplete, and out_error() says why.
    virtual void write_out(const QByteArray& bytes) = 0;
    virtual void write_err(const QByteArray& bytes) = 0;
    // errno of the first write to standard output that failed (a full disk, a reader that went
    // away), else 0.
    int out_error() const { return out_error_; }
    // True when standard output is a terminal, where what is written is shown on the screen.
    virtual bool out_is_terminal() const = 0;

    // The next line of standard input.
    virtual LineRead read_input_line() = 0;
    // A line typed at the terminal after prompt, with echo off.
    virtual LineRead read_secret(const QByteArray& prompt) = 0;

    // The number of a termination signal (SIGINT, SIGTERM, SIGHUP) received so far, else 0.
    virtual int termination_signal() const = 0;
    // A descriptor that becomes readable once such a signal arrives; -1 when there is none.
    virtual int termination_fd() const = 0;

protected:
    // Keeps the first cause; a write that failed without one counts as an input/output error.
    void record_out_error(int error_number) {
        if (out_error_ == 0) out_error_ = error_number != 0 ? error_number : EIO;
    }

private:
    int out_error_ = 0;
};

// bytes as UTF-8 text; nullopt when they are not valid UTF-8.
inline std::optional<QString> decode_utf8(QByteArrayView bytes) {
    // A leading byte order mark is kept: it is part of what was typed.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    if (utf8.hasError()) return std::nullopt;
    return text;
}

inline std::optional<QString> Console::decode(QByteArrayView bytes) const {
    return decode_utf8(bytes);
}

}  // namespace korvane::cli
