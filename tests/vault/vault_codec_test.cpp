// SPDX-License-Identifier: GPL-3.0-or-later
// VaultCodec: the enciphered file's exact bytes, the password test, and what failures leave.
// encrypt_file writes user.dat from an earlier version's left-over working file; decipher_to_memory
// is the reference the VFS is measured and checked against.
#include "vault/vault_codec.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <random>

#include "support/file_helpers.h"
#include "support/reference_cipher.h"
#include "vault/fault_injection.h"

namespace korvane {
namespace {

using test_support::folder_entries;
using test_support::read_file;
using test_support::reference_mars_ecb;
using test_support::write_file;

const std::string kKey = "abcyyyyyyyyyyyyyy";  // a padded three-letter password

std::string random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = char(gen());
    return s;
}

// A plausible database: the SQLite header, then noise.
std::string fake_database(std::size_t n, unsigned seed = 1) {
    std::string s = random_bytes(n, seed);
    const std::string header("SQLite format 3\0", 16);
    s.replace(0, std::min(n, header.size()), header.substr(0, std::min(n, header.size())));
    return s;
}

// The plain database deciphered from path, or what went wrong.
struct Deciphered {
    DecryptResult result;
    std::string plain;
};

Deciphered decipher(const QString& path, std::string_view key, const CodecThreads& threads = {}) {
    Deciphered out{{DecryptOutcome::FileError, {}}, {}};
    out.result = VaultCodec::decipher_to_memory(
        path, key,
        [&](qint64 length) {
            out.plain.assign(std::size_t(length), '\0');
            return out.plain.data();
        },
        threads);
    return out;
}

class VaultCodecTest : public ::testing::Test {
protected:
    QString dat() const { return dir_.filePath("user.dat"); }
    QString tmp() const { return dir_.filePath("user.tmp"); }
    QTemporaryDir dir_;
};

TEST_F(VaultCodecTest, EnciphersWholeBlocksAsIndependentEcbBlocks) {
    for (std::size_t size :
         {std::size_t(3072), std::size_t(3075), std::size_t(16), std::size_t(3 << 20) + 5}) {
        SCOPED_TRACE(size);
        const std::string plain = fake_database(size, unsigned(size));
        write_file(tmp(), plain);
        ASSERT_TRUE(VaultCodec::encrypt_file(tmp(), dat(), kKey).ok());

        const std::string sealed = read_file(dat());
        EXPECT_EQ(sealed.size(), size - size % 16);
        // An independent MARS: the file is exactly the ECB encryption of the whole blocks.
        EXPECT_EQ(sealed, reference_mars_ecb(kKey, plain, true));
        EXPECT_FALSE(QFileInfo::exists(tmp()));

        const Deciphered back = decipher(dat(), kKey);
        ASSERT_EQ(back.result.outcome, DecryptOutcome::Unlocked);
        EXPECT_TRUE(back.plain == plain.substr(0, size - size % 16));
        EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    }
}

// The blocks of each chunk are split between the workers; the bytes must not depend on how.
struct SplitCase {
    std::size_t size;
    unsigned workers;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.size << " bytes, " << c.workers << " workers";
}

class VaultCodecSplitTest : public VaultCodecTest,
                            public ::testing::WithParamInterface<SplitCase> {};

TEST_P(VaultCodecSplitTest, EveryWorkerCountGivesTheReferenceBytes) {
    const auto [size, workers] = GetParam();
    // parallel_from 0: the threads take every size, the smallest included.
    const CodecThreads threads{workers, 0};
    const std::size_t whole = size - size % 16;
    const std::string plain = fake_database(size, unsigned(size) + workers);
    write_file(tmp(), plain);
    ASSERT_TRUE(VaultCodec::encrypt_file(tmp(), dat(), kKey, threads).ok());
    const std::string sealed = read_file(dat());
    ASSERT_EQ(sealed, reference_mars_ecb(kKey, plain, true));
    if (whole == 0) return;  // nothing to decipher: an empty user.dat is a wrong password

    const Deciphered back = decipher(dat(), kKey, threads);
    ASSERT_EQ(back.result.outcome, DecryptOutcome::Unlocked);
    EXPECT_TRUE(back.plain == plain.substr(0, whole));
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
}

std::vector<SplitCase> split_cases() {
    constexpr std::size_t kChunk = 1 << 20;
    std::vector<SplitCase> cases;
    for (std::size_t size : {std::size_t(0), std::size_t(16), std::size_t(3 * 16 + 7), kChunk - 16,
                             kChunk, kChunk + 16, 3 * kChunk + 16 * 5 + 9}) {
        for (unsigned workers : {1u, 2u, 3u, 8u}) cases.push_back({size, workers});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Sizes, VaultCodecSplitTest, ::testing::ValuesIn(split_cases()),
                         [](const ::testing::TestParamInfo<SplitCase>& info) {
                             return std::to_string(info.param.size) + "_bytes_" +
                                    std::to_string(info.param.workers) + "_workers";
                         });

TEST_F(VaultCodecTest, DecipheringToMemoryAsksForMemoryOnlyWithTheRightKey) {
    write_file(tmp(), fake_database(4096));
    ASSERT_TRUE(VaultCodec::encrypt_file(tmp(), dat(), kKey).ok());
    int asked = 0;
    auto refuse = [&](qint64) -> char* {
        ++asked;
        return nullptr;
    };
    EXPECT_EQ(VaultCodec::decipher_to_memory(dat(), "wrongpasswordyyyy", refuse).outcome,
              DecryptOutcome::WrongPassword);
    EXPECT_EQ(asked, 0);
    DecryptResult refused = VaultCodec::decipher_to_memory(dat(), kKey, refuse);
    EXPECT_EQ(refused.outcome, DecryptOutcome::FileError);
    EXPECT_FALSE(refused.message.isEmpty());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
}

TEST_F(VaultCodecTest, SameInputGivesSameBytes) {
    std::string plain = fake_database(4096);
    plain.replace(1024, 16, plain.substr(512, 16));  // two equal blocks
    write_file(tmp(), plain);
    ASSERT_TRUE(VaultCodec::encrypt_file(tmp(), dat(), kKey).ok());
    const std::string first = read_file(dat());
    EXPECT_EQ(first.substr(1024, 16), first.substr(512, 16));

    const Deciphered back = decipher(dat(), kKey);
    ASSERT_EQ(back.result.outcome, DecryptOutcome::Unlocked);
    write_file(tmp(), back.plain);
    ASSERT_TRUE(VaultCodec::encrypt_file(tmp(), dat(), kKey).ok());
    EXPECT_EQ(read_file(dat()), first);
}

TEST_F(VaultCodecTest, KeyUsesWholeWordsOnly) {
    const std::string plain = fake_database(256);
    write_file(tmp(), plain);
    ASSERT_TRUE(VaultCodec::encrypt_file(tmp(), dat(), "abcyyyyyyyyyyyyyy").ok());
    // The 17th byte is not part of any key word, so "abc" + 16 "y" (19 bytes) unlocks too.
    const Deciphered back = decipher(dat(), "abcyyyyyyyyyyyyyyyy");
    EXPECT_EQ(back.result.outcome, DecryptOutcome::Unlocked);
    EXPECT_TRUE(back.plain == plain);
}

TEST_F(VaultCodecTest, WrongOrUnusableKeyTouchesNothing) {
    const std::string plain = fake_database(2048);
    write_file(tmp(), plain);
    ASSERT_TRUE(VaultCodec::encrypt_file(tmp(), dat(), kKey).ok());
    const std::string sealed = read_file(dat());

    for (const std::string& key : {std::string("wrongpasswordyyyy"), std::string(60, 'a'),
                                   std::string(15, 'a'), std::string()}) {
        SCOPED_TRACE(key.size());
        EXPECT_EQ(decipher(dat(), key).result.outcome, DecryptOutcome::WrongPassword);
        EXPECT_FALSE(VaultCodec::is_encryption_of(dat(), tmp(), key));
        EXPECT_EQ(read_file(dat()), sealed);
        EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    }

    // Enciphering under a key that makes no key is refused before anything is written.
    write_file(tmp(), plain);
    EXPECT_FALSE(VaultCodec::encrypt_file(tmp(), dat(), std::string(60, 'k')).ok());
    EXPECT_EQ(read_file(tmp()), plain);
    EXPECT_EQ(read_file(dat()), sealed);
    EXPECT_TRUE(VaultCodec::is_encryption_of(dat(), tmp(), kKey));
}

TEST_F(VaultCodecTest, FileTooShortOrNotADatabaseIsAWrongPassword) {
    for (const std::string& bytes : {std::string(), std::string(15, 'x'), random_bytes(4096, 9)}) {
        SCOPED_TRACE(bytes.size());
        write_file(dat(), bytes);
        EXPECT_EQ(decipher(dat(), kKey).result.outcome, DecryptOutcome::WrongPassword);
    }
}

TEST_F(VaultCodecTest, MissingSourceIsAFileError) {
    const Deciphered missing = decipher(dat(), kKey);
    EXPECT_EQ(missing.result.outcome, DecryptOutcome::FileError);
    EXPECT_TRUE(missing.result.message.contains("user.dat"));
    Status status = VaultCodec::encrypt_file(tmp(), dat(), kKey);
    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains("user.tmp"));
    EXPECT_TRUE(folder_entries(dir_.path()).isEmpty());
}

TEST_F(VaultCodecTest, OutputsAreOwnerOnly) {
    write_file(tmp(), fake_database(1024));
    ASSERT_TRUE(VaultCodec::encrypt_file(tmp(), dat(), kKey).ok());
    const auto owner_only = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup |
                        QFileDevice::WriteOther;
    EXPECT_EQ(QFile(dat()).permissions() & (owner_only | others), owner_only);
}

#ifdef KORVANE_FAULT_INJECTION
// Fails the named step the n-th time it is reached.
struct FailAt {
    // Shares of the cipher reach the hook from the workers' threads.
    static inline std::string point;
    static inline std::atomic<int> remaining = 0;
    static bool hook(const char* p) { return p == point && --remaining == 0; }
    FailAt(std::string name, int nth) {
        point = std::move(name);
        remaining = nth;
        fault::set_hook(&FailAt::hook);
    }
    ~FailAt() { fault::set_hook(nullptr); }
};

TEST_F(VaultCodecTest, FailureAtAnyStepOfEncipheringKeepsThePlainFile) {
    const std::string plain = fake_database((3 << 20) + 512);
    for (const auto& [point, nth] :
         std::vector<std::pair<std::string, int>>{{"atomic.open", 1},
                                                  {"codec.write", 1},
                                                  {"codec.write", 3},
                                                  {"codec.read", 2},
                                                  {"codec.encipher", 1},
                                                  {"codec.encipher", 4},
                                                  {"atomic.sync", 1},
                                                  {"atomic.rename", 1},
                                                  {"codec.remove_source", 1}}) {
        SCOPED_TRACE(point + " #" + std::to_string(nth));
        write_file(tmp(), plain);
        QFile::remove(dat());
        {
            FailAt fail(point, nth);
            EXPECT_FALSE(VaultCodec::encrypt_file(tmp(), dat(), kKey).ok());
        }
        EXPECT_EQ(read_file(tmp()), plain);
        const QStringList left = folder_entries(dir_.path());
        if (point == "codec.remove_source") {
            // Written whole, only the removal failed: both copies are complete.
            EXPECT_EQ(left, (QStringList{"user.dat", "user.tmp"}));
            EXPECT_TRUE(VaultCodec::is_encryption_of(dat(), tmp(), kKey));
        } else {
            EXPECT_EQ(left, QStringList{"user.tmp"});
        }
    }
}

TEST_F(VaultCodecTest, FailureAtAnyStepOfDecipheringToMemoryKeepsTheVault) {
    write_file(tmp(), fake_database((2 << 20) + 64));
    ASSERT_TRUE(VaultCodec::encrypt_file(tmp(), dat(), kKey).ok());
    const std::string sealed = read_file(dat());
    for (const auto& [point, nth] : std::vector<std::pair<std::string, int>>{
             {"codec.read", 1}, {"codec.read", 3}, {"codec.decipher", 2}, {"codec.decipher", 5}}) {
        SCOPED_TRACE(point + " #" + std::to_string(nth));
        {
            FailAt fail(point, nth);
            const Deciphered failed = decipher(dat(), kKey);
            EXPECT_EQ(failed.result.outcome, DecryptOutcome::FileError);
            EXPECT_FALSE(failed.result.message.isEmpty());
        }
        EXPECT_EQ(read_file(dat()), sealed);
        EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    }
}
#endif

}  // namespace
}  // namespace korvane
