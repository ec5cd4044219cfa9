// SPDX-License-Identifier: GPL-3.0-or-later
// FolderLock: the one claim on a vault folder (user.lock), which never exists without its
// holder's name in it and its holder's flock on it.
#pragma once

#include <QString>
#include <chrono>

namespace korvane {

class FolderLock {
public:
    // What a lock file says of the process that holds it: "pid\nappname\nhostname\n", the
    // lines QLockFile writes, so that older installations and this one read each other's locks.
    struct Holder {
        qint64 pid = 0;
        QString app;
        QString host;
    };

    enum class Outcome {
        Claimed,        // this object holds the folder
        HeldHere,       // a process on this computer holds it (or cannot be told from one yet)
        HeldElsewhere,  // the lock names another computer, whose processes cannot be seen
        CannotWrite,    // no lock file can be made in the folder
    };

    struct Claim {
        Outcome outcome;
        Holder holder;  // of the lock found, when it could be read
    };

    // How long a claim waits for a lock whose holder cannot be told yet (a lock file still
    // being written, or one whose owner is letting go of it) before it answers HeldHere.
    static constexpr std::chrono::milliseconds kPatience{2000};

    explicit FolderLock(QString lock_path);
    // Lets go of the folder if it is held.
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // A live holder's lock is never taken over, however old; a lock is removed only once its
    // holder is proven gone: nobody holds its flock and the name still names that very file.
    Claim claim(std::chrono::milliseconds patience = kPatience);
    // Removes user.lock (only if it is still this object's file) and drops the flock.
    void release();
    bool held() const { return fd_ >= 0; }

    // The holder written in a lock file's content; false for content that names none (empty,
    // cut short, not a process number).
    static bool parse_holder(const QByteArray& content, Holder& holder);

private:
    enum class Step { Claimed, HeldHere, HeldElsewhere, CannotWrite, Again, Removed };

    Step try_claim(Holder& holder);
    Step publish(int temp_fd, const QByteArray& temp_name);
    Step create_in_place();
    Step examine(Holder& holder);
    void remove_dead_temporaries() const;

    QString lock_path_;
    int fd_ = -1;
    // A lock file seen with no living holder proven yet, and since when: a lock still being
    // written by an older installation, or whose holder's pid was given to another process.
    unsigned long long undecided_dev_ = 0, undecided_ino_ = 0;
    std::chrono::steady_clock::time_point undecided_since_{};
    bool undecided_ = false;
};

}  // namespace korvane
