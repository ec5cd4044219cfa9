// Vault file codec speed: unlocking (decipher) and locking (encipher, with the read-back check)
// a 64 MiB vault against a durable copy of the same file and against the cipher alone on the
// same bytes in memory, and against the two done in one pass, all in one run.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <random>
#include <vector>

#include "vault/atomic_file_writer.h"
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

    Fixture() {
        std::vector<char> plain(static_cast<std::size_t>(kVaultSize));
        std::mt19937 gen(7);
        for (auto& c : plain) c = char(gen());
        std::memcpy(plain.data(), "SQLite format 3", 16);
        QFile out(plain_master);
        out.open(QIODevice::WriteOnly);
        out.write(plain.data(), kVaultSize);
        out.close();
        QFile::copy(plain_master, tmp);
        (void)VaultCodec::encrypt_file(tmp, sealed_master, kKey);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
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
            for (qint64 i = 0; i < n; i += 16) {
                if (encipher) {
                    cipher.encrypt_block(bytes + i, bytes + i);
                } else {
                    cipher.decrypt_block(bytes + i, bytes + i);
                }
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
            for (std::size_t i = 0; i < buffer.size(); i += 16) {
                cipher.decrypt_block(buffer.data() + i, buffer.data() + i);
            }
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * kVaultSize);
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

}  // namespace
