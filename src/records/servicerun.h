#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pellix::records {

// Which tool window (or runner) a run came from.
enum class Interface { HardwareTest, CoinSetting, CnyTester, Simulation };
// How a run ended: pass, fail, or incomplete (stopped before a verdict; `reason` says why).
enum class Outcome { Pass, Fail, Incomplete };

std::string_view interfaceName(Interface interface);  // "hardware test", ...
std::string_view outcomeName(Outcome outcome);        // "pass", "fail", "incomplete"
std::optional<Interface> interfaceFromName(std::string_view name);
std::optional<Outcome> outcomeFromName(std::string_view name);

// What a hopper says of itself: the flash record's identity fields and, from the hardware test
// stream, the identity header's software text and checksum. A field the run never saw is empty.
struct HopperIdentity {
    std::string serialNumber;
    std::string productCode;
    std::string softwareVersion;
    std::string manufacturer;
    std::string buildCode;
    std::string hopperCoin;
    std::string identitySoftware;
    std::string identityChecksum;

    bool known() const { return !serialNumber.empty(); }
    bool operator==(const HopperIdentity&) const = default;
};

// One run of one interface against one hopper, as the service records keep it. Everything
// measured or changed is a named value, in the order it happened ("result motor forward" =
// "OK", "dip 1" = "on", "coin number 3 before" = "500", "flash serial number written" = ...), so
// every interface records into the same shape.
struct ServiceRun {
    std::string key;         // unique per run (a spooled run sent twice is stored once)
    std::string startedUtc;  // "2026-12-09T10:15:00.123Z"
    std::string endedUtc;
    std::string bench;         // host name
    std::string operatorName;  // login name
    Interface interface = Interface::HardwareTest;
    std::string port;    // "COM3"
    std::string device;  // what COM3 stood for: "/dev/ttyUSB0"
    Outcome outcome = Outcome::Incomplete;
    std::string reason;  // why it failed or stopped; empty for a pass
    HopperIdentity hopper;
    std::vector<std::pair<std::string, std::string>> values;
    std::string note;     // the technician's words
    std::string capture;  // the run's traffic in the capture text format

    void add(std::string name, std::string value) {
        values.emplace_back(std::move(name), std::move(value));
    }
    bool operator==(const ServiceRun&) const = default;
};

}  // namespace pellix::records
