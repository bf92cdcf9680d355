#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>

#include "hwtest/hardwaretestwindow.h"
#include "ptyhopper.h"
#include "records/recordsreport.h"
#include "records/recordsstore.h"
#include "records/recordswriter.h"
#include "serial/capturebook.h"
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
    // A hopper switched on in its test mode, its motor failing to stop: the whole self-test
    // shows, then the flash record is read, edited and written back over the real serial port
    // code; the test is kept in the service records, which list, export and report it.
    void selfTestThenReadEditAndWriteTheFlash() {
        PtyHopper line(emulator::Mode::HardwareTest);
        QVERIFY(!line.device().isEmpty());
        auto& hopper = line.as<emulator::HardwareTestHopper>();
        hopper.m_outcomes = *emulator::outcomesFromText("PPFPPP");
        PtyServices s;
        s.settings.setValue(QStringLiteral("Ports/COM4"), line.device());
        RecordingHost host;
        QTemporaryDir dir;
        records::DatabaseAddress database;
        database.sqlitePath = dir.filePath(QStringLiteral("records.sqlite"));
        auto writer = std::make_unique<records::RecordsWriter>(database, dir.filePath("spool"));
        CaptureBook book;
        HardwareTestWindow own(s.services, host, &book.capture(CaptureSource::HardwareTest));
        own.keepRunsWith([&](records::ServiceRun run) { writer->record(std::move(run)); });
        window = &own;

        pick(child<LockedComboBox>(QStringLiteral("Combo1")), 3);
        QVERIFY(own.link().IsOpen());
        line.powerOn();

        for (int i = 0; i < 6; ++i) {
            QTRY_COMPARE(status(i), QString(i == 2 ? "FAILD" : "OK"));
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

        writer.reset();  // every run handed over is written
        records::RecordsStore store(database);
        QVERIFY2(store.open(), qPrintable(store.error()));
        const auto rows = store.list({});
        QCOMPARE(rows.size(), std::size_t{1});
        QCOMPARE(rows[0].outcome, QString("fail"));
        QCOMPARE(rows[0].reason, QString("Motor Stop: NG"));
        QCOMPARE(rows[0].port, QString("COM4"));
        QCOMPARE(rows[0].serialNumber, QString("12345678"));
        const auto run = store.run(rows[0].id);
        QCOMPARE(run->hopper.productCode, std::string("PX-310"));
        QCOMPARE(run->hopper.identityChecksum, std::string("0x1F2E"));
        QCOMPARE(run->device, line.device().toStdString());
        const auto value = [&](const std::string& name) {
            for (const auto& [n, v] : run->values) {
                if (n == name) {
                    return v;
                }
            }
            return std::string("<none>");
        };
        QCOMPARE(value("result Motor Stop"), std::string("NG"));
        QCOMPARE(value("dip 1"), std::string("on"));
        QCOMPARE(value("flash write"), std::string("sent"));
        QVERIFY(run->capture.find("TX 60") != std::string::npos);
        QVERIFY(records::runsCsv(rows).contains(QStringLiteral(",fail,Motor Stop: NG,")));
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        QCOMPARE(records::writeServiceReport(*run, rows[0].id, pdf), QString());
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        if (text.waitForFinished(10000) && text.exitCode() == 0) {
            const QString shown = QString::fromUtf8(text.readAllStandardOutput());
            QVERIFY2(shown.contains(QStringLiteral("Motor Stop: NG")) &&
                         shown.contains(QStringLiteral("12345678")),
                     qPrintable(shown));
        }
    }
};

QTEST_MAIN(HardwareTestEndToEnd)
#include "test_e2e_hwtest.moc"
