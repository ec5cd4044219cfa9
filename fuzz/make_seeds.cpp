// SPDX-License-Identifier: GPL-3.0-or-later
// Helper for make_corpus.py: enciphers plain seeds with the repo's MARS, which Python lacks.
#include <QFile>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "tools/file_crypt.h"
#include "tools/legacy_import.h"
#include "vault/mars_cipher.h"

namespace {

bool read_all(const char* path, std::string& out) {
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    out.assign(bytes.constData(), std::size_t(bytes.size()));
    return true;
}

bool write_all(const char* path, const std::string& bytes) {
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

// Whole blocks from offset on; a shorter tail stays as it is, as the reader leaves it too.
bool encipher_from(std::string& bytes, std::size_t offset, std::string_view key) {
    korvane::MarsCipher cipher;
    if (!cipher.set_key(key)) return false;
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
    for (; offset + korvane::MarsCipher::kBlockSize <= bytes.size();
         offset += korvane::MarsCipher::kBlockSize) {
        cipher.encrypt_block(p + offset, p + offset);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace korvane;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s legacy|file IN OUT\n", argv[0]);
        return 2;
    }
    std::string bytes;
    if (!read_all(argv[2], bytes)) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    const std::string_view mode = argv[1];
    bool ok = false;
    if (mode == "legacy") {
        ok = encipher_from(bytes, tools::legacy::kHeaderSize, fuzz::kPaddedPassword);
    } else if (mode == "file") {
        auto sealed = tools::encrypt_bytes(bytes, fuzz::kFilePassword);
        if (sealed) bytes = std::move(*sealed);
        ok = bool(sealed);
    }
    if (!ok || !write_all(argv[3], bytes)) {
        std::fprintf(stderr, "cannot make %s from %s\n", argv[3], argv[2]);
        return 1;
    }
    return 0;
}
