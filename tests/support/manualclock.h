#pragma once

#include <cstdint>
#include <string>

#include "capture/capture.h"

namespace pellix::test {

// A capture clock the test moves by hand, so what a capture merges or splits by time never
// depends on how fast the machine runs the test.
struct ManualClock {
    std::int64_t micros = 1'000'000;
    CaptureClock clock() {
        return {[this] { return micros; }, [] { return std::string("2026-12-08T21:00:00Z"); }};
    }
};

}  // namespace pellix::test
