#include "platform/serialport.h"

namespace pellix {

std::vector<PortTarget> SerialPortFactory::targets(int count) const {
    std::vector<PortTarget> out;
    for (int n = 1; n <= count; ++n) {
        out.push_back(target(n));
    }
    return out;
}

}  // namespace pellix
