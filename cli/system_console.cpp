// SPDX-License-Identifier: GPL-3.0-or-later
// SystemConsole: poll-based line reads that a signal can interrupt, and the no-echo prompt.
#include "cli/system_console.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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

void write_all(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nobody is reading any more; the exit code still tells
        data += n;
        left -= n;
    }
}

// Takes one line out of buffer if a whole one is there.
bool take_line(QByteArray& buffer, QByteArray& line) {
    const qsizetype end = buffer.indexOf('\n');
    if (end < 0) return false;
    line = buffer.left(end);
    buffer.remove(0, end + 1);
    // Lines from files edited elsewhere may end in CR LF; a typed password never holds a CR.
    if (line.endsWith('\r')) line.chop(1);
    return true;
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
    LineRead result;
    while (!take_line(buffer, result.line)) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
        const int ready = ::poll(fds, wake_fd >= 0 ? 2 : 1, -1);
        if (wake_fd >= 0 && ready > 0 && (fds[1].revents & POLLIN)) {
            result.status = ReadStatus::Interrupted;
            return result;
        }
        if (ready < 0) {
            if (errno == EINTR) continue;
            result.status = ReadStatus::EndOfInput;
            return result;
        }
        char chunk[256];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            // The last line may lack its line feed; nothing at all is the end.
            if (buffer.isEmpty()) {
                result.status = ReadStatus::EndOfInput;
                return result;
            }
            result.line = std::exchange(buffer, QByteArray());
            if (result.line.endsWith('\r')) result.line.chop(1);
            break;
        }
        buffer.append(chunk, n);
    }
    result.status = ReadStatus::Ok;
    return result;
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
    if (result.status != ReadStatus::Ok) write_all(tty_fd, "\n");
    return result;
}

SystemConsole::SystemConsole() = default;

SystemConsole::~SystemConsole() {
    if (tty_fd_ >= 0) ::close(tty_fd_);
}

void SystemConsole::write_out(const QByteArray& bytes) { write_all(STDOUT_FILENO, bytes); }

void SystemConsole::write_err(const QByteArray& bytes) { write_all(STDERR_FILENO, bytes); }

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
