#include <QAbstractItemModelTester>
#include <QTest>

#include <utility>
#include <vector>

#include "cny/cnylogmodel.h"

using namespace pellix;
using Direction = CnyLogModel::Direction;

namespace {

QStringList rowTexts(const CnyLogModel& model, int row) {
    QStringList out;
    for (int c = 0; c < model.columnCount(); ++c) {
        out << model.data(model.index(row, c)).toString();
    }
    return out;
}

QString cell(int byte) {
    return QString::asprintf("0x%02X", byte);
}

cny::Frame numbered(int n) {
    return {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8), 0, 0, 0, 0};
}

}  // namespace

class CnyLogModelTest : public QObject {
    Q_OBJECT
  private slots:
    // An empty log is the header and one blank row; the first frame fills that row (grid row 1),
    // each later one adds a row, and clearing starts over.
    void blankRowTakesTheFirstFrame() {
        CnyLogModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.columnCount(), 8);
        QStringList headers;
        for (int c = 0; c < model.columnCount(); ++c) {
            headers << model.headerData(c, Qt::Horizontal).toString();
        }
        QCOMPARE(headers, (QStringList{"TX/RX", "1", "2", "3", "4", "5", "6", "Message"}));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(rowTexts(model, 0), QStringList(8, QString()));

        model.AddLogRow(Direction::Tx, {0x05, 0x10, 0x02, 0x11, 0x00, 0x28},
                        cny::LogMessage::StatusQuery);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(rowTexts(model, 0), (QStringList{"TX", "0x05", "0x10", "0x02", "0x11", "0x00",
                                                  "0x28", "STATUS QUERY"}));
        model.AddLogRow(Direction::Rx, {0x05, 0x01, 0x02, 0x04, 0x00, 0x0C},
                        cny::LogMessage::NoError);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(rowTexts(model, 1).first(), QString("RX"));
        QCOMPARE(rowTexts(model, 1).last(), QString("NO ERROR"));

        model.InitLogGrid();
        QCOMPARE(model.frameCount(), 0);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(rowTexts(model, 0), QStringList(8, QString()));
        model.AddLogRow(Direction::Rx, numbered(9), cny::LogMessage::PayoutFinished);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(rowTexts(model, 0).last(), QString("PAYOUT FINISHED"));
    }

    void cellFormatting_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("cell");
        QTest::newRow("zero") << 0 << "0x00";
        QTest::newRow("fifteen") << 15 << "0x0F";
        QTest::newRow("sixteen") << 16 << "0x10";
        QTest::newRow("AA") << 0xAA << "0xAA";
        QTest::newRow("255") << 255 << "0xFF";
    }
    void cellFormatting() {
        QFETCH(int, value);
        QFETCH(QString, cell);
        CnyLogModel model;
        const auto b = static_cast<std::uint8_t>(value);
        model.AddLogRow(Direction::Rx, {b, b, b, b, b, b}, cny::LogMessage::None);
        QCOMPARE(rowTexts(model, 0), (QStringList{"RX", cell, cell, cell, cell, cell, cell, ""}));
    }

    // Header plus 13 frames make the 14 grid rows from which the newest row goes to the top.
    void scrollRuleFromFourteenGridRows() {
        CnyLogModel model;
        for (int i = 1; i <= 12; ++i) {
            model.AddLogRow(Direction::Tx, numbered(i), cny::LogMessage::None);
            QVERIFY2(!model.scrollsToNewest(), qPrintable(QString::number(i)));
        }
        model.AddLogRow(Direction::Tx, numbered(13), cny::LogMessage::None);
        QVERIFY(model.scrollsToNewest());
        model.InitLogGrid();
        QVERIFY(!model.scrollsToNewest());
    }

    // Past the capacity the oldest go a chunk at a time; the newest `capacity` always stay.
    void fullLogDropsOldest_data() {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("oldestLeft");
        QTest::newRow("one at a time, full") << 4 << 1 << 4 << 0;
        QTest::newRow("one at a time, past full") << 4 << 1 << 7 << 3;
        QTest::newRow("chunk, still room") << 4 << 3 << 6 << 0;
        QTest::newRow("chunk, first drop") << 4 << 3 << 7 << 3;
        QTest::newRow("chunk, refilled") << 4 << 3 << 9 << 3;
        QTest::newRow("chunk, second drop") << 4 << 3 << 10 << 6;
        QTest::newRow("capacity one never shows the blank row") << 1 << 1 << 3 << 2;
        QTest::newRow("chunk as large as the capacity") << 2 << 2 << 5 << 2;
    }
    void fullLogDropsOldest() {
        QFETCH(int, capacity);
        QFETCH(int, chunk);
        QFETCH(int, frames);
        QFETCH(int, oldestLeft);
        // One at a time, and in batches as the window's beat hands them over: the same log.
        for (const int batch : {1, 2, 3, frames}) {
            CnyLogModel model(nullptr, capacity, chunk);
            // A view trusts the row signals; a row count that disagrees with them corrupts it.
            QAbstractItemModelTester tester(&model,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            std::vector<CnyLogModel::Entry> entries;
            for (int i = 0; i < frames; ++i) {
                entries.push_back({Direction::Tx, numbered(i), cny::LogMessage::None});
                if (static_cast<int>(entries.size()) == batch || i == frames - 1) {
                    model.addLogRows(entries);
                    entries.clear();
                }
            }
            QVERIFY2(model.frameCount() == frames - oldestLeft, qPrintable(QString::number(batch)));
            QVERIFY(model.frameCount() >= model.capacity());
            for (int row = 0; row < model.frameCount(); ++row) {
                QCOMPARE(model.data(model.index(row, 1)).toString(), cell(oldestLeft + row));
            }
        }
    }

    void holdsEveryFrameTheOldGridCould() {
        CnyLogModel model;
        QCOMPARE(model.capacity(), 32766);
        const int frames = model.capacity() + CnyLogModel::kDropChunk + 5;
        for (int i = 0; i < frames; ++i) {
            model.AddLogRow(Direction::Rx, numbered(i), cny::LogMessage::None);
        }
        QVERIFY(model.rowCount() >= 32766);
        const int oldest = frames - model.rowCount();
        QCOMPARE(model.data(model.index(0, 1)).toString(), cell(oldest & 0xFF));
        // The newest is the last frame added.
        const int last = model.rowCount() - 1;
        QCOMPARE(model.data(model.index(last, 1)).toString(), cell((frames - 1) & 0xFF));
        QCOMPARE(model.data(model.index(last, 2)).toString(), cell((frames - 1) >> 8));
    }

    void csv_data() {
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("csv");
        const QString header = QStringLiteral("TX/RX,1,2,3,4,5,6,Message\r\n");
        QTest::newRow("empty log: header only") << 0 << header;
        QTest::newRow("one line per row, empty message kept")
            << 2
            << header +
                   "TX,0x05,0x10,0x02,0x11,0x00,0x28,STATUS QUERY\r\n"
                   "RX,0x05,0x01,0x02,0x55,0x01,0x5E,\r\n";
    }
    void csv() {
        QFETCH(int, frames);
        QFETCH(QString, csv);
        CnyLogModel model;
        const std::pair<cny::Frame, cny::LogMessage> logged[] = {
            {{0x05, 0x10, 0x02, 0x11, 0x00, 0x28}, cny::LogMessage::StatusQuery},
            {{0x05, 0x01, 0x02, 0x55, 0x01, 0x5E}, cny::LogMessage::None}};
        for (int i = 0; i < frames; ++i) {
            model.AddLogRow(i == 0 ? Direction::Tx : Direction::Rx, logged[i].first,
                            logged[i].second);
        }
        QCOMPARE(QString::fromUtf8(model.csv()), csv);
    }
};

QTEST_APPLESS_MAIN(CnyLogModelTest)
#include "test_cnylogmodel.moc"
