// SPDX-License-Identifier: GPL-3.0-or-later
// Child process for the kill tests: runs unlock (creating the vault in an empty folder), add,
// edit, delete, re-key and lock cycles on a real vault until killed.
//
// Usage: korvane_kill_child VAULT_DIR JOURNAL SEED PASSWORD [FAULT_POINT COUNT]
//        korvane_kill_child --add VAULT_DIR PASSWORD TITLE
// The journal gets "begin <kind> <value>" before and "done <kind> <value>" after each step, each
// line synced to disk before the step goes on, so the parent knows what must have survived: every
// change is committed to user.dat when its call returns.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/scripted_prompts.h"
#include "vault/fault_injection.h"
#include "vault/vault_record.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace {

using korvane::StartOutcome;
using korvane::VaultSession;

const char* g_fault_point = nullptr;
long g_fault_count = 0;
// The cipher's workers reach the hook from their own threads, all at once.
std::atomic<long> g_fault_hits = 0;

// Killing from inside the hook puts the death exactly at the file step the parent chose: before
// that write, sync or rename reaches the file system.
bool kill_at_fault_point(const char* point) {
    if (g_fault_point != nullptr && std::strcmp(point, g_fault_point) == 0 &&
        ++g_fault_hits == g_fault_count) {
        raise(SIGKILL);
    }
    return false;
}

class Journal {
public:
    explicit Journal(const char* path) : fd_(open(path, O_WRONLY | O_APPEND | O_CREAT, 0600)) {
        if (fd_ < 0) fail("cannot open the journal");
    }
    ~Journal() { close(fd_); }
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // One write per line, so a kill never leaves half a line that could be misread.
    void line(const char* state, const char* kind, const std::string& value) {
        const std::string text = std::string(state) + ' ' + kind + ' ' + value + '\n';
        if (write(fd_, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
            fsync(fd_) != 0) {
            fail("cannot write the journal");
        }
    }

    [[noreturn]] static void fail(const char* why) {
        std::fprintf(stderr, "korvane_kill_child: %s\n", why);
        std::exit(2);
    }

private:
    int fd_;
};

std::string password_for(long seed, long n) {
    // Padded past the cipher's 16-byte minimum key, as the login prompt pads short passwords.
    std::string password = "pw" + std::to_string(seed) + "-" + std::to_string(n);
    password.resize(24, 'y');
    return password;
}

// One window-style run that others start at the same moment: unlock, add TITLE, lock, let go
// of the folder as the window does while locked, claim it again and add TITLE-again.
// Exit 0: both added; 3: the folder was busy and nothing was added; 5: the first was added and
// the second claim found the folder busy; anything else is a failure the parent reports.
int add_once(const QString& vault_dir, const std::string& password, const std::string& title) {
    VaultSession doc(vault_dir);
    for (const std::string& added : {title, title + "-again"}) {
        korvane::test_support::ScriptedPrompts prompts;
        prompts.master_password(password);
        const StartOutcome outcome = doc.start(prompts);
        if (outcome == StartOutcome::Busy) return added == title ? 3 : 5;
        if (outcome != StartOutcome::Unlocked) {
            for (const auto& message : prompts.messages()) {
                std::fprintf(stderr, "%s\n", message.text.toLocal8Bit().constData());
            }
            return 4;
        }
        korvane::VaultRecord record;
        record.title = added;
        record.category = korvane::kRootCategory;
        if (!korvane::statements::insert_record(doc.db(), record).ok()) return 6;
        doc.lock();
        doc.release_folder();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--add") == 0) {
        return add_once(QString::fromLocal8Bit(argv[2]), argv[3], argv[4]);
    }
    if (argc != 5 && argc != 7) {
        std::fprintf(stderr,
                     "usage: korvane_kill_child VAULT_DIR JOURNAL SEED PASSWORD [POINT COUNT]\n");
        return 2;
    }
    const QString vault_dir = QString::fromLocal8Bit(argv[1]);
    Journal journal(argv[2]);
    const long seed = std::strtol(argv[3], nullptr, 10);
    std::string password = argv[4];
    if (argc == 7) {
        g_fault_point = argv[5];
        g_fault_count = std::strtol(argv[6], nullptr, 10);
        korvane::fault::set_hook(&kill_at_fault_point);
    }

    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    long n = 0;
    for (;;) {
        journal.line("begin", "unlock", password);
        VaultSession doc(vault_dir);
        korvane::test_support::ScriptedPrompts prompts;
        // Only an empty folder asks for a new password; a stray answer is never used otherwise.
        prompts.new_password(password).master_password(password);
        if (doc.start(prompts) != StartOutcome::Unlocked) Journal::fail("start did not unlock");
        journal.line("done", "unlock", password);

        const int records = 1 + static_cast<int>(random() % 4);
        std::vector<std::pair<korvane::RecordId, korvane::VaultRecord>> added;
        for (int i = 0; i < records; ++i) {
            korvane::VaultRecord record;
            record.title = "r" + std::to_string(seed) + "-" + std::to_string(n++);
            record.account = "account";
            record.password = "secret";
            record.category = korvane::kRootCategory;
            journal.line("begin", "record", record.title);
            const korvane::Result<korvane::RecordId> oid =
                korvane::statements::insert_record(doc.db(), record);
            if (!oid.ok()) Journal::fail("insert failed");
            journal.line("done", "record", record.title);
            added.emplace_back(*oid, record);
        }
        // An edit of the first record added and the deletion of the last, each now and then.
        if (random() % 3 == 0) {
            auto& [oid, record] = added.front();
            record.password = "edited";
            journal.line("begin", "edit", record.title);
            if (!korvane::statements::update_record(doc.db(), oid, record).ok()) {
                Journal::fail("edit failed");
            }
            journal.line("done", "edit", record.title);
        }
        if (added.size() > 1 && random() % 3 == 0) {
            const auto& [oid, record] = added.back();
            journal.line("begin", "delete", record.title);
            if (!korvane::statements::delete_record(doc.db(), oid).ok()) {
                Journal::fail("delete failed");
            }
            journal.line("done", "delete", record.title);
        }
        if (random() % 3 == 0) {
            const std::string next = password_for(seed, n++);
            journal.line("begin", "password", next);
            if (!doc.change_master_password(next).ok()) Journal::fail("password change failed");
            password = next;
            journal.line("done", "password", next);
        }

        journal.line("begin", "lock", password);
        doc.lock();
        journal.line("done", "lock", password);
    }
}
