// SPDX-License-Identifier: GPL-3.0-or-later
// The file encryption tool: exact enciphered bytes against Crypto++, round trips, refusals.
#include "tools/file_crypt.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <random>

#include "support/failing_step.h"
#include "support/file_helpers.h"
#include "support/reference_cipher.h"
#include "vault/session_files.h"

namespace korvane::tools {
namespace {

using namespace korvane::test_support;

const std::string kKey = "a password of 20 by";  // 19 bytes: the key is its first 16

std::string random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = char(gen());
    return s;
}

class FileCryptTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
    QTemporaryDir vault_dir_;
    const SessionFiles session_{vault_dir_.path()};
};

TEST_F(FileCryptTest, EnciphersToFillCountAndEcbBlocksThatAnIndependentMarsReads) {
    for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 20u, 1000u, (1u << 20) + 7}) {
        SCOPED_TRACE(size);
        const std::string plain = random_bytes(size, unsigned(size));
        write_file(path("plain"), plain);
        ASSERT_TRUE(encrypt_file(path("plain"), path("sealed"), kKey, session_).ok());

        const std::string sealed = read_file(path("sealed"));
        ASSERT_EQ(std::int64_t(sealed.size()), enciphered_size(std::int64_t(size)));
        EXPECT_EQ(sealed.size(), 1 + 16 * (size / 16 + 1));
        EXPECT_EQ(int(std::uint8_t(sealed[0])), int(16 - size % 16));
        EXPECT_EQ(reference_mars_ecb(kKey, sealed.substr(1), false).substr(0, size), plain);
        EXPECT_TRUE(is_owner_only(path("sealed")));

        ASSERT_TRUE(decrypt_file(path("sealed"), path("opened"), kKey, session_).ok());
        EXPECT_EQ(read_file(path("opened")), plain);
        EXPECT_EQ(read_file(path("plain")), plain);
    }
    EXPECT_EQ(enciphered_size(0), 17);
    EXPECT_EQ(enciphered_size(20), 33);
}

TEST_F(FileCryptTest, BytesAndFilesAgreeAndTwiceRoundTrips) {
    const std::string plain = "twenty bytes of text";
    auto once = encrypt_bytes(plain, kKey);
    ASSERT_TRUE(once.ok());
    ASSERT_EQ(once->size(), 33u);
    EXPECT_EQ(std::uint8_t((*once)[0]), 12);
    auto twice = encrypt_bytes(*once, kKey);
    ASSERT_TRUE(twice.ok());
    EXPECT_EQ(twice->size(), 49u);

    // In place, as the dialog may choose for enciphering.
    write_file(path("f"), plain);
    ASSERT_TRUE(encrypt_file(path("f"), path("f"), kKey, session_).ok());
    EXPECT_EQ(read_file(path("f")), *once);
    ASSERT_TRUE(encrypt_file(path("f"), path("f"), kKey, session_).ok());
    EXPECT_EQ(read_file(path("f")), *twice);

    ASSERT_TRUE(decrypt_file(path("f"), path("f1"), kKey, session_).ok());
    ASSERT_TRUE(decrypt_file(path("f1"), path("f2"), kKey, session_).ok());
    EXPECT_EQ(read_file(path("f1")), *once);
    EXPECT_EQ(read_file(path("f2")), plain);
    auto back = decrypt_bytes(*twice, kKey);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(decrypt_bytes(*back, kKey).value(), plain);
}

TEST_F(FileCryptTest, PasswordsAreCheckedBeforeAnyFileIsTouched) {
    EXPECT_EQ(check_file_passwords(kKey, kKey + "x").error(), QStringLiteral("密码不正确"));
    EXPECT_TRUE(check_file_passwords(std::string(16, 'k'), std::string(16, 'k')).ok());
    EXPECT_TRUE(check_file_passwords(std::string(59, 'k'), std::string(59, 'k')).ok());

    for (const std::string& bad : {std::string(15, 'k'), std::string(60, 'k'), std::string()}) {
        SCOPED_TRACE(bad.size());
        EXPECT_FALSE(check_file_password(bad).ok());
        // The source does not even exist: a refusal that read it would say so instead.
        Status status = encrypt_file(path("absent"), path("out"), bad, session_);
        ASSERT_FALSE(status.ok());
        EXPECT_FALSE(status.error().contains(QStringLiteral("absent")));
        EXPECT_FALSE(decrypt_file(path("absent"), path("out"), bad, session_).ok());
        EXPECT_FALSE(encrypt_bytes("x", bad).ok());
    }
    EXPECT_FALSE(QFileInfo::exists(path("out")));
}

TEST_F(FileCryptTest, DecipheringRefusesOtherFilesAndKeepsTheEncipheredCopy) {
    const std::string sealed = encrypt_bytes("secret content", kKey).value();
    std::string fill_zero = sealed, fill_17 = sealed;
    fill_zero[0] = 0;
    fill_17[0] = 17;
    for (const std::string& bad : {std::string(), std::string(1, '\x10'), std::string(16, '\x01'),
                                   sealed + "x", sealed.substr(0, 16), fill_zero, fill_17}) {
        SCOPED_TRACE(bad.size());
        write_file(path("bad"), bad);
        EXPECT_FALSE(decrypt_file(path("bad"), path("out"), kKey, session_).ok());
        EXPECT_FALSE(decrypt_bytes(bad, kKey).ok());
        EXPECT_FALSE(QFileInfo::exists(path("out")));
        EXPECT_EQ(read_file(path("bad")), bad);
    }

    write_file(path("sealed"), sealed);
    EXPECT_FALSE(decrypt_file(path("sealed"), path("sealed"), kKey, session_).ok());
    EXPECT_FALSE(decrypt_file(path("sealed"), dir_.path() + "/./sealed", kKey, session_).ok());
    // A wrong password cannot be recognised; the enciphered file is what keeps the data.
    ASSERT_TRUE(decrypt_file(path("sealed"), path("garbled"), "wrong password 16", session_).ok());
    EXPECT_NE(read_file(path("garbled")), "secret content");
    EXPECT_EQ(read_file(path("sealed")), sealed);
}

TEST_F(FileCryptTest, FailedWriteReportsAndLeavesTargetAsItWas) {
    write_file(path("plain"), random_bytes(5000, 3));
    write_file(path("target"), "previous");
    const QStringList entries = folder_entries(dir_.path());
    for (const char* point : {"atomic.open", "codec.write", "atomic.sync", "atomic.rename"}) {
        SCOPED_TRACE(point);
        FailingStep failing(point);
        EXPECT_FALSE(encrypt_file(path("plain"), path("target"), kKey, session_).ok());
        EXPECT_EQ(read_file(path("target")), "previous");
        EXPECT_EQ(folder_entries(dir_.path()), entries);
    }
    EXPECT_FALSE(encrypt_file(path("plain"), path("no/folder/x"), kKey, session_).ok());
}

TEST(FileCryptNames, ResultsNeverNameTheChosenFile) {
    struct Case {
        QString path, encrypted, decrypted;
    };
    const std::vector<Case> cases = {
        {"/d/report.txt", "/d/report.txt.enc", "/d/report.txt.decrypted"},
        {"/d/report.txt.enc", "/d/report.txt.enc.enc", "/d/report.txt"},
        {"/d/REPORT.ENC", "/d/REPORT.ENC.enc", "/d/REPORT"},
        {"/d/.enc", "/d/.enc.enc", "/d/.enc.decrypted"},
        {"/d.enc/file", "/d.enc/file.enc", "/d.enc/file.decrypted"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encrypted_file_path(c.path), c.encrypted);
        EXPECT_EQ(decrypted_file_path(c.path), c.decrypted);
    }
}

}  // namespace
}  // namespace korvane::tools
