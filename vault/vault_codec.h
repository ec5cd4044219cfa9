// SPDX-License-Identifier: GPL-3.0-or-later
// VaultCodec: turns a whole plain database file into the enciphered vault file, and a vault file
// back into memory. user.dat is the database's whole 16-byte blocks, each MARS-enciphered on its
// own under the master password's bytes (no header, no salt, no padding). The open vault is read
// and written in place through EncipheredVfs, which writes the same bytes; the codec serves what
// works on a file as a whole: a left-over working file of an earlier version, and the
// references the benchmarks and tests hold the VFS against.
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
    // Writes vault_path from work_path, flushed and renamed into place, then removes work_path.
    // On any failure the working file is left untouched.
    static Status encrypt_file(const QString& work_path, const QString& vault_path,
                               std::string_view key_material, const CodecThreads& threads = {});

    // Deciphers vault_path into memory the caller owns (the reference the VFS's speed is measured
    // against). allocate is called once, after the password has been checked, with the
    // length of the plain database (whole blocks, at least one); it returns that many writable
    // bytes, or nullptr to give up (a FileError). The bytes are the caller's to wipe and free,
    // on failure too.
    static DecryptResult decipher_to_memory(const QString& vault_path,
                                            std::string_view key_material,
                                            const std::function<char*(qint64 length)>& allocate,
                                            const CodecThreads& threads = {});

    // True when vault_path deciphers under the key to exactly the whole blocks of work_path.
    static bool is_encryption_of(const QString& vault_path, const QString& work_path,
                                 std::string_view key_material, const CodecThreads& threads = {});

    // Enciphers (or deciphers) whole blocks from in to out, in large buffers; a tail shorter
    // than a block is dropped. Returns the number of bytes written. One 1 MiB buffer at a time,
    // whatever the length: the blocks of each are split between the workers.
    using Direction = CipherDirection;
    static Result<qint64> transform(QIODevice& in, QIODevice& out, const MarsCipher& cipher,
                                    Direction direction, qint64 length,
                                    const CodecThreads& threads = {});
};

}  // namespace korvane
