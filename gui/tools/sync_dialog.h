// SPDX-License-Identifier: GPL-3.0-or-later
// SyncDialog: picks another database-version vault and merges it into the open vault.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class SyncDialog;
}

namespace korvane {

class FileChooser;
class SqliteDb;

// "同步" merges and closes; "关闭" closes without merging. A source that is not a readable
// vault database is reported and the dialog stays open for another choice.
class SyncDialog : public QDialog {
    Q_OBJECT

public:
    SyncDialog(SqliteDb& vault, FileChooser& chooser, QWidget* parent = nullptr);
    ~SyncDialog() override;

    // The path as the edit shows it, whether browsed or typed.
    QString source_path() const;

    bool synced() const { return synced_; }
    int sync_count() const { return sync_count_; }
    int added_categories() const { return added_categories_; }

private:
    void browse();
    void synchronise();

    std::unique_ptr<Ui::SyncDialog> ui_;
    SqliteDb& vault_;
    FileChooser& chooser_;
    bool synced_ = false;
    int sync_count_ = 0;
    int added_categories_ = 0;
};

}  // namespace korvane
