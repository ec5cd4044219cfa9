// SPDX-License-Identifier: GPL-3.0-or-later
// secure_wipe: a volatile write loop the compiler must keep, whatever it proves about the buffer.
#include "vault/secure_wipe.h"

namespace korvane {

void secure_wipe(void* data, std::size_t size) {
    if (!data) return;
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
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
