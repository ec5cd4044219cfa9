// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: a hostile user.dat and rollback journal, enciphered under the right key and
// opened through EncipheredVfs, so the journal playback and every read and write go through it.
#include <QFile>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "vault/enciphered_vfs.h"
#include "vault/mars_cipher.h"
#include "vault/sqlite_db.h"
#include "vault/vault_statements.h"
#include "vault/work_database.h"

namespace {

// The input is a little-endian 32-bit length, that many bytes of plain database and the rest
// plain journal: the fuzzer mutates plain pages, which the target then enciphers as the VFS
// would have written them (whole blocks; a shorter tail stays as it is, as on a damaged disk).
QString write_enciphered(const QString& name, const korvane::MarsCipher& cipher,
                         std::string bytes) {
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
    cipher.encrypt_blocks(p, p, bytes.size() / korvane::MarsCipher::kBlockSize);
    return korvane::fuzz::write_scratch(name, p, bytes.size());
}

std::string read_all(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvane;
    static const std::shared_ptr<EncipheredVfs> vfs = [] {
        auto made = EncipheredVfs::create(fuzz::kPaddedPassword);
        if (!made) std::abort();
        return *made;
    }();
    static const MarsCipher cipher = [] {
        MarsCipher c;
        if (!c.set_key(fuzz::kPaddedPassword)) std::abort();
        return c;
    }();

    std::uint32_t db_size = 0;
    if (size >= 4) {
        std::memcpy(&db_size, data, 4);
        data += 4;
        size -= 4;
    }
    const std::size_t split = std::min<std::size_t>(db_size, size);
    const std::string_view input = fuzz::as_view(data, size);
    const QString db_path =
        write_enciphered(QStringLiteral("user.dat"), cipher, std::string(input.substr(0, split)));
    const QString journal_path = db_path + QStringLiteral("-journal");
    QFile::remove(journal_path);
    if (split < size) {
        write_enciphered(QStringLiteral("user.dat-journal"), cipher,
                         std::string(input.substr(split)));
    }
    const std::string dat_before = read_all(db_path);
    const std::string journal_before = read_all(journal_path);

    const KeyCheck check = vfs->check_key(db_path).outcome;
    {
        auto db = SqliteDb::open_enciphered(db_path, vfs, SqliteDb::Mode::ReadWrite);
        if (db) {
            if (check != KeyCheck::Matches && check != KeyCheck::NoDatabase) std::abort();
            (void)quick_check(*db);
            auto roots = statements::list_root_records(*db);
            (void)roots;
        } else if (check != KeyCheck::Matches && check != KeyCheck::NoDatabase) {
            // A refusal before SQLite saw the files: neither may have changed.
            if (read_all(db_path) != dat_before || read_all(journal_path) != journal_before) {
                std::abort();
            }
        }
    }
    QFile::remove(db_path);
    QFile::remove(journal_path);
    return 0;
}
