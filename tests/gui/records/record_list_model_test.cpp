// SPDX-License-Identifier: GPL-3.0-or-later
// RecordListModel: the cut remark column and the single reset per fill.
#include "gui/records/record_list_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace korvane {
namespace {

const std::string kChinese = "\xd6\xd0\xce\xc4";  // 中文 in GBK

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

void fill(RecordListModel& model, const std::vector<RecordSummary>& rows) {
    ASSERT_TRUE(model
                    .set_rows_from([&rows](const statements::SummaryVisitor& visit) {
                        for (const RecordSummary& row : rows) visit(row);
                        return Status::success();
                    })
                    .ok());
}

TEST(RecordListModelTest, RemarkColumnShowsThirtyBytesNeverHalfACharacter) {
    RecordListModel model;
    const std::string ascii40 = repeat("0123456789", 4);
    fill(model, {{1, "", "", ascii40},
                 {2, "", "", repeat(kChinese, 10)},       // 40 bytes
                 {3, "", "", "a" + repeat(kChinese, 8)},  // byte 30 is half of 中
                 {4, "", "", ""}});
    const auto remark = [&](int row) { return model.index(row, 2).data().toString(); };
    const QString pair = QStringLiteral("中文");

    EXPECT_EQ(remark(0), QString::fromLatin1(ascii40.substr(0, 30)));
    EXPECT_EQ(remark(1), pair.repeated(7) + QStringLiteral("中"));
    EXPECT_EQ(remark(2), QStringLiteral("a") + pair.repeated(7));
    EXPECT_EQ(remark(3), QString());
    // The tooltip reads the whole remark where it is stored.
    model.set_remark_source([&](RecordId oid) { return oid == 1 ? ascii40 : std::string(); });
    EXPECT_TRUE(
        model.index(0, 0).data(Qt::ToolTipRole).toString().endsWith(QString::fromLatin1(ascii40)));
}

TEST(RecordListModelTest, EachFillIsOneResetWithNoPerRowSignals) {
    RecordListModel model;
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    std::vector<RecordSummary> rows;
    for (int i = 0; i < 1000; ++i) rows.push_back({i + 1, "t" + std::to_string(i), "", ""});

    fill(model, rows);
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(inserts.count(), 0);
    EXPECT_EQ(model.index(999, 0).data().toString(), QStringLiteral("t999"));
    EXPECT_EQ(model.index(999, 0).data(Qt::UserRole).toLongLong(), 1000);
}

}  // namespace
}  // namespace korvane
