// SPDX-License-Identifier: GPL-3.0-or-later
// Process hardening, checked in a forked child so the test process keeps its own limits.
#include "platform/process_hardening.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane::platform {
namespace {

TEST(ProcessHardeningTest, NoCoreFileNotDumpableAndNoDeathPastTheFileSizeLimit) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Start from a process that would dump, so the test sees the change and not a default.
        struct rlimit unlimited {
            RLIM_INFINITY, RLIM_INFINITY
        };
        ::setrlimit(RLIMIT_CORE, &unlimited);
        ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
        ::signal(SIGXFSZ, SIG_DFL);
        if (!harden_process()) ::_exit(10);
        struct rlimit core {};
        if (::getrlimit(RLIMIT_CORE, &core) != 0 || core.rlim_cur != 0 || core.rlim_max != 0)
            ::_exit(11);
        if (::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0) ::_exit(13);
        // A write past RLIMIT_FSIZE must fail with EFBIG, not end the process.
        struct sigaction xfsz {};
        if (::sigaction(SIGXFSZ, nullptr, &xfsz) != 0 || xfsz.sa_handler != SIG_IGN) ::_exit(14);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace korvane::platform
