#include "platform/runtimefolder.h"

#include <QDir>
#include <QFileInfo>

#include "runtimefiles.h"

namespace pellix {

QString locateRuntimeFolder(const QString& programDir) {
    const QDir beside(programDir);
    if (QFileInfo::exists(beside.filePath(QStringLiteral("Manual5.rtf")))) {
        return programDir;
    }
    const QString installed =
        QDir::cleanPath(beside.filePath(QStringLiteral(PELLIX_DATA_FROM_BIN)));
    if (QFileInfo(installed).isDir()) {
        return installed;
    }
    return programDir;
}

QStringList missingRuntimeFiles(const QString& folder) {
    QStringList missing;
    const QDir dir(folder);
    for (const char* name : kRuntimeFiles) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        if (!QFileInfo(path).isFile()) {
            missing.append(path);
        }
    }
    return missing;
}

}  // namespace pellix
