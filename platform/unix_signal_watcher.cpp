// SPDX-License-Identifier: GPL-3.0-or-later
// UnixSignalWatcher: the self-pipe trick; the handler only writes one byte.
#include "platform/unix_signal_watcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#endif

namespace korvane {

#ifdef Q_OS_UNIX
namespace {

int g_signal_fds[2] = {-1, -1};

void on_signal(int) {
    const char byte = 1;
    // Nothing else is safe here; a full pipe means a wake-up is already pending.
    [[maybe_unused]] ssize_t written = ::write(g_signal_fds[0], &byte, 1);
}

}  // namespace

UnixSignalWatcher::UnixSignalWatcher(QObject* parent) : QObject(parent) {
    if (g_signal_fds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signal_fds) != 0) return;
    notifier_ = new QSocketNotifier(g_signal_fds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] ssize_t got = ::read(g_signal_fds[1], &byte, 1);
        received_ = true;
        emit termination_requested();
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

UnixSignalWatcher::~UnixSignalWatcher() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}
#else
UnixSignalWatcher::UnixSignalWatcher(QObject* parent) : QObject(parent) {}
UnixSignalWatcher::~UnixSignalWatcher() = default;
#endif

}  // namespace korvane
