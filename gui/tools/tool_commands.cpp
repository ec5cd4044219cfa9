// SPDX-License-Identifier: GPL-3.0-or-later
// The data exchange commands: file choice, the work layer's call and the message boxes.
#include "gui/tools/tool_commands.h"

#include "gui/common/message_box.h"
#include "gui/common/run_modal.h"
#include "gui/tools/file_chooser.h"
#include "gui/tools/file_crypt_dialog.h"
#include "gui/tools/import_dialog.h"
#include "gui/tools/password_generator_dialog.h"
#include "gui/tools/sync_dialog.h"
#include "tools/backup_export.h"
#include "tools/csv_export.h"
#include "vault/session_files.h"
#include "vault/text.h"
#include "vault/vault_session.h"

namespace korvane {

void export_csv(QWidget* owner, VaultSession& session) {
    // Built before the file dialog so that an empty vault never asks for a name.
    auto csv = tools::build_csv(session.db());
    if (!csv) {
        const bool empty = csv.error() == tools::kNoRecordsToExport;
        show_message(owner, csv.error(), empty ? plain_error_caption() : error_caption());
        return;
    }
    const QString path = file_chooser().save_file(
        owner, save_caption(), QStringLiteral("逗号分隔文本文件 (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty()) return;
    if (Status written = tools::write_csv(path, *csv, SessionFiles(session)); !written) {
        show_message(owner, written.error(), error_caption());
    }
}

void export_backup(QWidget* owner, VaultSession& session) {
    const QString path = file_chooser().save_file(owner, save_caption(),
                                                  QStringLiteral("无加密的备份数据库文件 (*.dat)"),
                                                  QStringLiteral("dat"));
    if (path.isEmpty()) return;
    if (Status written = tools::export_backup(session.db(), path, SessionFiles(session));
        !written) {
        show_message(owner, written.error(), error_caption());
    }
}

VaultChange import_records(QWidget* owner, VaultSession& session) {
    ImportDialog dialog(session.db(), file_chooser(), owner);
    run_modal(dialog);
    // Several imports may have run before the dialog closed, so both panes are rebuilt whatever
    // happened.
    return VaultChange{true, true};
}

VaultChange sync_records(QWidget* owner, VaultSession& session) {
    SyncDialog dialog(session.db(), file_chooser(), owner);
    run_modal(dialog);
    if (dialog.synced()) {
        show_message(owner,
                     QStringLiteral("数据库同步成功，共同步了%1条数据").arg(dialog.sync_count()),
                     QStringLiteral("成功"));
    }
    return VaultChange{true, dialog.added_categories() > 0};
}

void encrypt_file_tool(QWidget* owner, VaultSession& session) {
    FileCryptDialog dialog(text::from_gbk(session.master_password()), SessionFiles(session),
                           file_chooser(), owner);
    run_modal(dialog);
}

void show_password_generator(QWidget* owner) {
    PasswordGeneratorDialog dialog(owner);
    run_modal(dialog);
}

}  // namespace korvane
