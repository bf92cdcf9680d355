#include <QTest>

#include "coinsetting/coinsettinginput.h"

using namespace pellix;

class CoinSettingInputTest : public QObject {
    Q_OBJECT
  private slots:
    void rememberedPort_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("port");
        QTest::newRow("plain number") << "3" << 3;
        QTest::newRow("leading zeros") << "007" << 7;
        QTest::newRow("zero names no port but is a number") << "0" << 0;
        QTest::newRow("largest byte") << "255" << 255;
        QTest::newRow("above a byte") << "256" << 1;
        QTest::newRow("far too many digits") << "99999999999999999999999" << 1;
        QTest::newRow("negative") << "-3" << 1;
        QTest::newRow("fraction") << "3.0" << 1;
        QTest::newRow("blank around") << " 3" << 1;
        QTest::newRow("empty") << "" << 1;
        QTest::newRow("a COM name") << "COM3" << 1;
    }
    void rememberedPort() {
        QFETCH(QString, stored);
        QFETCH(int, port);
        QCOMPARE(rememberedPortNumber(stored.toStdString()), port);
    }

    void checkBoxes_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("channelIndex");
        QTest::addColumn<QList<int>>("values");  // what is sent, channel 1 first

        // Sixteen boxes holding "0", with the given ones set.
        auto boxes = [](std::initializer_list<std::pair<int, const char*>> set) {
            QStringList texts(kCoinChannels, QStringLiteral("0"));
            for (const auto& [index, text] : set) {
                texts[index] = QString::fromLatin1(text);
            }
            return texts;
        };
        auto numbers = [](std::initializer_list<std::pair<int, int>> set) {
            QList<int> values(kCoinChannels, 0);
            for (const auto& [index, value] : set) {
                values[index] = value;
            }
            return values;
        };
        const int send = int(SaveCheck::Outcome::Send);
        const int range = int(SaveCheck::Outcome::OutOfRange);
        const int zero = int(SaveCheck::Outcome::AllZero);
        QTest::newRow("first box beyond the range wins")
            << boxes({{2, "70000"}, {1, "65536"}}) << range << 1 << QList<int>{};
        QTest::newRow("beyond the range even when all else is zero")
            << boxes({{15, "99999"}}) << range << 15 << QList<int>{};
        QTest::newRow("65535 fits")
            << boxes({{15, "65535"}}) << send << 0 << numbers({{15, 65535}});
        QTest::newRow("leading zeros")
            << boxes({{0, "00012"}, {7, "0300"}}) << send << 0 << numbers({{0, 12}, {7, 300}});
        QTest::newRow("empty counts as 0")
            << boxes({{0, ""}, {1, "256"}, {15, "4"}}) << send << 0 << numbers({{1, 256}, {15, 4}});
        QTest::newRow("all zero or empty")
            << boxes({{0, ""}, {5, "000"}}) << zero << 0 << QList<int>{};
    }
    void checkBoxes() {
        QFETCH(QStringList, texts);
        QFETCH(int, outcome);
        QFETCH(int, channelIndex);
        QFETCH(QList<int>, values);
        std::array<std::string, kCoinChannels> storage;
        BoxTexts views;
        for (std::size_t i = 0; i < storage.size(); ++i) {
            storage[i] = texts.at(static_cast<qsizetype>(i)).toStdString();
            views[i] = storage[i];
        }
        const SaveCheck check = pellix::checkBoxes(views);
        QCOMPARE(int(check.outcome), outcome);
        if (check.outcome == SaveCheck::Outcome::OutOfRange) {
            QCOMPARE(check.channelIndex, channelIndex);
        }
        if (check.outcome == SaveCheck::Outcome::Send) {
            const QList<int> sent(check.values.begin(), check.values.end());
            QCOMPARE(sent, values);
        }
    }
};

QTEST_APPLESS_MAIN(CoinSettingInputTest)
#include "test_coinsettinginput.moc"
