// SPDX-License-Identifier: GPL-3.0-or-later
// The vault folder a front end uses when it is given none, and the creation of that folder.
#pragma once

#include <QString>

namespace korvane {

// What the choice depends on, passed in so that a test can stand in for the running program.
struct VaultDirPlaces {
    QString program_dir;     // the folder of the running executable
    QString install_bindir;  // where an installed executable lies (CMAKE_INSTALL_FULL_BINDIR)
    QString user_data_dir;   // the per-user data folder, $XDG_DATA_HOME/korvane
};

// The executable's folder when it is writable and is not the install bindir (an installed
// program run as root must not keep user.dat among the system's binaries); else the per-user
// folder.
QString choose_vault_dir(const VaultDirPlaces& places);

// Creates dir and each missing folder above it, owner-only (0700), as the XDG base directory
// rules ask of a data folder. Returns false if one could not be made; what already exists is
// left exactly as it is.
bool create_private_folders(const QString& dir);

// The per-user data folder of the XDG base directory rules: $XDG_DATA_HOME, or
// $HOME/.local/share when that is unset, empty or relative (the rules call a relative value
// invalid, and one would name a different folder in every working directory).
QString user_data_home(const QString& xdg_data_home, const QString& home);

// choose_vault_dir for this program; the per-user folder is created when missing, so that the
// first start of an installed program finds a folder to make its vault in.
QString default_vault_dir();

}  // namespace korvane
