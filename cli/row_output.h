// SPDX-License-Identifier: GPL-3.0-or-later
// RowOutput: tab-separated lines written to standard output while the rows are still being read,
// so a long listing never gathers in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/command_context.h"
#include "cli/console.h"

namespace korvane::cli {

class RowOutput {
public:
    explicit RowOutput(Console& console, Escaping escaping = Escaping::Full);
    RowOutput(const RowOutput&) = delete;
    RowOutput& operator=(const RowOutput&) = delete;

    void number(std::int64_t value);
    // A stored GBK field, escaped() as given to the constructor, in the output's encoding.
    void field(std::string_view stored);
    void tab() { buffer_.push_back('\t'); }
    // Ends the line, and writes the buffer out once it is big enough.
    void end_line();
    // Writes out what is left.
    void flush();

private:
    // A field with GBK text, through the same decoding and escaping as escaped().
    void append_decoded(std::string_view stored);

    Console& console_;
    Escaping escaping_;
    std::string buffer_;
};

}  // namespace korvane::cli
