// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseImage: a plain vault database held in memory only, for a session that reads and never
// writes, so that no plain page ever reaches the disk.
#pragma once

#include <QtGlobal>
#include <cstdint>

namespace korvane {

class DatabaseImage {
public:
    DatabaseImage() = default;
    // Wipes the bytes before the memory goes back: they are the plain vault.
    ~DatabaseImage();
    DatabaseImage(DatabaseImage&& other) noexcept;
    DatabaseImage& operator=(DatabaseImage&& other) noexcept;
    DatabaseImage(const DatabaseImage&) = delete;
    DatabaseImage& operator=(const DatabaseImage&) = delete;

    // Room for size bytes, replacing what was held; nullptr when the memory cannot be had.
    // SQLite's allocator, so the connection that reads the image can use it in place.
    char* allocate(qint64 size);
    void reset();

    unsigned char* data() const { return data_; }
    qint64 size() const { return size_; }
    bool empty() const { return data_ == nullptr; }

    // Overwrites the bytes and gives up the memory without freeing it: for the one case where a
    // connection that may still point into it could not be closed.
    void wipe_and_abandon();

private:
    unsigned char* data_ = nullptr;
    qint64 size_ = 0;
};

}  // namespace korvane
