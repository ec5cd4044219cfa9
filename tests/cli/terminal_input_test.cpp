// SPDX-License-Identifier: GPL-3.0-or-later
// The real console's input: lines from a pipe, the longest line, interruption by the signal
// pipe, the no-echo prompt on a pseudo-terminal, and what a password line may hold.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "cli/password_questions.h"
#include "cli/system_console.h"
#include "cli_test_support.h"
#include "support/hostile_values.h"

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

struct LongLine {
    const char* name;
    QByteArray written;  // the writer stays open: a read that waits for more would hang
    ReadStatus status;
    qsizetype line_bytes;
    int left_unread;  // bytes still in the pipe afterwards, -1 where it does not matter
};

void PrintTo(const LongLine& c, std::ostream* os) { *os << c.name; }

class ReadLineLimit : public ::testing::TestWithParam<LongLine> {};

TEST_P(ReadLineLimit, RefusesALineOverTheLimitWithoutReadingOn) {
    Pipe input;
    input.write(GetParam().written.constData());
    QByteArray buffer;
    auto reading =
        std::async(std::launch::async, [&] { return read_line(input.fds[0], -1, buffer); });
    if (reading.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        input.close_writer();  // ends the read, which waited for more of the line
        ADD_FAILURE() << "read_line waited for the rest of a line it should have refused";
    }
    const LineRead read = reading.get();
    EXPECT_EQ(read.status, GetParam().status);
    EXPECT_EQ(read.line.size(), GetParam().line_bytes);
    if (GetParam().left_unread < 0) return;
    int unread = -1;
    ASSERT_EQ(::ioctl(input.fds[0], FIONREAD, &unread), 0);
    EXPECT_EQ(unread, GetParam().left_unread);
}

const QByteArray kLimit(kMaxLineBytes, 'a');

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadLineLimit,
    ::testing::Values(
        LongLine{"AtTheLimit", kLimit + "\nnext", ReadStatus::Ok, kMaxLineBytes, -1},
        LongLine{"AtTheLimitWithCrLf", kLimit + "\r\n", ReadStatus::Ok, kMaxLineBytes, -1},
        LongLine{"OneOver", kLimit + "b\n", ReadStatus::TooLong, 0, -1},
        LongLine{"OneOverBeforeCr", kLimit + "b\r\n", ReadStatus::TooLong, 0, 1},
        // As from /dev/zero (no line feed ever): only as much is read as the refusal needs.
        LongLine{"NoLineFeed", QByteArray(3 * kMaxLineBytes, 'z'), ReadStatus::TooLong, 0,
                 int(3 * kMaxLineBytes - (kMaxLineBytes + 2))}),
    [](const auto& info) { return std::string(info.param.name); });

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

// What PasswordQuestions makes of one line of standard input.
struct PasswordLine {
    const char* name;
    QByteArray input;
    std::optional<std::string> stored;  // the record password's bytes, or nullopt for a refusal
    const char* message;                // a part of the refusal
};

void PrintTo(const PasswordLine& c, std::ostream* os) { *os << c.name; }

class PasswordLineCheck : public ::testing::TestWithParam<PasswordLine> {};

TEST_P(PasswordLineCheck, TakesOrRefusesTheLine) {
    // The test console does not stop a long line itself; the question still must.
    test_support::FakeConsole console(GetParam().input);
    PasswordQuestions questions(console, true);
    const std::optional<std::string> stored = questions.record_password();
    EXPECT_EQ(stored, GetParam().stored);
    if (!GetParam().stored) {
        ASSERT_TRUE(questions.failure().has_value());
        EXPECT_EQ(questions.failure()->exit_code, kExitUsage);
        EXPECT_TRUE(questions.failure()->message.contains(QString::fromUtf8(GetParam().message)))
            << questions.failure()->message.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PasswordLineCheck,
    ::testing::Values(PasswordLine{"Plain", "s3cret\n", std::string("s3cret"), ""},
                      PasswordLine{"ChineseAsGbk", "密码\n", test_support::gbk("密码"), ""},
                      PasswordLine{"AtTheLimit", kLimit + "\n", kLimit.toStdString(), ""},
                      PasswordLine{"OverTheLimit", kLimit + "a\n", std::nullopt, "密码行太长"},
                      PasswordLine{"Nul", QByteArray("ma\0ster\n", 8), std::nullopt, "空字符"},
                      PasswordLine{"NotUtf8", "\xff\xfe\n", std::nullopt, "编码（UTF-8）"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane::cli
