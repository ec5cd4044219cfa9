// SPDX-License-Identifier: GPL-3.0-or-later
// GBK encoding and decoding through glibc iconv, character-boundary cutting and password padding.
#include "vault/text.h"

#include <iconv.h>

#include <cerrno>

namespace korvane::text {
namespace {

// glibc accepts "CP936" (with MS936 and WINDOWS-936) only as an alias of its GBK module, and
// that module already maps the single byte 0x80 to the euro sign as code page 936 does. We ask
// for "CP936" anyway so the name states the intent; it resolves to the same converter.
constexpr char kCodePage936[] = "CP936";

// QString's storage is UTF-16 in host order; naming the order explicitly keeps iconv from
// writing or expecting a byte order mark.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr char kUtf16Host[] = "UTF-16LE";
#else
constexpr char kUtf16Host[] = "UTF-16BE";
#endif

constexpr char16_t kReplacement = 0xFFFD;

// One converter per thread and direction: iconv_open is not free, and a descriptor holds shift
// state, so it must not be shared between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }
    // Converts as much as possible; returns iconv's result and leaves errno set on failure.
    std::size_t convert(const char*& in, std::size_t& in_left, char*& out, std::size_t& out_left) {
        return iconv(cd_, const_cast<char**>(&in), &in_left, &out, &out_left);
    }

private:
    iconv_t cd_;
};

Converter& encoder() {
    thread_local Converter converter(kCodePage936, kUtf16Host);
    return converter;
}

Converter& decoder() {
    thread_local Converter converter(kUtf16Host, kCodePage936);
    return converter;
}

bool is_ascii(std::string_view bytes) {
    for (unsigned char c : bytes) {
        if (c >= 0x80) return false;
    }
    return true;
}

bool is_lead_byte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

Error unencodable(const QString& field_name, const QString& character) {
    return make_error(QStringLiteral("“%1”中含有无法保存的字符：%2").arg(field_name, character));
}

struct Decoded {
    QString text;
    std::size_t replaced = 0;  // bytes that were not valid GBK
};

Decoded decode(std::string_view bytes) {
    Decoded result;
    if (is_ascii(bytes)) {
        result.text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
        return result;
    }
    Converter& cd = decoder();
    if (!cd.valid()) {
        // Without a converter only ASCII can be shown faithfully; mark every other byte.
        for (unsigned char c : bytes) {
            if (c < 0x80) {
                result.text.append(QChar(c));
            } else {
                result.text.append(QChar(kReplacement));
                ++result.replaced;
            }
        }
        return result;
    }
    cd.reset();
    // Every GBK byte yields at most one UTF-16 unit, so this buffer never runs short.
    std::u16string buffer(bytes.size(), u'\0');
    const char* in = bytes.data();
    std::size_t in_left = bytes.size();
    char* out = reinterpret_cast<char*>(buffer.data());
    std::size_t out_left = buffer.size() * sizeof(char16_t);
    auto flush = [&] {
        const auto written = (buffer.size() * sizeof(char16_t) - out_left) / sizeof(char16_t);
        result.text.append(QStringView(buffer.data(), static_cast<qsizetype>(written)));
        out = reinterpret_cast<char*>(buffer.data());
        out_left = buffer.size() * sizeof(char16_t);
    };
    while (in_left > 0) {
        if (cd.convert(in, in_left, out, out_left) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            flush();
            continue;
        }
        // EILSEQ (bad sequence) or EINVAL (lead byte at the very end): iconv stops in front of
        // the offending byte. Show it as one replacement character and carry on after it.
        flush();
        result.text.append(QChar(kReplacement));
        ++result.replaced;
        ++in;
        --in_left;
        cd.reset();
    }
    flush();
    return result;
}

}  // namespace

Result<std::string> to_gbk(const QString& text, const QString& field_name) {
    if (text.isEmpty()) return std::string();
    Converter& cd = encoder();
    if (!cd.valid()) {
        return make_error(QStringLiteral("无法保存“%1”：系统缺少GBK编码转换").arg(field_name));
    }
    cd.reset();
    // A UTF-16 unit (2 bytes in) never becomes more than 2 GBK bytes out.
    std::string out_bytes(static_cast<std::size_t>(text.size()) * 2, '\0');
    const char* in = reinterpret_cast<const char*>(text.utf16());
    std::size_t in_left = static_cast<std::size_t>(text.size()) * sizeof(char16_t);
    char* out = out_bytes.data();
    std::size_t out_left = out_bytes.size();
    const std::size_t irreversible = cd.convert(in, in_left, out, out_left);
    if (irreversible == static_cast<std::size_t>(-1) && errno != E2BIG) {
        // EILSEQ for a character GBK lacks or a lone low surrogate, EINVAL for a high surrogate
        // at the end; in both cases iconv stops at the character, which the message quotes.
        const auto unit = static_cast<qsizetype>(
            (in - reinterpret_cast<const char*>(text.utf16())) / sizeof(char16_t));
        const bool pair = text.at(unit).isHighSurrogate() && unit + 1 < text.size() &&
                          text.at(unit + 1).isLowSurrogate();
        QString character = text.mid(unit, pair ? 2 : 1);
        if (character.size() == 1 && character.at(0).isSurrogate()) {
            character = QString(QChar(kReplacement));  // a lone surrogate cannot be displayed
        }
        return unencodable(field_name, character);
    }
    if (irreversible != 0) {
        // iconv substituted something (or, against the bound above, ran out of room); the value
        // would not be stored as typed.
        return make_error(QStringLiteral("“%1”中含有无法保存的字符").arg(field_name));
    }
    out_bytes.resize(out_bytes.size() - out_left);
    return out_bytes;
}

QString from_gbk(std::string_view bytes) { return decode(bytes).text; }

bool is_valid_gbk(std::string_view bytes) {
    return is_ascii(bytes) || (decoder().valid() && decode(bytes).replaced == 0);
}

std::size_t prefix_at_char_boundary(std::string_view bytes, std::size_t max_bytes) {
    // Walk forwards: trail bytes (0x40-0xFE) overlap the lead range, so a boundary cannot be
    // recognised by looking backwards from the cut.
    std::size_t end = 0;
    while (end < bytes.size()) {
        const bool pair =
            is_lead_byte(static_cast<unsigned char>(bytes[end])) && end + 1 < bytes.size();
        const std::size_t width = pair ? 2 : 1;
        if (end + width > max_bytes) break;
        end += width;
    }
    return end;
}

std::string pad_master_password(std::string typed) {
    // The fill is part of the vault format's key material, so it must match byte for byte.
    if (typed.size() < 16) typed.append(17 - typed.size(), 'y');
    return typed;
}

}  // namespace korvane::text
