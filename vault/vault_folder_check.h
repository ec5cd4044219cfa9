// SPDX-License-Identifier: GPL-3.0-or-later
// What the vault folder and the names in it must be before anything is opened: a folder only
// its owner can write, and regular files (user.dat may be a link to one) where files belong.
#pragma once

#include <QString>

#include "vault/result.h"
#include "vault/vault_files.h"

namespace korvane {

// What a file of this st_mode is, in words ("命名管道", "文件夹", ...), for messages.
QString file_kind_name(unsigned mode);

// A file chosen to be read (an import source, a file to encipher) must be a regular file or a
// link to one: opening a FIFO or a device would block, or read without end, while the vault is
// open. Missing files pass, for the caller's own "cannot open" message.
Status check_readable_source(const QString& path);

// Whether a folder holds a vault, asked before anything is created: a command that needs one
// must not make a new vault (nor its folder) where the user expected an existing one.
enum class VaultPresence { Absent, Present };

// Present when user.dat names something (a link to an existing file too; what it is, the
// session's checks judge), or when a left-over working file with content is there, as a crash
// of an earlier version leaves it. Absent only when neither is there, the folder itself missing
// included. An error, in words, when the answer cannot be seen: a folder that cannot be
// entered, a user.dat link that leads nowhere or round in a loop, a folder name that is no
// folder.
Result<VaultPresence> vault_presence(const VaultFiles& files);

// Creates the folder (owner-only) if it is missing; refuses one that group or others can
// write, naming the command that fixes it.
Status prepare_vault_folder(const QString& dir);

// Looks at each name without opening it (lstat/stat only, so a FIFO cannot block): the lock,
// the journal and a left-over working file, if present, must be regular files and not links;
// user.dat, if present, a regular file or a chain of links to one. A user.dat link to a missing
// file is accepted only beside a left-over working file: the state a crash of an earlier
// version leaves while the vault was unlocked; a link in a loop, or to a file that cannot be
// reached, never.
Status check_vault_entries(const VaultFiles& files);

}  // namespace korvane
