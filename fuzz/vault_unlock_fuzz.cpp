// libFuzzer target: unlocking an arbitrary user.dat and reading the database it yields.
#include <QFile>

#include "fuzz_support.h"
#include "vault/sqlite_db.h"
#include "vault/vault_codec.h"
#include "vault/vault_statements.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvane;
    const QString vault_path = fuzz::write_scratch(QStringLiteral("user.dat"), data, size);
    const QString work_path = fuzz::scratch_dir().filePath(QStringLiteral("work.db"));
    QFile::remove(work_path);

    const DecryptResult result =
        VaultCodec::decrypt_file(vault_path, work_path, fuzz::kPaddedPassword);
    if (result.outcome == DecryptOutcome::Unlocked) {
        // decrypt_file promises to consume the sealed file only when it unlocks.
        if (QFile::exists(vault_path) || !QFile::exists(work_path)) std::abort();
        if (auto db = SqliteDb::open(work_path, SqliteDb::Mode::ReadWrite)) {
            auto has_tables = statements::has_vault_tables(*db);
            auto categories = statements::list_categories(*db);
            auto roots = statements::list_root_records(*db);
            (void)has_tables, (void)categories, (void)roots;
        }
    } else if (QFile::exists(work_path)) {
        std::abort();
    }
    QFile::remove(vault_path);
    QFile::remove(work_path);
    return 0;
}
