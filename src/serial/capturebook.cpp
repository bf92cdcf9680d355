#include "serial/capturebook.h"

#include <QDateTime>

namespace pellix {

CaptureBook::CaptureBook(std::optional<CaptureClock> given) {
    m_clock.start();
    const CaptureClock clock = given.value_or(CaptureClock{
        [this] { return m_clock.nsecsElapsed() / 1000; },
        [] { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString(); },
    });
    for (int i = 0; i < kCaptureSources; ++i) {
        const auto source = static_cast<CaptureSource>(i);
        m_captures[index(source)] = std::make_unique<Capture>(title(source).toStdString(), clock);
        m_captures[index(source)]->setTool(QStringLiteral("Pellix kit %1.%2.%3")
                                               .arg(PELLIX_VERSION_MAJOR)
                                               .arg(PELLIX_VERSION_MINOR)
                                               .arg(PELLIX_VERSION_PATCH)
                                               .toStdString());
    }
}

QString CaptureBook::title(CaptureSource source) {
    switch (source) {
        case CaptureSource::CoinSetting:
            return QStringLiteral("Coin number setting");
        case CaptureSource::Simulation:
            return QStringLiteral("Protocol simulation");
        case CaptureSource::CnyTester:
            return QStringLiteral("CNY mode tester");
        case CaptureSource::HardwareTest:
            return QStringLiteral("Hardware test");
    }
    return {};
}

}  // namespace pellix
