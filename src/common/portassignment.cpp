#include "common/portassignment.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <utility>

namespace pellix {
namespace {

constexpr const char* kSeparator = " — ";
constexpr const char* kNothing = "Nothing connected";
constexpr const char* kNotConnected = "not connected";
constexpr const char* kOverridePrefix = "PELLIX_COM";

std::string hex4(std::uint16_t value) {
    char text[5];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
    return text;
}

// A trailing number split off a path, so ttyUSB2 sorts before ttyUSB10.
std::pair<std::string_view, unsigned long> splitNumber(std::string_view path) {
    std::size_t digits = path.size();
    while (digits > 0 && path[digits - 1] >= '0' && path[digits - 1] <= '9') {
        --digits;
    }
    unsigned long number = 0;
    for (std::size_t i = digits; i < path.size() && i < digits + 9; ++i) {
        number = number * 10 + static_cast<unsigned long>(path[i] - '0');
    }
    return {path.substr(0, digits), number};
}

bool naturalLess(const std::string& a, const std::string& b) {
    const auto [stemA, numberA] = splitNumber(a);
    const auto [stemB, numberB] = splitNumber(b);
    if (stemA != stemB) {
        return stemA < stemB;
    }
    if (numberA != numberB) {
        return numberA < numberB;
    }
    return a < b;
}

std::string join(std::initializer_list<const std::string*> parts) {
    std::string out;
    for (const std::string* part : parts) {
        if (part->empty()) {
            continue;
        }
        if (!out.empty()) {
            out += kSeparator;
        }
        out += *part;
    }
    return out;
}

}  // namespace

std::string stableIdentity(const PortDevice& device) {
    if (!device.byIdPath.empty()) {
        return device.byIdPath;
    }
    // Without a serial number two identical adapters would share one identity; the path at
    // least tells them apart while they stay plugged where they are.
    if (device.vendorId && device.productId && !device.serialNumber.empty()) {
        return "usb:" + hex4(*device.vendorId) + ":" + hex4(*device.productId) + ":" +
               device.serialNumber;
    }
    return device.path;
}

std::optional<int> legacyUartNumber(const std::string& path) {
    constexpr std::string_view kPrefix = "/dev/ttyS";
    if (path.size() <= kPrefix.size() || path.size() > kPrefix.size() + 3 ||
        path.compare(0, kPrefix.size(), kPrefix) != 0) {
        return std::nullopt;
    }
    int n = 0;
    for (std::size_t i = kPrefix.size(); i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '9') {
            return std::nullopt;
        }
        n = n * 10 + (path[i] - '0');
    }
    return n + 1;
}

PortAssignment::PortAssignment(std::vector<PortDevice> devices, Values remembered, Values overrides,
                               Exists exists)
    : m_devices(std::move(devices)) {
    resolve(remembered, overrides, exists);
    assignNewDevices(overrides);
}

std::optional<std::size_t> PortAssignment::findDevice(const std::string& value) const {
    if (value.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (stableIdentity(m_devices[i]) == value) {
            return i;
        }
    }
    // Plain paths as older versions stored them ("/dev/ttyUSB0"), or a by-id path written by
    // hand, name the device that is there now.
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].path == value || m_devices[i].byIdPath == value) {
            return i;
        }
    }
    return std::nullopt;
}

void PortAssignment::resolve(const Values& remembered, const Values& overrides,
                             const Exists& exists) {
    auto valueOf = [](const Values& values, int number) {
        const auto it = values.find(number);
        return it == values.end() ? std::string() : it->second;
    };
    for (int n = 1; n <= kPortCount; ++n) {
        ComPort& port = m_ports[static_cast<std::size_t>(n - 1)];
        port.number = n;
        if (std::string value = valueOf(overrides, n); !value.empty()) {
            if (const auto hidden = findDevice(valueOf(remembered, n))) {
                m_hidden.push_back(*hidden);
            }
            port.source = PortSource::Environment;
            port.deviceIndex = findDevice(value);
            port.present = port.deviceIndex || (exists && exists(value));
            port.device = value;
            port.identity = std::move(value);
        } else if (value = valueOf(remembered, n); !value.empty()) {
            port.source = PortSource::Remembered;
            port.deviceIndex = findDevice(value);
            if (port.deviceIndex) {
                port.device = m_devices[*port.deviceIndex].path;
                port.present = true;
            } else if (value.front() == '/') {
                // A path the system does not list (a link to a pseudo-terminal, a device the
                // enumeration misses): it opens as it is when it is there.
                port.device = value;
                port.present = exists && exists(value);
            }
            port.identity = std::move(value);
        } else {
            for (std::size_t i = 0; i < m_devices.size(); ++i) {
                if (legacyUartNumber(m_devices[i].path) == n) {
                    port.source = PortSource::Uart;
                    port.deviceIndex = i;
                    port.device = m_devices[i].path;
                    port.identity = port.device;
                    port.present = true;
                    break;
                }
            }
        }
    }
}

void PortAssignment::assignNewDevices(const Values& overrides) {
    std::vector<std::size_t> order(m_devices.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return naturalLess(m_devices[a].path, m_devices[b].path);
    });
    for (const std::size_t index : order) {
        const PortDevice& device = m_devices[index];
        if (legacyUartNumber(device.path)) {
            continue;  // a UART keeps the number of its node
        }
        const bool numbered =
            std::any_of(m_ports.begin(), m_ports.end(),
                        [&](const ComPort& p) { return p.deviceIndex == index; }) ||
            std::find(m_hidden.begin(), m_hidden.end(), index) != m_hidden.end();
        // A device an override names is reachable through it; it gets its own number on a run
        // without the override.
        const bool overridden =
            std::any_of(overrides.begin(), overrides.end(), [&](const auto& entry) {
                return !entry.second.empty() &&
                       (entry.second == device.path || entry.second == device.byIdPath);
            });
        if (numbered || overridden) {
            continue;
        }
        const auto free = std::find_if(m_ports.begin(), m_ports.end(), [](const ComPort& p) {
            return p.source == PortSource::None;
        });
        if (free == m_ports.end()) {
            m_unnumbered.push_back(index);
            continue;
        }
        free->source = PortSource::Remembered;
        free->identity = stableIdentity(device);
        free->device = device.path;
        free->deviceIndex = index;
        free->present = true;
        m_new.push_back({free->number, free->identity});
    }
}

const ComPort& PortAssignment::port(int number) const {
    static const ComPort kNone;
    if (number < 1 || number > kPortCount) {
        return kNone;
    }
    return m_ports[static_cast<std::size_t>(number - 1)];
}

bool PortAssignment::isFree(int number) const {
    return number >= 1 && number <= kPortCount && port(number).source == PortSource::None;
}

std::vector<PortChange> PortAssignment::move(int from, int to) const {
    const ComPort& source = port(from);
    if (source.source != PortSource::Remembered || !isFree(to)) {
        return {};
    }
    return {{to, source.identity}, {from, std::string()}};
}

std::vector<PortChange> PortAssignment::forget(int number) const {
    const ComPort& p = port(number);
    if (p.source != PortSource::Remembered || p.present) {
        return {};
    }
    return {{number, std::string()}};
}

std::string PortAssignment::describe(int number) const {
    const ComPort& p = port(number);
    if (p.source == PortSource::None) {
        return kNothing;
    }
    std::string text;
    if (p.deviceIndex) {
        const PortDevice& d = m_devices[*p.deviceIndex];
        text = join({&d.description, &d.manufacturer, &d.serialNumber, &d.path});
    } else {
        text = p.source == PortSource::Remembered ? p.identity : p.device;
    }
    if (p.source == PortSource::Environment) {
        text += " (" + std::string(kOverridePrefix) + std::to_string(number) + ")";
    }
    if (!p.present) {
        text += kSeparator;
        text += kNotConnected;
    }
    return text;
}

std::string portTableText(const PortAssignment& table) {
    using Row = std::array<std::string, 5>;
    std::vector<Row> rows{{"Port", "Path", "Description", "Serial", "Present"}};
    for (int n = 1; n <= PortAssignment::kPortCount; ++n) {
        const ComPort& port = table.port(n);
        Row row{"COM" + std::to_string(n), port.device.empty() ? port.identity : port.device, "",
                "", port.present ? "yes" : "no"};
        if (row[1].empty()) {
            row[1] = "-";
        }
        if (port.deviceIndex) {
            const PortDevice& device = table.devices()[*port.deviceIndex];
            row[2] = device.description;
            row[3] = device.serialNumber;
        } else if (port.source == PortSource::Environment) {
            row[2] = kOverridePrefix + std::to_string(n);
        }
        rows.push_back(std::move(row));
    }
    std::array<std::size_t, 5> widths{};
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    std::string out;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) {
                line.append(widths[c] - row[c].size() + 2, ' ');
            }
        }
        out += line + "\n";
    }
    return out;
}

}  // namespace pellix
