#include "platform/portdiscovery.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

#include "common/settingskeys.h"
#include "platform/services.h"

namespace pellix {
namespace {

QString settingsKey(int number) {
    return QString::fromLatin1(keys::kPortDevicePrefix) + QString::number(number);
}

}  // namespace

std::vector<PortDevice> QtPortDiscovery::ports() const {
    // Each by-id link names the node it points at; one look at the folder per call.
    QHash<QString, QString> byId;
    const QDir folder(m_byIdFolder);
    for (const QFileInfo& link : folder.entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !byId.contains(target)) {
            byId.insert(target, link.absoluteFilePath());
        }
    }

    std::vector<PortDevice> out;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortDevice device;
        device.path = info.systemLocation().toStdString();
        device.byIdPath =
            byId.value(QFileInfo(info.systemLocation()).canonicalFilePath()).toStdString();
        device.description = info.description().toStdString();
        device.manufacturer = info.manufacturer().toStdString();
        device.serialNumber = info.serialNumber().toStdString();
        if (info.hasVendorIdentifier()) {
            device.vendorId = info.vendorIdentifier();
        }
        if (info.hasProductIdentifier()) {
            device.productId = info.productIdentifier();
        }
        out.push_back(std::move(device));
    }
    return out;
}

void ComPortMap::setLastError(int number, const QString& error) const {
    if (error.isEmpty()) {
        m_lastErrors.remove(number);
    } else {
        m_lastErrors.insert(number, error);
    }
}

QString ComPortMap::overrideName(int number) {
    return QStringLiteral("PELLIX_COM%1").arg(number);
}

PortAssignment ComPortMap::table() const {
    PortAssignment::Values remembered;
    PortAssignment::Values overrides;
    for (int n = 1; n <= PortAssignment::kPortCount; ++n) {
        remembered[n] = m_settings.value(settingsKey(n), QString()).toStdString();
        overrides[n] = qEnvironmentVariable(qPrintable(overrideName(n))).toStdString();
    }
    PortAssignment table(
        m_discovery.ports(), std::move(remembered), std::move(overrides),
        [](const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); });
    apply(table.newAssignments());
    return table;
}

bool ComPortMap::apply(const std::vector<PortChange>& changes) const {
    for (const PortChange& change : changes) {
        m_settings.setValue(settingsKey(change.number), QString::fromStdString(change.value));
    }
    return !changes.empty();
}

}  // namespace pellix
