#pragma once

#include <QString>

namespace pellix {

// The platform services the windows use, each behind a small interface so tests can record
// what a window asked for instead of touching the real desktop.

// Per-user remembered values. Keys are paths such as "Setting/COMPORT" (see common/settingskeys.h).
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    virtual QString value(const QString& key, const QString& defaultValue) const = 0;
    virtual void setValue(const QString& key, const QString& value) = 0;
};

enum class MessageIcon { None, Critical, Exclamation, Information };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows a modal message with an OK button and returns once the technician closed it.
    virtual void show(const QString& text, const QString& title, MessageIcon icon) = 0;
};

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual void clear() = 0;
    virtual void setText(const QString& text) = 0;
};

// The folder the program file lies in; runtime files (manual, pictures, icons) are read there.
class ProgramFolder {
  public:
    virtual ~ProgramFolder() = default;
    virtual QString path() const = 0;
    // `name` is written the traditional way, with a leading backslash ("\Ar1.bmp").
    QString filePath(const QString& name) const;
};

// Tells whether another copy of the program is running for this user.
class InstanceLock {
  public:
    virtual ~InstanceLock() = default;
    virtual bool anotherInstanceRunning() const = 0;
};

class FileDialogs;
class SerialPortFactory;

// Everything a window needs from the platform, handed down from main (or from a test).
struct Services {
    SettingsStore& settings;
    MessageBoxes& messages;
    Clipboard& clipboard;
    FileDialogs& dialogs;
    ProgramFolder& folder;
    InstanceLock& instance;
    SerialPortFactory& ports;
};

}  // namespace pellix
