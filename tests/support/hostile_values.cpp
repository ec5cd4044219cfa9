// SPDX-License-Identifier: GPL-3.0-or-later
// The hostile value table and GBK byte generators.
#include "support/hostile_values.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <cstring>

namespace korvane::test_support {
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
        // OSC 52 sets the clipboard, CSI erases and moves; with nothing else the output escapes,
        // so each must be told apart on its own. Shorter than a word, longer, and among GBK text.
        {"TerminalSequences",
         "\x1b]52;c;cGFzc3dvcmQ=\x07\x1b[2K\x1b[1A\x1b[0J\x08\x0b\x0c\x1f"
         "erased"},
        {"ShortSequence", "\x1b[2J"},
        {"TerminalSequencesInGbk",
         gbk("标题") + "\x1b[2K" + gbk("密码") + "\x1b]52;c;eA==\x1b\\" + gbk("备注") + "\x7f"},
        {"GbkGridSample", gbk_grid_sample()},
        {"EveryGbkCharacter", every_gbk_character()},
        {"OddGbkMappings", odd_gbk_mappings()},
        {"InvalidGbk", invalid_gbk()},
        {"Gbk64KiB", gbk_text_of_64_kib()},
        {"Empty", ""},
    };
    return values;
}

namespace {

bool make_fifo(const QString& path, std::string* why) {
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) == 0) return true;
    *why = std::string("mkfifo: ") + std::strerror(errno);
    return false;
}

bool make_char_device(const QString& path, std::string* why) {
    // A node of its own, the null device's numbers: nothing outside the test's folder is at
    // stake if the writer replaces it.
    if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
        return true;
    }
    // Without the right to make one, a link to /dev/null: a writer that followed it and renamed
    // over /dev/null would then be refused by the system. With the right, never risk it.
    if (::geteuid() == 0) {
        *why = std::string("mknod: ") + std::strerror(errno);
        return false;
    }
    return QFile::link(QStringLiteral("/dev/null"), path);
}

bool make_folder(const QString& path, std::string* why) {
    if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0) return true;
    *why = std::string("mkdir: ") + std::strerror(errno);
    return false;
}

bool make_socket(const QString& path, std::string* why) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (std::size_t(name.size()) >= sizeof address.sun_path) {
        *why = "socket path too long";
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!bound) *why = std::string("socket: ") + std::strerror(errno);
    if (fd >= 0) ::close(fd);  // the socket's name stays in the folder
    return bound;
}

bool make_link_to_fifo(const QString& path, std::string* why) {
    const QString end = path + QStringLiteral(".fifo");
    return make_fifo(end, why) && QFile::link(end, path);
}

bool make_regular(const QString& path, std::string* why) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write("old\n") == 4) return true;
    *why = file.errorString().toStdString();
    return false;
}

}  // namespace

const std::vector<SpecialTarget>& special_targets() {
    static const std::vector<SpecialTarget> targets = {
        {"Fifo", "命名管道", make_fifo},
        {"FifoWithAReader", "命名管道", make_fifo, false, true},
        {"CharacterDevice", "字符设备", make_char_device},
        {"Folder", "文件夹", make_folder},
        {"Socket", "套接字", make_socket},
        {"LinkToAFifo", "命名管道", make_link_to_fifo},
        {"FifoSwappedInWhileWriting", "命名管道", make_regular, true},
    };
    return targets;
}

std::string file_identity(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return "missing";
    return std::to_string(info.st_mode) + ":" + std::to_string(info.st_dev) + ":" +
           std::to_string(info.st_ino) + ":" + std::to_string(info.st_rdev);
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

}  // namespace korvane::test_support
