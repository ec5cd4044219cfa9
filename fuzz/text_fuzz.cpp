// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: GBK decoding, validation, cutting at character boundaries and the round trip.
#include <cstdlib>

#include "fuzz_support.h"
#include "vault/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvane;
    const std::string_view bytes = fuzz::as_view(data, size);

    const QString decoded = text::from_gbk(bytes);
    const bool valid = text::is_valid_gbk(bytes);

    for (const std::size_t max : {std::size_t(0), size / 2, size, size + 1}) {
        const std::size_t cut = text::prefix_at_char_boundary(bytes, max);
        if (cut > max || cut > size) std::abort();
        // A cut through valid text must leave valid text, or stored fields would decode to U+FFFD.
        if (valid && !text::is_valid_gbk(bytes.substr(0, cut))) std::abort();
    }

    if (valid) {
        auto encoded = text::to_gbk(decoded, QStringLiteral("标题"));
        if (!encoded || *encoded != bytes) std::abort();
    }
    return 0;
}
