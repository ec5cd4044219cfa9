// SPDX-License-Identifier: GPL-3.0-or-later
// The hostile value table and GBK byte generators.
#include "support/hostile_values.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace korvane::testing {
namespace {

bool is_trail(int byte) { return byte >= 0x40 && byte <= 0xFE && byte != 0x7F; }

std::string pair(int lead, int trail) { return {char(lead), char(trail)}; }

// Every lead byte with trail bytes at the edges of both trail ranges and the ASCII look-alikes
// a byte-wise scanner trips over ('\\', '|', '`', '@'); some pairs map to no character.
std::string gbk_grid_sample() {
    std::string out;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail : {0x40, 0x5C, 0x60, 0x7C, 0x7E, 0x80, 0xA0, 0xA1, 0xFE}) {
            out += pair(lead, trail);
        }
    }
    return out;
}

// Every double-byte sequence iconv maps to a character, in code order.
std::string every_gbk_character() {
    std::string out;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (is_trail(trail) && iconv_accepts_gbk(pair(lead, trail))) out += pair(lead, trail);
        }
    }
    return out;
}

// Characters whose only faithful form is their code page bytes: the single-byte euro sign,
// punctuation that GBK variants map differently, private-use mappings and user-defined areas.
std::string odd_gbk_mappings() {
    std::string out = "\x80";
    for (const char* code : {"\xa1\xa4", "\xa1\xaa", "\xa6\xd9", "\xa6\xdf", "\xa8\xbc", "\xa8\xbf",
                             "\xa9\x8a", "\xfe\x50", "\xfe\x55", "\xfe\xa0", "\xaa\xa1", "\xaf\xfe",
                             "\xf8\xa1", "\xfe\xfe", "\xa1\x40", "\xa7\xa0"}) {
        out += code;
    }
    return out;
}

// Byte sequences no GBK decoder accepts: 0xFF, a lead before a control byte or a space, a
// trail without its lead, and a lead byte at the very end.
std::string invalid_gbk() { return "\xff|\x81\x7f|\x81 |a\xa1\xa1\xa1|\xfe\xff|\x81\x30|\x81"; }

}  // namespace

std::string gbk_text_of_64_kib() {
    std::string out = "<";
    // Walks the GB2312 hanzi rows, so a byte shifted by one shows as a different character.
    int lead = 0xB0, trail = 0xA1;
    while (out.size() < 65535) {
        out += pair(lead, trail);
        if (++trail > 0xFE) {
            trail = 0xA1;
            lead = lead == 0xD6 ? 0xB0 : lead + 1;  // row D7 ends early; stay in full rows
        }
    }
    out += ">";
    return out;
}

bool iconv_accepts_gbk(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in(bytes);
    std::string out(in.size() * 4 + 4, '\0');
    char* in_ptr = in.data();
    char* out_ptr = out.data();
    std::size_t in_left = in.size(), out_left = out.size();
    const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    return rc != std::size_t(-1) && in_left == 0;
}

std::string gbk(const char* utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string in(utf8);
    std::string out(in.size() * 2 + 4, '\0');
    char* in_ptr = in.data();
    char* out_ptr = out.data();
    std::size_t in_left = in.size(), out_left = out.size();
    const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    EXPECT_NE(rc, std::size_t(-1)) << "iconv failed on " << utf8;
    out.resize(out.size() - out_left);
    return out;
}

const std::vector<HostileValue>& hostile_values() {
    static const std::vector<HostileValue> values = {
        {"SingleQuotes", "it's '' ' O'Brien'"},
        {"DoubleQuotes", "say \"hi\" \"\" \""},
        {"FormatDirectives", "%s %d %1 %n %% %-999s %x %ls %2%1"},
        {"BackslashesAndSql", "C:\\dir\\ \\' \\\" \\n \\\\'); DROP TABLE userpass; -- /* x */"},
        {"ControlCharacters", "tab\there\r\nline\x01\x1b[0m\x7f"},
        {"GbkGridSample", gbk_grid_sample()},
        {"EveryGbkCharacter", every_gbk_character()},
        {"OddGbkMappings", odd_gbk_mappings()},
        {"InvalidGbk", invalid_gbk()},
        {"Gbk64KiB", gbk_text_of_64_kib()},
        {"Empty", ""},
    };
    return values;
}

const std::vector<RecordField>& record_fields() {
    static const std::vector<RecordField> fields = {
        {"Title", &VaultRecord::title},       {"Account", &VaultRecord::account},
        {"Password", &VaultRecord::password}, {"Remark", &VaultRecord::remark},
        {"Category", &VaultRecord::category},
    };
    return fields;
}

VaultRecord with_field(VaultRecord record, const RecordField& field, std::string value) {
    record.*field.member = std::move(value);
    return record;
}

}  // namespace korvane::testing
