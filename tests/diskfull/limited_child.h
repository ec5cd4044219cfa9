// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a scenario in a forked child whose writes really fail once a chosen amount of room is
// used up: on a small tmpfs filled up to the last few bytes, or under RLIMIT_FSIZE.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace korvane::test_support {

enum class Mechanism {
    SmallFileSystem,  // a private tmpfs of a few MiB, filled with a filler file
    FileSizeLimit,    // RLIMIT_FSIZE with SIGXFSZ ignored: writes past it fail with EFBIG
};

// Inside the child: how much may still be written from now on.
class Room {
public:
    virtual ~Room() = default;
    // On the small file system, free space; under the size limit, the size of any one file.
    virtual void leave(long long bytes) = 0;
    virtual void lift() = 0;
};

// What the scenario found wrong, one line each; gathered by the parent.
class Findings {
public:
    void expect(bool holds, const std::string& what) {
        if (!holds) lines_.push_back(what);
    }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

struct ChildOutcome {
    std::string skipped;  // why the mechanism is unavailable here; empty when it ran
    std::vector<std::string> findings;
    int wait_status = 0;
};

// scratch is an empty folder on an ordinary file system, usable by the scenario however the
// mechanism limits it.
using Scenario = std::function<void(const QString& scratch, Room& room, Findings& findings)>;
ChildOutcome run_limited(Mechanism mechanism, const QString& scratch, const Scenario& scenario);

}  // namespace korvane::test_support
