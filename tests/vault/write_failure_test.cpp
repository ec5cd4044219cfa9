// SPDX-License-Identifier: GPL-3.0-or-later
// The system's errors in Chinese: real failed file operations, including the ones where errno
// no longer (or never did) hold the cause by the time the message is made.
#include "vault/write_failure.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <functional>

namespace korvane {
namespace {

struct ErrorCase {
    const char* name;
    // Makes a file operation fail inside folder and returns what the user is told.
    std::function<QString(const QString& folder)> told;
    const char* expected;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

QString open_failure(const QString& path, QIODevice::OpenMode mode) {
    QFile file(path);
    if (file.open(mode)) return QStringLiteral("(opened)");
    return file_error_text(file);
}

QString make_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return QString();
    file.write("x");
    return path;
}

class SystemErrorText : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SystemErrorText, TellsTheCauseInChinese) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    EXPECT_EQ(GetParam().told(folder.path()), QString::fromUtf8(GetParam().expected));
}

const ErrorCase kCases[] = {
    {"Missing",
     [](const QString& dir) { return open_failure(dir + "/absent", QIODevice::ReadOnly); },
     "没有那个文件或目录"},
    {"ParentIsAFile",
     [](const QString& dir) {
         return open_failure(make_file(dir + "/plain") + "/child", QIODevice::ReadOnly);
     },
     "不是目录"},
    {"DirectoryForWriting",
     [](const QString& dir) { return open_failure(dir, QIODevice::WriteOnly); }, "是一个目录"},
    // The system opens a directory for reading; Qt refuses it itself, errno is not involved.
    {"DirectoryForReadingWithStaleErrno",
     [](const QString& dir) {
         errno = ENOENT;
         return open_failure(dir, QIODevice::ReadOnly);
     },
     "是一个目录"},
    {"NameTooLong",
     [](const QString& dir) {
         return open_failure(dir + "/" + QString(300, u'n'), QIODevice::ReadOnly);
     },
     "文件名过长"},
    {"SymlinkLoop",
     [](const QString& dir) {
         QFile::link(dir + "/loop", dir + "/loop");
         return open_failure(dir + "/loop", QIODevice::ReadOnly);
     },
     "符号链接层数过多"},
    {"NewOnlyOverAFile",
     [](const QString& dir) {
         return open_failure(make_file(dir + "/taken"), QIODevice::WriteOnly | QIODevice::NewOnly);
     },
     "文件已存在"},
    {"DeviceFull",
     [](const QString&) {
         QFile full(QStringLiteral("/dev/full"));
         if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return QString();
         errno = 0;
         if (full.write("x", 1) == 1) return QStringLiteral("(written)");
         return write_failure_reason(errno, full.errorString());
     },
     "磁盘空间不足"},
    // A later call overwrote errno before the message was made; the file's own record wins.
    {"ErrnoOverwrittenAfterTheFailure",
     [](const QString& dir) {
         QFile file(dir + "/absent");
         if (file.open(QIODevice::ReadOnly)) return QStringLiteral("(opened)");
         errno = EBADF;
         return file_error_text(file);
     },
     "没有那个文件或目录"},
    {"ShortReadWithoutError",
     [](const QString& dir) {
         QFile file(make_file(dir + "/short"));
         if (!file.open(QIODevice::ReadOnly)) return QString();
         char bytes[4];
         errno = 0;
         if (file.read(bytes, sizeof bytes) == qint64(sizeof bytes))
             return QStringLiteral("(read)");
         return file_error_text(file);
     },
     "未知错误"},
    {"Numbers",
     [](const QString&) {
         return QStringList{system_error_text(EACCES), system_error_text(EPERM),
                            system_error_text(EDQUOT), system_error_text(EROFS),
                            system_error_text(EIO),    system_error_text(ECONNREFUSED),
                            system_error_text(4242),   system_error_text(0, "Qt's own"),
                            system_error_text(0)}
             .join(u'|');
     },
     "权限不够|不允许的操作|磁盘空间不足|只读文件系统|输入/输出错误|拒绝连接|系统错误 "
     "4242|Qt's own|未知错误"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SystemErrorText, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane
