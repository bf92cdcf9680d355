#pragma once

#include <QLockFile>
#include <QSettings>

#include <memory>

#include "platform/services.h"

class QWidget;

namespace pellix {

// QSettings with organization "Pellix", application "Pellix kit" (on Linux the file
// $XDG_CONFIG_HOME/Pellix/Pellix kit.conf).
class QtSettingsStore final : public SettingsStore {
  public:
    QtSettingsStore();
    QString value(const QString& key, const QString& defaultValue) const override;
    void setValue(const QString& key, const QString& value) override;

  private:
    mutable QSettings m_settings;
};

class QtMessageBoxes final : public MessageBoxes {
  public:
    void show(const QString& text, const QString& title, MessageIcon icon) override;
};

class QtClipboard final : public Clipboard {
  public:
    void clear() override;
};

// Next to the executable in a build tree, share/pellix-kit when installed (see runtimefolder.h).
class QtProgramFolder final : public ProgramFolder {
  public:
    QString path() const override;

  private:
    mutable QString m_path;  // looked up once: the files do not move while the program runs
};

// A per-user lock file. QLockFile records the owner's process id, so a lock left behind by a
// crashed copy is recognised as stale and taken over.
class QtInstanceLock final : public InstanceLock {
  public:
    QtInstanceLock();
    bool anotherInstanceRunning() const override { return !m_held; }

  private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};

}  // namespace pellix
