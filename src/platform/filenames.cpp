#include "platform/filenames.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pellix {

QByteArray nativeFileName(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
#ifdef Q_OS_UNIX
    struct stat st {};
    if (!path.contains(QChar::ReplacementCharacter) || ::lstat(encoded.constData(), &st) == 0) {
        return encoded;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    QByteArray folder;
    if (slash > 0) {
        folder = nativeFileName(path.left(slash));
    } else if (slash == 0) {
        folder = "/";
    }
    DIR* dir = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (dir == nullptr) {
        return encoded;
    }
    QByteArray match;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (QFile::decodeName(entry->d_name) == name) {
            match = entry->d_name;
            ++matches;
        }
    }
    ::closedir(dir);
    if (matches != 1) {
        return encoded;  // none, or more than one name reads the same: cannot tell which
    }
    if (folder.isEmpty()) {
        return match;
    }
    return folder.endsWith('/') ? folder + match : folder + '/' + match;
#else
    return encoded;
#endif
}

FileKind fileKind(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(nativeFileName(path).constData(), &st) != 0) {
        return FileKind::Missing;
    }
    if (S_ISREG(st.st_mode)) {
        return FileKind::Regular;
    }
    return S_ISDIR(st.st_mode) ? FileKind::Folder : FileKind::Other;
#else
    const QFileInfo info(path);
    if (!info.exists()) {
        return FileKind::Missing;
    }
    if (info.isFile()) {
        return FileKind::Regular;
    }
    return info.isDir() ? FileKind::Folder : FileKind::Other;
#endif
}

bool openRegularFile(const QString& path, QFile& file) {
#ifdef Q_OS_UNIX
    // Opened without waiting, then checked on the open handle, so a pipe swapped in after a
    // look at the name cannot block the window either.
    const int fd = ::open(nativeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    if (fileKind(path) != FileKind::Regular) {
        return false;
    }
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
#endif
}

}  // namespace pellix
