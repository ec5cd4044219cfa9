// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the file tool's deciphering of an arbitrary sealed byte string.
#include <cstdlib>

#include "fuzz_support.h"
#include "tools/file_crypt.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvane;
    auto plain = tools::decrypt_bytes(fuzz::as_view(data, size), fuzz::kFilePassword);
    if (!plain) return 0;
    // Whatever deciphered must survive sealing again, or the tool could write files it
    // cannot read back.
    auto sealed = tools::encrypt_bytes(*plain, fuzz::kFilePassword);
    if (!sealed) std::abort();
    if (std::int64_t(sealed->size()) != tools::enciphered_size(std::int64_t(plain->size()))) {
        std::abort();
    }
    auto again = tools::decrypt_bytes(*sealed, fuzz::kFilePassword);
    if (!again || *again != *plain) std::abort();
    return 0;
}
