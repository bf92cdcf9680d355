#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include "app/windowregistry.h"
#include "coinsetting/coinsettingwindow.h"
#include "fakes.h"
#include "feed.h"
#include "hwtest/hardwaretestwindow.h"
#include "serial/seriallink.h"
#include "widgets/lockedcombobox.h"
#include "widgets/twips.h"
#include "windowfixture.h"
#include "windowtesting.h"

using namespace pellix;
using namespace pellix::test;

namespace {

// An HEarly hopper up to its motor results: header (checksum 1F 2E, software TD3&H50), the
// prompt the PC answers, the second prompt.
const char* const kUpToMotors = "3A 1F 2E 08 54 44 33 26 48 35 30 3A 3C 3C";
// The whole example run: motors pass, pass, fail; three sensor cycles; prism; DIP state 05.
const char* const kExampleRun =
    "3A 1F 2E 08 54 44 33 26 48 35 30 3A 3C 3C 3D 3D 3B"
    " 41 43 00 00 00 41 43 00 00 00 41 43 46 46 46 58 05";

const QString kPortNotOpen = QStringLiteral("RS232未開啟");
const char* const kIconFiles[] = {"GREENSIG", "REDSIG", "YELLOWSIG", "RYG"};

// The 106 bytes of a write: 0x7B, then the record with `fields` put at their offsets.
QByteArray writeFrame(const QList<QPair<int, QByteArray>>& fields) {
    QByteArray frame(106, '\0');
    frame[0] = '\x7B';
    for (const auto& [offset, bytes] : fields) {
        frame.replace(1 + offset, bytes.size(), bytes);
    }
    return frame;
}

// A received record: 0x7B and 105 bytes, texts padded with 0x00.
QByteArray receivedRecord(const QByteArray& software, const QByteArray& serial,
                          const QByteArray& coin) {
    QByteArray frame = writeFrame({{0, software}, {60, serial}, {66, hex("020102")}, {99, coin}});
    return frame;
}

}  // namespace

class HardwareTestWindowTest : public QObject, WindowFixture<HardwareTestWindow> {
    Q_OBJECT

    void build() { window = std::make_unique<HardwareTestWindow>(s->services, *host); }
    QLineEdit* box(const char* name) { return child<QLineEdit>(QLatin1String(name)); }
    QComboBox* list(const char* name) { return child<QComboBox>(QLatin1String(name)); }
    void click(const char* name) { child<QPushButton>(QLatin1String(name))->click(); }
    LockedComboBox* ports() { return child<LockedComboBox>(QStringLiteral("Combo1")); }
    FakeSerialPort* openPort(int position = 2) {
        pick(ports(), position);
        return s->ports.last();
    }
    QString switches() {
        QString out;
        for (int i = 0; i < 4; ++i) {
            out += QString::number(child<QSlider>(QStringLiteral("VScroll1_%1").arg(i))->value());
        }
        return out;
    }
    bool switchesEnabled() {
        bool all = true;
        for (int i = 0; i < 4; ++i) {
            all = all && child<QSlider>(QStringLiteral("VScroll1_%1").arg(i))->isEnabled();
        }
        return all;
    }
    // Which of the signal lights the picture holds, by comparing the pixels with the files.
    QString light(int index) {
        const QImage shown =
            child<QLabel>(QStringLiteral("Picture1_%1").arg(index))->pixmap().toImage();
        if (shown.isNull()) {
            return QStringLiteral("empty");
        }
        for (const char* name : kIconFiles) {
            const QImage file(s->folder.filePath(QStringLiteral("\\%1.ico").arg(name)));
            if (!file.isNull() && shown == file.convertToFormat(shown.format())) {
                return QLatin1String(name);
            }
        }
        return QStringLiteral("other");
    }
    // Each item as "<spoken name> | <status caption> | <icon>".
    QStringList results() {
        QStringList out;
        for (int i = 0; i < 6; ++i) {
            out << QStringLiteral("%1 | %2 | %3")
                       .arg(child(QStringLiteral("Picture1_%1").arg(i))->accessibleName(),
                            child<QLabel>(QStringLiteral("Label5_%1").arg(i))->text(), light(i));
        }
        return out;
    }
    QStringList flashBoxTexts() {
        QStringList out;
        for (const char* name : {"Text3", "Text4", "Text5", "Text6", "Text7", "Text8", "Text9"}) {
            out << box(name)->text();
        }
        return out;
    }
    bool flashPanelShown() {
        int shown = 0;
        const QStringList names = {"Text3",    "Text4",    "Text5",    "Text6",   "Text7",
                                   "Text8",    "Text9",    "Combo2",   "Combo3",  "Combo4",
                                   "Command3", "Command4", "Command5", "Label9",  "Label10",
                                   "Label11",  "Label12",  "Label13",  "Label14", "Label15",
                                   "Label16",  "Label17",  "Label18"};
        for (const QString& name : names) {
            shown += child(name)->isHidden() ? 0 : 1;
        }
        return shown == names.size();
    }
    // Into the monitor phase with the panel open, as after a normal start.
    FakeSerialPort* monitorWithPanel() {
        FakeSerialPort* port = openPort();
        port->inject(hex(kExampleRun));
        click("Command7");
        return port;
    }

  private slots:
    void init() {
        makeFakes();
        build();
    }
    void cleanup() { dropAll(); }

    void loadsClosedWithEverythingReset() {
        QCOMPARE(window->objectName(), QString("Form5"));
        QCOMPARE(window->windowTitle(), QString("PX_TEST"));
        QCOMPARE(window->size(), twipsSize(10695, 7605));
        QVERIFY(!(window->windowFlags() & Qt::MSWindowsFixedSizeDialogHint));
        QVERIFY(window->minimumSize() != window->maximumSize());  // sizable
        QVERIFY(host->m_loaded.isEmpty());
        QCOMPARE(host->m_iconsSet, QList<WindowKind>{WindowKind::CoinSetting});

        QCOMPARE(panel(), QString("RS232 關閉"));
        QVERIFY(!window->link().IsOpen());
        QCOMPARE(window->link().Settings(), (LineSettings{9600, Parity::Even, 8, 1}));
        QCOMPARE(ports()->count(), 8);
        QCOMPARE(ports()->itemText(7), QString("COM8"));
        QCOMPARE(ports()->shownText(), QString("COM1"));

        QCOMPARE(results(), QStringList({"Motor Forward: not yet tested | UNKNOW | RYG",
                                         "Motor Reverse: not yet tested | UNKNOW | RYG",
                                         "Motor Stop: not yet tested | UNKNOW | RYG",
                                         "Empty Sensor: not yet tested | UNKNOW | RYG",
                                         "Prism Sensor: not yet tested | UNKNOW | RYG",
                                         "Shaft Sensor: not yet tested | UNKNOW | RYG"}));
        QCOMPARE(switches(), QString("0000"));
        QVERIFY(switchesEnabled());
        QVERIFY(!flashPanelShown());
        QCOMPARE(window->receiver().state(), hwtest::TestStreamState::WaitHeader);
        QVERIFY(box("Text1")->text().isEmpty() && box("Text2")->text().isEmpty());

        for (auto* widget : window->findChildren<QWidget*>()) {
            const bool control =
                qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
                qobject_cast<QPushButton*>(widget) || qobject_cast<QSlider*>(widget) ||
                widget->objectName().startsWith(QLatin1String("Picture1"));
            if (control && !widget->objectName().isEmpty()) {
                QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
            }
        }
    }

    void captions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("points");  // 0: the window's own size
        const QString blanks(55, QLatin1Char(' '));
        QTest::newRow("software") << "Label1"
                                  << "Software" << 10;
        QTest::newRow("checksum") << "Label2"
                                  << "Checksum" << 10;
        QTest::newRow("port") << "Label6"
                              << "COM PORT" << 10;
        QTest::newRow("reset") << "Command1"
                               << "Reset" << 0;
        QTest::newRow("dip finish") << "Command7"
                                    << "DIP_Finish" << 0;
        QTest::newRow("on") << "Label7"
                            << "ON" << 0;
        QTest::newRow("off") << "Label8"
                             << "OFF" << 0;
        QTest::newRow("switch 1") << "Label4_0"
                                  << "SW1" << 0;
        QTest::newRow("switch 4") << "Label4_3"
                                  << "SW4" << 0;
        QTest::newRow("item 0") << "Label3_0"
                                << "Motor Forward" << 10;
        QTest::newRow("item 1") << "Label3_1"
                                << "Motor Reverse" << 10;
        QTest::newRow("item 2") << "Label3_2"
                                << "Motor Stop" << 10;
        QTest::newRow("item 3") << "Label3_3"
                                << "Empty Sensor" << 10;
        QTest::newRow("item 4") << "Label3_4"
                                << "Prism Sensor" << 10;
        QTest::newRow("item 5") << "Label3_5"
                                << "Shaft Sensor" << 10;
        QTest::newRow("status 0") << "Label5_0"
                                  << "UNKNOW" << 9;
        QTest::newRow("status 5") << "Label5_5"
                                  << "UNKNOW" << 9;
        QTest::newRow("software version") << "Label9"
                                          << "Software Version：" << 0;
        QTest::newRow("product code") << "Label10"
                                      << "Product Code：" << 0;
        QTest::newRow("manufacturer") << "Label11"
                                      << "Manufacturer ID：" << 0;
        QTest::newRow("serial") << "Label12"
                                << "Serial Number：" << 0;
        QTest::newRow("company") << "Label13"
                                 << "Company Mode：" << 0;
        QTest::newRow("address") << "Label14"
                                 << "Address Mode：" << 0;
        QTest::newRow("encryption")
            << "Label15"
            << "Encryption Mode：" + blanks + "(ccTalk Serial Hopper Encryption Standard CMF 1-1)"
            << 0;
        QTest::newRow("build code") << "Label16"
                                    << "Build Code：" << 0;
        QTest::newRow("category") << "Label17"
                                  << "Equipment Category ID :" << 0;
        QTest::newRow("coin") << "Label18"
                              << "Hopper Coin :" << 0;
        QTest::newRow("write") << "Command3"
                               << "Write_Flash" << 0;
        QTest::newRow("read") << "Command4"
                              << "Read_Flash" << 0;
        QTest::newRow("clear") << "Command5"
                               << "Clear_Data" << 0;
    }
    void captions() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(int, points);
        QWidget* control = child(name);
        QCOMPARE(control->property("text").toString(), caption);
        QCOMPARE(control->font().pointSize(), points ? points : window->font().pointSize());
    }

    void frameAndRowOrder() {
        QCOMPARE(child<QGroupBox>(QStringLiteral("Frame1"))->title(), QString("DIP SWITCH"));
        // Top to bottom: Motor Forward, Motor Reverse, Motor Stop, Empty, Shaft (5), Prism (4).
        int above = -1;
        for (int index : {0, 1, 2, 3, 5, 4}) {
            for (const char* array : {"Label3_%1", "Picture1_%1", "Label5_%1"}) {
                QVERIFY(child(QString::fromLatin1(array).arg(index))->y() > above);
            }
            above = child(QStringLiteral("Picture1_%1").arg(index))->y();
            QCOMPARE(child(QStringLiteral("Picture1_%1").arg(index))->size(), twipsSize(480, 480));
        }
    }

    // Every caption fits its control and no two controls cover each other (the encryption
    // list stands in the blanks of its caption on purpose), with the flash panel open.
    void layoutKeepsEveryTextVisible() {
        monitorWithPanel();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QRect client(QPoint(0, 0), twipsSize(10695, 7605));
        const QRect statusBar = child(QStringLiteral("StatusBar1"))->geometry();
        QList<QWidget*> controls;
        for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->isVisible() && w != child(QStringLiteral("StatusBar1"))) {
                controls << w;
                QVERIFY2(client.contains(w->geometry()), qPrintable(w->objectName()));
                QVERIFY2(!w->geometry().intersects(statusBar), qPrintable(w->objectName()));
            }
        }
        for (QWidget* w : child(QStringLiteral("Frame1"))->findChildren<QWidget*>()) {
            controls << w;
        }
        for (QWidget* w : controls) {
            const QString text = w->property("text").toString();
            if (auto* label = qobject_cast<QLabel*>(w); label && w->objectName() != "Label15") {
                QVERIFY2(w->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width(),
                         qPrintable(w->objectName()));
                QVERIFY2(w->fontMetrics().height() <= label->height(), qPrintable(text));
            } else if (auto* button = qobject_cast<QPushButton*>(w)) {
                QVERIFY2(button->fontMetrics().horizontalAdvance(text) + 8 <= button->width(),
                         qPrintable(text));
            }
            for (QWidget* other : controls) {
                const bool sameParent = other->parentWidget() == w->parentWidget();
                const QStringList pair{w->objectName(), other->objectName()};
                const bool intended = pair.contains("Label15") && pair.contains("Combo4");
                if (other != w && sameParent && !intended) {
                    QVERIFY2(!w->geometry().intersects(other->geometry()),
                             qPrintable(w->objectName() + " / " + other->objectName()));
                }
            }
        }
        // The encryption caption: its head beside the list, the standard's name below it.
        QWidget* caption = child(QStringLiteral("Label15"));
        QWidget* encryption = child(QStringLiteral("Combo4"));
        const QFontMetrics metrics = caption->fontMetrics();
        QVERIFY(caption->x() + metrics.horizontalAdvance("Encryption Mode：") < encryption->x());
        QVERIFY(metrics.horizontalAdvance("(ccTalk Serial Hopper Encryption Standard CMF 1-1)") <=
                caption->width());
        QVERIFY(encryption->geometry().bottom() < caption->y() + caption->height() / 2 + 2);
    }

    void receivedStream_data() {
        QTest::addColumn<QString>("stream");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("motors pass, fail, undetermined")
            << QString(kUpToMotors) + " 3D 3B 00"
            << QStringList{"Motor Forward: pass | OK | GREENSIG",
                           "Motor Reverse: fail | FAILD | REDSIG",
                           "Motor Stop: undetermined | UNKNOW | YELLOWSIG",
                           "Empty Sensor: not yet tested | UNKNOW | RYG",
                           "Prism Sensor: not yet tested | UNKNOW | RYG",
                           "Shaft Sensor: not yet tested | UNKNOW | RYG",
                           "software TD3&H50",
                           "checksum 0x1F2E",
                           "switches 0000",
                           "sent 60",
                           "writes 1"};
        QTest::newRow("HEarly example run") << QString(kExampleRun)
                                            << QStringList{"Motor Forward: pass | OK | GREENSIG",
                                                           "Motor Reverse: pass | OK | GREENSIG",
                                                           "Motor Stop: fail | FAILD | REDSIG",
                                                           "Empty Sensor: pass | OK | GREENSIG",
                                                           "Prism Sensor: pass | OK | GREENSIG",
                                                           "Shaft Sensor: pass | OK | GREENSIG",
                                                           "software TD3&H50",
                                                           "checksum 0x1F2E",
                                                           "switches 1010",
                                                           "sent 60",
                                                           "writes 1"};
    }
    void receivedStream() {
        QFETCH(QString, stream);
        QFETCH(QStringList, expected);
        const QStringList outcome = sameOutcomeForEverySplit(
            bytesFromHex(qPrintable(stream)), [this](const Chunks& chunks) {
                cleanup();
                init();
                FakeSerialPort* port = openPort();
                for (const Bytes& chunk : chunks) {
                    port->inject(QByteArray(reinterpret_cast<const char*>(chunk.data()),
                                            static_cast<qsizetype>(chunk.size())));
                }
                QStringList out = results();
                out << "software " + box("Text1")->text() << "checksum " + box("Text2")->text()
                    << "switches " + switches() << "sent " + port->m_written.toHex(' ')
                    << "writes " + QString::number(port->m_writes.size());
                return out;
            });
        QCOMPARE(outcome, expected);
    }

    void resetPreparesForTheNextHopper() {
        FakeSerialPort* port = monitorWithPanel();
        box("Text3")->setText(QStringLiteral("ABC"));
        list("Combo2")->setCurrentIndex(2);
        click("Command1");

        QCOMPARE(results(), QStringList({"Motor Forward: not yet tested | UNKNOW | RYG",
                                         "Motor Reverse: not yet tested | UNKNOW | RYG",
                                         "Motor Stop: not yet tested | UNKNOW | RYG",
                                         "Empty Sensor: not yet tested | UNKNOW | RYG",
                                         "Prism Sensor: not yet tested | UNKNOW | RYG",
                                         "Shaft Sensor: not yet tested | UNKNOW | RYG"}));
        QVERIFY(box("Text1")->text().isEmpty());
        QVERIFY(box("Text2")->text().isEmpty());
        QVERIFY(!flashPanelShown());
        QVERIFY(switchesEnabled());
        QCOMPARE(switches(), QString("1010"));    // the positions stay
        QCOMPARE(port->m_written, hex("60 7D"));  // Reset sends nothing
        QVERIFY(window->link().IsOpen());

        // The next hopper's header is read from the start, its software text on its own.
        port->inject(hex("3A 0F 10 04 58 59 5A 3A"));
        QCOMPARE(box("Text1")->text(), QString("XYZ"));
        QCOMPARE(box("Text2")->text(), QString("0x0F10"));
        // Decided on "XYZ" alone; joined to the last hopper's "TD3&H50" it would be HEarly.
        QCOMPARE(window->receiver().firmwareVariant(), hwtest::FirmwareVariant::Generic);

        click("Command7");
        QVERIFY(flashPanelShown());
        QCOMPARE(box("Text3")->text(), QString("ABC"));
        QCOMPARE(list("Combo2")->currentText(), QString("Azkoyen"));
    }

    // Without Reset the software text is never cleared: a later header is appended to it,
    // while the checksum starts again.
    void secondHeaderIsAppended() {
        FakeSerialPort* port = openPort();
        // A motor result byte that is none: undetermined, and the receiver waits for a header.
        port->inject(hex(kUpToMotors) + hex("00"));
        port->inject(hex("3A 00 00 03 43 44 3A"));
        QCOMPARE(box("Text1")->text(), QString("TD3&H50CD"));
        QCOMPARE(box("Text2")->text(), QString("0x0000"));
    }

    void dipFinishSendsAndOpensThePanel() {
        FakeSerialPort* port = openPort();
        port->inject(hex(kExampleRun));
        click("Command7");
        QVERIFY(flashPanelShown());
        QVERIFY(!switchesEnabled());
        click("Command7");
        QCOMPARE(port->m_written, hex("60 7D 7D"));
        QCOMPARE(port->m_writes.size(), 3);
        QVERIFY(s->messages.m_shown.isEmpty());
    }

    void dipFinishWithThePortClosed_data() {
        QTest::addColumn<bool>("unplugged");
        QTest::newRow("never opened") << false;
        QTest::newRow("adapter pulled out") << true;
    }
    void dipFinishWithThePortClosed() {
        QFETCH(bool, unplugged);
        FakeSerialPort* port = s->ports.last();
        if (unplugged) {
            port = openPort();
            port->unplug();
            s->messages.m_shown.clear();
        }
        click("Command7");
        QCOMPARE(s->messages.texts(), QStringList{kPortNotOpen});
        QCOMPARE(s->messages.m_shown[0].title, kPortNotOpen);
        QCOMPARE(s->messages.m_shown[0].icon, MessageIcon::Information);
        QVERIFY(port->m_written.isEmpty());
        QVERIFY(!switchesEnabled());
        QVERIFY(!flashPanelShown());
    }

    void dipSwitches_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("switches");
        QTest::newRow("bits 0 and 2: SW1, SW3 on") << "05"
                                                   << "1010";
        QTest::newRow("bits 1 and 3: SW2, SW4 on") << "0A"
                                                   << "0101";
        QTest::newRow("upper bits only: all off") << "F0"
                                                  << "0000";
        QTest::newRow("all bits") << "FF"
                                  << "1111";
    }
    void dipSwitches() {
        QFETCH(QString, state);
        QFETCH(QString, switches);
        FakeSerialPort* port = openPort();
        port->inject(hex(kExampleRun));
        port->inject(hex(qPrintable("58 " + state)));
        QCOMPARE(this->switches(), switches);
    }

    // The self-test run and its prompt in one read: the prompt's reply goes out before any
    // box or switch changes. Byte by byte, the boxes follow each byte and the reply comes last.
    void answersBeforeShowing_data() {
        QTest::addColumn<bool>("oneRead");
        QTest::newRow("run and prompt in one read") << true;
        QTest::newRow("byte by byte") << false;
    }
    void answersBeforeShowing() {
        QFETCH(bool, oneRead);
        FakeSerialPort* port = openPort();
        QList<QByteArray> writtenAtChange;
        const auto note = [&] { writtenAtChange << port->m_written; };
        for (QLineEdit* field : window->findChildren<QLineEdit*>()) {
            connect(field, &QLineEdit::textChanged, this, note);
        }
        for (QSlider* slider : window->findChildren<QSlider*>()) {
            connect(slider, &QSlider::valueChanged, this, note);
        }
        const QByteArray run = hex(kExampleRun);
        if (oneRead) {
            port->inject(run);
        } else {
            for (const char byte : run) {
                port->inject(QByteArray(1, byte));
            }
        }
        QCOMPARE(port->m_written, hex("60"));
        QVERIFY(!writtenAtChange.isEmpty());
        QCOMPARE(writtenAtChange.first(), oneRead ? hex("60") : QByteArray());
        for (QObject* watched : window->findChildren<QWidget*>()) {
            disconnect(watched, nullptr, this, nullptr);
        }
    }

    void slidersOnlyDisplay() {
        FakeSerialPort* port = openPort();
        port->inject(hex(kExampleRun));
        auto* first = child<QSlider>(QStringLiteral("VScroll1_0"));
        QCOMPARE(first->maximum(), 1);
        QCOMPARE(first->minimum(), 0);
        QCOMPARE(first->orientation(), Qt::Vertical);  // maximum, ON, at the top
        QTest::keyClick(first, Qt::Key_Down);
        QCOMPARE(switches(), QString("0010"));
        QCOMPARE(port->m_written, hex("60"));
        QVERIFY(s->messages.m_shown.isEmpty());
        port->inject(hex("58 05"));
        QCOMPARE(switches(), QString("1010"));
    }

    void readFlashClearsRequestsAndShowsTheRecord() {
        FakeSerialPort* port = monitorWithPanel();
        for (const char* name : {"Text3", "Text4", "Text5", "Text6", "Text7", "Text8", "Text9"}) {
            box(name)->setText(QStringLiteral("old"));
        }
        list("Combo3")->setCurrentIndex(1);
        click("Command4");
        QCOMPARE(flashBoxTexts(), QStringList(7, QString()));
        QCOMPARE(port->m_written, hex("60 7D 7C"));

        // Windows-1252 text, padding 00 and erased FF dropped; the mode bytes are not shown.
        port->inject(
            receivedRecord(hex("43 61 66 E9 FF 00 31"), hex("4E 61 BC 00 00 00"), hex("80 41")));
        QCOMPARE(flashBoxTexts(), QStringList({"Café1", "", "", "12345678", "", "", "€A"}));
        QCOMPARE(list("Combo2")->currentIndex(), 0);
        QCOMPARE(list("Combo3")->currentIndex(), 1);
        QCOMPARE(window->receiver().state(), hwtest::TestStreamState::Monitor);

        // A second record without clearing: texts are appended, the serial number replaced.
        port->inject(receivedRecord("XY", hex("01 00 00"), "Z"));
        QCOMPARE(flashBoxTexts(), QStringList({"Café1XY", "", "", "00000001", "", "", "€AZ"}));

        click("Command5");  // Clear_Data
        QCOMPARE(flashBoxTexts(), QStringList(7, QString()));
        QCOMPARE(list("Combo3")->currentIndex(), 1);
        QCOMPARE(port->m_written, hex("60 7D 7C"));
        QVERIFY(s->messages.m_shown.isEmpty());
    }

    void writeFlash_data() {
        QTest::addColumn<QStringList>("boxes");  // Text3 .. Text9
        QTest::addColumn<QStringList>("modes");  // "#n" picks entry n, other text is typed
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("messages");
        const QStringList firstEntries{"#0", "#0", "#0"};
        QTest::newRow("software ABC, serial 00000001")
            << QStringList{"ABC", "", "", "00000001", "", "", ""} << firstEntries
            << writeFrame({{0, "ABC"}, {60, hex("01")}}) << QStringList();
        QTest::newRow("every field")
            << QStringList{"TD3&H50", "PX-310", "PELLIX", "12345678", "B2026", "HOPPER", "1EURO"}
            << QStringList{"#1", "#1", "#2"}
            << writeFrame({{0, "TD3&H50"},
                           {20, "PX-310"},
                           {40, "PELLIX"},
                           {60, hex("4E 61 BC 00 00 00")},
                           {66, hex("01 01 02")},
                           {69, "B2026"},
                           {89, "HOPPER"},
                           {99, "1EURO"}})
            << QStringList();
        QTest::newRow("Azkoyen, Address Line, Password = 0")
            << QStringList{"", "", "", "00000000", "", "", ""} << QStringList{"#2", "#1", "#1"}
            << writeFrame({{66, hex("02 01 01")}}) << QStringList();
        QTest::newRow("an entry typed in full counts as chosen")
            << QStringList{"", "", "", "00000000", "", "", ""}
            << QStringList{"Alberici", "Address Line", "Password = 0"}
            << writeFrame({{66, hex("01 01 01")}}) << QStringList();
        QTest::newRow("serial 16777215")
            << QStringList{"", "", "", "16777215", "", "", ""} << firstEntries
            << writeFrame({{60, hex("FF FF FF")}}) << QStringList();
        QTest::newRow("serial 00000256")
            << QStringList{"", "", "", "00000256", "", "", ""} << firstEntries
            << writeFrame({{60, hex("00 01 00")}}) << QStringList();
        QTest::newRow("Windows-1252 characters")
            << QStringList{"Café", "", "", "00000000", "", "", "€5"} << firstEntries
            << writeFrame({{0, hex("43 61 66 E9")}, {99, hex("80 35")}}) << QStringList();
        QTest::newRow("serial 16777216 too large")
            << QStringList{"", "", "", "16777216", "", "", ""} << firstEntries << QByteArray()
            << QStringList{"序號數值超過上限"};
        QTest::newRow("serial of nine characters")
            << QStringList{"", "", "", "123456789", "", "", ""} << firstEntries << QByteArray()
            << QStringList{"序號長度超過輸入上限"};
        QTest::newRow("product code of 21 characters")
            << QStringList{"", QString(21, 'P'), "", "00000001", "", "", ""} << firstEntries
            << QByteArray() << QStringList{"產品代碼超過輸入上限"};
        QTest::newRow("software and manufacturer too long")
            << QStringList{QString(21, 'S'), "", QString(21, 'M'), "00000001", "", "", ""}
            << firstEntries << QByteArray()
            << QStringList{"軟體版本超過輸入上限", "廠商ID超過輸入上限"};
        QTest::newRow("three codes too long")
            << QStringList{"",
                           "",
                           "",
                           "00000001",
                           QString(21, 'B'),
                           QString(11, 'C'),
                           QString(7, 'H')}
            << firstEntries << QByteArray()
            << QStringList{"碼超過輸入上限", "碼超過輸入上限", "碼超過輸入上限"};
        QTest::newRow("company mode typed, no entry")
            << QStringList{"", "", "", "00000001", "", "", ""}
            << QStringList{"Azkoyen2", "#0", "#0"} << QByteArray()
            << QStringList{"Company Mode has no entry chosen"};
        QTest::newRow("character without a single byte")
            << QStringList{"中", "", "", "00000001", "", "", ""} << firstEntries << QByteArray()
            << QStringList{
                   "Software Version contains a character that cannot be written to the "
                   "hopper"};
    }
    void writeFlash() {
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, modes);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, messages);
        FakeSerialPort* port = monitorWithPanel();
        const QByteArray before = port->m_written;
        const char* names[] = {"Text3", "Text4", "Text5", "Text6", "Text7", "Text8", "Text9"};
        for (int i = 0; i < 7; ++i) {
            box(names[i])->setText(boxes[i]);
        }
        const char* lists[] = {"Combo2", "Combo3", "Combo4"};
        for (int i = 0; i < 3; ++i) {
            if (modes[i].startsWith('#')) {
                list(lists[i])->setCurrentIndex(modes[i].mid(1).toInt());
            } else {
                list(lists[i])->setEditText(modes[i]);
            }
        }
        click("Command3");
        QCOMPARE(port->m_written.mid(before.size()).toHex(' '), sent.toHex(' '));
        QCOMPARE(port->m_writes.size(), before.size() + sent.size());  // a write per byte
        QCOMPARE(s->messages.texts(), messages);
        for (const ShownMessage& shown : s->messages.m_shown) {
            QCOMPARE(shown.title, shown.text);
            QCOMPARE(shown.icon, MessageIcon::Information);
        }
    }

    void flashRequestsNeedTheOpenPort() {
        FakeSerialPort* port = monitorWithPanel();
        box("Text3")->setText(QStringLiteral("keep"));
        box("Text6")->setText(QStringLiteral("00000001"));
        s->ports.m_openErrors[QStringLiteral("/dev/fake8")] = OpenError::NoSuchPort;
        pick(ports(), 7);  // closes the open port, fails on the new one
        s->messages.m_shown.clear();
        click("Command3");
        click("Command4");
        QCOMPARE(s->messages.texts(), QStringList({kPortNotOpen, kPortNotOpen}));
        QCOMPARE(port->m_written, hex("60 7D"));
        QCOMPARE(box("Text3")->text(), QString("keep"));
    }

    void typingStopsAtTheLimit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("limit");
        QTest::newRow("software version") << "Text3" << 20;
        QTest::newRow("product code") << "Text4" << 20;
        QTest::newRow("manufacturer ID") << "Text5" << 20;
        QTest::newRow("serial number") << "Text6" << 8;
        QTest::newRow("build code") << "Text7" << 20;
        QTest::newRow("equipment category ID") << "Text8" << 10;
        QTest::newRow("hopper coin") << "Text9" << 6;
    }
    void typingStopsAtTheLimit() {
        QFETCH(QString, name);
        QFETCH(int, limit);
        monitorWithPanel();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QLineEdit* field = box(qPrintable(name));
        QTest::keyClicks(field, QString(limit + 5, QLatin1Char('7')));
        QCOMPARE(field->text(), QString(limit, QLatin1Char('7')));
    }

    // A received record may leave a box longer than the operator could type it; it can then
    // be shortened but not lengthened.
    void overlongReceivedTextCanOnlyShrink() {
        FakeSerialPort* port = monitorWithPanel();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        port->inject(receivedRecord("ABCDEFGHIJKL", hex("01"), ""));
        port->inject(receivedRecord("MNOPQRSTUVWX", hex("01"), ""));
        QLineEdit* field = box("Text3");
        QCOMPARE(field->text(), QString("ABCDEFGHIJKLMNOPQRSTUVWX"));
        field->setFocus();
        field->end(false);
        QTest::keyClick(field, Qt::Key_Y);
        QCOMPARE(field->text().size(), 24);
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(field->text(), QString("ABCDEFGHIJKLMNOPQRSTUVW"));
        click("Command3");
        QCOMPARE(s->messages.texts(), QStringList{"軟體版本超過輸入上限"});
    }

    // The boxes change once per batch of received bytes, however many bytes of the batch add
    // to them, and once per batch again for the next batch.
    void boxesChangeOncePerBatch_data() {
        QTest::addColumn<QList<int>>("recordsPerBatch");
        QTest::newRow("one record") << QList<int>{1};
        QTest::newRow("three records in one batch") << QList<int>{3};
        QTest::newRow("three batches") << QList<int>{1, 1, 1};
        QTest::newRow("uneven batches") << QList<int>{5, 2};
    }
    void boxesChangeOncePerBatch() {
        QFETCH(QList<int>, recordsPerBatch);
        FakeSerialPort* port = monitorWithPanel();
        QSignalSpy software(box("Text3"), &QLineEdit::textChanged);
        QSignalSpy coin(box("Text9"), &QLineEdit::textChanged);
        QString expected;
        for (int records : recordsPerBatch) {
            QByteArray batch;
            for (int i = 0; i < records; ++i) {
                batch += receivedRecord("AB", hex("01"), "C");
                expected += QStringLiteral("AB");
            }
            port->inject(batch);
        }
        QCOMPARE(box("Text3")->text(), expected);
        QCOMPARE(box("Text9")->text().size(), expected.size() / 2);
        QCOMPARE(software.count(), recordsPerBatch.size());
        QCOMPARE(coin.count(), recordsPerBatch.size());
    }

    // A box that has reached its maximum length takes no more received text: a storm of
    // records fills it once and then leaves it alone.
    void receivedTextStopsWhenTheBoxIsFull() {
        FakeSerialPort* port = monitorWithPanel();
        QLineEdit* field = box("Text3");
        const QByteArray text(20, 'S');
        const int toFill = field->maxLength() / text.size() + 1;
        QByteArray storm;
        for (int i = 0; i < toFill; ++i) {
            storm += receivedRecord(text, hex("01"), "");
        }
        port->inject(storm);
        QCOMPARE(field->text().size(), field->maxLength());
        QCOMPARE(field->text(), QString(field->maxLength(), QLatin1Char('S')));

        QSignalSpy changes(field, &QLineEdit::textChanged);
        port->inject(receivedRecord("more", hex("02"), ""));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(box("Text6")->text(), QString("00000002"));  // the other boxes still follow
        QCOMPARE(window->receiver().state(), hwtest::TestStreamState::Monitor);
    }

    void modeLists_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("company") << "Combo2" << QStringList{"TZV", "Alberici", "Azkoyen"};
        QTest::newRow("address") << "Combo3" << QStringList{"Dip Switches Setting", "Address Line"};
        QTest::newRow("encryption")
            << "Combo4"
            << QStringList{"Password = Encryption", "Password = 0", "Password = Serial Number"};
    }
    void modeLists() {
        QFETCH(QString, name);
        QFETCH(QStringList, entries);
        QComboBox* modes = list(qPrintable(name));
        QStringList items;
        for (int i = 0; i < modes->count(); ++i) {
            items << modes->itemText(i);
        }
        QCOMPARE(items, entries);
        QCOMPARE(modes->currentIndex(), 0);
        QCOMPARE(modes->currentText(), entries[0]);
        // The operator may type; what is typed is not added to the list.
        QVERIFY(modes->isEditable());
        modes->lineEdit()->selectAll();
        QTest::keyClicks(modes->lineEdit(), QStringLiteral("typed"));
        QTest::keyClick(modes->lineEdit(), Qt::Key_Return);
        QCOMPARE(modes->currentText(), QString("typed"));
        QCOMPARE(modes->count(), entries.size());
    }

    void portErrorGoesBackToTheFirstEntry_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such port") << int(OpenError::NoSuchPort) << "Port Number Error";
        QTest::newRow("port in use") << int(OpenError::InUse) << "Port Already In Use";
    }
    void portErrorGoesBackToTheFirstEntry() {
        QFETCH(int, error);
        QFETCH(QString, message);
        openPort(1);
        QCOMPARE(panel(), QString("RS232 開啟"));
        s->ports.m_openErrors[QStringLiteral("/dev/fake5")] = static_cast<OpenError>(error);
        openPort(4);
        QCOMPARE(s->messages.texts(), QStringList{message});
        QCOMPARE(s->messages.m_shown[0].icon, MessageIcon::Critical);
        QCOMPARE(ports()->shownText(), QString("COM1"));
        QCOMPARE(ports()->currentIndex(), 0);
        QCOMPARE(panel(), QString("RS232 關閉"));
        QVERIFY(!window->link().IsOpen());
        window->close();
        QVERIFY(s->settings.m_values.isEmpty());  // no port is remembered
    }

    void closingClosesThePortBeforeTheLauncherShows() {
        struct OrderHost final : WindowHost {
            std::function<void()> onLauncher;
            void showLauncher() override { onLauncher(); }
            QWidget* open(WindowKind) override { return nullptr; }
            QWidget* load(WindowKind) override { return nullptr; }
            void setIcon(WindowKind, const QIcon&) override {}
        } orderHost;
        HardwareTestWindow own(s->services, orderHost);
        auto* chooser = own.findChild<LockedComboBox*>(QStringLiteral("Combo1"));
        pick(chooser, 2);
        FakeSerialPort* port = s->ports.last();
        QVERIFY(port->isOpen());
        QStringList seen;
        orderHost.onLauncher = [&] { seen << (port->isOpen() ? "open" : "closed"); };
        own.close();
        QCOMPARE(seen, QStringList{"closed"});
    }

    void missingIconsLeaveEmptyPictures() {
        QTemporaryDir empty;
        window.reset();
        s->folder.m_path = empty.path();
        build();
        FakeSerialPort* port = openPort();
        port->inject(hex(kUpToMotors) + hex("3D 3B"));
        QCOMPARE(results().mid(0, 3), QStringList({"Motor Forward: pass | OK | empty",
                                                   "Motor Reverse: fail | FAILD | empty",
                                                   "Motor Stop: not yet tested | UNKNOW | empty"}));
        QVERIFY(child<QLabel>(QStringLiteral("Image1"))->pixmap().isNull());
    }

    // Opening the window gives the coin number setting window its icon for its next load
    // without loading it, so no port is opened behind this window's back: this window can pick
    // the coin number setting window's remembered port.
    void leavesTheCoinSettingWindowUnloadedWithItsNextIcon() {
        s->settings.setValue(QStringLiteral("Setting/COMPORT"), QStringLiteral("3"));
        CoinSettingState coinState;
        int ended = 0;
        WindowRegistry registry;
        registry.setFactory(WindowKind::CoinSetting, [&](WindowHost& h) {
            return CoinSettingWindow::create(s->services, h, coinState, [&] { ++ended; });
        });
        registry.setFactory(WindowKind::HardwareTest,
                            [&](WindowHost& h) { return new HardwareTestWindow(s->services, h); });

        auto* opened = qobject_cast<HardwareTestWindow*>(registry.open(WindowKind::HardwareTest));
        QVERIFY(opened);
        QCOMPARE(registry.loaded(WindowKind::CoinSetting), nullptr);
        auto* chooser = opened->findChild<LockedComboBox*>(QStringLiteral("Combo1"));
        pick(chooser, 2);
        QVERIFY(s->messages.texts().isEmpty());
        QVERIFY(opened->link().IsOpen());
        opened->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // Its next load shows the icon, once; it opens its remembered port as always.
        auto* coin = qobject_cast<CoinSettingWindow*>(registry.open(WindowKind::CoinSetting));
        QVERIFY(coin);
        QVERIFY(coin->link().IsOpen());
        const QImage laugh =
            QIcon(s->folder.filePath(QStringLiteral("\\laugh.ico"))).pixmap(32, 32).toImage();
        QVERIFY(!laugh.isNull());
        QCOMPARE(coin->windowIcon().pixmap(32, 32).toImage(), laugh);
        coin->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        coin = qobject_cast<CoinSettingWindow*>(registry.open(WindowKind::CoinSetting));
        QVERIFY(coin->windowIcon().pixmap(32, 32).toImage() != laugh);
        QCOMPARE(ended, 0);
        registry.closeAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(HardwareTestWindowTest)
#include "test_hardwaretestwindow.moc"
