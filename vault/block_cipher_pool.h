// SPDX-License-Identifier: GPL-3.0-or-later
// BlockCipherPool: MARS over the whole blocks of a buffer, split between worker threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "vault/mars_cipher.h"

namespace korvane {

enum class CipherDirection { Encrypt, Decrypt };

// ECB blocks do not depend on each other, so each worker takes one contiguous share of the
// buffer and the bytes come out the same whatever the number of workers. The threads are started
// by the first start() and kept until the pool is destroyed, so a file of many chunks pays for
// them once. The calling thread is free while they work (start, then wait): the codec reads the
// next chunk and writes the last one meanwhile.
class BlockCipherPool {
public:
    // 0 asks for one worker per core, and never fewer than two. One worker is the calling
    // thread itself: start() then does the work before it returns.
    explicit BlockCipherPool(unsigned workers = 0);
    // Waits for a run still in flight: no worker touches its buffer once the pool is gone.
    ~BlockCipherPool();
    BlockCipherPool(const BlockCipherPool&) = delete;
    BlockCipherPool& operator=(const BlockCipherPool&) = delete;

    // Fewer than asked once start() could not start them all.
    unsigned workers() const { return workers_; }

    static unsigned default_workers();

    // Enciphers or deciphers the whole blocks of data in place (a shorter tail is left as it
    // is). The buffer is the workers' until wait() returns; one run at a time.
    void start(std::uint8_t* data, std::size_t size, const MarsCipher& cipher,
               CipherDirection direction);
    // False when a share was refused by the fault hook ("codec.encipher", "codec.decipher"); the
    // buffer is then partly transformed and must not be used.
    bool wait();
    bool run(std::uint8_t* data, std::size_t size, const MarsCipher& cipher,
             CipherDirection direction);

    // The same work on the calling thread alone, for buffers too small to be worth a hand-off.
    static bool run_here(std::uint8_t* data, std::size_t size, const MarsCipher& cipher,
                         CipherDirection direction);

private:
    struct Job {
        std::uint8_t* data = nullptr;
        std::size_t blocks = 0;
        const MarsCipher* cipher = nullptr;
        CipherDirection direction = CipherDirection::Encrypt;
    };

    void start_threads();
    void work_loop(unsigned index);
    bool run_share(const Job& job, unsigned index) const;

    unsigned workers_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable job_ready_;
    std::condition_variable job_done_;
    Job job_;
    std::uint64_t generation_ = 0;
    unsigned unfinished_ = 0;
    bool share_failed_ = false;
    bool in_flight_ = false;
    bool stopping_ = false;
};

}  // namespace korvane
