// SPDX-License-Identifier: GPL-3.0-or-later
// Write failures: a full disk or a file-size limit in Chinese, anything else as the system says.
#include "vault/write_failure.h"

#include <cerrno>
#include <cstring>

namespace korvane {

bool is_out_of_room(int error_number) {
    return error_number == ENOSPC || error_number == EDQUOT || error_number == EFBIG;
}

QString write_failure_reason(int error_number, const QString& fallback) {
    if (error_number == ENOSPC || error_number == EDQUOT) return QStringLiteral("磁盘空间不足");
    if (error_number == EFBIG) return QStringLiteral("文件超出了系统允许的大小");
    // Qt reports a write cut short by the disk as "Unknown error"; errno still knows better.
    if (error_number != 0) return QString::fromLocal8Bit(std::strerror(error_number));
    return fallback.isEmpty() ? QStringLiteral("未知错误") : fallback;
}

}  // namespace korvane
