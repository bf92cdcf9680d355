#pragma once

#include <cstdint>

namespace pellix {

enum class Parity : std::uint8_t { None, Even, Odd, Mark, Space };

// Line parameters of a serial port: speed, parity, data bits, stop bits.
struct LineSettings {
    int baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;
    bool operator==(const LineSettings&) const = default;
};

// What every tool window sets ("9600,E,8,1"); the CNY mode tester can also pick 19200.
inline constexpr LineSettings kLine9600E81{9600, Parity::Even, 8, 1};
inline constexpr LineSettings kLine19200E81{19200, Parity::Even, 8, 1};

}  // namespace pellix
