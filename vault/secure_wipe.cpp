// SPDX-License-Identifier: GPL-3.0-or-later
// secure_wipe: a store the compiler must keep, whatever it proves about the buffer.
#include "vault/secure_wipe.h"

#include <string.h>

namespace korvane {

void secure_wipe(void* data, std::size_t size) {
    if (!data) return;
    // glibc's explicit_bzero is memset at full speed behind a barrier the optimiser may not
    // see through; a volatile loop writes one byte at a time, which a lock that wipes a list
    // of a million rows would feel.
    ::explicit_bzero(data, size);
}

void secure_wipe(std::string& text) {
    // data() of a string always points at capacity() + 1 writable bytes, the terminator's too.
    secure_wipe(text.data(), text.capacity());
    text.clear();
}

void secure_wipe(std::vector<char>& bytes) {
    secure_wipe(bytes.data(), bytes.capacity());
    bytes.clear();
}

void secure_wipe(QByteArray& bytes) {
    // Only a buffer this object owns alone may be overwritten; a shared one is another's copy.
    if (!bytes.isDetached()) {
        bytes.clear();
        return;
    }
    secure_wipe(bytes.data(), std::size_t(bytes.size()));
    bytes.clear();
}

void secure_wipe(QString& text) {
    if (!text.isDetached()) {
        text.clear();
        return;
    }
    secure_wipe(text.data(), std::size_t(text.size()) * sizeof(QChar));
    text.clear();
}

}  // namespace korvane
