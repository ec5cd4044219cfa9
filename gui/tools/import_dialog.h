// SPDX-License-Identifier: GPL-3.0-or-later
// ImportDialog: adds the records of an old or new vault file, or of a database-version vault.
#pragma once

#include <QDialog>
#include <memory>

#include "tools/legacy_import.h"

namespace Ui {
class ImportDialog;
}

namespace korvane {

class FileChooser;
class SqliteDb;

// No OK or Cancel: the close box or Escape dismisses it. An old or new vault file that was
// imported closes it; the database-version import leaves it open, as earlier versions did.
class ImportDialog : public QDialog {
    Q_OBJECT

public:
    ImportDialog(SqliteDb& vault, FileChooser& chooser, QWidget* parent = nullptr);
    ~ImportDialog() override;

    // The path as the edit shows it, whether browsed or typed.
    QString source_path() const;

private:
    void browse();
    void import_legacy(tools::LegacyFormat format);
    void import_database();

    std::unique_ptr<Ui::ImportDialog> ui_;
    SqliteDb& vault_;
    FileChooser& chooser_;
};

}  // namespace korvane
