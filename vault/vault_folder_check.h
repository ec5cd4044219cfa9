// SPDX-License-Identifier: GPL-3.0-or-later
// What the vault folder and the names in it must be before anything is opened: a folder only
// its owner can write, and regular files (user.dat may be a link to one) where files belong.
#pragma once

#include <QString>

#include "vault/result.h"

namespace korvane {

// What a file of this st_mode is, in words ("命名管道", "文件夹", ...), for messages.
QString file_kind_name(unsigned mode);

// A file chosen to be read (an import source, a file to encipher) must be a regular file or a
// link to one: opening a FIFO or a device would block, or read without end, while the vault is
// open. Missing files pass, for the caller's own "cannot open" message.
Status check_readable_source(const QString& path);

// Creates the folder (owner-only) if it is missing; refuses one that group or others can
// write, naming the command that fixes it.
Status prepare_vault_folder(const QString& dir);

// Looks at each name without opening it (lstat/stat only, so a FIFO cannot block):
// lock_path and work_path, if present, must be regular files and not links; vault_path, if
// present, a regular file or a chain of links to one. A vault_path link to a missing file is
// accepted only beside a working file: the state a crash leaves while the vault is unlocked.
Status check_vault_entries(const QString& vault_path, const QString& work_path,
                           const QString& lock_path);

}  // namespace korvane
