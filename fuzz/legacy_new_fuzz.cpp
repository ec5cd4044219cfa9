// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the record-stream legacy vault file, parsed directly and read from disk.
#include "legacy_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korvane::fuzz::run_legacy(data, size, korvane::tools::LegacyFormat::New);
    return 0;
}
