#include "platform/services.h"

#include <QDir>

namespace pellix {

QString ProgramFolder::filePath(const QString& name) const {
    QString relative = name;
    while (relative.startsWith(QLatin1Char('\\')) || relative.startsWith(QLatin1Char('/'))) {
        relative.remove(0, 1);
    }
    return QDir(path()).filePath(relative);
}

}  // namespace pellix
