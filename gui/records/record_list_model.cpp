// SPDX-License-Identifier: GPL-3.0-or-later
// RecordListModel: rows kept as the vault's bytes, decoded only when a view asks for them.
#include "gui/records/record_list_model.h"

#include <QMimeData>
#include <algorithm>

#include "gui/records/record_drag.h"
#include "gui/records/record_tooltip.h"
#include "vault/secure_wipe.h"
#include "vault/text.h"

namespace korvane {

namespace {

// Widths the columns had in the details mode of the earlier program; the category is new.
constexpr int kColumnWidths[RecordListModel::ColumnCount] = {200, 200, 510, 120};

}  // namespace

RecordListModel::RecordListModel(QObject* parent)
    : QAbstractTableModel(parent), icon_(QStringLiteral(":/icons/record.svg")) {}

Status RecordListModel::set_rows_from(
    const std::function<Status(const statements::SummaryVisitor&)>& read) {
    beginResetModel();
    drop_rows();
    Status status = read([this](const RecordSummary& row) {
        append(row);
        return true;
    });
    if (!status) drop_rows();
    endResetModel();
    return status;
}

void RecordListModel::set_found_rows(const std::vector<RecordMatch>& found) {
    beginResetModel();
    drop_rows();
    rows_.reserve(found.size());
    for (const RecordMatch& match : found) append(match.record, match.category);
    endResetModel();
}

void RecordListModel::drop_rows() {
    secure_wipe(texts_);
    rows_.clear();
}

void RecordListModel::append(const RecordSummary& row, std::string_view category) {
    ShownRow shown;
    shown.oid = row.oid;
    shown.offset = texts_.size();
    shown.title = std::uint32_t(row.title.size());
    shown.account = std::uint32_t(row.account.size());
    const std::string_view remark =
        std::string_view(row.remark)
            .substr(0, text::prefix_at_char_boundary(row.remark, kRemarkBytes));
    shown.remark = std::uint32_t(remark.size());
    shown.category = std::uint32_t(category.size());
    append_text(row.title);
    append_text(row.account);
    append_text(remark);
    append_text(category);
    rows_.push_back(shown);
}

void RecordListModel::append_text(std::string_view text) {
    if (texts_.size() + text.size() > texts_.capacity()) {
        // Grown by hand: a string that reallocates itself frees its old bytes unwiped.
        std::string grown;
        grown.reserve(std::max(texts_.capacity() * 2, texts_.size() + text.size()));
        grown.append(texts_);
        secure_wipe(texts_);
        texts_.swap(grown);
    }
    texts_.append(text);
}

std::string_view RecordListModel::title_of(const ShownRow& row) const {
    return std::string_view(texts_).substr(row.offset, row.title);
}

std::string_view RecordListModel::account_of(const ShownRow& row) const {
    return std::string_view(texts_).substr(row.offset + row.title, row.account);
}

std::string_view RecordListModel::remark_of(const ShownRow& row) const {
    return std::string_view(texts_).substr(row.offset + row.title + row.account, row.remark);
}

std::string_view RecordListModel::category_of(const ShownRow& row) const {
    return std::string_view(texts_).substr(row.offset + row.title + row.account + row.remark,
                                           row.category);
}

std::string_view RecordListModel::title_at(int index) const {
    return title_of(rows_[std::size_t(index)]);
}

QString RecordListModel::tooltip(const ShownRow& row) const {
    if (!remark_source_) return record_tooltip(title_of(row), account_of(row), remark_of(row));
    std::string remark = remark_source_(row.oid);
    QString text = record_tooltip(title_of(row), account_of(row), remark);
    secure_wipe(remark);
    return text;
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

QString RecordListModel::display_text(const ShownRow& row, int column) const {
    switch (column) {
        case TitleColumn:
            return text::from_gbk(title_of(row));
        case AccountColumn:
            return text::from_gbk(account_of(row));
        case RemarkColumn:
            return text::from_gbk(remark_of(row));
        case CategoryColumn:
            return text::from_gbk(category_of(row));
        default:
            return {};
    }
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    const ShownRow& record = rows_[std::size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
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
            return tooltip(record);
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
    return {QString::fromLatin1(record_drag::kMimeType)};
}

QMimeData* RecordListModel::mimeData(const QModelIndexList& indexes) const {
    // A drop moves one record, so only the first index counts.
    for (const QModelIndex& index : indexes) {
        if (!index.isValid() || index.model() != this || index.row() >= int(rows_.size())) continue;
        auto* data = new QMimeData;
        data->setData(QString::fromLatin1(record_drag::kMimeType),
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
    drop_rows();
    // The rows' room goes back too; the list may have held a million.
    rows_.shrink_to_fit();
    texts_.shrink_to_fit();
    endResetModel();
}

}  // namespace korvane
