#pragma once

#include <QString>

#include <memory>

#include "coinsetting/coinsettingwindow.h"
#include "fakes.h"
#include "serial/capturebook.h"

namespace pellix::test {

// A coin number setting window over the real serial port code, built the way the program
// builds it, with COM3 remembered as `device`: it opens that port while loading. `window` is
// empty when the load failed.
struct CoinSettingOnPty {
    explicit CoinSettingOnPty(const QString& device, CaptureBook* book = nullptr) {
        s.settings.setValue(QStringLiteral("Setting/COMPORT"), QStringLiteral("3"));
        s.settings.setValue(QStringLiteral("Ports/COM3"), device);
        window.reset(CoinSettingWindow::create(
            s.services, host, state, [] {},
            book ? &book->capture(CaptureSource::CoinSetting) : nullptr));
    }

    PtyServices s;
    RecordingHost host;
    CoinSettingState state;
    std::unique_ptr<CoinSettingWindow> window;
};

}  // namespace pellix::test
