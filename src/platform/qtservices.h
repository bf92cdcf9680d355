#pragma once

#include <QLockFile>
#include <QSettings>

#include <QHash>

#include <functional>
#include <memory>

#include "platform/services.h"

class QWidget;

namespace pellix {

// QSettings with organization "Pellix", application "Pellix kit" (on Linux the file
// $XDG_CONFIG_HOME/Pellix/Pellix kit.conf), opened at the first value asked for.
// QSettings reads whatever that name holds: a named pipe there would stop the program for
// good. So the file is read only when it is a regular, readable file (or not there yet);
// otherwise this run keeps its values in memory, starting from the defaults, and
// `unreadable` is told once, with the file's name.
// Told once when the settings file is not a file that can be read; %1 is its name.
inline constexpr const char* kSettingsUnreadable =
    "The settings file %1 could not be read (it is not an ordinary file, or it may not be "
    "opened). The tool runs with its default settings, and changes are not remembered.";

class QtSettingsStore final : public SettingsStore {
  public:
    explicit QtSettingsStore(std::function<void(const QString& file)> unreadable = {});
    ~QtSettingsStore() override;
    QString value(const QString& key, const QString& defaultValue) const override;
    void setValue(const QString& key, const QString& value) override;

    // Where the settings live: a file name, or a registry path where there is no file.
    static QString location();

  private:
    QSettings* settings() const;  // null when the file cannot be read

    std::function<void(const QString&)> m_unreadable;
    mutable std::unique_ptr<QSettings> m_settings;
    mutable bool m_opened = false;
    mutable QHash<QString, QString> m_memory;
};

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
