#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pellix {

// A serial device as the system reports it.
struct PortDevice {
    std::string path;      // "/dev/ttyUSB0"
    std::string byIdPath;  // "/dev/serial/by-id/usb-...", empty when the system gives none
    std::string description;
    std::string manufacturer;
    std::string serialNumber;
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
};

// What recognises a device again after a replug or a reboot, whatever node it gets: its
// by-id path, else vendor, product and serial number, else its path.
std::string stableIdentity(const PortDevice& device);

// The COM number of a legacy UART (/dev/ttyS<n-1> is COMn), if the path is one.
std::optional<int> legacyUartNumber(const std::string& path);

// Where "COMn" gets its device from.
enum class PortSource {
    None,         // nothing stands behind the number
    Environment,  // PELLIX_COMn names a device (scripts, emulators)
    Remembered,   // the setting Ports/COMn
    Uart,         // a legacy UART the system reports as a real port
};

struct ComPort {
    int number = 0;
    PortSource source = PortSource::None;
    std::string device;    // what opening "COMn" opens; empty when nothing can be opened
    std::string identity;  // what the number is tied to: stored value, override or UART path
    std::optional<std::size_t> deviceIndex;  // into devices() when a reported device matches
    bool present = false;                    // something is there to open right now
};

// One change to the remembered numbers: the value to store under Ports/COM<number>; an empty
// value forgets the number.
struct PortChange {
    int number = 0;
    std::string value;
    bool operator==(const PortChange&) const = default;
};

// Stable COM numbers over the devices present now and the numbers remembered earlier.
// "COMn" resolves to the environment override if set; else to the remembered device (a stable
// identity, or a plain path as older versions stored); else, for a real legacy UART, to
// /dev/ttyS<n-1>. A device seen for the first time that is not a legacy UART gets the lowest
// number that no remembered device, real UART or override holds; newAssignments() lists what
// the caller has to store so it keeps that number.
class PortAssignment {
  public:
    static constexpr int kPortCount = 12;
    using Values = std::map<int, std::string>;  // COM number -> text
    using Exists = std::function<bool(const std::string& path)>;

    PortAssignment(std::vector<PortDevice> devices, Values remembered, Values overrides,
                   Exists exists);

    const std::vector<PortDevice>& devices() const { return m_devices; }
    const std::vector<PortChange>& newAssignments() const { return m_new; }
    // COM1 .. COM12; any other number stands for nothing.
    const ComPort& port(int number) const;
    // Devices left without a number because all twelve are taken.
    const std::vector<std::size_t>& unnumbered() const { return m_unnumbered; }

    // Free: no override, remembered device or real UART holds the number.
    bool isFree(int number) const;
    // Moves a remembered device to a free number; empty when that is not allowed.
    std::vector<PortChange> move(int from, int to) const;
    // Forgets a remembered device that is not there; empty when that is not allowed.
    std::vector<PortChange> forget(int number) const;

    // The device behind a number in one line, for tooltips:
    // "FT232R USB UART — FTDI — A50285BI — /dev/ttyUSB0".
    std::string describe(int number) const;

  private:
    std::optional<std::size_t> findDevice(const std::string& value) const;
    void resolve(const Values& remembered, const Values& overrides, const Exists& exists);
    void assignNewDevices(const Values& overrides);

    std::vector<PortDevice> m_devices;
    std::array<ComPort, kPortCount> m_ports{};
    std::vector<PortChange> m_new;
    std::vector<std::size_t> m_unnumbered;
    // Devices whose remembered number an override hides: they keep that number all the same.
    std::vector<std::size_t> m_hidden;
};

// The COM table as text, one line per number with a heading: number, path, description,
// serial number, whether it is there now. Columns are padded to line up.
std::string portTableText(const PortAssignment& table);

}  // namespace pellix
