// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: unlocking an arbitrary user.dat and reading the database it yields.
#include <QFile>

#include "fuzz_support.h"
#include "vault/sqlite_db.h"
#include "vault/vault_codec.h"
#include "vault/vault_statements.h"
#include "vault/work_database.h"
#include "vault/work_file_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvane;
    const QString vault_path = fuzz::write_scratch(QStringLiteral("user.dat"), data, size);
    const QString work_path = fuzz::scratch_dir().filePath(QStringLiteral("work.db"));
    QFile::remove(work_path);

    // As the session unlocks: decipher beside the sealed file, look at the copy, and give up
    // the sealed file only once the copy passed.
    const DecryptResult result =
        VaultCodec::decipher_file(vault_path, work_path, fuzz::kPaddedPassword);
    if (result.outcome == DecryptOutcome::Unlocked) {
        if (!QFile::exists(vault_path) || !QFile::exists(work_path)) std::abort();
        (void)check_database_header(work_path);
        if (auto db = open_work_database(work_path)) {
            if (check_vault_schema(*db).ok()) {
                auto categories = statements::list_categories(*db);
                auto roots = statements::list_root_records(*db);
                (void)categories, (void)roots;
                if (!VaultCodec::remove_sealed(vault_path).ok() || QFile::exists(vault_path)) {
                    std::abort();
                }
            }
        }
    } else if (QFile::exists(work_path)) {
        std::abort();
    }
    QFile::remove(vault_path);
    QFile::remove(work_path);
    return 0;
}
