// A storm of random bytes into the hardware test window, offscreen, through the real serial
// link over the in-memory port, in batches as reads hand them out. Reports the rate; fails
// (exit 1) below kMinMbPerSecond of processor time, the rate the other windows keep.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>

#include <cstdio>
#include <ctime>
#include <random>

#include "fakes.h"
#include "hwtest/hardwaretestwindow.h"
#include "widgets/lockedcombobox.h"

namespace {

constexpr std::size_t kStormBytes = 8u * 1024u * 1024u;
constexpr std::size_t kBatch = 4096;
constexpr double kMinMbPerSecond = 2.0;

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace pellix;
    test::TestServices fakes;
    test::RecordingHost host;
    HardwareTestWindow window(fakes.services, host);
    window.show();
    auto* ports = window.findChild<LockedComboBox*>(QStringLiteral("Combo1"));
    ports->setCurrentIndex(2);
    emit ports->activated(2);
    test::FakeSerialPort* port = fakes.ports.last();
    if (port == nullptr) {
        std::fprintf(stderr, "no port opened\n");
        return 1;
    }

    std::mt19937 random(20100205);
    QByteArray storm(static_cast<qsizetype>(kStormBytes), '\0');
    for (char& c : storm) {
        c = static_cast<char>(random() & 0xFF);
    }

    QElapsedTimer wall;
    wall.start();
    const std::clock_t start = std::clock();
    for (qsizetype at = 0; at < storm.size(); at += kBatch) {
        port->inject(storm.mid(at, kBatch));
        QApplication::processEvents();
    }
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    const double rate = static_cast<double>(kStormBytes) / (1024.0 * 1024.0) / seconds;
    const auto* software = window.findChild<QLineEdit*>(QStringLiteral("Text1"));
    std::printf(
        "hardware test window: %zu MB of random bytes in %.2f s (wall %.2f s): %.1f MB/s; "
        "software box %lld characters\n",
        kStormBytes / (1024 * 1024), seconds, static_cast<double>(wall.elapsed()) / 1000.0, rate,
        static_cast<long long>(software->text().size()));
    return rate >= kMinMbPerSecond ? 0 : 1;
}
