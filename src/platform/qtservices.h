#pragma once

#include <QLockFile>

#include <memory>

#include "platform/qtsettingsstore.h"
#include "platform/services.h"

class QWidget;

namespace pellix {

class QtMessageBoxes final : public MessageBoxes {
  public:
    void show(const QString& text, const QString& title, MessageIcon icon) override;
};

class QtClipboard final : public Clipboard {
  public:
    void clear() override;
    void setText(const QString& text) override;
};

// Next to the executable in a build tree, share/pellix-kit when installed (see runtimefolder.h).
class QtProgramFolder final : public ProgramFolder {
  public:
    QString path() const override;

  private:
    mutable QString m_path;  // looked up once: the files do not move while the program runs
};

// A per-user lock file. QLockFile records the owner's process id, so a lock left behind by a
// crashed copy is recognised as stale and taken over. Only a lock another live copy holds
// counts: a lock that cannot be created at all (full or unwritable runtime folder) tells
// nothing about other copies, and this copy runs on.
class QtInstanceLock final : public InstanceLock {
  public:
    QtInstanceLock();
    explicit QtInstanceLock(const QString& folder);
    bool anotherInstanceRunning() const override { return m_another; }

  private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_another = false;
};

}  // namespace pellix
