#include <QTest>

#include "feed.h"
#include "hwtest/flashrecord.h"
#include "hwtest/hwtesttexts.h"
#include "platform/qttext.h"

using namespace pellix::hwtest;
using pellix::toQString;
using pellix::test::Bytes;
using pellix::test::bytesFromHex;

namespace {

// Fields as the window would hand them over: the example record of the write rules with the
// given changes.
struct Change {
    FlashField field;
    QString text;
    int position = 0;
};

FlashRecord fields(std::initializer_list<Change> changes) {
    FlashRecord r;
    r.serialNumber = "00000001";
    for (const Change& c : changes) {
        const std::string t = c.text.toStdString();
        switch (c.field) {
            case FlashField::SoftwareVersion:
                r.softwareVersion = t;
                break;
            case FlashField::ProductCode:
                r.productCode = t;
                break;
            case FlashField::ManufacturerId:
                r.manufacturerId = t;
                break;
            case FlashField::SerialNumber:
                r.serialNumber = t;
                break;
            case FlashField::CompanyMode:
                r.companyMode = c.position;
                break;
            case FlashField::AddressMode:
                r.addressMode = c.position;
                break;
            case FlashField::EncryptionMode:
                r.encryptionMode = c.position;
                break;
            case FlashField::BuildCode:
                r.buildCode = t;
                break;
            case FlashField::CategoryId:
                r.categoryId = t;
                break;
            case FlashField::HopperCoin:
                r.hopperCoin = t;
                break;
        }
    }
    return r;
}

Change mode(FlashField field, int position) {
    return {field, QString(), position};
}

// 105 zero bytes with serial 1, patched at the given offsets.
Bytes recordWith(std::initializer_list<std::pair<std::size_t, Bytes>> patches) {
    Bytes out(FlashRecord::kSize, 0x00);
    out[60] = 0x01;
    for (const auto& [offset, bytes] : patches) {
        std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<long>(offset));
    }
    return out;
}

const char* const kFieldNames[] = {
    "SoftwareVersion", "ProductCode",    "ManufacturerId", "SerialNumber", "CompanyMode",
    "AddressMode",     "EncryptionMode", "BuildCode",      "CategoryId",   "HopperCoin"};

// A message as "<field>: <text>", so a row checks which field it names as well as what it says
// (three fields share one text).
QString message(FlashField field, std::string_view text) {
    return QString(kFieldNames[static_cast<int>(field)]) + ": " + toQString(text);
}

QStringList messageTexts(const std::vector<FieldMessage>& messages) {
    QStringList out;
    for (const FieldMessage& m : messages) {
        out << message(m.field, m.text);
    }
    return out;
}

}  // namespace

Q_DECLARE_METATYPE(FlashRecord)

class FlashRecordTest : public QObject {
    Q_OBJECT
  private slots:
    // The example of the write rules, written out byte by byte.
    void exampleWrite() {
        FlashRecord r;
        r.softwareVersion = "ABC";
        r.serialNumber = "00000001";
        const Bytes expected = bytesFromHex(
            "7B 41 42 43"
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"           // seventeen
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"  // forty
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
            "01 00 00 00 00 00"
            "00 00 00"
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"  // thirty-six
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        const FlashWrite write = r.encodeForWrite();
        QVERIFY(write.ok());
        QCOMPARE(write.frame.size(), std::size_t{106});
        QCOMPARE(write.frame, expected);
    }

    // Every field's check. A row either gives the 105 record bytes written or the messages
    // shown, in field order, with nothing written.
    void encode_data() {
        QTest::addColumn<FlashRecord>("input");
        QTest::addColumn<Bytes>("expected");
        QTest::addColumn<QStringList>("messages");
        using F = FlashField;
        const Bytes none;
        const QString serialTooLarge = message(F::SerialNumber, texts::kSerialValueTooLarge);
        const QString serialTooLong = message(F::SerialNumber, texts::kSerialTooLong);
        const QString notNumber = message(F::SerialNumber, texts::kSerialNotWholeNumber);

        // Serial number, 8 characters.
        QTest::newRow("serial 16777215") << fields({{F::SerialNumber, "16777215"}})
                                         << recordWith({{60, {0xFF, 0xFF, 0xFF}}}) << QStringList{};
        QTest::newRow("serial 16777216")
            << fields({{F::SerialNumber, "16777216"}}) << none << QStringList{serialTooLarge};
        QTest::newRow("serial 123456789")
            << fields({{F::SerialNumber, "123456789"}}) << none << QStringList{serialTooLong};
        QTest::newRow("serial 00000256") << fields({{F::SerialNumber, "00000256"}})
                                         << recordWith({{60, {0x00, 0x01, 0x00}}}) << QStringList{};
        QTest::newRow("serial 00000000") << fields({{F::SerialNumber, "00000000"}})
                                         << recordWith({{60, {0x00}}}) << QStringList{};
        // A fraction is rounded, halves to even; a negative value sends its low three bytes.
        QTest::newRow("serial 000012.5 rounds down to even")
            << fields({{F::SerialNumber, "000012.5"}}) << recordWith({{60, {0x0C}}})
            << QStringList{};
        QTest::newRow("serial 000013.5 rounds up to even")
            << fields({{F::SerialNumber, "000013.5"}}) << recordWith({{60, {0x0E}}})
            << QStringList{};
        QTest::newRow("serial -0000001") << fields({{F::SerialNumber, "-0000001"}})
                                         << recordWith({{60, {0xFF, 0xFF, 0xFF}}}) << QStringList{};
        QTest::newRow("serial 00001E03") << fields({{F::SerialNumber, "00001E03"}})
                                         << recordWith({{60, {0xE8, 0x03}}}) << QStringList{};
        QTest::newRow("serial &HFFFFFF") << fields({{F::SerialNumber, "&HFFFFFF"}})
                                         << recordWith({{60, {0xFF, 0xFF, 0xFF}}}) << QStringList{};
        QTest::newRow("serial &O777777") << fields({{F::SerialNumber, "&O777777"}})
                                         << recordWith({{60, {0xFF, 0xFF, 0x03}}}) << QStringList{};
        QTest::newRow("serial blank inside")
            << fields({{F::SerialNumber, "1234 567"}}) << recordWith({{60, {0x87, 0xD6, 0x12}}})
            << QStringList{};
        QTest::newRow("serial exponent too large")
            << fields({{F::SerialNumber, "1E999999"}}) << none << QStringList{serialTooLarge};
        QTest::newRow("serial below 32 bits")
            << fields({{F::SerialNumber, "-9.9E+09"}}) << none << QStringList{notNumber};
        // Fewer than 8 characters: leading zeros.
        QTest::newRow("serial 1 padded")
            << fields({{F::SerialNumber, "1"}}) << recordWith({{60, {0x01}}}) << QStringList{};
        QTest::newRow("serial empty padded")
            << fields({{F::SerialNumber, ""}}) << recordWith({{60, {0x00}}}) << QStringList{};
        QTest::newRow("serial 256 padded") << fields({{F::SerialNumber, "256"}})
                                           << recordWith({{60, {0x00, 0x01}}}) << QStringList{};
        QTest::newRow("serial 1234.5 padded") << fields({{F::SerialNumber, "1234.5"}})
                                              << recordWith({{60, {0xD2, 0x04}}}) << QStringList{};
        // Not one number from first to last character.
        for (const char* text : {"1234567x", "ABCDEFGH", "        ", "-1", "&H", "1E", "1.2.3456",
                                 "12345-67", "+.", "&G123456", "1D+"}) {
            QTest::newRow(qPrintable(QString("serial not a number '%1'").arg(text)))
                << fields({{F::SerialNumber, text}}) << none << QStringList{notNumber};
        }
        QTest::newRow("serial full-width digits")
            << fields({{F::SerialNumber, QString::fromUtf8("１２３４５６７８")}}) << none
            << QStringList{notNumber};
        QTest::newRow("serial 9 full-width digits are too long")
            << fields({{F::SerialNumber, QString::fromUtf8("１２３４５６７８９")}}) << none
            << QStringList{serialTooLong};

        // Text fields: limit in characters, code page bytes, zero padding.
        QTest::newRow("product code 20") << fields({{F::ProductCode, QString(20, 'P')}})
                                         << recordWith({{20, Bytes(20, 'P')}}) << QStringList{};
        QTest::newRow("product code 21")
            << fields({{F::ProductCode, QString(21, 'P')}}) << none
            << QStringList{message(F::ProductCode, texts::kProductCodeTooLong)};
        QTest::newRow("software version 21")
            << fields({{F::SoftwareVersion, QString(21, 'S')}}) << none
            << QStringList{message(F::SoftwareVersion, texts::kSoftwareVersionTooLong)};
        QTest::newRow("manufacturer ID 21")
            << fields({{F::ManufacturerId, QString(21, 'M')}}) << none
            << QStringList{message(F::ManufacturerId, texts::kManufacturerIdTooLong)};
        QTest::newRow("codes at their limits")
            << fields({{F::BuildCode, QString(20, 'b')},
                       {F::CategoryId, QString(10, 'c')},
                       {F::HopperCoin, QString(6, 'h')}})
            << recordWith({{69, Bytes(20, 'b')}, {89, Bytes(10, 'c')}, {99, Bytes(6, 'h')}})
            << QStringList{};
        QTest::newRow("three codes too long")
            << fields({{F::BuildCode, QString(21, 'b')},
                       {F::CategoryId, QString(11, 'c')},
                       {F::HopperCoin, QString(7, 'h')}})
            << none
            << QStringList{message(F::BuildCode, texts::kCodeTooLong),
                           message(F::CategoryId, texts::kCodeTooLong),
                           message(F::HopperCoin, texts::kCodeTooLong)};
        QTest::newRow("limit counts characters, not UTF-8 bytes")
            << fields({{F::SoftwareVersion, QString(20, QChar(0xE9))}})
            << recordWith({{0, Bytes(20, 0xE9)}}) << QStringList{};
        QTest::newRow("euro sign has a code") << fields({{F::HopperCoin, QString::fromUtf8("€1")}})
                                              << recordWith({{99, {0x80, 0x31}}}) << QStringList{};
        QTest::newRow("character without a code")
            << fields({{F::ProductCode, QString::fromUtf8("PX\u0100")}}) << none
            << QStringList{message(F::ProductCode, texts::kProductCodeUnencodable)};
        QTest::newRow("Chinese hopper coin")
            << fields({{F::HopperCoin, QString::fromUtf8("人民幣")}}) << none
            << QStringList{message(F::HopperCoin, texts::kHopperCoinUnencodable)};
        QTest::newRow("too long wins over no code")
            << fields({{F::CategoryId, QString::fromUtf8("幣幣幣幣幣幣幣幣幣幣幣")}}) << none
            << QStringList{message(F::CategoryId, texts::kCodeTooLong)};

        // Mode list positions.
        QTest::newRow("modes 02 01 01") << fields({mode(F::CompanyMode, 2), mode(F::AddressMode, 1),
                                                   mode(F::EncryptionMode, 1)})
                                        << recordWith({{66, {0x02, 0x01, 0x01}}}) << QStringList{};
        QTest::newRow("no company mode chosen")
            << fields({mode(F::CompanyMode, -1)}) << none
            << QStringList{message(F::CompanyMode, texts::kCompanyModeNotChosen)};
        QTest::newRow("address mode past its list")
            << fields({mode(F::AddressMode, 2)}) << none
            << QStringList{message(F::AddressMode, texts::kAddressModeNotChosen)};
        QTest::newRow("encryption mode past its list")
            << fields({mode(F::EncryptionMode, 3)}) << none
            << QStringList{message(F::EncryptionMode, texts::kEncryptionModeNotChosen)};

        // Everything is checked before anything is sent; messages come in field order.
        QTest::newRow("several failures in field order")
            << fields({{F::HopperCoin, "1234567"},
                       mode(F::AddressMode, -1),
                       {F::SerialNumber, "12345678x"},
                       {F::ManufacturerId, QString::fromUtf8("廠商")},
                       {F::SoftwareVersion, QString(21, 'S')}})
            << none
            << QStringList{message(F::SoftwareVersion, texts::kSoftwareVersionTooLong),
                           message(F::ManufacturerId, texts::kManufacturerIdUnencodable),
                           serialTooLong, message(F::AddressMode, texts::kAddressModeNotChosen),
                           message(F::HopperCoin, texts::kCodeTooLong)};
    }
    void encode() {
        QFETCH(FlashRecord, input);
        QFETCH(Bytes, expected);
        QFETCH(QStringList, messages);
        const FlashWrite write = input.encodeForWrite();
        QCOMPARE(messageTexts(write.messages), messages);
        QCOMPARE(write.ok(), messages.isEmpty());
        if (expected.empty()) {
            QVERIFY(write.frame.empty());
            return;
        }
        QCOMPARE(write.frame.size(), std::size_t{106});
        QCOMPARE(write.frame.front(), FlashRecord::kFrameStart);
        QCOMPARE(Bytes(write.frame.begin() + 1, write.frame.end()), expected);
    }

    // What a written record reads back as.
    void roundTrip_data() {
        QTest::addColumn<FlashRecord>("input");
        using F = FlashField;
        QTest::newRow("example") << fields({{F::SoftwareVersion, "ABC"}});
        QTest::newRow("all full") << fields({{F::SoftwareVersion, "TD3&H53 build 2024-1"},
                                             {F::ProductCode, "PX-100/EU 24V coin h"},
                                             {F::ManufacturerId, "0123456789abcdefghij"},
                                             {F::SerialNumber, "16777215"},
                                             mode(F::CompanyMode, 2),
                                             mode(F::AddressMode, 1),
                                             mode(F::EncryptionMode, 2),
                                             {F::BuildCode, "B~!@#$%^&*()_+{}|:<>"},
                                             {F::CategoryId, "CAT-000001"},
                                             {F::HopperCoin, "EUR2.0"}});
        QTest::newRow("upper half of the code page")
            << fields({{F::SoftwareVersion, QString::fromUtf8("Café €5 “quoted” Ÿ")},
                       {F::ManufacturerId, QString::fromUtf8("Größe ½ ©")},
                       {F::SerialNumber, "00000000"},
                       {F::HopperCoin, QString::fromUtf8("£1 ¥5")}});
        QTest::newRow("serial 12345678") << fields({{F::SerialNumber, "12345678"}});
    }
    void roundTrip() {
        QFETCH(FlashRecord, input);
        const FlashWrite write = input.encodeForWrite();
        QVERIFY(write.ok());
        const auto record =
            std::span<const std::uint8_t>(write.frame).subspan<1, FlashRecord::kSize>();
        QCOMPARE(FlashRecord::decode(record), input);
    }

    void decode() {
        Bytes record(FlashRecord::kSize, 0x00);
        const Bytes software = bytesFromHex("41 00 42 FF 43");
        std::copy(software.begin(), software.end(), record.begin());
        std::fill(record.begin() + 20, record.begin() + 40, 0xFF);  // erased flash
        record[40] = 0x80;
        record[41] = 0x81;  // undefined in the code page: its control character
        record[60] = 0x4E;
        record[61] = 0x61;
        record[62] = 0xBC;
        record[63] = 0x12;  // never part of the value
        record[66] = 0x07;
        record[67] = 0x01;
        record[68] = 0xFF;
        record[69] = 'b';
        record[98] = 'c';
        record[104] = 'h';
        const FlashRecord r = FlashRecord::decode(std::span<const std::uint8_t, 105>(record));
        QCOMPARE(toQString(r.softwareVersion), QString("ABC"));
        QCOMPARE(toQString(r.productCode), QString());
        QCOMPARE(toQString(r.manufacturerId), QString::fromUtf8("€\u0081"));
        QCOMPARE(toQString(r.serialNumber), QString("12345678"));
        QCOMPARE(r.companyMode, 7);
        QCOMPARE(r.addressMode, 1);
        QCOMPARE(r.encryptionMode, 255);
        QCOMPARE(toQString(r.buildCode), QString("b"));
        QCOMPARE(toQString(r.categoryId), QString("c"));
        QCOMPARE(toQString(r.hopperCoin), QString("h"));
    }

    // ÿ is 0xFF, which reads back as erased flash: it is written, and dropped when shown.
    void yDiaeresisIsDroppedOnReadBack() {
        const FlashRecord written = fields({{FlashField::HopperCoin, QString::fromUtf8("aÿb")}});
        const FlashWrite write = written.encodeForWrite();
        QVERIFY(write.ok());
        QCOMPARE(write.frame[1 + 99 + 1], std::uint8_t{0xFF});
        const auto record =
            std::span<const std::uint8_t>(write.frame).subspan<1, FlashRecord::kSize>();
        QCOMPARE(toQString(FlashRecord::decode(record).hopperCoin), QString("ab"));
    }

    void serialNumberText_data() {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("4E 61 BC") << bytesFromHex("4E 61 BC") << "12345678";
        QTest::newRow("01 00 00") << bytesFromHex("01 00 00") << "00000001";
        QTest::newRow("FF FF FF") << bytesFromHex("FF FF FF") << "16777215";
        QTest::newRow("00 00 00") << bytesFromHex("00 00 00") << "00000000";
        QTest::newRow("00 01 00") << bytesFromHex("00 01 00") << "00000256";
        QTest::newRow("00 00 01") << bytesFromHex("00 00 01") << "00065536";
    }
    void serialNumberText() {
        QFETCH(Bytes, bytes);
        QFETCH(QString, expected);
        QCOMPARE(toQString(pellix::hwtest::serialNumberText(bytes[0], bytes[1], bytes[2])),
                 expected);
    }
};

QTEST_APPLESS_MAIN(FlashRecordTest)
#include "test_flashrecord.moc"
