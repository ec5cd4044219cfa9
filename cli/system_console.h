// SPDX-License-Identifier: GPL-3.0-or-later
// SystemConsole: the real standard streams, the controlling terminal and termination signals.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

#include "cli/console.h"

namespace korvane::cli {

// The character encoding of the C library's locale. Qt 6 takes the local 8-bit encoding to be
// UTF-8 on every Unix whatever LC_ALL says, so a GBK terminal would get UTF-8 and its GBK
// arguments would not decode; the codeset is asked of the C library instead and converted with
// iconv. UTF-8, and the ASCII of the C and POSIX locales, are UTF-8 as Qt has them.
class LocaleEncoding {
public:
    // codeset as nl_langinfo(CODESET) names it; one iconv does not know is taken as UTF-8.
    explicit LocaleEncoding(const QByteArray& codeset);
    ~LocaleEncoding();
    LocaleEncoding(const LocaleEncoding&) = delete;
    LocaleEncoding& operator=(const LocaleEncoding&) = delete;

    // The codeset of the locale that setlocale(LC_ALL, "") chose.
    static QByteArray current_codeset();

    bool is_utf8() const { return utf8_; }
    // The codeset's name, or UTF-8 where it is taken as UTF-8.
    QString name() const;
    // Every character the encoding lacks becomes "?".
    QByteArray encode(QStringView text) const;
    // nullopt when bytes are not valid in the encoding.
    std::optional<QString> decode(QByteArrayView bytes) const;
    // bytes for a message that says they are not valid: what decodes as text, and each byte that
    // does not as \xNN.
    QString shown(QByteArrayView bytes) const;

private:
    QByteArray codeset_;
    bool utf8_ = true;
    // Opened once: a long listing is encoded field by field. Only one thread uses a console.
    void* to_locale_ = nullptr;
    void* from_locale_ = nullptr;
};

// Makes SIGINT, SIGTERM and SIGHUP only record themselves, so that an unlocked vault is always
// locked before the process ends, and ignores SIGPIPE, so that a closed pipe on standard output
// is a write error instead of an end without locking. Call once, before anything else.
void install_termination_handlers();

// Reads up to the next line feed from fd, keeping whatever follows in buffer for the next call.
// The wait ends early, as Interrupted, once wake_fd (if not -1) becomes readable. A line longer
// than kMaxLineBytes is TooLong as soon as that is certain; nothing more of it is read.
LineRead read_line(int fd, int wake_fd, QByteArray& buffer);

// Shows prompt on the terminal tty_fd and reads one line with echo off; the terminal's settings
// are restored whatever happens. NoTerminal when tty_fd is not a terminal.
LineRead read_secret_line(int tty_fd, const QByteArray& prompt, int wake_fd);

class SystemConsole final : public Console {
public:
    // Text in the encoding named by codeset (LocaleEncoding::current_codeset() in the program).
    explicit SystemConsole(const QByteArray& codeset);
    ~SystemConsole() override;
    SystemConsole(const SystemConsole&) = delete;
    SystemConsole& operator=(const SystemConsole&) = delete;

    const LocaleEncoding& encoding() const { return encoding_; }
    QByteArray encode(QStringView text) const override { return encoding_.encode(text); }
    std::optional<QString> decode(QByteArrayView bytes) const override {
        return encoding_.decode(bytes);
    }
    QString encoding_name() const override { return encoding_.name(); }

    void write_out(const QByteArray& bytes) override;
    void write_err(const QByteArray& bytes) override;
    bool out_is_terminal() const override;
    LineRead read_input_line() override;
    LineRead read_secret(const QByteArray& prompt) override;
    int termination_signal() const override;
    int termination_fd() const override;

private:
    LocaleEncoding encoding_;
    QByteArray input_buffer_;
    int tty_fd_ = -1;
};

}  // namespace korvane::cli
