// SPDX-License-Identifier: GPL-3.0-or-later
// The file encryption tool: one clear fill-count byte P, then the plain bytes and P fill bytes
// as MARS ECB blocks under the password exactly as typed.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

#include "vault/result.h"
#include "vault/session_files.h"

namespace korvane::tools {

// The dialog's fixed text when the two password boxes differ.
inline const QString kPasswordsDiffer = QStringLiteral("密码不正确");

// Refuses passwords that differ from their repetition or that make no MARS key (16 to 59
// bytes), before any file is touched.
Status check_file_passwords(std::string_view password, std::string_view password_again);
Status check_file_password(std::string_view password);

// Length of the enciphered form of a plain file of plain_size bytes.
std::int64_t enciphered_size(std::int64_t plain_size);

// Writes the enciphered form of source_path to target_path through a temporary file (the
// target may be the source itself). Success only once the target is renamed into place. A
// target that is one of session's own files is refused before anything is written.
Status encrypt_file(const QString& source_path, const QString& target_path,
                    std::string_view password, const SessionFiles& session);

// Writes the plain content of the enciphered source_path to target_path, which must not be
// the source: a wrong password cannot be recognised, so the enciphered copy is always kept.
// A source that is not 1 + a positive multiple of 16 bytes long, or whose P is outside 1..16,
// is refused, and so is a target that is one of session's own files.
Status decrypt_file(const QString& source_path, const QString& target_path,
                    std::string_view password, const SessionFiles& session);

// Where the file tool writes its result; neither is ever the chosen file itself. Enciphering
// appends ".enc"; deciphering drops a trailing ".enc" (any case) or, for any other name, appends
// ".decrypted".
QString encrypted_file_path(const QString& path);
QString decrypted_file_path(const QString& path);

// The same format on bytes in memory.
Result<std::string> encrypt_bytes(std::string_view plain, std::string_view password);
Result<std::string> decrypt_bytes(std::string_view sealed, std::string_view password);

}  // namespace korvane::tools
