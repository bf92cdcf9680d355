#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sstream>

#include "allwindows.h"
#include "app/launcherwindow.h"
#include "app/trafficopener.h"
#include "app/windowregistry.h"
#include "capture/captureformat.h"
#include "fakes.h"
#include "manualclock.h"
#include "serial/capturebook.h"
#include "traffic/trafficmodel.h"
#include "traffic/trafficwindow.h"
#include "widgets/lockedcombobox.h"
#include "windowtesting.h"

using namespace pellix;
using namespace pellix::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<CaptureEvent> readFile(const QString& path, QString* error) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    CaptureReader reader(in);
    std::vector<CaptureEvent> events;
    CaptureEvent event;
    while (reader.next(event) == CaptureReader::Result::Event) {
        events.push_back(event);
    }
    *error = QString::fromStdString(reader.error());
    return events;
}

// A short CNY exchange on the capture, as the serial link and the engine's notes make it.
void exchange(Capture& capture) {
    capture.opened("COM3", "/dev/pts/9", "9600,E,8,1");
    capture.sent(Bytes{0x05, 0x10, 0x02, 0x11, 0x00, 0x28});
    capture.note("STATUS QUERY");
    capture.received(Bytes{0x05, 0x01, 0x00, 0x04, 0x00, 0x0A});
    capture.note("NO ERROR");
}

}  // namespace

class TrafficWindowTest : public QObject {
    Q_OBJECT
  private slots:

    // Each tool window built for the program records its port's traffic and its engine's
    // notes into its own capture: a chooser pick (unless the window opens its remembered port
    // itself), the hopper's bytes or a button, and the note they bring.
    void toolWindowsNoteTheirTraffic_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("chooser");
        QTest::addColumn<QByteArray>("hopper");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("note");
        QTest::newRow("coin number setting, block start")
            << "coin number setting" << int(CaptureSource::CoinSetting) << QString()
            << QByteArray::fromHex("3a") << QString() << "stage Header";
        QTest::newRow("protocol simulation, start-up")
            << "protocol simulation" << int(CaptureSource::Simulation) << "Combo1" << QByteArray()
            << "Command2"
            << "start-up";
        QTest::newRow("cny tester, status reply")
            << "cny tester" << int(CaptureSource::CnyTester) << "Combo2"
            << QByteArray::fromHex("05010004000a") << QString() << "NO ERROR";
        QTest::newRow("hardware test, header")
            << "hardware test" << int(CaptureSource::HardwareTest) << "Combo1"
            << QByteArray::fromHex("3a1f2e") << QString() << "checksum 0x1F2E";
    }
    void toolWindowsNoteTheirTraffic() {
        QFETCH(QString, kind);
        QFETCH(int, source);
        QFETCH(QString, chooser);
        QFETCH(QByteArray, hopper);
        QFETCH(QString, button);
        QFETCH(QString, note);
        AllWindows all;
        std::unique_ptr<QWidget> window =
            all.build(kind, &all.captures.capture(static_cast<CaptureSource>(source)));
        QVERIFY(window);
        if (!chooser.isEmpty()) {
            auto* ports = window->findChild<LockedComboBox*>(chooser);
            QVERIFY(ports);
            pick(ports, 0);
        }
        FakeSerialPort* port = all.ts.ports.last();
        QVERIFY(port && port->m_open);
        if (!hopper.isEmpty()) {
            port->inject(hopper);
        }
        if (!button.isEmpty()) {
            window->findChild<QPushButton*>(button)->click();
        }
        QString notes;
        QString lines;
        for (const CaptureEvent& event :
             all.captures.capture(static_cast<CaptureSource>(source)).ring()) {
            notes += QString::fromStdString(event.note) + QLatin1Char('\n');
            lines += QString::fromStdString(formatEvent(event));
        }
        QVERIFY2(notes.contains(note), qPrintable(lines));
        // Only the window's own capture took anything.
        for (int other = 0; other < kCaptureSources; ++other) {
            QCOMPARE(all.captures.capture(static_cast<CaptureSource>(other)).ring().empty(),
                     other != source);
        }
    }

    void rowsShowTheCapture() {
        ManualClock clock;
        CaptureBook book(clock.clock());
        Capture& capture = book.capture(CaptureSource::CnyTester);
        TrafficModel model;
        model.setCapture(&capture);
        exchange(capture);
        QVERIFY(model.refresh());
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.data(model.index(1, TrafficModel::Direction), Qt::DisplayRole).toString(),
                 QStringLiteral("TX"));
        QCOMPARE(model.data(model.index(2, TrafficModel::Hex), Qt::DisplayRole).toString(),
                 QStringLiteral("05 01 00 04 00 0A"));
        QCOMPARE(model.data(model.index(2, TrafficModel::Chars), Qt::DisplayRole).toString(),
                 QStringLiteral("......"));
        QCOMPARE(model.data(model.index(2, TrafficModel::Note), Qt::DisplayRole).toString(),
                 QStringLiteral("NO ERROR"));
        // The newest row grows in place when its chunk gets another note.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        capture.note("Status \"No Error\"");
        QVERIFY(!model.refresh());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.data(model.index(2, TrafficModel::Note), Qt::DisplayRole).toString(),
                 QStringLiteral("NO ERROR | Status \"No Error\""));
    }

    void timeIsMillisecondsWithMicroseconds_data() {
        QTest::addColumn<qint64>("micros");
        QTest::addColumn<QString>("shown");
        QTest::newRow("first") << qint64(0) << "0.000";
        QTest::newRow("microseconds") << qint64(7) << "0.007";
        QTest::newRow("seconds") << qint64(12'345'678) << "12345.678";
    }
    void timeIsMillisecondsWithMicroseconds() {
        QFETCH(qint64, micros);
        QFETCH(QString, shown);
        CaptureEvent event{micros, CaptureKind::Rx, "x", {}};
        QCOMPARE(TrafficModel::cellText(event, TrafficModel::Time), shown);
    }

    void filterByDirection_data() {
        QTest::addColumn<bool>("tx");
        QTest::addColumn<bool>("rx");
        QTest::addColumn<bool>("other");
        QTest::addColumn<QString>("directions");
        QTest::newRow("all") << true << true << true << "OPEN TX RX";
        QTest::newRow("tx only") << true << false << false << "TX";
        QTest::newRow("rx only") << false << true << false << "RX";
        QTest::newRow("events only") << false << false << true << "OPEN";
    }
    void filterByDirection() {
        QFETCH(bool, tx);
        QFETCH(bool, rx);
        QFETCH(bool, other);
        QFETCH(QString, directions);
        ManualClock clock;
        CaptureBook book(clock.clock());
        exchange(book.capture(CaptureSource::CnyTester));
        TestServices fakes;
        TrafficWindow window(book, fakes.dialogs, fakes.clipboard);
        window.showSource(CaptureSource::CnyTester);
        window.findChild<QCheckBox*>(QStringLiteral("showTx"))->setChecked(tx);
        window.findChild<QCheckBox*>(QStringLiteral("showRx"))->setChecked(rx);
        window.findChild<QCheckBox*>(QStringLiteral("showEvents"))->setChecked(other);
        QStringList shown;
        for (int r = 0; r < window.model().rowCount(); ++r) {
            shown << window.model().cellText(window.model().event(r), TrafficModel::Direction);
        }
        QCOMPARE(shown.join(QLatin1Char(' ')), directions);
    }

    // Hours of traffic: the rows stop at their bound, the newest kept.
    void rowsAreBounded() {
        ManualClock clock;
        CaptureBook book(clock.clock());
        Capture& capture = book.capture(CaptureSource::HardwareTest);
        TrafficModel model;
        model.setCapture(&capture);
        const int events = TrafficModel::kMaxRows + 5000;
        for (int i = 0; i < events; ++i) {
            const auto b = static_cast<std::uint8_t>(i);
            capture.received(std::span(&b, 1));
            capture.note("n");  // one row per byte
            if (i % 20'000 == 0) {
                model.refresh();
            }
        }
        model.refresh();
        QCOMPARE(model.rowCount(), TrafficModel::kMaxRows);
        QCOMPARE(model.event(model.rowCount() - 1).data,
                 std::string(1, static_cast<char>(static_cast<std::uint8_t>(events - 1))));
    }

    // Pause holds the rows where they are; resuming brings what came meanwhile.
    void pauseAndResume() {
        ManualClock clock;
        CaptureBook book(clock.clock());
        Capture& capture = book.capture(CaptureSource::CnyTester);
        TestServices fakes;
        TrafficWindow window(book, fakes.dialogs, fakes.clipboard);
        window.showSource(CaptureSource::CnyTester);
        auto* pause = window.findChild<QPushButton*>(QStringLiteral("pause"));
        pause->click();
        exchange(capture);
        window.refresh();
        QCOMPARE(window.model().rowCount(), 0);
        QCOMPARE(pause->accessibleName(), QStringLiteral("Resume"));
        pause->click();
        QCOMPARE(window.model().rowCount(), 3);
    }

    void copyAndClear() {
        ManualClock clock;
        CaptureBook book(clock.clock());
        Capture& capture = book.capture(CaptureSource::CnyTester);
        exchange(capture);
        TestServices fakes;
        TrafficWindow window(book, fakes.dialogs, fakes.clipboard);
        window.showSource(CaptureSource::CnyTester);
        auto* view = window.findChild<QTableView*>(QStringLiteral("rows"));
        view->selectRow(1);
        view->selectionModel()->select(window.model().index(2, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window.findChild<QPushButton*>(QStringLiteral("copy"))->click();
        const QStringList lines = fakes.clipboard.m_text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].endsWith(QStringLiteral("\tTX\t05 10 02 11 00 28\t.....(\tSTATUS QUERY")));
        QVERIFY(lines[1].contains(QStringLiteral("\tRX\t05 01 00 04 00 0A\t")));

        window.findChild<QPushButton*>(QStringLiteral("clear"))->click();
        QCOMPARE(window.model().rowCount(), 0);
        QVERIFY(capture.ring().empty());
        capture.closed();
        window.refresh();
        QCOMPARE(window.model().rowCount(), 1);
    }

    // "Save Capture As..." writes the ring through a file that replaces the target only once
    // complete; a folder that does not exist leaves nothing behind.
    void saveCaptureAs() {
        ManualClock clock;
        CaptureBook book(clock.clock());
        exchange(book.capture(CaptureSource::CnyTester));
        TestServices fakes;
        TrafficWindow window(book, fakes.dialogs, fakes.clipboard);
        window.showSource(CaptureSource::CnyTester);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cny.txt"));
        fakes.dialogs.m_answer = path;
        window.findChild<QPushButton*>(QStringLiteral("saveAs"))->click();
        QString error;
        const auto events = readFile(path, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(events.size(), std::size_t{3});
        QCOMPARE(events[2].note, std::string("NO ERROR"));
        QVERIFY(!window.saveTo(dir.filePath(QStringLiteral("missing/cny.txt"))));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("cny.txt")});
        // The failure names the file and outlasts the status line's refresh.
        window.refresh();
        auto* status = window.findChild<QLabel*>(QStringLiteral("status"));
        QVERIFY2(status->text().contains(QStringLiteral("missing/cny.txt")),
                 qPrintable(status->text()));
    }

    // Every event is in the file as soon as the next one happens; stopping writes the last.
    void recordToFile() {
        ManualClock clock;
        CaptureBook book(clock.clock());
        Capture& capture = book.capture(CaptureSource::CoinSetting);
        TestServices fakes;
        TrafficWindow window(book, fakes.dialogs, fakes.clipboard);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.txt"));
        fakes.dialogs.m_answer = path;
        auto* record = window.findChild<QPushButton*>(QStringLiteral("record"));
        record->click();
        QVERIFY(window.recording());
        capture.opened("COM2", "/dev/pts/3", "9600,E,8,1");
        capture.received(Bytes{0x82});
        capture.sent(Bytes{0x82});
        QString error;
        QCOMPARE(readFile(path, &error).size(), std::size_t{2});
        record->click();
        QVERIFY(!window.recording());
        const auto events = readFile(path, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(events.size(), std::size_t{3});
        QCOMPARE(events[2].kind, CaptureKind::Tx);
        capture.closed();
        QCOMPARE(readFile(path, &error).size(), std::size_t{3});
        // A second recording starts the file afresh, so it stays one run a reader takes.
        clock.micros += 5'000'000;
        record->click();
        capture.sent(Bytes{0x60});
        record->click();
        const auto again = readFile(path, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(again.size(), std::size_t{1});
        // A file that cannot be opened leaves the button up.
        fakes.dialogs.m_answer = dir.filePath("no/such/file");
        record->click();
        QVERIFY(!record->isChecked());
        QVERIFY(!window.recording());
    }

    // Recording never blocks on a pipe and never claims to record what is not written: a pipe
    // or a device is refused at once, a file that stops taking bytes ends the recording; each
    // says so with the file's name until the next action.
    void recordingFailuresAreTold_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("named pipe nobody reads") << QStringLiteral("fifo");
        QTest::newRow("device") << QStringLiteral("/dev/full");
        QTest::newRow("folder") << QStringLiteral(".");
        QTest::newRow("file size limit reached") << QStringLiteral("limit");
    }
    void recordingFailuresAreTold() {
        QFETCH(QString, target);
        ManualClock clock;
        CaptureBook book(clock.clock());
        Capture& capture = book.capture(CaptureSource::CoinSetting);
        TestServices fakes;
        TrafficWindow window(book, fakes.dialogs, fakes.clipboard);
        QTemporaryDir dir;
        QString path = target.startsWith('/') ? target : dir.filePath(target);
        if (target == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        struct rlimit old {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const bool limited = target == QLatin1String("limit");
        if (limited) {
            ::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit low { 4096, old.rlim_max };
            ::setrlimit(RLIMIT_FSIZE, &low);
        }
        fakes.dialogs.m_answer = path;
        window.findChild<QPushButton*>(QStringLiteral("record"))->click();
        if (limited) {
            QVERIFY(window.recording());
            capture.opened("COM1", "/dev/pts/1", "9600,E,8,1");
            for (int i = 0; i < 200; ++i) {
                capture.note("a note long enough to fill the allowed size soon");
            }
            QTRY_VERIFY(!window.recording());
            ::setrlimit(RLIMIT_FSIZE, &old);
        }
        QVERIFY(!window.recording());
        QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("record"))->isChecked());
        window.refresh();
        const QString status = window.findChild<QLabel*>(QStringLiteral("status"))->text();
        QVERIFY2(status.contains(path), qPrintable(status));
        QVERIFY2(!status.contains(QStringLiteral("recording to")), qPrintable(status));
    }

    // A name that is not valid UTF-8 comes back from the dialog with U+FFFD in it; recording
    // goes into the file that name stands for, as a save does, not into a new file beside it.
    void recordingKeepsTheFileSystemsName() {
        ManualClock clock;
        CaptureBook book(clock.clock());
        TestServices fakes;
        TrafficWindow window(book, fakes.dialogs, fakes.clipboard);
        QTemporaryDir dir;
        const QByteArray native = QFile::encodeName(dir.path()) + "/caf\xe9.txt";
        std::ofstream(native.constData()) << "old";
        fakes.dialogs.m_answer = dir.path() + QStringLiteral("/caf\uFFFD.txt");
        window.findChild<QPushButton*>(QStringLiteral("record"))->click();
        QVERIFY(window.recording());
        window.stopRecording();
        std::ifstream in(native.constData());
        std::string first;
        std::getline(in, first);
        QCOMPARE(first.substr(0, 2), std::string("# "));
        // Qt lists no name that is not valid UTF-8, so the folder must be empty once it is gone.
        QCOMPARE(::unlink(native.constData()), 0);
        QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
    }

    // F12 in a tool window opens the one Traffic window on that window's capture; the launcher
    // offers it in its context menu.
    void openedWithF12AndFromTheLauncher() {
        ManualClock clock;
        CaptureBook book(clock.clock());
        TestServices fakes;
        TrafficOpener opener(book, fakes.services);
        QWidget tool;
        opener.addShortcut(&tool, CaptureSource::HardwareTest);
        tool.show();
        QVERIFY(QTest::qWaitForWindowActive(&tool));
        QTest::keyClick(&tool, Qt::Key_F12);
        QVERIFY(opener.window());
        QCOMPARE(opener.window()->source(), CaptureSource::HardwareTest);
        TrafficWindow* first = opener.window();
        QCOMPARE(opener.open(CaptureSource::CnyTester), first);
        QCOMPARE(first->findChild<QComboBox*>(QStringLiteral("sources"))->currentText(),
                 QStringLiteral("CNY mode tester"));

        WindowRegistry registry;
        FixedProgramFolder folder;
        LauncherWindow launcher(registry, folder);
        launcher.addMenuEntry(opener.launcherAction(&launcher));
        QCOMPARE(launcher.contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(launcher.actions().size(), 1);
        first->close();
        QTRY_VERIFY(!opener.window());
        launcher.actions().front()->trigger();
        QVERIFY(opener.window());
        QVERIFY(opener.window()->isVisible());
    }
};

QTEST_MAIN(TrafficWindowTest)
#include "test_trafficwindow.moc"
