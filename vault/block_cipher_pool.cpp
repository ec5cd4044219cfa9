// SPDX-License-Identifier: GPL-3.0-or-later
// BlockCipherPool: one share of blocks per worker thread.
#include "vault/block_cipher_pool.h"

#include <algorithm>
#include <system_error>

#include "vault/fault_injection.h"

namespace korvane {
namespace {

// Shares start on a 64-byte boundary, so two workers never write the same cache line.
constexpr std::size_t kShareAlignBlocks = 4;

const char* fault_point(CipherDirection direction) {
    return direction == CipherDirection::Encrypt ? "codec.encipher" : "codec.decipher";
}

void transform_blocks(std::uint8_t* data, std::size_t blocks, const MarsCipher& cipher,
                      CipherDirection direction) {
    if (direction == CipherDirection::Encrypt) {
        cipher.encrypt_blocks(data, data, blocks);
    } else {
        cipher.decrypt_blocks(data, data, blocks);
    }
}

std::size_t share_start(std::size_t blocks, unsigned index, unsigned workers) {
    if (index >= workers) return blocks;
    const std::size_t even = blocks * index / workers;
    return even - even % kShareAlignBlocks;
}

}  // namespace

BlockCipherPool::BlockCipherPool(unsigned workers)
    : workers_(workers == 0 ? default_workers() : workers) {}

BlockCipherPool::~BlockCipherPool() {
    if (in_flight_) (void)wait();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    job_ready_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

unsigned BlockCipherPool::default_workers() {
    // hardware_concurrency() may answer 0 when it cannot tell; two workers still beat one on any
    // machine this runs on, and cost one idle thread on a single core.
    return std::max(2u, std::thread::hardware_concurrency());
}

bool BlockCipherPool::run_here(std::uint8_t* data, std::size_t size, const MarsCipher& cipher,
                               CipherDirection direction) {
    if (fault::should_fail(fault_point(direction))) return false;
    transform_blocks(data, size / MarsCipher::kBlockSize, cipher, direction);
    return true;
}

void BlockCipherPool::start(std::uint8_t* data, std::size_t size, const MarsCipher& cipher,
                            CipherDirection direction) {
    in_flight_ = true;
    if (workers_ >= 2 && threads_.empty()) start_threads();
    if (workers_ < 2) {
        share_failed_ = !run_here(data, size, cipher, direction);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        job_ = Job{data, size / MarsCipher::kBlockSize, &cipher, direction};
        unfinished_ = workers_;
        share_failed_ = false;
        ++generation_;
    }
    job_ready_.notify_all();
}

bool BlockCipherPool::wait() {
    in_flight_ = false;
    std::unique_lock lock(mutex_);
    job_done_.wait(lock, [this] { return unfinished_ == 0; });
    job_ = Job{};
    return !share_failed_;
}

bool BlockCipherPool::run(std::uint8_t* data, std::size_t size, const MarsCipher& cipher,
                          CipherDirection direction) {
    start(data, size, cipher, direction);
    return wait();
}

void BlockCipherPool::start_threads() {
    // A thread the system refuses is no error: the shares are cut for the threads there are.
    try {
        threads_.reserve(workers_);
        for (unsigned index = 0; index < workers_; ++index) {
            threads_.emplace_back([this, index] { work_loop(index); });
        }
    } catch (const std::system_error&) {
    }
    std::lock_guard lock(mutex_);
    workers_ = std::max(1u, unsigned(threads_.size()));
}

void BlockCipherPool::work_loop(unsigned index) {
    std::uint64_t seen = 0;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            job_ready_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            job = job_;
        }
        const bool ok = run_share(job, index);
        {
            std::lock_guard lock(mutex_);
            if (!ok) share_failed_ = true;
            --unfinished_;
        }
        job_done_.notify_one();
    }
}

bool BlockCipherPool::run_share(const Job& job, unsigned index) const {
    const std::size_t first = share_start(job.blocks, index, workers_);
    const std::size_t end =
        index + 1 == workers_ ? job.blocks : share_start(job.blocks, index + 1, workers_);
    if (fault::should_fail(fault_point(job.direction))) return false;
    transform_blocks(job.data + first * MarsCipher::kBlockSize, end - first, *job.cipher,
                     job.direction);
    return true;
}

}  // namespace korvane
