#include "platform/atomicsave.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <ctime>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

#include "platform/filenames.h"

namespace pellix {
namespace {

// The reasons a save can fail, as a technician reads them; the caller names the file.
constexpr const char* kNotAFile =
    "That name belongs to a device or a named pipe, not to a file. It was left as it is.";
constexpr const char* kFolder = "That name belongs to a folder, not to a file.";
constexpr const char* kDiskFull = "The disk is full, or the file is larger than allowed there.";
constexpr const char* kNoPermission = "There is no permission to write in that folder.";
constexpr const char* kReadOnly = "The disk is write-protected.";
constexpr const char* kNoFolder = "The folder does not exist.";
constexpr const char* kDiskError = "The disk reported an error; it may have been removed.";
constexpr const char* kOther = "The system reported: %1.";
constexpr const char* kOldKept = "The file that was there is unchanged.";

[[maybe_unused]] QString reasonFor(int error) {
    switch (error) {
        case ENOSPC:
        case EFBIG:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return QString::fromLatin1(kDiskFull);
        case EACCES:
        case EPERM:
            return QString::fromLatin1(kNoPermission);
        case EROFS:
            return QString::fromLatin1(kReadOnly);
        case ENOENT:
        case ENOTDIR:
            return QString::fromLatin1(kNoFolder);
        case EISDIR:
            return QString::fromLatin1(kFolder);
        case EIO:
            return QString::fromLatin1(kDiskError);
        case ENODEV:
        case ENXIO:
            return QString::fromLatin1(kNotAFile);
        default:
            return QString::fromLatin1(kOther).arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString withOldKept(const QString& reason, bool existed) {
    return existed ? reason + QLatin1Char('\n') + QString::fromLatin1(kOldKept) : reason;
}

#ifdef Q_OS_UNIX

constexpr const char kTemporaryPrefix[] = ".pellix-save-";
// A new file of ours this old was left by a save that never finished (the program was killed
// between writing and renaming); a save still under way is far younger.
constexpr int kStaleTemporarySeconds = 10 * 60;

// The folder part of `path` ("." for a bare name).
QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : path.left(qMax<qsizetype>(slash, 1));
}

// Removes our own new files that a killed save left in `folder`, so they do not pile up in the
// technician's folder. Only files named like ours, owned by this user and untouched for a while.
void removeStaleTemporaries(const QByteArray& folder) {
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return;
    }
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, kTemporaryPrefix, sizeof kTemporaryPrefix - 1) != 0) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
            now - st.st_mtime > kStaleTemporarySeconds) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// Where a symbolic link that names nothing yet points: the file a save creates, so the link
// stays a link (as it does when its target exists). Other names come back as they are.
QByteArray danglingLinkTarget(QByteArray path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link {};
        if (::lstat(path.constData(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            return path;
        }
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
        if (n <= 0) {
            return path;
        }
        const QByteArray next(target, n);
        path = next.startsWith('/') ? next : folderOf(path) + '/' + next;
    }
    return path;
}

// Creates the new file beside the target with the mode the target has (or a new file would
// get), so replacing a file keeps who may read it.
int createBeside(QByteArray& temporary, const QByteArray& target, const struct stat* existing) {
    const qsizetype slash = target.lastIndexOf('/');
    temporary = (slash < 0 ? QByteArray() : target.left(slash + 1)) + kTemporaryPrefix + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return fd;
    }
    mode_t mode = 0;
    if (existing != nullptr) {
        mode = existing->st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    return fd;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;  // a write that takes nothing will never finish
            }
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}

QString saveUnix(const QString& path, const QByteArray& bytes) {
    QByteArray target = nativeFileName(path);
    struct stat st {};
    bool existed = false;
    if (::stat(target.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return QString::fromLatin1(kFolder);
        }
        if (!S_ISREG(st.st_mode)) {
            return QString::fromLatin1(kNotAFile);
        }
        existed = true;
        // A link keeps pointing at the file it named; the file it names is replaced.
        struct stat link {};
        if (::lstat(target.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
            char resolved[PATH_MAX];
            if (::realpath(target.constData(), resolved) != nullptr) {
                target = resolved;
            }
        }
    } else if (errno != ENOENT) {
        return reasonFor(errno);
    } else {
        target = danglingLinkTarget(target);
    }
    removeStaleTemporaries(folderOf(target));

    QByteArray temporary;
    const int fd = createBeside(temporary, target, existed ? &st : nullptr);
    if (fd < 0) {
        return withOldKept(reasonFor(errno), existed);
    }
    int error = 0;
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        error = errno;
    }
    // Some file systems report a lost write only when the file is closed.
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.constData());
        return withOldKept(reasonFor(error), existed);
    }
    // The new name itself must reach the disk too, or a power cut could bring back the old.
    const int dir = ::open(folderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

#else

QString saveWithQt(const QString& path, const QByteArray& bytes) {
    const FileKind kind = fileKind(path);
    if (kind == FileKind::Folder) {
        return QString::fromLatin1(kFolder);
    }
    if (kind == FileKind::Other) {
        return QString::fromLatin1(kNotAFile);
    }
    const bool existed = kind == FileKind::Regular;
    // Unbuffered and checked write by write: a buffered QSaveFile lets commit() rename a
    // truncated file over the old one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return withOldKept(file.errorString(), existed);
    }
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            return withOldKept(file.errorString(), existed);
        }
        done += n;
    }
    if (!file.flush() || !file.commit()) {
        return withOldKept(file.errorString(), existed);
    }
    return {};
}

#endif

}  // namespace

QString fileErrorReason(int error) {
    return reasonFor(error);
}

QString saveFileAtomically(const QString& path, const QByteArray& bytes) {
#ifdef Q_OS_UNIX
    return saveUnix(path, bytes);
#else
    return saveWithQt(path, bytes);
#endif
}

QString QtAtomicSave::save(const QString& path, const QByteArray& bytes) {
    return saveFileAtomically(path, bytes);
}

}  // namespace pellix
