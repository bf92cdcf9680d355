#include <QTest>

#include <clocale>
#include <string>

#include "common/numbertext.h"
#include "common/text.h"

using namespace pellix;

class TextHelpersTest : public QObject {
    Q_OBJECT
  private slots:
    void removeSpaces_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inner and outer") << " 2 00 "
                                         << "200";
        QTest::newRow("tabs stay") << "\t1 2\t"
                                   << "\t12\t";
        QTest::newRow("only spaces") << "   "
                                     << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void removeSpaces() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        std::string text = input.toStdString();
        const std::string result = pellix::removeSpaces(text);
        QCOMPARE(QString::fromStdString(result), expected);
        QCOMPARE(QString::fromStdString(text), expected);  // the caller's text changes too
    }

    void digitTest() {
        QVERIFY(isAllDigits(""));
        QVERIFY(isAllDigits("0123456789"));
        QVERIFY(!isAllDigits("12a"));
        QVERIFY(!isAllDigits(" 1"));
        QVERIFY(!isAllDigits("-1"));
        QVERIFY(!isAllDigits("\xEF\xBC\x91"));  // a full-width digit is no digit
    }

    void bitJudge() {
        for (int bit = 0; bit < 8; ++bit) {
            QCOMPARE(
                Bit_judge(static_cast<std::uint8_t>(bit), static_cast<std::uint8_t>(1u << bit)), 1);
            QCOMPARE(Bit_judge(static_cast<std::uint8_t>(bit),
                               static_cast<std::uint8_t>(~(1u << bit) & 0xFFu)),
                     0);
        }
        QCOMPARE(Bit_judge(8, 0xFF), 0);
    }

    void hex() {
        QCOMPARE(QString::fromStdString(hexDigits(0)), QString("0"));
        QCOMPARE(QString::fromStdString(hexDigits(0xAA)), QString("AA"));
        QCOMPARE(QString::fromStdString(hexDigits(0x0F, 2)), QString("0F"));
        QCOMPARE(QString::fromStdString(hexDigits(0x1F2E, 4)), QString("1F2E"));
    }

    void readNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("trailing garbage") << "12abc" << 12.0;
        QTest::newRow("blanks inside") << " 1 2\t3\n" << 123.0;
        QTest::newRow("sign") << "-7" << -7.0;
        QTest::newRow("plus") << "+7" << 7.0;
        QTest::newRow("fraction") << "2.5" << 2.5;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("lone point") << "." << 0.0;
        QTest::newRow("exponent E") << "1E2" << 100.0;
        QTest::newRow("exponent D") << "2.5D1" << 25.0;
        QTest::newRow("exponent sign") << "5e-1" << 0.5;
        QTest::newRow("exponent without digits") << "3E" << 3.0;
        QTest::newRow("hex") << "&H1F" << 31.0;
        QTest::newRow("hex lower") << "&hff" << 255.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("hex stops at non-digit") << "&H1G" << 1.0;
        QTest::newRow("ampersand alone") << "&" << 0.0;
        QTest::newRow("carriage return stops") << "1\r2" << 1.0;
    }
    void readNumber() {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(pellix::readNumber(text.toStdString()), expected);
    }

    // A Qt application takes the C library's locale from the environment; the same texts must
    // read the same under a locale whose decimal separator is a comma.
    void readNumberUnderCommaLocale_data() { readNumber_data(); }
    void readNumberUnderCommaLocale() {
        QFETCH(QString, text);
        QFETCH(double, expected);
        const std::string before = std::setlocale(LC_NUMERIC, nullptr);
        bool comma = false;
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8",
                                 "nl_NL.UTF-8", "ru_RU.UTF-8", "de_DE", "fr_FR"}) {
            if (std::setlocale(LC_NUMERIC, name) != nullptr &&
                std::string(std::localeconv()->decimal_point) == ",") {
                comma = true;
                break;
            }
        }
        if (!comma) {
            std::setlocale(LC_NUMERIC, before.c_str());
            QSKIP("no locale with a decimal comma is installed");
        }
        const double value = pellix::readNumber(text.toStdString());
        std::setlocale(LC_NUMERIC, before.c_str());
        QCOMPARE(value, expected);
    }

    void roundHalfEven() {
        QCOMPARE(pellix::roundHalfEven(2.5), 2.0);
        QCOMPARE(pellix::roundHalfEven(3.5), 4.0);
        QCOMPARE(pellix::roundHalfEven(255.5), 256.0);
        QCOMPARE(pellix::roundHalfEven(-0.5), -0.0);
        QCOMPARE(pellix::roundHalfEven(254.4), 254.0);
    }
};

QTEST_APPLESS_MAIN(TextHelpersTest)
#include "test_text.moc"
