// SPDX-License-Identifier: GPL-3.0-or-later
// RecordListModel: the record list's rows (title, account, start of the remark, and for search
// results the category) as a table model.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "vault/record_search.h"
#include "vault/result.h"
#include "vault/vault_record.h"
#include "vault/vault_statements.h"

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

    // Where the tooltip reads a record's whole remark; the list itself keeps only the start its
    // column shows. Without one the tooltip shows that start.
    using RemarkSource = std::function<std::string(RecordId)>;
    void set_remark_source(RemarkSource source) { remark_source_ = std::move(source); }

    // Replaces every row in one reset (views and the selection model see a single change) with
    // the rows read hands to its visitor, one at a time, so that no list of them is built
    // first. A failure leaves the list empty and is returned.
    Status set_rows_from(const std::function<Status(const statements::SummaryVisitor&)>& read);
    // Empties the list, overwriting the shown texts first: a locked vault leaves none behind.
    void clear();
    // Search results: the rows with the category each is stored under.
    void set_found_rows(const std::vector<RecordMatch>& found);

    RecordId oid_at(int index) const { return rows_[std::size_t(index)].oid; }
    std::string_view title_at(int index) const;
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
    // One row's texts lie back to back in texts_ (title, account, the remark's start, category),
    // so that a lock wipes the whole list in one short pass and gives back two blocks, not
    // millions of strings.
    struct ShownRow {
        RecordId oid = 0;
        std::size_t offset = 0;
        std::uint32_t title = 0;
        std::uint32_t account = 0;
        std::uint32_t remark = 0;
        std::uint32_t category = 0;  // only search results have one
    };

    void drop_rows();
    void append(const RecordSummary& row, std::string_view category = {});
    void append_text(std::string_view text);
    std::string_view title_of(const ShownRow& row) const;
    std::string_view account_of(const ShownRow& row) const;
    std::string_view remark_of(const ShownRow& row) const;
    std::string_view category_of(const ShownRow& row) const;
    QString display_text(const ShownRow& row, int column) const;
    QString tooltip(const ShownRow& row) const;

    std::vector<ShownRow> rows_;
    std::string texts_;
    RemarkSource remark_source_;
    QIcon icon_;
};

}  // namespace korvane
