// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's handlers of the data exchange commands: each gathers input, runs the tool
// and shows the outcome; the main window only calls them and refreshes what they report.
#pragma once

class QWidget;

namespace korvane {

class VaultSession;

// What the caller must show again after a tool changed the vault.
struct VaultChange {
    bool records = false;     // refill the record list for the selected category
    bool categories = false;  // reload the category tree (which refills the list as well)
};

// Every record as a comma-separated file the user names; nothing to export is said at once.
void export_csv(QWidget* owner, VaultSession& session);
// An unencrypted copy of the vault database under a name the user chooses.
void export_backup(QWidget* owner, VaultSession& session);
// ImportDialog; the tree and the list are reloaded however it closed.
VaultChange import_records(QWidget* owner, VaultSession& session);
// SyncDialog, then the count of added records when a synchronisation ran.
VaultChange sync_records(QWidget* owner, VaultSession& session);
// FileCryptDialog with both password boxes holding the master password.
void encrypt_file_tool(QWidget* owner, VaultSession& session);
// PasswordGeneratorDialog.
void show_password_generator(QWidget* owner);

}  // namespace korvane
