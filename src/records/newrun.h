#pragma once

#include <string>

#include "records/servicerun.h"

namespace pellix {
class Capture;
}

namespace pellix::records {

// "2026-12-09T10:15:00.123Z", now.
std::string utcNow();

// A run starting now on this bench, by this login, through `port` (and the device behind it),
// with a fresh key.
ServiceRun newRun(Interface interface, std::string port, std::string device);

// A window's capture in the capture text format, for the run it saw; empty without one.
std::string captureText(const Capture* capture);

}  // namespace pellix::records
