// VaultCodec: turns the plain working database into the enciphered vault file and back.
// user.dat is the working file's whole 16-byte blocks, each MARS-enciphered on its own under
// the master password's bytes (no header, no salt, no padding).
#pragma once

#include <QIODevice>
#include <QString>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "vault/mars_cipher.h"
#include "vault/result.h"

namespace korvane {

enum class DecryptOutcome { Unlocked, WrongPassword, FileError };

struct DecryptResult {
    DecryptOutcome outcome;
    QString message;  // for FileError
};

class VaultCodec {
public:
    // Writes vault_path from work_path, reads it back to check it holds exactly the ciphertext
    // written (by chunk checksums) and that its head deciphers to the working file's head, then
    // removes work_path. On any failure the working file is left untouched.
    static Status encrypt_file(const QString& work_path, const QString& vault_path,
                               std::string_view key_material);

    // Writes work_path from vault_path if the first block deciphers to a SQLite header, then
    // removes vault_path. A wrong password or an unusable key leaves vault_path untouched and
    // no work_path.
    static DecryptResult decrypt_file(const QString& vault_path, const QString& work_path,
                                      std::string_view key_material);

    // decrypt_file's first half: vault_path is left in place, so the caller can look at the
    // deciphered database before giving up the sealed copy with remove_sealed().
    static DecryptResult decipher_file(const QString& vault_path, const QString& work_path,
                                       std::string_view key_material);

    // For a reader that keeps the plain database in memory only: deciphers vault_path's whole
    // blocks into the one buffer allocate(length) returns (nullptr when memory is short), with
    // no other copy, and checks that they begin as a SQLite database. vault_path is only read.
    // Whatever the outcome, the buffer belongs to the caller, who wipes it.
    static DecryptResult decipher_to_memory(const QString& vault_path,
                                            std::string_view key_material,
                                            const std::function<char*(qint64 length)>& allocate);

    // Removes the sealed file; through a symbolic link, the file it names, so the link stays
    // for the next lock to write through.
    static Status remove_sealed(const QString& vault_path);

    // True when vault_path deciphers under the key to exactly the whole blocks of work_path.
    static bool is_encryption_of(const QString& vault_path, const QString& work_path,
                                 std::string_view key_material);

    // Enciphers (or deciphers) whole blocks from in to out, in large buffers; a tail shorter
    // than a block is dropped. Returns the number of bytes written. chunk_sums, if given,
    // receives the chunk_checksum of each buffer written.
    enum class Direction { Encrypt, Decrypt };
    static Result<qint64> transform(QIODevice& in, QIODevice& out, const MarsCipher& cipher,
                                    Direction direction, qint64 length,
                                    std::vector<std::uint64_t>* chunk_sums = nullptr);
};

}  // namespace korvane
