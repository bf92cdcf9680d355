#include <QTest>

#include "hwtest/firmwarevariant.h"

using namespace pellix::hwtest;

Q_DECLARE_METATYPE(FirmwareVariant)

class FirmwareVariantTest : public QObject {
    Q_OBJECT
  private slots:
    void rule_data() {
        QTest::addColumn<QByteArray>("software");
        QTest::addColumn<FirmwareVariant>("expected");
        using V = FirmwareVariant;
        QTest::newRow("TD3&B40") << QByteArray("TD3&B40") << V::BEarly;
        QTest::newRow("TD3&B41") << QByteArray("TD3&B41") << V::Generic;
        QTest::newRow("TD3&H52") << QByteArray("TD3&H52") << V::HEarly;
        QTest::newRow("TD3&H53") << QByteArray("TD3&H53") << V::HLate;
        QTest::newRow("xyz") << QByteArray("xyz") << V::Generic;
        QTest::newRow("td3&h53 lower case") << QByteArray("td3&h53") << V::Generic;
        QTest::newRow("TD3&b40 lower family letter") << QByteArray("TD3&b40") << V::Generic;
        QTest::newRow("TD3&B4: B4 reads 0") << QByteArray("TD3&B4") << V::BEarly;
        QTest::newRow("TD3&H5x: 5x reads 5") << QByteArray("TD3&H5x") << V::HEarly;
        QTest::newRow("TD3&H: &H reads 0") << QByteArray("TD3&H") << V::HEarly;
        QTest::newRow("TD3&H99") << QByteArray("TD3&H99") << V::HLate;
        QTest::newRow("TD3&H 9: leading blank") << QByteArray("TD3&H 9") << V::HEarly;
        QTest::newRow("TD3&H-1: sign") << QByteArray("TD3&H-1") << V::HEarly;
        QTest::newRow("prefix in the middle") << QByteArray("v1 TD3&B 12") << V::BEarly;
        QTest::newRow("B above 40 without H") << QByteArray("TD3&B 99") << V::Generic;
        QTest::newRow("B above 40 with H") << QByteArray("TD3&B41TD3&H52") << V::HEarly;
        QTest::newRow("B and H, r 40") << QByteArray("TD3&H99TD3&B40") << V::BEarly;
        QTest::newRow("H, r 53 from another word") << QByteArray("TD3&H01 R53") << V::HLate;
        QTest::newRow("prefix found once stays found") << QByteArray("TD3&H10 TD3&Z") << V::HEarly;
        QTest::newRow("prefix split by a byte") << QByteArray("TD3 &H40") << V::Generic;
        QTest::newRow("one character 7") << QByteArray("7") << V::Generic;
        QTest::newRow("empty") << QByteArray() << V::Generic;
    }
    void rule() {
        QFETCH(QByteArray, software);
        QFETCH(FirmwareVariant, expected);
        QCOMPARE(firmwareVariantOf(std::string_view(software.constData(),
                                                    static_cast<std::size_t>(software.size()))),
                 expected);
    }

    // The tracker follows a text that grows over several headers and starts again when cleared.
    void trackerAcrossHeaders() {
        SoftwareTextTracker tracker;
        for (char c : std::string_view("TD3&H50")) {
            tracker.append(static_cast<std::uint8_t>(c));
        }
        QCOMPARE(tracker.variant(), FirmwareVariant::HEarly);
        for (char c : std::string_view("PX70")) {
            tracker.append(static_cast<std::uint8_t>(c));
        }
        QCOMPARE(tracker.variant(), FirmwareVariant::HLate);
        tracker.clear();
        QCOMPARE(tracker.variant(), FirmwareVariant::Generic);
        for (char c : std::string_view("B40")) {
            tracker.append(static_cast<std::uint8_t>(c));
        }
        QCOMPARE(tracker.variant(), FirmwareVariant::Generic);  // the old prefix is gone
    }
};

QTEST_APPLESS_MAIN(FirmwareVariantTest)
#include "test_firmwarevariant.moc"
