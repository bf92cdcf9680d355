#pragma once

#include <QString>

// Every text the serial link shows, in one place.
namespace pellix {

// Panel 1 of every tool window's status bar.
inline const QString kPanelOpen = QStringLiteral("RS232 開啟");
inline const QString kPanelClosed = QStringLiteral("RS232 關閉");

namespace serialtexts {

inline const QString kErrorTitle = QStringLiteral("Error");
inline const QString kPortNumberError = QStringLiteral("Port Number Error");
inline const QString kPortInUse = QStringLiteral("Port Already In Use");
// %1: device, %2: port number.
inline const QString kNoPermission = QStringLiteral(
    "No permission to use the serial device %1 (COM%2).\n"
    "Add your user to the group that owns it (usually \"dialout\": "
    "sudo adduser $USER dialout), then log in again.");
// %1: device, %2: port number.
inline const QString kDeviceGone = QStringLiteral(
    "The serial device %1 (COM%2) is gone; the port was closed. Pick the port again once it is "
    "back.");

}  // namespace serialtexts
}  // namespace pellix
