// SPDX-License-Identifier: GPL-3.0-or-later
// read_fully against a device that hands back its bytes a few at a time, as pipes and some file
// systems do.
#include "vault/file_io.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QIODevice>
#include <algorithm>

namespace korvane {
namespace {

// A sequential device that gives at most three bytes per read.
class TrickleDevice : public QIODevice {
public:
    explicit TrickleDevice(QByteArray bytes) : bytes_(std::move(bytes)) { open(ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = std::min<qint64>({max, 3, bytes_.size() - offset_});
        std::copy_n(bytes_.constData() + offset_, n, data);
        offset_ += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray bytes_;
    qint64 offset_ = 0;
};

TEST(ReadFully, GathersShortReadsIntoTheWholeSize) {
    TrickleDevice device("0123456789abcdef");
    char out[16] = {};
    ASSERT_TRUE(read_fully(device, out, sizeof out));
    EXPECT_EQ(QByteArray(out, sizeof out), QByteArray("0123456789abcdef"));
}

TEST(ReadFully, AnEarlyEndIsAFailure) {
    TrickleDevice device("0123456789");
    char out[16] = {};
    EXPECT_FALSE(read_fully(device, out, sizeof out));
}

}  // namespace
}  // namespace korvane
