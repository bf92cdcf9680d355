#pragma once

#include <QHash>
#include <QSettings>

#include <functional>
#include <memory>

#include "platform/services.h"

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

}  // namespace pellix
