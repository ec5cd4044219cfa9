// SPDX-License-Identifier: GPL-3.0-or-later
// System errors in Chinese, from errno, and the wording of a failed write.
#include "vault/write_failure.h"

#include <QIODevice>
#include <cerrno>

namespace korvane {
namespace {

const char* chinese_text(int error_number) {
    switch (error_number) {
        case EPERM:
            return "不允许的操作";
        case ENOENT:
            return "没有那个文件或目录";
        case ESRCH:
            return "没有那个进程";
        case EINTR:
            return "操作被信号中断";
        case EIO:
            return "输入/输出错误";
        case ENXIO:
            return "没有那个设备或地址";
        case E2BIG:
            return "参数列表过长";
        case ENOEXEC:
            return "可执行文件格式错误";
        case EBADF:
            return "错误的文件描述符";
        case ECHILD:
            return "没有子进程";
        case EAGAIN:
            return "资源暂时不可用";
        case ENOMEM:
            return "内存不足";
        case EACCES:
            return "权限不够";
        case EFAULT:
            return "错误的地址";
        case EBUSY:
            return "设备或资源忙";
        case EEXIST:
            return "文件已存在";
        case EXDEV:
            return "无效的跨设备链接";
        case ENODEV:
            return "没有那个设备";
        case ENOTDIR:
            return "不是目录";
        case EISDIR:
            return "是一个目录";
        case EINVAL:
            return "无效的参数";
        case ENFILE:
            return "系统中打开的文件过多";
        case EMFILE:
            return "打开的文件过多";
        case ENOTTY:
            return "对设备不适当的 ioctl 操作";
        case ETXTBSY:
            return "文本文件忙";
        case EFBIG:
            return "文件过大";
        case ENOSPC:
        case EDQUOT:
            return "磁盘空间不足";
        case ESPIPE:
            return "非法的寻址";
        case EROFS:
            return "只读文件系统";
        case EMLINK:
            return "链接过多";
        case EPIPE:
            return "断开的管道";
        case ERANGE:
            return "数值结果超出范围";
        case EDEADLK:
            return "已避免资源死锁";
        case ENAMETOOLONG:
            return "文件名过长";
        case ENOLCK:
            return "没有可用的锁";
        case ENOSYS:
            return "函数未实现";
        case ENOTEMPTY:
            return "目录非空";
        case ELOOP:
            return "符号链接层数过多";
        case ENODATA:
            return "没有可用的数据";
        case EOVERFLOW:
            return "对已定义的数据类型来说值过大";
        case EILSEQ:
            return "无效或不完整的多字节字符或宽字符";
        case ENOTSOCK:
            return "对非套接字进行套接字操作";
        case EOPNOTSUPP:
            return "不支持的操作";
        case ECONNRESET:
            return "连接被对方重置";
        case ECONNREFUSED:
            return "拒绝连接";
        case ETIMEDOUT:
            return "连接超时";
        case ESTALE:
            return "过旧的文件句柄";
        case ECANCELED:
            return "操作已取消";
        case ENOMEDIUM:
            return "找不到介质";
        default:
            return nullptr;
    }
}

}  // namespace

QString system_error_text(int error_number, const QString& fallback) {
    if (error_number == 0) return fallback.isEmpty() ? QStringLiteral("未知错误") : fallback;
    if (const char* text = chinese_text(error_number)) return QString::fromUtf8(text);
    return QStringLiteral("系统错误 %1").arg(error_number);
}

QString file_error_text(const QIODevice& file) {
    const int error_number = errno;
    const QString recorded = file.errorString();
    // Qt words a failed system call as qt_error_string(errno); a different text means errno
    // belongs to some other call, or that Qt refused the operation itself.
    if (error_number != 0 && recorded == qt_error_string(error_number)) {
        return system_error_text(error_number);
    }
    // errno overwritten since (a later call that failed on the way out): the recorded text still
    // names the number.
    for (int candidate = 1; candidate < 134; ++candidate) {
        if (recorded == qt_error_string(candidate)) return system_error_text(candidate);
    }
    // Opening a directory for reading succeeds in the system; Qt refuses it on its own.
    if (recorded == QLatin1String("file to open is a directory")) {
        return system_error_text(EISDIR);
    }
    // What a device says when it recorded no error at all (a read that came up short).
    if (recorded.isEmpty() || recorded == QLatin1String("Unknown error"))
        return system_error_text(0);
    return recorded;
}

bool is_out_of_room(int error_number) {
    return error_number == ENOSPC || error_number == EDQUOT || error_number == EFBIG;
}

QString write_failure_reason(int error_number, const QString& fallback) {
    if (error_number == EFBIG) return QStringLiteral("文件超出了系统允许的大小");
    // Qt reports a write cut short by the disk as "Unknown error"; errno still knows better.
    return system_error_text(error_number, fallback);
}

}  // namespace korvane
