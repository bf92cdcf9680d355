#include "platform/devicenode.h"

#include <QFile>

#include <climits>
#include <cstdlib>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace pellix {
namespace {

// Unix 98 pseudo-terminal slaves.
constexpr unsigned kFirstPtyMajor = 136;
constexpr unsigned kLastPtyMajor = 143;

}  // namespace

DeviceNode deviceNode(const QString& path) {
    DeviceNode node;
    char resolved[PATH_MAX];
    if (::realpath(QFile::encodeName(path).constData(), resolved) == nullptr) {
        return node;
    }
    node.node = resolved;
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        node.link = QByteArray::number(static_cast<qulonglong>(st.st_ino)) + ':' +
                    QByteArray::number(static_cast<qlonglong>(st.st_ctim.tv_sec)) + '.' +
                    QByteArray::number(static_cast<qlonglong>(st.st_ctim.tv_nsec));
    }
    if (::stat(resolved, &st) == 0 && S_ISCHR(st.st_mode)) {
        node.character = true;
        node.major = major(st.st_rdev);
    }
    return node;
}

bool mayBeTheSameDevice(const DeviceNode& opened, const DeviceNode& now) {
    if (!opened.character) {
        return true;
    }
    if (!now.character || now.major != opened.major) {
        return false;
    }
    const bool pty = opened.major >= kFirstPtyMajor && opened.major <= kLastPtyMajor;
    return !(pty && now.node == opened.node && now.link == opened.link);
}

}  // namespace pellix
