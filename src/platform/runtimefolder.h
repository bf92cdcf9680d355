#pragma once

#include <QString>
#include <QStringList>

namespace pellix {

// The folder that holds the runtime files (manual, pictures, icons). A build tree keeps them next
// to the executable; an installed program keeps them in its data folder (share/pellix-kit beside
// bin/). The files themselves decide: the manual next to the executable wins.
QString locateRuntimeFolder(const QString& programDir);

// Full paths of the runtime files shipped with the program that `folder` lacks.
QStringList missingRuntimeFiles(const QString& folder);

}  // namespace pellix
