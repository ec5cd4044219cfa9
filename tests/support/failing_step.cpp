// SPDX-License-Identifier: GPL-3.0-or-later
// FailingStep: the fault hook that refuses the one named step.
#include "support/failing_step.h"

#include <string>

#include "vault/fault_injection.h"

namespace korvane::test_support {
namespace {

// The hook is a plain function pointer, so the point it fails at lives here.
const char* g_failing_point = nullptr;

bool fail_at(const char* point) { return g_failing_point && std::string(point) == g_failing_point; }

}  // namespace

FailingStep::FailingStep(const char* point) {
    g_failing_point = point;
    fault::set_hook(fail_at);
}

FailingStep::~FailingStep() { g_failing_point = nullptr; }

}  // namespace korvane::test_support
