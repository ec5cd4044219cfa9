// SPDX-License-Identifier: GPL-3.0-or-later
// The forked child behind run_limited, and its two ways of running out of room.
#include "diskfull/limited_child.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <vector>

namespace korvane::test_support {
namespace {

constexpr char kFileSystemSize[] = "size=4m,mode=0700";

class FillerRoom : public Room {
public:
    explicit FillerRoom(const QString& mount) : mount_(mount), filler_(mount + "/filler") {}

    void leave(long long bytes) override {
        lift();
        struct statvfs fs {};
        if (statvfs(QFile::encodeName(mount_).constData(), &fs) != 0) return;
        long long excess = static_cast<long long>(fs.f_bavail) * fs.f_frsize - bytes;
        const int fd = ::open(QFile::encodeName(filler_).constData(), O_WRONLY | O_CREAT, 0600);
        const std::vector<char> chunk(64 * 1024, 'f');
        while (fd >= 0 && excess > 0) {
            const ssize_t n = ::write(fd, chunk.data(), std::min<size_t>(chunk.size(), excess));
            if (n <= 0) break;
            excess -= n;
        }
        if (fd >= 0) ::close(fd);
    }
    void lift() override { QFile::remove(filler_); }

private:
    QString mount_;
    QString filler_;
};

class SizeLimitRoom : public Room {
public:
    void leave(long long bytes) override { set(static_cast<rlim_t>(bytes)); }
    void lift() override { set(RLIM_INFINITY); }

private:
    static void set(rlim_t soft) {
        const struct rlimit limit { soft, RLIM_INFINITY };
        setrlimit(RLIMIT_FSIZE, &limit);
    }
};

// A private mount namespace keeps the tmpfs out of sight of every other process, and gone
// with the child.
std::string mount_small_file_system(const QString& scratch) {
    if (geteuid() != 0) return "mounting a tmpfs needs root";
    if (unshare(CLONE_NEWNS) != 0) return std::string("unshare(CLONE_NEWNS): ") + strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string("making / private: ") + strerror(errno);
    }
    if (mount("korvane-diskfull", QFile::encodeName(scratch).constData(), "tmpfs", 0,
              kFileSystemSize) != 0) {
        return std::string("mounting a tmpfs: ") + strerror(errno);
    }
    return {};
}

void send_line(int fd, char kind, const std::string& text) {
    std::string line = std::string(1, kind) + ' ' + text;
    for (char& c : line) {
        if (c == '\n') c = ' ';
    }
    line += '\n';
    (void)!::write(fd, line.data(), line.size());
}

[[noreturn]] void child(Mechanism mechanism, const QString& scratch, const Scenario& scenario,
                        int out) {
    signal(SIGXFSZ, SIG_IGN);
    if (mechanism == Mechanism::SmallFileSystem) {
        if (std::string refused = mount_small_file_system(scratch); !refused.empty()) {
            send_line(out, 'S', refused);
            _exit(0);
        }
    }
    Findings findings;
    {
        FillerRoom filler(scratch);
        SizeLimitRoom size_limit;
        Room& room = mechanism == Mechanism::SmallFileSystem ? static_cast<Room&>(filler)
                                                             : static_cast<Room&>(size_limit);
        scenario(scratch, room, findings);
        room.lift();
    }
    for (const std::string& line : findings.lines()) send_line(out, 'F', line);
    if (::testing::Test::HasFailure()) send_line(out, 'F', "a gtest check failed in the child");
    // No destructors or atexit handlers of the parent's objects may run here.
    _exit(0);
}

}  // namespace

ChildOutcome run_limited(Mechanism mechanism, const QString& scratch, const Scenario& scenario) {
    ChildOutcome outcome;
    int fds[2];
    if (pipe(fds) != 0) {
        outcome.findings.push_back("pipe failed");
        return outcome;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        child(mechanism, scratch, scenario, fds[1]);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(fds[0]);
    if (pid < 0 || waitpid(pid, &outcome.wait_status, 0) != pid) {
        outcome.findings.push_back("the child could not be started or waited for");
        return outcome;
    }
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        if (line.size() > 2 && line[0] == 'S') outcome.skipped = line.substr(2);
        if (line.size() > 2 && line[0] == 'F') outcome.findings.push_back(line.substr(2));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return outcome;
}

}  // namespace korvane::test_support
