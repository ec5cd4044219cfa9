// SPDX-License-Identifier: GPL-3.0-or-later
// RecordListModel: rows kept as the vault's bytes, decoded only when a view asks for them.
#include "gui/window/record_list_model.h"

#include <QMimeData>

#include "gui/window/category_tree.h"
#include "gui/window/record_tooltip.h"
#include "vault/secure_wipe.h"
#include "vault/text.h"

namespace korvane {

namespace {

// Widths the columns had in the details mode of the earlier program; the category is new.
constexpr int kColumnWidths[RecordListModel::ColumnCount] = {200, 200, 510, 120};

}  // namespace

RecordListModel::RecordListModel(QObject* parent)
    : QAbstractTableModel(parent), icon_(QStringLiteral(":/icons/record.svg")) {}

void RecordListModel::set_rows(std::vector<RecordSummary> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    categories_.clear();
    endResetModel();
}

void RecordListModel::set_found_rows(std::vector<RecordMatch> found) {
    beginResetModel();
    rows_.clear();
    categories_.clear();
    rows_.reserve(found.size());
    categories_.reserve(found.size());
    for (RecordMatch& match : found) {
        rows_.push_back(std::move(match.record));
        categories_.push_back(std::move(match.category));
    }
    endResetModel();
}

int RecordListModel::column_width(int column) {
    return column >= 0 && column < ColumnCount ? kColumnWidths[column] : 0;
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString RecordListModel::display_text(const RecordSummary& row, int column) const {
    switch (column) {
        case TitleColumn:
            return text::from_gbk(row.title);
        case AccountColumn:
            return text::from_gbk(row.account);
        case RemarkColumn: {
            const std::string_view remark(row.remark);
            return text::from_gbk(
                remark.substr(0, text::prefix_at_char_boundary(remark, kRemarkBytes)));
        }
        default:
            return {};
    }
}

QString RecordListModel::category_text(int row) const {
    if (std::size_t(row) >= categories_.size()) return {};
    return text::from_gbk(categories_[std::size_t(row)]);
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    const RecordSummary& record = rows_[std::size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == CategoryColumn) return category_text(index.row());
            return display_text(record, index.column());
        case Qt::DecorationRole:
            if (index.column() == TitleColumn && !icon_.isNull()) return icon_;
            return {};
        case Qt::TextAlignmentRole:
            // The title keeps the natural alignment so that the icon modes lay it out as usual.
            if (index.column() != TitleColumn) return int(Qt::AlignCenter);
            return {};
        case Qt::ToolTipRole:
            // The same on every column, so details mode shows the whole record wherever it rests.
            return record_tooltip(record);
        case OidRole:
            return qint64(record.oid);
        default:
            return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    switch (section) {
        case TitleColumn:
            return QStringLiteral("标题");
        case AccountColumn:
            return QStringLiteral("账号");
        case RemarkColumn:
            return QStringLiteral("备注");
        case CategoryColumn:
            return QStringLiteral("类别");
        default:
            return {};
    }
}

Qt::ItemFlags RecordListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QStringList RecordListModel::mimeTypes() const {
    return {QString::fromLatin1(CategoryTree::kRecordMimeType)};
}

QMimeData* RecordListModel::mimeData(const QModelIndexList& indexes) const {
    // A drop moves one record, so only the first index counts.
    for (const QModelIndex& index : indexes) {
        if (!index.isValid() || index.model() != this || index.row() >= int(rows_.size())) continue;
        auto* data = new QMimeData;
        data->setData(QString::fromLatin1(CategoryTree::kRecordMimeType),
                      QByteArray::number(qint64(rows_[std::size_t(index.row())].oid)));
        return data;
    }
    return nullptr;
}

Qt::DropActions RecordListModel::supportedDragActions() const {
    return Qt::MoveAction | Qt::CopyAction;
}

void RecordListModel::clear() {
    beginResetModel();
    for (RecordSummary& row : rows_) {
        secure_wipe(row.title);
        secure_wipe(row.account);
        secure_wipe(row.remark);
    }
    for (std::string& category : categories_) secure_wipe(category);
    rows_.clear();
    categories_.clear();
    endResetModel();
}

}  // namespace korvane
