// SPDX-License-Identifier: GPL-3.0-or-later
// The real console's input: lines from a pipe, interruption by the signal pipe, and the
// no-echo prompt on a pseudo-terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "cli/system_console.h"

namespace korvane::cli {
namespace {

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe() {
        for (int fd : fds) {
            if (fd >= 0) ::close(fd);
        }
    }
    void write(const char* bytes) const {
        ASSERT_EQ(::write(fds[1], bytes, strlen(bytes)), ssize_t(strlen(bytes)));
    }
    void close_writer() {
        ::close(fds[1]);
        fds[1] = -1;
    }
    int fds[2] = {-1, -1};
};

TEST(ReadLine, SplitsLinesKeepsTheRestAndStopsWhenWoken) {
    Pipe input;
    Pipe wake;
    input.write("first\r\nsecond\nlast");
    input.close_writer();
    QByteArray buffer;
    for (const char* expected : {"first", "second", "last"}) {
        const LineRead read = read_line(input.fds[0], wake.fds[0], buffer);
        EXPECT_EQ(read.status, ReadStatus::Ok);
        EXPECT_EQ(read.line, expected);
    }
    EXPECT_EQ(read_line(input.fds[0], wake.fds[0], buffer).status, ReadStatus::EndOfInput);

    // A wait with nothing to read ends as soon as the signal pipe has a byte.
    Pipe idle;
    wake.write("x");
    EXPECT_EQ(read_line(idle.fds[0], wake.fds[0], buffer).status, ReadStatus::Interrupted);
}

TEST(ReadSecretLine, ReadsWithoutEchoAndRestoresTheTerminal) {
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    auto reading = std::async(std::launch::async,
                              [slave] { return read_secret_line(slave, "用户密码：", -1); });
    // Type only once echo is off, as a person would after seeing the prompt.
    termios mode{};
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(::tcgetattr(slave, &mode), 0);
        if ((mode.c_lflag & ECHO) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(mode.c_lflag & ECHO, 0u);
    ASSERT_EQ(::write(master, "s3cret\n", 7), 7);
    const LineRead read = reading.get();
    EXPECT_EQ(read.status, ReadStatus::Ok);
    EXPECT_EQ(read.line, "s3cret");

    ASSERT_EQ(::tcgetattr(slave, &mode), 0);
    EXPECT_NE(mode.c_lflag & ECHO, 0u);
    char shown[256] = {};
    const ssize_t n = ::read(master, shown, sizeof shown - 1);
    ASSERT_GT(n, 0);
    const QByteArray screen(shown, n);
    EXPECT_TRUE(screen.contains("用户密码：")) << screen.toStdString();
    EXPECT_FALSE(screen.contains("s3cret")) << screen.toStdString();
    ::close(master);
    ::close(slave);

    Pipe not_a_terminal;
    EXPECT_EQ(read_secret_line(not_a_terminal.fds[0], "x", -1).status, ReadStatus::NoTerminal);
}

}  // namespace
}  // namespace korvane::cli
