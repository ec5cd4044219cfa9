// SPDX-License-Identifier: GPL-3.0-or-later
// SystemConsole: poll-based line reads that a signal can interrupt, and the no-echo prompt.
#include "cli/system_console.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QtEndian>
#include <cerrno>
#include <csignal>
#include <string>
#include <utility>

namespace korvane::cli {
namespace {

volatile std::sig_atomic_t g_signal = 0;
int g_wake_fds[2] = {-1, -1};

void on_termination(int sig) {
    if (g_signal == 0) g_signal = sig;
    const char byte = 1;
    // The pipe is never drained: once asked to end, every later wait ends at once as well.
    [[maybe_unused]] ssize_t written = ::write(g_wake_fds[1], &byte, 1);
}

// 0 once every byte is written, else errno of the write that failed (EPIPE when nobody reads
// any more, SIGPIPE being ignored).
int write_all(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno != 0 ? errno : EIO;
        // Nothing written for a write of some bytes: no progress will ever be made.
        if (n == 0) return EIO;
        data += n;
        left -= n;
    }
    return 0;
}

// QString's storage is UTF-16 in host order; naming the order keeps iconv from adding or
// expecting a byte order mark.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr char kUtf16Host[] = "UTF-16LE";
#else
constexpr char kUtf16Host[] = "UTF-16BE";
#endif

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

iconv_t as_iconv(void* cd) { return static_cast<iconv_t>(cd); }

// The codesets the C library names for UTF-8 and for the ASCII of the C and POSIX locales.
bool means_utf8(const QByteArray& codeset) {
    QByteArray name = codeset.toUpper();
    name.replace('-', QByteArray()).replace('_', QByteArray());
    return name.isEmpty() || name == "UTF8" || name == "ANSIX3.41968" || name == "ASCII" ||
           name == "USASCII";
}

// One line of buffer, the line feed at end, without its CR: files edited elsewhere may end
// their lines in CR LF, and a typed password never holds a CR.
LineRead take_line(QByteArray& buffer, qsizetype end) {
    LineRead result{ReadStatus::Ok, buffer.left(end)};
    buffer.remove(0, std::min(end + 1, buffer.size()));
    if (result.line.endsWith('\r')) result.line.chop(1);
    if (result.line.size() > kMaxLineBytes) return {ReadStatus::TooLong, {}};
    return result;
}

class TerminalModeGuard {
public:
    TerminalModeGuard(int fd, const termios& saved) : fd_(fd), saved_(saved) {}
    ~TerminalModeGuard() { ::tcsetattr(fd_, TCSANOW, &saved_); }
    TerminalModeGuard(const TerminalModeGuard&) = delete;
    TerminalModeGuard& operator=(const TerminalModeGuard&) = delete;

private:
    int fd_;
    termios saved_;
};

}  // namespace

void install_termination_handlers() {
    if (g_wake_fds[0] < 0 && ::pipe2(g_wake_fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_wake_fds[0] = g_wake_fds[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = on_termination;
    sigemptyset(&action.sa_mask);
    // Restarted calls keep SQLite and Qt undisturbed; the waits for input use poll, which a
    // signal always ends, and the pipe wakes a poll that was entered after the signal.
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

LineRead read_line(int fd, int wake_fd, QByteArray& buffer) {
    // The search for the line feed goes on where the last one ended, so a long line costs its
    // length once, not once per chunk.
    qsizetype scanned = 0;
    for (;;) {
        const qsizetype end = buffer.indexOf('\n', scanned);
        if (end >= 0) return take_line(buffer, end);
        scanned = buffer.size();
        // Too long even if a CR LF came next: refused without reading the rest.
        if (buffer.size() > kMaxLineBytes + 1) {
            buffer.clear();
            return {ReadStatus::TooLong, {}};
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
        const int ready = ::poll(fds, wake_fd >= 0 ? 2 : 1, -1);
        if (wake_fd >= 0 && ready > 0 && (fds[1].revents & POLLIN)) {
            return {ReadStatus::Interrupted, {}};
        }
        if (ready < 0) {
            if (errno == EINTR) continue;
            return {ReadStatus::EndOfInput, {}};
        }
        char chunk[256];
        // Never more than the longest line needs, so a refused line leaves its rest unread.
        const qsizetype wanted =
            std::min<qsizetype>(sizeof chunk, kMaxLineBytes + 2 - buffer.size());
        const ssize_t n = ::read(fd, chunk, std::size_t(wanted));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            // The last line may lack its line feed; nothing at all is the end.
            if (buffer.isEmpty()) return {ReadStatus::EndOfInput, {}};
            return take_line(buffer, buffer.size());
        }
        buffer.append(chunk, n);
    }
}

LineRead read_secret_line(int tty_fd, const QByteArray& prompt, int wake_fd) {
    termios saved{};
    if (tty_fd < 0 || ::tcgetattr(tty_fd, &saved) != 0) return {ReadStatus::NoTerminal, {}};
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK);
    // The Enter key still moves to a new line, so the next output does not join the prompt.
    quiet.c_lflag |= ECHONL | ICANON;
    write_all(tty_fd, prompt);
    // Like getpass: what was typed before the prompt was echoed, so it is not taken.
    if (::tcsetattr(tty_fd, TCSAFLUSH, &quiet) != 0) return {ReadStatus::NoTerminal, {}};
    TerminalModeGuard restore(tty_fd, saved);
    QByteArray buffer;
    LineRead result = read_line(tty_fd, wake_fd, buffer);
    // What was typed past a refused line must not reach the shell once the terminal is back.
    if (result.status == ReadStatus::TooLong) ::tcflush(tty_fd, TCIFLUSH);
    if (result.status != ReadStatus::Ok) write_all(tty_fd, "\n");
    return result;
}

LocaleEncoding::LocaleEncoding(const QByteArray& codeset)
    : codeset_(codeset), utf8_(means_utf8(codeset)) {
    if (utf8_) return;
    const iconv_t to = iconv_open(codeset_.constData(), kUtf16Host);
    const iconv_t from = iconv_open(kUtf16Host, codeset_.constData());
    if (to == kNoConverter || from == kNoConverter) {
        if (to != kNoConverter) iconv_close(to);
        if (from != kNoConverter) iconv_close(from);
        utf8_ = true;
        return;
    }
    to_locale_ = to;
    from_locale_ = from;
}

LocaleEncoding::~LocaleEncoding() {
    if (to_locale_) iconv_close(as_iconv(to_locale_));
    if (from_locale_) iconv_close(as_iconv(from_locale_));
}

QByteArray LocaleEncoding::current_codeset() { return QByteArray(::nl_langinfo(CODESET)); }

QString LocaleEncoding::name() const {
    return utf8_ ? QStringLiteral("UTF-8") : QString::fromLatin1(codeset_);
}

QByteArray LocaleEncoding::encode(QStringView text) const {
    if (utf8_) return text.toUtf8();
    const iconv_t cd = as_iconv(to_locale_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    QByteArray out;
    // Four bytes per UTF-16 unit hold every multibyte codeset; a stateful one may want more,
    // and gets it below.
    std::string buffer(std::size_t(text.size()) * 4 + 16, '\0');
    const char* const begin = reinterpret_cast<const char*>(text.utf16());
    char* in = const_cast<char*>(begin);
    std::size_t in_left = std::size_t(text.size()) * sizeof(char16_t);
    auto flush = [&](char* end) { out.append(buffer.data(), end - buffer.data()); };
    for (;;) {
        char* o = buffer.data();
        std::size_t o_left = buffer.size();
        const std::size_t r = iconv(cd, &in, &in_left, &o, &o_left);
        flush(o);
        if (r != std::size_t(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ: a character the codeset lacks (or a lone surrogate); EINVAL: a high surrogate
        // at the very end. Either is shown as "?" and passed over, whole.
        const qsizetype unit = (in - begin) / qsizetype(sizeof(char16_t));
        const bool pair = unit + 1 < text.size() && text[unit].isHighSurrogate() &&
                          text[unit + 1].isLowSurrogate();
        const std::size_t skip = (pair ? 2 : 1) * sizeof(char16_t);
        out.append('?');
        in += std::min(skip, in_left);
        in_left -= std::min(skip, in_left);
    }
    // A stateful codeset returns to its initial shift state at the end.
    char* o = buffer.data();
    std::size_t o_left = buffer.size();
    iconv(cd, nullptr, nullptr, &o, &o_left);
    flush(o);
    return out;
}

namespace {

// Decodes bytes with cd; each byte that is not valid is either the end (invalid set) or, with
// escape, written as \xNN before going on.
QString decode_with(iconv_t cd, QByteArrayView bytes, bool escape, bool* invalid) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    QString text;
    // One byte never makes more than one UTF-16 unit, a stateless codeset's pair at most two.
    std::u16string buffer(std::size_t(bytes.size()) + 2, u'\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = std::size_t(bytes.size());
    while (in_left > 0) {
        char* o = reinterpret_cast<char*>(buffer.data());
        std::size_t o_left = buffer.size() * sizeof(char16_t);
        const std::size_t r = iconv(cd, &in, &in_left, &o, &o_left);
        text.append(QStringView(buffer.data(), (reinterpret_cast<char16_t*>(o) - buffer.data())));
        if (r != std::size_t(-1)) break;
        if (errno == E2BIG) continue;
        if (invalid) *invalid = true;
        if (!escape) return text;
        text.append(QStringLiteral("\\x") +
                    QString::number(uchar(*in), 16).rightJustified(2, u'0').toUpper());
        ++in;
        --in_left;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return text;
}

}  // namespace

std::optional<QString> LocaleEncoding::decode(QByteArrayView bytes) const {
    if (utf8_) return decode_utf8(bytes);
    bool invalid = false;
    QString text = decode_with(as_iconv(from_locale_), bytes, false, &invalid);
    if (invalid) return std::nullopt;
    return text;
}

QString LocaleEncoding::shown(QByteArrayView bytes) const {
    if (!utf8_) return decode_with(as_iconv(from_locale_), bytes, true, nullptr);
    // Only for a message about bytes already refused, so the converter is not kept.
    const iconv_t cd = iconv_open(kUtf16Host, "UTF-8");
    if (cd == kNoConverter) return QString::fromUtf8(bytes);
    QString text = decode_with(cd, bytes, true, nullptr);
    iconv_close(cd);
    return text;
}

SystemConsole::SystemConsole(const QByteArray& codeset) : encoding_(codeset) {}

SystemConsole::~SystemConsole() {
    if (tty_fd_ >= 0) ::close(tty_fd_);
}

void SystemConsole::write_out(const QByteArray& bytes) {
    if (out_error() != 0) return;
    if (const int error_number = write_all(STDOUT_FILENO, bytes); error_number != 0) {
        record_out_error(error_number);
    }
}

// A message that cannot be shown has nowhere else to go.
void SystemConsole::write_err(const QByteArray& bytes) { write_all(STDERR_FILENO, bytes); }

bool SystemConsole::out_is_terminal() const { return ::isatty(STDOUT_FILENO) == 1; }

LineRead SystemConsole::read_input_line() {
    return read_line(STDIN_FILENO, termination_fd(), input_buffer_);
}

LineRead SystemConsole::read_secret(const QByteArray& prompt) {
    // The controlling terminal, not standard input, which may be a pipe.
    if (tty_fd_ < 0) tty_fd_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty_fd_ < 0) return {ReadStatus::NoTerminal, {}};
    return read_secret_line(tty_fd_, prompt, termination_fd());
}

int SystemConsole::termination_signal() const { return g_signal; }

int SystemConsole::termination_fd() const { return g_wake_fds[0]; }

}  // namespace korvane::cli
