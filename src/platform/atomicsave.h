#pragma once

#include <QByteArray>
#include <QString>

namespace pellix {

// Writes a file as a whole or not at all. The bytes go to a new file beside the target, which
// is synced to the disk and only then renamed over the target, so a full disk, a pulled stick
// or a crash never leaves a setting file or log half written or emptied.
class AtomicSave {
  public:
    virtual ~AtomicSave() = default;
    // Empty when the file now holds `bytes`; otherwise why it could not be saved, in words a
    // technician can act on. On failure the file that was there is left exactly as it was.
    virtual QString save(const QString& path, const QByteArray& bytes) = 0;
};

class QtAtomicSave final : public AtomicSave {
  public:
    QString save(const QString& path, const QByteArray& bytes) override;
};

// The function behind QtAtomicSave, for callers that have no services at hand.
// Only a regular file (or a name not yet taken) is replaced; a folder, a named pipe or a
// device keeps its place and the save fails.
QString saveFileAtomically(const QString& path, const QByteArray& bytes);

// A system error number (errno) as the same plain words a failed save gives.
QString fileErrorReason(int error);
}  // namespace pellix
