// SPDX-License-Identifier: GPL-3.0-or-later
// RecordListModel: the record list's rows (title, account, start of the remark, and for search
// results the category) as a table model.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <vector>

#include "vault/record_search.h"
#include "vault/vault_record.h"

namespace korvane {

class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The category column has text only for search results; the details view hides it otherwise.
    enum Column {
        TitleColumn = 0,
        AccountColumn = 1,
        RemarkColumn = 2,
        CategoryColumn = 3,
        ColumnCount = 4
    };
    // Bytes of the remark shown in its column; the stored remark is never cut.
    static constexpr std::size_t kRemarkBytes = 30;
    // The record's OID (qint64) under this role.
    static constexpr int OidRole = Qt::UserRole;

    explicit RecordListModel(QObject* parent = nullptr);

    // Replaces every row in one reset; views and the selection model see a single change.
    void set_rows(std::vector<RecordSummary> rows);
    // Empties the list, overwriting the shown texts first: a locked vault leaves none behind.
    void clear();
    // Search results: the rows with the category each is stored under.
    void set_found_rows(std::vector<RecordMatch> found);

    const RecordSummary& row(int index) const { return rows_[std::size_t(index)]; }
    RecordId oid_at(int index) const { return rows_[std::size_t(index)].oid; }
    static int column_width(int column);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    QString display_text(const RecordSummary& row, int column) const;
    QString category_text(int row) const;

    std::vector<RecordSummary> rows_;
    std::vector<std::string> categories_;  // one per row for search results, else empty
    QIcon icon_;
};

}  // namespace korvane
