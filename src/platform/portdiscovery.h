#pragma once

#include <QHash>
#include <QString>

#include <vector>

#include "common/portassignment.h"

namespace pellix {

class SettingsStore;

// The serial devices the system reports right now. The Qt implementation asks Qt Serial Port;
// tests hand in a fixed list.
class PortDiscovery {
  public:
    virtual ~PortDiscovery() = default;
    virtual std::vector<PortDevice> ports() const = 0;
};

class QtPortDiscovery final : public PortDiscovery {
  public:
    // `byIdFolder` holds the links named after each device's identity.
    explicit QtPortDiscovery(QString byIdFolder = QStringLiteral("/dev/serial/by-id"))
        : m_byIdFolder(std::move(byIdFolder)) {}
    std::vector<PortDevice> ports() const override;

  private:
    QString m_byIdFolder;
};

// The COM numbers of this machine: discovered devices, the numbers remembered under
// "Ports/COMn" and the PELLIX_COMn overrides, run through PortAssignment. Each table() call
// looks at the system afresh and stores the numbers it gives to new devices at once.
class ComPortMap {
  public:
    ComPortMap(SettingsStore& settings, const PortDiscovery& discovery)
        : m_settings(settings), m_discovery(discovery) {}

    PortAssignment table() const;
    // Stores the changes a move or a forget asked for; false when there were none.
    bool apply(const std::vector<PortChange>& changes) const;

    static QString overrideName(int number);

    // What the last open of COM`number` ran into in this run (the device and the system's
    // reason), empty once one succeeded. Only this run's: never stored.
    QString lastError(int number) const { return m_lastErrors.value(number); }
    void setLastError(int number, const QString& error) const;

  private:
    SettingsStore& m_settings;
    const PortDiscovery& m_discovery;
    // Beside the table, which callers hold as a constant view of the machine.
    mutable QHash<int, QString> m_lastErrors;
};

}  // namespace pellix
