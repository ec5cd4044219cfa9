// SPDX-License-Identifier: GPL-3.0-or-later
// The test-only fault hook behind fault::should_fail.
#include "vault/fault_injection.h"

#ifdef KORVANE_FAULT_INJECTION
#include <atomic>

namespace korvane::fault {
namespace {
std::atomic<Hook> g_hook{nullptr};
}

void set_hook(Hook hook) { g_hook.store(hook); }

bool should_fail(const char* point) {
    Hook hook = g_hook.load();
    return hook != nullptr && hook(point);
}

}  // namespace korvane::fault
#endif
