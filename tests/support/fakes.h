#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "platform/filedialogs.h"
#include "platform/portdiscovery.h"
#include "platform/qtserialport.h"
#include "platform/serialport.h"
#include "platform/services.h"
#include "widgets/windowhost.h"

namespace pellix::test {

class MemorySettingsStore final : public SettingsStore {
  public:
    QString value(const QString& key, const QString& defaultValue) const override {
        return m_values.value(key, defaultValue);
    }
    void setValue(const QString& key, const QString& value) override { m_values[key] = value; }
    QMap<QString, QString> m_values;
};

struct ShownMessage {
    QString text;
    QString title;
    MessageIcon icon;
};

class RecordingMessageBoxes final : public MessageBoxes {
  public:
    void show(const QString& text, const QString& title, MessageIcon icon) override {
        m_shown.append({text, title, icon});
        if (m_onShow) {
            m_onShow();
        }
    }
    QStringList texts() const {
        QStringList out;
        for (const auto& m : m_shown) {
            out << m.text;
        }
        return out;
    }
    QList<ShownMessage> m_shown;
    // Runs while the "modal" box would be up, e.g. to deliver bytes meanwhile.
    std::function<void()> m_onShow;
};

class CountingClipboard final : public Clipboard {
  public:
    void clear() override {
        ++m_clears;
        m_text.clear();
    }
    void setText(const QString& text) override { m_text = text; }
    int m_clears = 0;
    QString m_text;
};

struct DialogRequest {
    bool save = false;
    QString title;
    QString filter;
    QString startName;
};

// Answers every dialog with `m_answer`; an empty answer is a cancel.
class ScriptedFileDialogs final : public FileDialogs {
  public:
    QString m_answer;
    QList<DialogRequest> m_requests;

  protected:
    QString ask(bool save, const QString& title, const QString& filter,
                const QString& startName) override {
        m_requests.append({save, title, filter, startName});
        return m_answer;
    }
};

// Defaults to the build's runtime folder, where the program's runtime files are copied.
class FixedProgramFolder final : public ProgramFolder {
  public:
    FixedProgramFolder();
    QString path() const override { return m_path; }
    QString m_path;
};

class FixedInstanceLock final : public InstanceLock {
  public:
    bool anotherInstanceRunning() const override { return m_other; }
    bool m_other = false;
};

class FakeSerialPortFactory;

// An in-memory serial port: what the window writes is recorded, what the test injects arrives
// as if the hopper had sent it.
class FakeSerialPort final : public SerialPort {
    Q_OBJECT
  public:
    explicit FakeSerialPort(FakeSerialPortFactory& factory) : m_factory(factory) {}
    OpenError open(const QString& device) override;
    QString openFailure() const override { return m_failure; }
    void close() override;
    bool isOpen() const override { return m_open; }
    bool applySettings(const LineSettings& settings) override {
        m_settings = settings;
        return true;
    }
    qint64 bytesAvailable() const override { return m_open ? m_incoming.size() : 0; }
    QByteArray read(qint64 maxBytes) override {
        const QByteArray out = m_incoming.left(maxBytes);
        m_incoming.remove(0, out.size());
        return out;
    }
    bool write(const QByteArray& bytes) override;

    // Delivers bytes from the hopper and raises the ready-read notification.
    void inject(const QByteArray& bytes);
    // The adapter is pulled out.
    void unplug();

    bool m_open = false;
    QString m_device;
    LineSettings m_settings;
    QByteArray m_incoming;
    QByteArray m_written;
    QList<QByteArray> m_writes;  // one entry per write call
    bool m_failWrites = false;
    QString m_failure;

  private:
    FakeSerialPortFactory& m_factory;
};

class FakeSerialPortFactory final : public SerialPortFactory {
  public:
    std::unique_ptr<SerialPort> create() override;
    PortTarget target(int portNumber) const override {
        const QString device = QStringLiteral("/dev/fake%1").arg(portNumber);
        return {device, device, device, !m_absent.contains(device)};
    }
    void setLastError(int portNumber, const QString& error) override {
        m_lastErrors.insert(portNumber, error);
    }
    // The most recently created port (each window's link creates one).
    FakeSerialPort* last() const { return m_ports.isEmpty() ? nullptr : m_ports.last(); }

    // Open results by device; devices not listed open fine.
    QHash<QString, OpenError> m_openErrors;
    QList<FakeSerialPort*> m_ports;
    QStringList m_openDevices;  // devices open right now, to model "in use"
    QStringList m_absent;       // devices reported as not there
    QHash<int, QString> m_lastErrors;
};

// A fixed list of devices, counting how often it was asked.
class FakePortDiscovery final : public PortDiscovery {
  public:
    std::vector<PortDevice> ports() const override {
        ++m_calls;
        return m_devices;
    }
    std::vector<PortDevice> m_devices;
    mutable int m_calls = 0;
};

// Writes a whole file for a test; false when it could not.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Records what a window asked of the rest of the program.
class RecordingHost final : public WindowHost {
  public:
    void showLauncher() override { ++m_launcherShown; }
    QWidget* open(WindowKind kind) override {
        m_opened.append(kind);
        return nullptr;
    }
    QWidget* load(WindowKind kind) override {
        m_loaded.append(kind);
        return nullptr;
    }
    void setIcon(WindowKind kind, const QIcon&) override { m_iconsSet.append(kind); }
    int m_launcherShown = 0;
    QList<WindowKind> m_opened;
    QList<WindowKind> m_loaded;
    QList<WindowKind> m_iconsSet;
};

// One of each fake, ready to hand to a window.
struct TestServices {
    MemorySettingsStore settings;
    RecordingMessageBoxes messages;
    CountingClipboard clipboard;
    ScriptedFileDialogs dialogs;
    FixedProgramFolder folder;
    FixedInstanceLock instance;
    FakeSerialPortFactory ports;
    Services services{settings, messages, clipboard, dialogs, folder, instance, ports};
};

// Recording fakes for the desktop, the real serial port code for the line: for tests that run
// against pseudo-terminals.
struct PtyServices {
    MemorySettingsStore settings;
    RecordingMessageBoxes messages;
    CountingClipboard clipboard;
    ScriptedFileDialogs dialogs;
    FixedProgramFolder folder;
    FixedInstanceLock instance;
    FakePortDiscovery discovery;
    ComPortMap comPorts{settings, discovery};
    QtSerialPortFactory ports{comPorts};
    Services services{settings, messages, clipboard, dialogs, folder, instance, ports};
};

}  // namespace pellix::test
