// SPDX-License-Identifier: GPL-3.0-or-later
// FailingStep: makes one named file step of the vault fail while it lives.
#pragma once

namespace korvane::test_support {

// The step names are the points of vault/fault_injection.h; one FailingStep at a time.
class FailingStep {
public:
    explicit FailingStep(const char* point);
    ~FailingStep();
    FailingStep(const FailingStep&) = delete;
    FailingStep& operator=(const FailingStep&) = delete;
};

}  // namespace korvane::test_support
