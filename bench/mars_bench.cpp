// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of MarsCipher against Crypto++'s MARS on 1 MiB buffers, block by block, and of the
// codec's BlockCipherPool (every core) against the same single-thread Crypto++ reference. All in
// wall-clock time: a pool's work is spread over threads the CPU-time clock does not see.
#include <benchmark/benchmark.h>
#include <crypto++/mars.h>

#include <cstdint>
#include <random>
#include <vector>

#include "vault/block_cipher_pool.h"
#include "vault/mars_cipher.h"

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;

std::vector<std::uint8_t> random_buffer(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng());
    return out;
}

// A 32-byte key: long keys cost nothing extra per block, so one length stands for all.
const std::vector<std::uint8_t>& bench_key() {
    static const std::vector<std::uint8_t> key = random_buffer(32, 1);
    return key;
}

template <bool kEncrypt>
void BM_Korvane(benchmark::State& state) {
    korvane::MarsCipher cipher;
    if (!cipher.set_key(bench_key().data(), bench_key().size() * 8)) {
        state.SkipWithError("set_key refused the benchmark key");
        return;
    }
    std::vector<std::uint8_t> buf = random_buffer(kBufferBytes, 2);
    for (auto _ : state) {
        for (std::size_t off = 0; off < buf.size(); off += korvane::MarsCipher::kBlockSize) {
            if constexpr (kEncrypt) {
                cipher.encrypt_block(buf.data() + off, buf.data() + off);
            } else {
                cipher.decrypt_block(buf.data() + off, buf.data() + off);
            }
        }
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBufferBytes);
}

template <typename Cipher>
void BM_Cryptopp(benchmark::State& state) {
    Cipher cipher;
    cipher.SetKey(bench_key().data(), bench_key().size());
    std::vector<std::uint8_t> buf = random_buffer(kBufferBytes, 2);
    for (auto _ : state) {
        for (std::size_t off = 0; off < buf.size(); off += 16) {
            cipher.ProcessBlock(buf.data() + off);
        }
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBufferBytes);
}

// The codec's way through a file: one long-lived pool, one 1 MiB chunk per run(). range(0) is
// the worker count, 0 for the codec's default (one per core, at least two).
template <korvane::CipherDirection kDirection>
void BM_Pool(benchmark::State& state) {
    korvane::MarsCipher cipher;
    if (!cipher.set_key(bench_key().data(), bench_key().size() * 8)) {
        state.SkipWithError("set_key refused the benchmark key");
        return;
    }
    korvane::BlockCipherPool pool(static_cast<unsigned>(state.range(0)));
    std::vector<std::uint8_t> buf = random_buffer(kBufferBytes, 2);
    for (auto _ : state) {
        if (!pool.run(buf.data(), buf.size(), cipher, kDirection)) state.SkipWithError("refused");
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    state.counters["workers"] = pool.workers();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBufferBytes);
}

// What the smallest vaults would pay for threads: a pool made, run once over range(0) bytes and
// destroyed (range(1) = 1), against the calling thread alone (range(1) = 0). Where the two
// cross is the size from which the codec starts its threads (CodecThreads::parallel_from).
void BM_PoolStartUp(benchmark::State& state) {
    korvane::MarsCipher cipher;
    if (!cipher.set_key(bench_key().data(), bench_key().size() * 8)) {
        state.SkipWithError("set_key refused the benchmark key");
        return;
    }
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const bool threaded = state.range(1) != 0;
    std::vector<std::uint8_t> buf = random_buffer(bytes, 2);
    for (auto _ : state) {
        bool ok = true;
        if (threaded) {
            korvane::BlockCipherPool pool;
            ok = pool.run(buf.data(), buf.size(), cipher, korvane::CipherDirection::Decrypt);
        } else {
            ok = korvane::BlockCipherPool::run_here(buf.data(), buf.size(), cipher,
                                                    korvane::CipherDirection::Decrypt);
        }
        if (!ok) state.SkipWithError("refused");
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

BENCHMARK(BM_Korvane<true>)
    ->Name("MarsEncrypt/korvane")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Cryptopp<CryptoPP::MARS::Encryption>)
    ->Name("MarsEncrypt/cryptopp")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Pool<korvane::CipherDirection::Encrypt>)
    ->Name("MarsEncrypt/pool")
    ->ArgName("workers")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Korvane<false>)
    ->Name("MarsDecrypt/korvane")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Cryptopp<CryptoPP::MARS::Decryption>)
    ->Name("MarsDecrypt/cryptopp")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Pool<korvane::CipherDirection::Decrypt>)
    ->Name("MarsDecrypt/pool")
    ->ArgName("workers")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PoolStartUp)
    ->ArgNames({"bytes", "threaded"})
    ->ArgsProduct({{16 << 10, 64 << 10, 256 << 10}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace
