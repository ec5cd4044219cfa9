// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseImage: sqlite3_malloc64 memory that is wiped before it is freed.
#include "vault/database_image.h"

#include <sqlite3.h>

#include <utility>

#include "vault/secure_wipe.h"

namespace korvane {

DatabaseImage::~DatabaseImage() { reset(); }

DatabaseImage::DatabaseImage(DatabaseImage&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

DatabaseImage& DatabaseImage::operator=(DatabaseImage&& other) noexcept {
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

char* DatabaseImage::allocate(qint64 size) {
    reset();
    if (size <= 0) return nullptr;
    data_ = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(size)));
    if (data_) size_ = size;
    return reinterpret_cast<char*>(data_);
}

void DatabaseImage::reset() {
    if (!data_) return;
    secure_wipe(data_, std::size_t(size_));
    sqlite3_free(std::exchange(data_, nullptr));
    size_ = 0;
}

void DatabaseImage::wipe_and_abandon() {
    if (data_) secure_wipe(data_, std::size_t(size_));
    data_ = nullptr;
    size_ = 0;
}

}  // namespace korvane
