// SPDX-License-Identifier: GPL-3.0-or-later
// The one input shape both legacy targets use: a whole legacy file, header then body.
#pragma once

#include <QFile>
#include <cstdint>
#include <limits>

#include "fuzz_support.h"
#include "tools/legacy_import.h"

namespace korvane::fuzz {

// The parsers are given the body as it stands (as if already deciphered) with the header's
// record count, so one corpus serves the parsers and the file reader alike; out-of-range
// counts are passed on unclamped because the parsers promise to refuse them.
inline void run_legacy(const std::uint8_t* data, std::size_t size, tools::LegacyFormat format) {
    using namespace tools::legacy;
    const std::string_view input = as_view(data, size);
    if (size >= kHeaderSize) {
        const std::int64_t last =
            std::int32_t(std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                         std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24);
        const int count =
            last == std::numeric_limits<std::int32_t>::max() ? int(last) : int(last + 1);
        const std::string_view body = input.substr(kHeaderSize);
        auto parsed = format == tools::LegacyFormat::Old ? tools::parse_old_slots(body, count)
                                                         : tools::parse_new_stream(body, count);
        (void)parsed;
    }

    const QString path = write_scratch(QStringLiteral("legacy.dat"), data, size);
    auto file = tools::LegacyVaultFile::open(path, format);
    if (file) {
        auto records = file->read_records(kPaddedPassword);
        if (records && int(records->size()) != file->record_count()) std::abort();
    }
    QFile::remove(path);
}

}  // namespace korvane::fuzz
