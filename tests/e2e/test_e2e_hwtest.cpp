#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <algorithm>

#include "hwtest/hardwaretestwindow.h"
#include "ptyhopper.h"
#include "serial/seriallink.h"
#include "widgets/lockedcombobox.h"
#include "windowtesting.h"

using namespace pellix;
using namespace pellix::test;

class HardwareTestEndToEnd : public QObject {
    Q_OBJECT

    HardwareTestWindow* window = nullptr;

    template <typename T = QWidget>
    T* child(const QString& name) {
        return window->findChild<T*>(name);
    }
    QString status(int index) {
        return child<QLabel>(QStringLiteral("Label5_%1").arg(index))->text();
    }
    QLineEdit* box(const char* name) { return child<QLineEdit>(QLatin1String(name)); }
    QString switches() {
        QString out;
        for (int i = 0; i < 4; ++i) {
            out += QString::number(child<QSlider>(QStringLiteral("VScroll1_%1").arg(i))->value());
        }
        return out;
    }

  private slots:
    // A hopper switched on in its test mode: the whole self-test shows, then the flash record is
    // read, edited and written back over the real serial port code.
    void selfTestThenReadEditAndWriteTheFlash() {
        PtyHopper line(emulator::Mode::HardwareTest);
        QVERIFY(!line.device().isEmpty());
        auto& hopper = line.as<emulator::HardwareTestHopper>();
        PtyServices s;
        s.settings.setValue(QStringLiteral("Ports/COM4"), line.device());
        RecordingHost host;
        HardwareTestWindow own(s.services, host);
        window = &own;

        pick(child<LockedComboBox>(QStringLiteral("Combo1")), 3);
        QVERIFY(own.link().IsOpen());
        line.powerOn();

        for (int i = 0; i < 6; ++i) {
            QTRY_COMPARE(status(i), QString("OK"));
        }
        QTRY_COMPARE(switches(), QString("1010"));
        QCOMPARE(box("Text1")->text(), QString("TD3&H50"));
        QCOMPARE(box("Text2")->text(), QString("0x1F2E"));

        child<QPushButton>(QStringLiteral("Command7"))->click();
        QVERIFY(!child(QStringLiteral("Text3"))->isHidden());
        child<QPushButton>(QStringLiteral("Command4"))->click();
        QTRY_COMPARE(box("Text9")->text(), QString("1EURO"));
        QCOMPARE(box("Text3")->text(), QString("TD3&H50"));
        QCOMPARE(box("Text4")->text(), QString("PX-310"));
        QCOMPARE(box("Text5")->text(), QString("PELLIX"));
        QCOMPARE(box("Text6")->text(), QString("12345678"));
        QCOMPARE(box("Text7")->text(), QString("B2026"));
        QCOMPARE(box("Text8")->text(), QString("HOPPER"));

        box("Text4")->setText(QStringLiteral("PX-320"));
        box("Text6")->setText(QStringLiteral("00000042"));
        pick(child<QComboBox>(QStringLiteral("Combo2")), 2);
        pick(child<QComboBox>(QStringLiteral("Combo4")), 1);
        child<QPushButton>(QStringLiteral("Command3"))->click();

        std::array<std::uint8_t, 105> expected{};
        const auto put = [&](std::size_t offset, std::string_view text) {
            std::copy(text.begin(), text.end(), expected.begin() + static_cast<long>(offset));
        };
        put(0, "TD3&H50");
        put(20, "PX-320");
        put(40, "PELLIX");
        expected[60] = 42;
        expected[66] = 2;
        expected[67] = 0;
        expected[68] = 1;
        put(69, "B2026");
        put(89, "HOPPER");
        put(99, "1EURO");
        QTRY_COMPARE(hopper.m_record, expected);

        // Everything the PC sent: the prompt reply, DIP finished, the read request, the write.
        emulator::Bytes sent{0x60, 0x7D, 0x7C, 0x7B};
        sent.insert(sent.end(), expected.begin(), expected.end());
        QCOMPARE(hopper.received(), sent);
        QVERIFY(s.messages.m_shown.isEmpty());

        own.close();
        QVERIFY(!own.link().IsOpen());
        QCOMPARE(host.m_launcherShown, 1);
        window = nullptr;
    }
};

QTEST_MAIN(HardwareTestEndToEnd)
#include "test_e2e_hwtest.moc"
