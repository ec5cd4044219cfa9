// SPDX-License-Identifier: GPL-3.0-or-later
// The open vault's own costs, each on a 16 KiB vault and on the vault of bench_session.h
// (100 000 records, 26 MiB, by default; KORVANE_BENCH_BIG=1 for 1 000 000, 279 MiB):
//
// - the unlock (VaultSession::start: folder checks, user.lock, the key check, the open through
//   EncipheredVfs and the schema check) and the lock (VaultSession::lock and release_folder, as
//   the window's lock does them), which no longer depend on the vault's size;
// - every statement the window commits on its own (a record added, changed, moved, deleted; a
//   category added, deleted), each synced to user.dat before it returns, against one page
//   written in place and fsync'ed in a file of the same size in the same folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_goals.h"
#include "bench/bench_session.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace {

using namespace korvane;
using bench::BuiltVault;
using bench::FixedPrompts;
using bench::vault_of;

// The unlock alone; the lock in between is not timed.
void BM_Unlock(benchmark::State& state) {
    BuiltVault& vault = vault_of(state.range(0));
    FixedPrompts prompts;
    VaultSession session(vault.vault_dir);
    for (auto _ : state) {
        if (session.start(prompts) != StartOutcome::Unlocked) {
            state.SkipWithError("unlock failed");
            break;
        }
        state.PauseTiming();
        session.lock();
        session.release_folder();
        state.ResumeTiming();
    }
    state.counters["MiB"] = double(vault.bytes) / (1 << 20);
}

// The lock alone, as VaultLocker does it: the connection closed, the key wiped, the folder let
// go; the unlock in between is not timed.
void BM_Lock(benchmark::State& state) {
    BuiltVault& vault = vault_of(state.range(0));
    FixedPrompts prompts;
    VaultSession session(vault.vault_dir);
    for (auto _ : state) {
        state.PauseTiming();
        const bool unlocked = session.start(prompts) == StartOutcome::Unlocked;
        state.ResumeTiming();
        if (!unlocked) {
            state.SkipWithError("unlock failed");
            break;
        }
        session.lock();
        session.release_folder();
    }
    state.counters["MiB"] = double(vault.bytes) / (1 << 20);
}

// A copy of a vault, unlocked for writing, kept for every edit case of that size.
struct EditedVault {
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<VaultSession> session;
    int records = 0;
    qint64 bytes = 0;
};

EditedVault* edited_vault(std::int64_t which) {
    static std::map<std::int64_t, EditedVault> vaults;
    EditedVault& edited = vaults[which];
    if (!edited.session) {
        BuiltVault& vault = vault_of(which);
        if (!vault.ready || !(edited.dir = vault.copy())) return nullptr;
        edited.session = std::make_unique<VaultSession>(edited.dir->path());
        FixedPrompts prompts;
        if (edited.session->start(prompts) != StartOutcome::Unlocked) {
            edited.session.reset();
            return nullptr;
        }
        edited.records = vault.records;
        edited.bytes = vault.bytes;
    }
    return &edited;
}

enum Statement : std::int64_t {
    kInsertRecord,
    kUpdateRecord,
    kMoveRecord,
    kDeleteRecord,
    kInsertCategory,
    kDeleteCategory,
};
constexpr std::array<const char*, 6> kStatementNames = {
    "insert_record", "update_record",   "move_record",
    "delete_record", "insert_category", "delete_category",
};

template <typename T>
Status status_of(const Result<T>& result) {
    return result ? Status::success() : Status(make_error(result.error()));
}

VaultRecord new_record(std::int64_t n) {
    const std::string i = std::to_string(n);
    return {"new title " + i, "new" + i + "@example.com", "new-pass-" + i,
            "a remark of a record added by the benchmark " + i, "Work"};
}

// One statement, committed and synced as the window commits it; range(0) the statement,
// range(1) the vault. Records are changed at OIDs spread over the table, so that the pages
// written lie all over the file, and every change changes the row; what a case needs
// beforehand (a record or a category to delete, where a record is) is done untimed, and so is
// the removal of a category it added.
void BM_Edit(benchmark::State& state) {
    EditedVault* edited = edited_vault(state.range(1));
    if (!edited) {
        state.SkipWithError("no vault");
        return;
    }
    SqliteDb& db = edited->session->db();
    const std::string category = "bench category";
    // Counted on across cases and repetitions, so no change repeats one made before: SQLite
    // writes nothing for a row that stays the same.
    static std::int64_t n = 0;
    for (auto _ : state) {
        ++n;
        // The table's own rows, never deleted: the deletes remove rows the case added.
        const RecordId oid = 1 + (n * 7919) % edited->records;
        Status done;
        switch (state.range(0)) {
            case kInsertRecord:
                done = status_of(statements::insert_record(db, new_record(n)));
                break;
            case kUpdateRecord: {
                VaultRecord changed = new_record(n);
                changed.category = kRootCategory;
                done = statements::update_record(db, oid, changed);
                break;
            }
            case kMoveRecord: {
                // Always somewhere else.
                state.PauseTiming();
                Result<std::optional<VaultRecord>> now = statements::load_record(db, oid);
                const bool in_work = now && *now && (*now)->category == "Work";
                state.ResumeTiming();
                done = statements::move_record(db, oid, in_work ? kRootCategory : "Work");
                break;
            }
            case kDeleteRecord: {
                state.PauseTiming();
                Result<RecordId> added = statements::insert_record(db, new_record(n));
                state.ResumeTiming();
                done = added ? statements::delete_record(db, *added) : status_of(added);
                break;
            }
            case kInsertCategory:
                done = statements::insert_category(db, category);
                state.PauseTiming();
                if (done) done = statements::delete_category(db, category);
                state.ResumeTiming();
                break;
            case kDeleteCategory:
                state.PauseTiming();
                done = statements::insert_category(db, category);
                state.ResumeTiming();
                if (done) done = statements::delete_category(db, category);
                break;
        }
        if (!done) {
            state.SkipWithError(done.error().toStdString().c_str());
            break;
        }
    }
    state.SetLabel(kStatementNames[std::size_t(state.range(0))]);
    state.counters["MiB"] = double(edited->bytes) / (1 << 20);
}

// Reference: one 4 KiB page written in place and fsync'ed, in a file as large as the vault in
// the folder the edits write to; the pages are spread over the file as the edits' are.
void BM_PageFsync(benchmark::State& state) {
    EditedVault* edited = edited_vault(state.range(0));
    if (!edited) {
        state.SkipWithError("no vault");
        return;
    }
    const QString path = edited->dir->filePath(QStringLiteral("fsync-reference"));
    QFile::remove(path);
    if (!QFile::copy(edited->session->vault_path(), path)) {
        state.SkipWithError("no copy");
        return;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (fd >= 0) ::close(fd);
        state.SkipWithError("cannot open the copy");
        return;
    }
    const std::int64_t pages = std::max<std::int64_t>(1, edited->bytes / 4096);
    std::vector<char> page(4096, 'p');
    std::int64_t n = 0;
    for (auto _ : state) {
        ++n;
        const off_t at = off_t((n * 7919) % pages) * 4096;
        if (::pwrite(fd, page.data(), page.size(), at) != ssize_t(page.size()) ||
            ::fsync(fd) != 0) {
            state.SkipWithError("write failed");
            break;
        }
    }
    ::close(fd);
    QFile::remove(path);
    state.counters["MiB"] = double(edited->bytes) / (1 << 20);
}

BENCHMARK(BM_Unlock)
    ->ArgName("vault")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Lock)->ArgName("vault")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PageFsync)
    ->ArgName("vault")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Edit)
    ->ArgNames({"statement", "vault"})
    ->ArgsProduct({{kInsertRecord, kUpdateRecord, kMoveRecord, kDeleteRecord, kInsertCategory,
                    kDeleteCategory},
                   {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

const std::string kLarge = std::to_string(bench::record_count()) + " records";

const bool kGoals = [] {
    bench::add_goal({"Unlock, " + kLarge + " against 16 KiB (no goal)",
                     "BM_Unlock/vault:1",
                     {"BM_Unlock/vault:0"}});
    bench::add_goal({"Lock (session), 16 KiB: at most 50 ms", "BM_Lock/vault:0", {}, 0, 50});
    bench::add_goal({"Lock (session), " + kLarge + ": at most 50 ms, the 16 KiB lock beside it",
                     "BM_Lock/vault:1",
                     {"BM_Lock/vault:0"},
                     0,
                     50});
    for (std::int64_t vault : {0, 1}) {
        const std::string size = vault == 0 ? "16 KiB" : kLarge;
        const std::string args = "/vault:" + std::to_string(vault);
        for (std::size_t s = 0; s < kStatementNames.size(); ++s) {
            bench::add_goal({std::string("Edit ") + kStatementNames[s] + ", " + size +
                                 ": at most one page fsync + 20 ms",
                             "BM_Edit/statement:" + std::to_string(s) + args,
                             {"BM_PageFsync" + args},
                             1,
                             20});
        }
    }
    return true;
}();

}  // namespace
