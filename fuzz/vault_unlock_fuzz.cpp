// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: a session's start on what a crash of an earlier version left, made hostile:
// a plain working file user.tmp, alone or beside a user.dat enciphered under the right key. The
// start inspects the working file, enciphers it into user.dat or sets it aside, and opens the
// result through EncipheredVfs, all under the answers a user would give.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "vault/mars_cipher.h"
#include "vault/session_prompts.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace {

// Every question gets the fuzzers' password, so a working file that stores it is recovered and
// opened, and one that stores none is given it.
class FixedAnswers : public korvane::SessionPrompts {
public:
    void show_message(const QString&, const QString&) override {}
    std::optional<std::string> ask_new_password(korvane::NewPasswordReason) override {
        return std::string(korvane::fuzz::kPaddedPassword);
    }
    std::optional<std::string> ask_master_password() override {
        return std::string(korvane::fuzz::kPaddedPassword);
    }
};

std::string read_all(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

void write_all(const QString& path, const std::string& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
        std::abort();
    }
}

}  // namespace

// The input is a little-endian 32-bit length, that many bytes of plain working file and the rest
// a plain database that the target enciphers as user.dat (whole blocks; none when empty).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvane;
    static const MarsCipher cipher = [] {
        MarsCipher c;
        if (!c.set_key(fuzz::kPaddedPassword)) std::abort();
        return c;
    }();
    std::uint32_t work_size = 0;
    if (size >= 4) {
        std::memcpy(&work_size, data, 4);
        data += 4;
        size -= 4;
    }
    const std::size_t split = std::min<std::size_t>(work_size, size);
    const std::string_view input = fuzz::as_view(data, size);
    const std::string work(input.substr(0, split));
    std::string vault(input.substr(split));

    const QString dir = fuzz::scratch_dir().filePath(QStringLiteral("vault"));
    QDir(dir).removeRecursively();
    const VaultFiles files(dir);
    if (!QDir().mkpath(dir) ||
        !QFile::setPermissions(
            dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        std::abort();
    }
    write_all(files.legacy_work, work);
    if (!vault.empty()) {
        auto* p = reinterpret_cast<std::uint8_t*>(vault.data());
        cipher.encrypt_blocks(p, p, vault.size() / MarsCipher::kBlockSize);
        write_all(files.vault, vault);
    }

    FixedAnswers answers;
    {
        VaultSession session(dir);
        const StartOutcome outcome = session.start(answers);
        if (outcome == StartOutcome::Unlocked) {
            // Open means recovered: the plain file is gone, and the vault reads.
            if (QFileInfo::exists(files.legacy_work)) std::abort();
            auto roots = statements::list_root_records(session.db());
            auto categories = statements::list_categories(session.db());
            (void)roots, (void)categories;
        }
    }
    // The working file's bytes are never lost: still there, kept aside as they were, or
    // enciphered into user.dat.
    if (!work.empty() && !QFileInfo::exists(files.legacy_work) && !QFileInfo::exists(files.vault)) {
        bool kept = false;
        for (const QString& name :
             QDir(dir).entryList({QStringLiteral("user-*.tmp.bak")}, QDir::Files | QDir::Hidden)) {
            kept = kept || read_all(QDir(dir).filePath(name)) == work;
        }
        if (!kept) std::abort();
    }
    return 0;
}
