// SPDX-License-Identifier: GPL-3.0-or-later
// PasswordQuestions: reading, encoding and the new-password and file-tool checks.
#include "cli/password_questions.h"

#include "tools/file_crypt.h"
#include "vault/mars_cipher.h"
#include "vault/text.h"

namespace korvane::cli {

PasswordQuestions::PasswordQuestions(Console& console, bool from_stdin)
    : console_(console), from_stdin_(from_stdin) {}

void PasswordQuestions::fail(int exit_code, const QString& message) {
    if (!failure_) failure_ = Failure{exit_code, message};
}

std::optional<QString> PasswordQuestions::ask(const QString& prompt) {
    if (failure_) return std::nullopt;
    const LineRead read =
        from_stdin_ ? console_.read_input_line() : console_.read_secret(console_.encode(prompt));
    switch (read.status) {
        case ReadStatus::Ok:
            return decoded(read.line);
        case ReadStatus::TooLong:
            fail(kExitUsage, too_long());
            return std::nullopt;
        case ReadStatus::EndOfInput:
            fail(kExitUsage, from_stdin_ ? QStringLiteral("标准输入中没有更多的密码行。")
                                         : QStringLiteral("没有输入密码。"));
            return std::nullopt;
        case ReadStatus::Interrupted:
            fail(exit_code_for_signal(console_.termination_signal()), QStringLiteral("已中断。"));
            return std::nullopt;
        case ReadStatus::NoTerminal:
            fail(kExitUsage, QStringLiteral("没有可以输入密码的终端；请加 --password-stdin，"
                                            "从标准输入逐行提供密码。"));
            return std::nullopt;
    }
    return std::nullopt;
}

QString PasswordQuestions::too_long() {
    return QStringLiteral("密码行太长：一行最多 %1 个字节，其余部分没有读取。").arg(kMaxLineBytes);
}

std::optional<QString> PasswordQuestions::decoded(const QByteArray& line) {
    // Consoles that do not stop a long line themselves are held to the same limit.
    if (line.size() > kMaxLineBytes) {
        fail(kExitUsage, too_long());
        return std::nullopt;
    }
    // The C library and the window both end a password at a NUL; what follows would be lost.
    if (line.contains('\0')) {
        fail(kExitUsage, QStringLiteral("密码行中含有空字符（NUL），无法使用。"));
        return std::nullopt;
    }
    // Typed in the locale's encoding; the key is made from GBK whatever the terminal uses.
    std::optional<QString> typed = console_.decode(line);
    if (!typed) {
        fail(kExitUsage, QStringLiteral("密码行不是当前区域设置的编码（%1）下的有效文字。")
                             .arg(console_.encoding_name()));
    }
    return typed;
}

std::optional<std::string> PasswordQuestions::encode(const QString& typed,
                                                     const QString& field_name) {
    auto bytes = text::to_gbk(typed, field_name);
    if (!bytes) {
        fail(kExitPassword, bytes.error());
        return std::nullopt;
    }
    return std::move(bytes).value();
}

std::optional<std::string> PasswordQuestions::master_password() {
    const auto typed = ask(QStringLiteral("用户密码："));
    if (!typed) return std::nullopt;
    auto bytes = encode(*typed, QStringLiteral("用户密码"));
    if (!bytes) return std::nullopt;
    return text::pad_master_password(std::move(*bytes));
}

std::optional<std::string> PasswordQuestions::new_master_password() {
    const auto typed = ask(QStringLiteral("输入密码："));
    if (!typed) return std::nullopt;
    const auto again = ask(QStringLiteral("再次输入："));
    if (!again) return std::nullopt;
    auto typed_bytes = encode(*typed, QStringLiteral("输入密码"));
    if (!typed_bytes) return std::nullopt;
    const auto again_bytes = encode(*again, QStringLiteral("再次输入"));
    if (!again_bytes) return std::nullopt;
    // Compared as stored bytes, as the new-password dialog compares them.
    if (*typed_bytes != *again_bytes) {
        fail(kExitUsage, QStringLiteral("两次输入不一致"));
        return std::nullopt;
    }
    std::string padded = text::pad_master_password(std::move(*typed_bytes));
    if (!MarsCipher::is_usable_key_length(padded.size())) {
        fail(kExitPassword, QStringLiteral("密码太长：最多 %1 个字节（一个汉字占 2 个字节）。")
                                .arg(MarsCipher::kMaxKeyBytes));
        return std::nullopt;
    }
    return padded;
}

std::optional<std::string> PasswordQuestions::legacy_password() {
    const auto typed = ask(QStringLiteral("旧密码库文件的用户密码："));
    if (!typed) return std::nullopt;
    auto bytes = encode(*typed, QStringLiteral("用户密码"));
    if (!bytes) return std::nullopt;
    return text::pad_master_password(std::move(*bytes));
}

std::optional<std::string> PasswordQuestions::file_password() {
    const auto typed = ask(QStringLiteral("密码："));
    if (!typed) return std::nullopt;
    const auto again = ask(QStringLiteral("再次输入："));
    if (!again) return std::nullopt;
    auto typed_bytes = encode(*typed, QStringLiteral("密码"));
    if (!typed_bytes) return std::nullopt;
    const auto again_bytes = encode(*again, QStringLiteral("再次输入"));
    if (!again_bytes) return std::nullopt;
    if (Status usable = tools::check_file_passwords(*typed_bytes, *again_bytes); !usable) {
        fail(usable.error() == tools::kPasswordsDiffer ? kExitUsage : kExitPassword,
             usable.error());
        return std::nullopt;
    }
    return typed_bytes;
}

std::optional<std::string> PasswordQuestions::record_password() {
    const auto typed = ask(QStringLiteral("记录的密码："));
    if (!typed) return std::nullopt;
    auto bytes = text::to_gbk(*typed, QStringLiteral("密码"));
    if (!bytes) {
        fail(kExitUsage, bytes.error());
        return std::nullopt;
    }
    return std::move(bytes).value();
}

}  // namespace korvane::cli
