// SPDX-License-Identifier: GPL-3.0-or-later
// CommandContext: what every korvane-cli command shares, from the console and the parsed command
// line to the unlocked vault and the checks of record numbers, fields, categories and output paths.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/password_questions.h"
#include "vault/file_io.h"
#include "vault/vault_folder_check.h"
#include "vault/vault_record.h"
#include "vault/vault_session.h"

namespace korvane::cli {

// The texts given for a record's fields, already in the vault's encoding.
struct FieldValues {
    std::optional<std::string> title, account, password, remark, category;
    bool ask_password = false;

    bool any() const { return title || account || password || remark || category || ask_password; }
};

QString root_label();

enum class Escaping {
    // Also the characters that act on a terminal or reorder a line: the other C0 controls and
    // DEL as \xHH (ESC starts the sequences that set the clipboard or erase lines), the C1
    // controls and the bidirectional overrides and isolates (U+202A-U+202E, U+2066-U+2069) as
    // \uHHHH.
    Full,
    // Only what keeps one record on one line (--raw): \\, \t, \r and \n.
    LineBreaksOnly,
};

// Whether escaping rewrites the character c.
bool is_escaped(char16_t c, Escaping escaping);
// One field of a tab-separated line; escaping keeps one record on one line and is reversible.
QString escaped(const std::string& stored, Escaping escaping = Escaping::Full);
QString escaped_text(const QString& text, Escaping escaping = Escaping::Full);

class CommandContext {
public:
    CommandContext(Console& console, ParsedArguments arguments);

    Console& console() { return console_; }
    const ParsedArguments& args() const { return args_; }
    PasswordQuestions& questions() { return questions_; }

    void say(const QString& message);
    void print(const QString& line);
    int fail(int exit_code, const QString& message);
    int fail(const Failure& failure);
    int question_failed();

    QString vault_dir() const;
    // Whether dir holds a vault; an error, in words, when that cannot be seen.
    static Result<VaultPresence> vault_presence_in(const QString& dir);
    // Unlocks the vault, runs body while it is open, then locks it again whatever happened.
    int with_vault(const std::function<int(VaultSession&)>& body);
    // The same for a command that only reads: user.dat is opened read-only, so it is left
    // exactly as it was; a write through the session's database fails.
    int with_vault_read_only(const std::function<int(VaultSession&)>& body);
    int start_failed(StartOutcome outcome);
    int finish(VaultSession& session, int exit_code);

    std::optional<RecordId> record_id(const QString& text);
    std::optional<std::string> stored(const QString& text, const QString& field_name);
    std::optional<FieldValues> field_values();
    // The stored form of a category argument; the root's label stands for the root.
    std::optional<std::string> category_bytes(const QString& label);
    bool category_usable(VaultSession& session, const std::string& category, const QString& label);
    std::optional<VaultRecord> existing_record(VaultSession& session, RecordId oid);
    // False, having said why, when path is one of the vault's own files or exists and is no
    // regular file (whatever --force says), or exists and --force is not given.
    bool may_write(const QString& path);
    // "-" as a command's output file: standard output, as Unix tools take it.
    static bool is_standard_output(const QString& path) { return path == QLatin1String("-"); }
    // Hands bytes to standard output as an export produces them; a failure, once the output
    // has failed, whose message the caller is to say.
    Status write_out(std::string_view bytes);
    // Refuses "-" when standard output is a terminal, saying why: what would be shown there
    // is described by what.
    bool may_show(const QString& what);
    // The command's exit code once standard output is accounted for: output that could not be
    // written is a failure, said here unless the command already did, and a change that was
    // made is said to be kept, so that a retry is not taken for needed.
    int ended(int exit_code);
    // Stored text goes to the terminal as stored only with --raw.
    Escaping escaping() const;

private:
    int run_with_vault(const std::function<int(VaultSession&)>& body, VaultSession::Access access);
    // body's exit code; an exception (most likely an allocation that failed) ends only the
    // command, said in Chinese, so that the vault is still locked after it.
    int guarded(const std::function<int(VaultSession&)>& body, VaultSession& session);

    QString output_failure() const;

    Console& console_;
    ParsedArguments args_;
    PasswordQuestions questions_;
    bool output_failure_said_ = false;
    bool change_kept_ = false;
};

}  // namespace korvane::cli
