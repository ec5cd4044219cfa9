// SPDX-License-Identifier: GPL-3.0-or-later
// The whole-file encipher that is left of the codec (VaultCodec::encrypt_file, which turns a
// working file left behind by an earlier version into user.dat) on 64 MiB, against a durable
// copy of the same file, the cipher alone on the same bytes in memory, and the two in one pass,
// all in one run. The open vault no longer passes through here: see session_bench.cpp.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <random>
#include <vector>

#include "bench/bench_goals.h"
#include "vault/atomic_file_writer.h"
#include "vault/mars_cipher.h"
#include "vault/vault_codec.h"

namespace {

using namespace korvane;

constexpr qint64 kVaultSize = qint64(64) << 20;
const std::string kKey = "benchmarkyyyyyyyy";

struct Fixture {
    QTemporaryDir dir;
    QString plain_master = dir.filePath("master.db");
    QString dat = dir.filePath("user.dat");
    QString tmp = dir.filePath("user.tmp");

    explicit Fixture(qint64 size) {
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
    }
};

Fixture& fixture() {
    static Fixture f(kVaultSize);
    return f;
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
        QFile in(f.plain_master);
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

// Reference: the durable copy with each chunk enciphered on one thread on its way, the least the
// encipher has to do.
void BM_CipheredDurableCopy64MiB(benchmark::State& state) {
    Fixture& f = fixture();
    MarsCipher cipher;
    cipher.set_key(kKey);
    std::vector<char> buffer(std::size_t(1) << 20);
    for (auto _ : state) {
        QFile in(f.plain_master);
        in.open(QIODevice::ReadOnly);
        AtomicFileWriter out(f.tmp);
        (void)out.open();
        qint64 n;
        while ((n = in.read(buffer.data(), qint64(buffer.size()))) > 0) {
            auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.data());
            const auto blocks = std::size_t(n) / MarsCipher::kBlockSize;
            cipher.encrypt_blocks(bytes, bytes, blocks);
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
            cipher.encrypt_blocks(buffer.data(), buffer.data(),
                                  buffer.size() / MarsCipher::kBlockSize);
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * kVaultSize);
}

// The encipher next to its references: copy, cipher, and the two in one pass.
BENCHMARK(BM_DurableCopy64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CipherOnly64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CipheredDurableCopy64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_EncryptFile64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

const bool kGoals = korvane::bench::add_goal(
    {"encrypt_file of 64 MiB (no goal): against the cipher and the durable copy in one pass",
     "BM_EncryptFile64MiB",
     {"BM_CipheredDurableCopy64MiB"}});

}  // namespace
