#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace pellix {

// The file system's own bytes for `path`. Names that are not valid UTF-8 come back from the
// file dialogs with U+FFFD in place of the odd bytes and no longer name the file; such a name
// is matched against the entries of its folder, and when exactly one entry reads the same,
// that entry's bytes are used.
QByteArray nativeFileName(const QString& path);

enum class FileKind { Missing, Regular, Folder, Other };

// What `path` names, following symbolic links. Other: a named pipe, a device or a socket.
FileKind fileKind(const QString& path);

// Opens `path` for reading when it is a regular file. Pipes and devices are refused without
// waiting on them: opening a named pipe that nobody writes to would never return.
bool openRegularFile(const QString& path, QFile& file);

}  // namespace pellix
