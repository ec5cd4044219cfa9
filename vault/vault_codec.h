// SPDX-License-Identifier: GPL-3.0-or-later
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

#include "vault/block_cipher_pool.h"
#include "vault/mars_cipher.h"
#include "vault/result.h"

namespace korvane {

// How the codec spreads the cipher over threads. The defaults are what the programs use; tests
// and benchmarks pick the worker count and the size at which the threads start.
struct CodecThreads {
    // Below this many bytes a file is ciphered on the calling thread alone: starting a second
    // thread and handing it half the blocks costs more than that half takes to cipher (see
    // bench/README.md, "Cipher on every core").
    static constexpr qint64 kDefaultParallelFrom = qint64(64) << 10;

    unsigned workers = 0;  // 0: one per core, at least two (BlockCipherPool)
    qint64 parallel_from = kDefaultParallelFrom;
};

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
                               std::string_view key_material, const CodecThreads& threads = {});

    // Writes work_path from vault_path if the first block deciphers to a SQLite header, then
    // removes vault_path. A wrong password or an unusable key leaves vault_path untouched and
    // no work_path.
    static DecryptResult decrypt_file(const QString& vault_path, const QString& work_path,
                                      std::string_view key_material,
                                      const CodecThreads& threads = {});

    // decrypt_file's first half: vault_path is left in place, so the caller can look at the
    // deciphered database before giving up the sealed copy with remove_sealed().
    static DecryptResult decipher_file(const QString& vault_path, const QString& work_path,
                                       std::string_view key_material,
                                       const CodecThreads& threads = {});

    // Deciphers vault_path into memory the caller owns, for readers that never want the plain
    // database on disk. allocate is called once, after the password has been checked, with the
    // length of the plain database (whole blocks, at least one); it returns that many writable
    // bytes, or nullptr to give up (a FileError). The bytes are the caller's to wipe and free,
    // on failure too.
    static DecryptResult decipher_to_memory(const QString& vault_path,
                                            std::string_view key_material,
                                            const std::function<char*(qint64 length)>& allocate,
                                            const CodecThreads& threads = {});

    // Removes the sealed file; through a symbolic link, the file it names, so the link stays
    // for the next lock to write through.
    static Status remove_sealed(const QString& vault_path);

    // True when vault_path deciphers under the key to exactly the whole blocks of work_path.
    static bool is_encryption_of(const QString& vault_path, const QString& work_path,
                                 std::string_view key_material, const CodecThreads& threads = {});

    // Enciphers (or deciphers) whole blocks from in to out, in large buffers; a tail shorter
    // than a block is dropped. Returns the number of bytes written. chunk_sums, if given,
    // receives the chunk_checksum of each buffer written. One 1 MiB buffer at a time, whatever
    // the length: the blocks of each are split between the workers.
    using Direction = CipherDirection;
    static Result<qint64> transform(QIODevice& in, QIODevice& out, const MarsCipher& cipher,
                                    Direction direction, qint64 length,
                                    std::vector<std::uint64_t>* chunk_sums = nullptr,
                                    const CodecThreads& threads = {});
};

}  // namespace korvane
