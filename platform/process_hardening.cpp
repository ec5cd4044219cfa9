// SPDX-License-Identifier: GPL-3.0-or-later
// harden_process: no core dumps, not dumpable (which also keeps same-user ptrace out on Linux),
// and a file-size limit that fails a write instead of killing the process.
#include "platform/process_hardening.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace korvane::platform {

bool harden_process() {
    bool ok = true;
#ifdef Q_OS_UNIX
    struct rlimit none {};
    none.rlim_cur = 0;
    none.rlim_max = 0;
    ok = ::setrlimit(RLIMIT_CORE, &none) == 0 && ok;
    // Past RLIMIT_FSIZE (ulimit -f) the default SIGXFSZ ends the process in the middle of a
    // write with nothing said. Ignored, the write fails with EFBIG and takes the path of a
    // full disk: rolled back and reported.
    ok = ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ok;
#endif
#ifdef Q_OS_LINUX
    ok = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && ok;
#endif
    return ok;
}

}  // namespace korvane::platform
