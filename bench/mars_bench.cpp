// Throughput of MarsCipher against Crypto++'s MARS on 1 MiB buffers, block by block.
#include <benchmark/benchmark.h>
#include <crypto++/mars.h>

#include <cstdint>
#include <random>
#include <vector>

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

BENCHMARK(BM_Korvane<true>)->Name("MarsEncrypt/korvane")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cryptopp<CryptoPP::MARS::Encryption>)
    ->Name("MarsEncrypt/cryptopp")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Korvane<false>)->Name("MarsDecrypt/korvane")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cryptopp<CryptoPP::MARS::Decryption>)
    ->Name("MarsDecrypt/cryptopp")
    ->Unit(benchmark::kMillisecond);

}  // namespace
