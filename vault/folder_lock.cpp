// SPDX-License-Identifier: GPL-3.0-or-later
// The vault folder's lock file, published whole with link(2) and held by flock(2).
#include "vault/folder_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>
#include <cerrno>
#include <thread>

namespace korvane {
namespace {

constexpr auto kRetryPause = std::chrono::milliseconds(20);
// How long a lock file must stay without a living holder before it counts as stale although
// its content does not prove that (unwritten, or a pid now running another program's name is
// not the case here): far longer than an older installation takes between creating its lock
// and taking the flock, or between dropping the flock and removing the file.
constexpr auto kUndecidedGrace = std::chrono::milliseconds(300);
constexpr char kTempSuffix[] = ".part";

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether path still names the very file open at fd (not gone, not replaced by another).
bool still_names(int fd, const QByteArray& path) {
    struct stat open_file {
    }, named{};
    return ::fstat(fd, &open_file) == 0 && ::lstat(path.constData(), &named) == 0 &&
           same_file(open_file, named);
}

// The name QLockFile compares a holder's pid against: the running executable's file name.
QString process_name(qint64 pid) {
    const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    QString name = QFileInfo(exe).fileName();
    const QString deleted = QStringLiteral(" (deleted)");
    if (name.endsWith(deleted)) name.chop(deleted.size());
    return name;
}

// A pid of this computer that no process has, or that now runs another program.
bool holder_gone(const FolderLock::Holder& holder) {
    if (holder.pid <= 0) return false;
    if (::kill(static_cast<pid_t>(holder.pid), 0) != 0 && errno == ESRCH) return true;
    const QString running = process_name(holder.pid);
    return !running.isEmpty() && !holder.app.isEmpty() && running != holder.app;
}

QByteArray holder_content() {
    return QByteArray::number(static_cast<qint64>(::getpid())) + '\n' +
           process_name(::getpid()).toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
}

bool write_all(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

QByteArray read_head(int fd) {
    QByteArray bytes(4096, '\0');
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

}  // namespace

FolderLock::FolderLock(QString lock_path) : lock_path_(std::move(lock_path)) {}

FolderLock::~FolderLock() { release(); }

bool FolderLock::parse_holder(const QByteArray& content, Holder& holder) {
    const QList<QByteArray> lines = content.split('\n');
    if (lines.size() < 3) return false;
    bool ok = false;
    const qint64 pid = lines[0].toLongLong(&ok);
    if (!ok || pid <= 0) return false;
    holder = {pid, QString::fromUtf8(lines[1]), QString::fromUtf8(lines[2])};
    return true;
}

FolderLock::Claim FolderLock::claim(std::chrono::milliseconds patience) {
    if (held()) return {Outcome::Claimed, {}};
    undecided_ = false;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        Holder holder;
        switch (try_claim(holder)) {
            case Step::Claimed:
                remove_dead_temporaries();
                return {Outcome::Claimed, {}};
            case Step::HeldHere:
                return {Outcome::HeldHere, holder};
            case Step::HeldElsewhere:
                return {Outcome::HeldElsewhere, holder};
            case Step::CannotWrite:
                return {Outcome::CannotWrite, holder};
            case Step::Removed:
            case Step::Again:
                if (std::chrono::steady_clock::now() >= deadline) {
                    return {Outcome::HeldHere, holder};
                }
                break;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
}

FolderLock::Step FolderLock::try_claim(Holder& holder) {
    // The content is written and the flock taken on a private file first; link(2) then gives
    // it the lock's name in one step, or fails if the name is taken. So nobody ever sees a
    // lock file without its holder, which is what an empty lock could only be guessed from.
    // The pid in the name tells a dead claimant's leftover from a live one's.
    const QByteArray temp =
        encoded(lock_path_ +
                QStringLiteral(".%1.%2")
                    .arg(::getpid())
                    .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0')) +
                QLatin1String(kTempSuffix));
    const int temp_fd =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (temp_fd < 0) return errno == EEXIST ? Step::Again : Step::CannotWrite;
    // Nobody else opens a live claimant's file, so this succeeds where flock exists at all.
    (void)::flock(temp_fd, LOCK_EX | LOCK_NB);
    if (!write_all(temp_fd, holder_content())) {
        ::close(temp_fd);
        ::unlink(temp.constData());
        return Step::CannotWrite;
    }
    const QByteArray lock = encoded(lock_path_);
    if (::link(temp.constData(), lock.constData()) == 0) {
        ::unlink(temp.constData());
        if (still_names(temp_fd, lock)) {
            fd_ = temp_fd;
            return Step::Claimed;
        }
        ::close(temp_fd);
        return Step::Again;
    }
    const int link_error = errno;
    ::unlink(temp.constData());
    ::close(temp_fd);
    if (link_error == EEXIST) return examine(holder);
    // A file system without hard links (FAT on a memory stick): the lock is made in place, and
    // the grace given to an unwritten lock covers the moment before its content is in it.
    if (link_error == EPERM || link_error == EOPNOTSUPP || link_error == ENOSYS) {
        const Step made = create_in_place();
        return made == Step::Again ? examine(holder) : made;
    }
    return Step::CannotWrite;
}

FolderLock::Step FolderLock::create_in_place() {
    const QByteArray lock = encoded(lock_path_);
    const int fd =
        ::open(lock.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST ? Step::Again : Step::CannotWrite;
    // Another claimant may hold it for a moment to look at it; it lets go at once.
    (void)::flock(fd, LOCK_EX);
    if (!write_all(fd, holder_content())) {
        ::unlink(lock.constData());
        ::close(fd);
        return Step::CannotWrite;
    }
    fd_ = fd;
    return Step::Claimed;
}

FolderLock::Step FolderLock::examine(Holder& holder) {
    const QByteArray lock = encoded(lock_path_);
    const int fd = ::open(lock.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? Step::Again : Step::CannotWrite;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Step::CannotWrite;
    }
    const bool named = parse_holder(read_head(fd), holder);
    if (named && !holder.host.isEmpty() && holder.host != QSysInfo::machineHostName()) {
        // Whether a process on another computer still runs cannot be told from here.
        ::close(fd);
        return Step::HeldElsewhere;
    }
    bool flock_free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool flock_works = flock_free || errno == EWOULDBLOCK;
    if (!flock_works) flock_free = named && holder_gone(holder);  // only the pid can tell
    if (!still_names(fd, lock)) {
        // Let go of or replaced while we looked: look again at whatever has the name now.
        ::close(fd);
        return Step::Again;
    }
    if (!flock_free) {
        ::close(fd);
        // An older installation takes the flock before it writes its content.
        return named ? Step::HeldHere : Step::Again;
    }
    // Nobody holds the flock, which every live holder keeps for as long as it holds the
    // folder. A dead pid proves it at once; a lock without a readable holder, or whose pid is
    // alive (reused, or an older installation between letting go and removing the file), is
    // given a grace period on the same file before it is called stale.
    if (!(named && holder_gone(holder))) {
        const auto now = std::chrono::steady_clock::now();
        if (!undecided_ || undecided_dev_ != info.st_dev || undecided_ino_ != info.st_ino) {
            undecided_ = true;
            undecided_dev_ = info.st_dev;
            undecided_ino_ = info.st_ino;
            undecided_since_ = now;
        }
        if (now - undecided_since_ < kUndecidedGrace) {
            ::close(fd);
            return Step::Again;
        }
    }
    // Still holding its flock, so no other claimant can judge and remove it at the same time.
    ::unlink(lock.constData());
    ::close(fd);
    undecided_ = false;
    return Step::Removed;
}

void FolderLock::remove_dead_temporaries() const {
    // A claimant killed between making its private file and removing it leaves it behind.
    const QFileInfo lock(lock_path_);
    QDir dir = lock.dir();
    const QString prefix = lock.fileName() + u'.';
    const QStringList names =
        dir.entryList({prefix + QStringLiteral("*") + QLatin1String(kTempSuffix)},
                      QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        bool ok = false;
        const qint64 pid = name.mid(prefix.size()).section(u'.', 0, 0).toLongLong(&ok);
        if (!ok || pid <= 0 || !holder_gone({pid, {}, {}})) continue;
        const QByteArray path = encoded(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && still_names(fd, path)) {
            ::unlink(path.constData());
        }
        ::close(fd);
    }
}

void FolderLock::release() {
    if (fd_ < 0) return;
    // Removed while the flock is still held, so nobody judges it stale in between; never a
    // file someone else has put at the name.
    const QByteArray lock = encoded(lock_path_);
    if (still_names(fd_, lock)) ::unlink(lock.constData());
    ::close(fd_);
    fd_ = -1;
}

}  // namespace korvane
