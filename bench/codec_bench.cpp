// SPDX-License-Identifier: GPL-3.0-or-later
// Vault file codec speed: unlocking (decipher) and locking (encipher, with the read-back check)
// a 64 MiB vault against a durable copy of the same file and against the cipher alone on the
// same bytes in memory, and against the two done in one pass, all in one run. Then a whole
// unlock + lock against the cipher floor on every core (two passes of BlockCipherPool in memory),
// and a 16 KiB vault against the single-thread codec. The 256 MiB unlock + lock is registered
// only when KORVANE_BENCH_256MIB is set (bench/README.md).
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "vault/atomic_file_writer.h"
#include "vault/block_cipher_pool.h"
#include "vault/mars_cipher.h"
#include "vault/vault_codec.h"

namespace {

using namespace korvane;

constexpr qint64 kVaultSize = qint64(64) << 20;
const std::string kKey = "benchmarkyyyyyyyy";

struct Fixture {
    QTemporaryDir dir;
    QString sealed_master = dir.filePath("master.dat");
    QString plain_master = dir.filePath("master.db");
    QString dat = dir.filePath("user.dat");
    QString tmp = dir.filePath("user.tmp");

    explicit Fixture(qint64 size) {
        // Written a chunk at a time: the 256 MiB vault need not fit in memory twice.
        std::vector<char> plain(std::size_t(1) << 20);
        std::mt19937 gen(7);
        QFile out(plain_master);
        out.open(QIODevice::WriteOnly);
        for (qint64 done = 0; done < size; done += qint64(plain.size())) {
            const qint64 n = std::min<qint64>(qint64(plain.size()), size - done);
            for (auto& c : plain) c = char(gen());
            if (done == 0) std::memcpy(plain.data(), "SQLite format 3", 16);
            out.write(plain.data(), n);
        }
        out.close();
        QFile::copy(plain_master, tmp);
        (void)VaultCodec::encrypt_file(tmp, sealed_master, kKey);
    }
};

Fixture& fixture(qint64 size = kVaultSize) {
    static std::map<qint64, std::unique_ptr<Fixture>> fixtures;
    std::unique_ptr<Fixture>& f = fixtures[size];
    if (!f) f = std::make_unique<Fixture>(size);
    return *f;
}

void BM_DecryptFile64MiB(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(f.tmp);
        QFile::copy(f.sealed_master, f.dat);
        state.ResumeTiming();
        DecryptResult result = VaultCodec::decrypt_file(f.dat, f.tmp, kKey);
        if (result.outcome != DecryptOutcome::Unlocked) state.SkipWithError("decrypt failed");
    }
    state.SetBytesProcessed(state.iterations() * kVaultSize);
}

void BM_EncryptFile64MiB(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(f.dat);
        QFile::remove(f.tmp);
        QFile::copy(f.plain_master, f.tmp);
        state.ResumeTiming();
        if (!VaultCodec::encrypt_file(f.tmp, f.dat, kKey).ok())
            state.SkipWithError("encrypt failed");
    }
    state.SetBytesProcessed(state.iterations() * kVaultSize);
}

// Reference: the same file copied in the same chunk size, flushed to disk and renamed.
void BM_DurableCopy64MiB(benchmark::State& state) {
    Fixture& f = fixture();
    std::vector<char> buffer(std::size_t(1) << 20);
    for (auto _ : state) {
        QFile in(f.sealed_master);
        in.open(QIODevice::ReadOnly);
        AtomicFileWriter out(f.tmp);
        (void)out.open();
        qint64 n;
        while ((n = in.read(buffer.data(), qint64(buffer.size()))) > 0)
            (void)out.write(buffer.data(), n);
        (void)out.commit();
    }
    state.SetBytesProcessed(state.iterations() * kVaultSize);
}

// Reference: the durable copy with each chunk run through the cipher on its way, the least any
// lock or unlock has to do; range(0) is 1 to encipher, 0 to decipher.
void BM_CipheredDurableCopy64MiB(benchmark::State& state) {
    Fixture& f = fixture();
    MarsCipher cipher;
    cipher.set_key(kKey);
    const bool encipher = state.range(0) != 0;
    std::vector<char> buffer(std::size_t(1) << 20);
    for (auto _ : state) {
        QFile in(encipher ? f.plain_master : f.sealed_master);
        in.open(QIODevice::ReadOnly);
        AtomicFileWriter out(f.tmp);
        (void)out.open();
        qint64 n;
        while ((n = in.read(buffer.data(), qint64(buffer.size()))) > 0) {
            auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.data());
            const auto blocks = std::size_t(n) / MarsCipher::kBlockSize;
            if (encipher) {
                cipher.encrypt_blocks(bytes, bytes, blocks);
            } else {
                cipher.decrypt_blocks(bytes, bytes, blocks);
            }
            (void)out.write(buffer.data(), n);
        }
        (void)out.commit();
    }
    state.SetBytesProcessed(state.iterations() * kVaultSize);
}

// Reference: the cipher alone over the same number of bytes, in memory.
void BM_CipherOnly64MiB(benchmark::State& state) {
    MarsCipher cipher;
    cipher.set_key(kKey);
    std::vector<std::uint8_t> buffer(std::size_t(1) << 20, 0x5a);
    for (auto _ : state) {
        for (qint64 done = 0; done < kVaultSize; done += qint64(buffer.size())) {
            cipher.decrypt_blocks(buffer.data(), buffer.data(),
                                  buffer.size() / MarsCipher::kBlockSize);
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * kVaultSize);
}

// Unlock then lock, as a session does from start to end: user.dat is back at the end of each
// iteration. range(0) is the vault's size in KiB; range(1) the threads: 0 the codec's default,
// 1 the calling thread alone (the codec before it used every core), 2 every core whatever the
// size (no threshold).
void BM_UnlockLock(benchmark::State& state) {
    const qint64 size = state.range(0) << 10;
    Fixture& f = fixture(size);
    CodecThreads threads;
    if (state.range(1) == 1) threads.workers = 1;
    if (state.range(1) == 2) threads.parallel_from = 0;
    QFile::remove(f.tmp);
    QFile::remove(f.dat);
    QFile::copy(f.sealed_master, f.dat);
    for (auto _ : state) {
        if (VaultCodec::decrypt_file(f.dat, f.tmp, kKey, threads).outcome !=
                DecryptOutcome::Unlocked ||
            !VaultCodec::encrypt_file(f.tmp, f.dat, kKey, threads).ok()) {
            state.SkipWithError("unlock or lock failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * size * 2);
}

// Reference: the cipher floor of an unlock + lock on every core, two passes of the pool over the
// vault's bytes in memory, one 1 MiB chunk at a time. range(0) is the size in KiB.
void BM_CipherFloor(benchmark::State& state) {
    const qint64 size = state.range(0) << 10;
    MarsCipher cipher;
    cipher.set_key(kKey);
    BlockCipherPool pool;
    std::vector<std::uint8_t> buffer(std::size_t(std::min<qint64>(size, 1 << 20)), 0x5a);
    for (auto _ : state) {
        for (CipherDirection direction : {CipherDirection::Decrypt, CipherDirection::Encrypt}) {
            for (qint64 done = 0; done < size; done += qint64(buffer.size())) {
                (void)pool.run(buffer.data(), buffer.size(), cipher, direction);
            }
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["workers"] = pool.workers();
    state.SetBytesProcessed(state.iterations() * size * 2);
}

// Each file operation next to its references: copy + cipher, and the two in one pass.
BENCHMARK(BM_DurableCopy64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CipherOnly64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CipheredDurableCopy64MiB)
    ->ArgName("encipher")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_DecryptFile64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CipheredDurableCopy64MiB)
    ->ArgName("encipher")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_EncryptFile64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK(BM_CipherFloor)
    ->ArgName("KiB")
    ->Arg(64 << 10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_UnlockLock)
    ->ArgNames({"KiB", "threads"})
    ->ArgsProduct({{64 << 10}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// A small vault: the default must cost what the single thread costs; forcing the threads shows
// what the threshold spares it.
BENCHMARK(BM_UnlockLock)
    ->ArgNames({"KiB", "threads"})
    ->ArgsProduct({{16}, {1, 0, 2}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MinTime(1.0);

// Minutes per run and 1 GiB of scratch files: only on request.
const bool kBigRegistered = [] {
    if (std::getenv("KORVANE_BENCH_256MIB") == nullptr) return false;
    benchmark::RegisterBenchmark("BM_CipherFloor", BM_CipherFloor)
        ->ArgName("KiB")
        ->Arg(256 << 10)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_UnlockLock", BM_UnlockLock)
        ->ArgNames({"KiB", "threads"})
        ->ArgsProduct({{256 << 10}, {1, 0}})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    return true;
}();

}  // namespace
