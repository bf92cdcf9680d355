#include "platform/serialport.h"

#include <QStringList>

namespace pellix {

std::vector<PortTarget> SerialPortFactory::targets(int count) const {
    std::vector<PortTarget> out;
    for (int n = 1; n <= count; ++n) {
        out.push_back(target(n));
    }
    return out;
}

std::optional<LineSettings> LineSettings::parse(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    bool okBaud = false;
    bool okData = false;
    bool okStop = false;
    LineSettings s;
    s.baudRate = parts[0].trimmed().toInt(&okBaud);
    const QString parity = parts[1].trimmed().toUpper();
    s.dataBits = parts[2].trimmed().toInt(&okData);
    s.stopBits = parts[3].trimmed().toInt(&okStop);
    if (!okBaud || !okData || !okStop || parity.size() != 1 ||
        !QStringLiteral("NEOMS").contains(parity) || s.baudRate <= 0 || s.dataBits < 5 ||
        s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2)) {
        return std::nullopt;
    }
    s.parity = parity.at(0).toLatin1();
    return s;
}

}  // namespace pellix
