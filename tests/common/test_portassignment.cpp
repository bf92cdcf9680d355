// Stable COM numbers: which device each COMn opens and which numbers new devices get, over
// lists of devices as the system would report them.
#include <QTest>

#include <set>

#include "common/portassignment.h"

using namespace pellix;

namespace {

using Devices = std::vector<PortDevice>;
using Values = PortAssignment::Values;
using Changes = std::vector<PortChange>;
using Paths = std::set<std::string>;

std::string byIdOf(const std::string& serial) {
    return "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_" + serial + "-if00-port0";
}

// An FTDI-style adapter; `serial` also goes into its by-id name unless `byId` is false.
PortDevice adapter(const std::string& node, const std::string& serial, bool byId = true) {
    PortDevice d;
    d.path = "/dev/" + node;
    d.description = "FT232R USB UART";
    d.manufacturer = "FTDI";
    d.serialNumber = serial;
    d.vendorId = 0x0403;
    d.productId = 0x6001;
    if (byId && !serial.empty()) {
        d.byIdPath = byIdOf(serial);
    }
    return d;
}

// A CDC device that reports neither a serial number nor a by-id link.
PortDevice bareCdc(const std::string& node) {
    PortDevice d;
    d.path = "/dev/" + node;
    d.vendorId = 0x2341;
    d.productId = 0x0043;
    return d;
}

PortDevice uart(int index) {
    PortDevice d;
    d.path = "/dev/ttyS" + std::to_string(index);
    return d;
}

PortAssignment build(const Devices& devices, const Values& remembered, const Values& overrides,
                     const Paths& existing = {}) {
    return PortAssignment(devices, remembered, overrides,
                          [existing](const std::string& path) { return existing.count(path) > 0; });
}

Values allTakenBy(const std::string& stem) {
    Values out;
    for (int n = 1; n <= PortAssignment::kPortCount; ++n) {
        out[n] = stem + std::to_string(n);
    }
    return out;
}

}  // namespace

Q_DECLARE_METATYPE(PortDevice)
Q_DECLARE_METATYPE(Devices)
Q_DECLARE_METATYPE(Values)
Q_DECLARE_METATYPE(Changes)

class PortAssignmentTest : public QObject {
    Q_OBJECT
  private slots:
    void identity_data() {
        QTest::addColumn<PortDevice>("device");
        QTest::addColumn<QString>("identity");
        QTest::newRow("by-id link first")
            << adapter("ttyUSB0", "A50285BI") << QString::fromStdString(byIdOf("A50285BI"));
        QTest::newRow("vendor, product and serial without a link")
            << adapter("ttyUSB3", "A50285BI", false) << "usb:0403:6001:A50285BI";
        QTest::newRow("path when there is no serial number")
            << bareCdc("ttyACM0") << "/dev/ttyACM0";
    }
    void identity() {
        QFETCH(PortDevice, device);
        QFETCH(QString, identity);
        QCOMPARE(QString::fromStdString(stableIdentity(device)), identity);
    }

    void legacyUartNumbers() {
        QCOMPARE(legacyUartNumber("/dev/ttyS0"), std::optional<int>(1));
        QCOMPARE(legacyUartNumber("/dev/ttyS11"), std::optional<int>(12));
        QCOMPARE(legacyUartNumber("/dev/ttyUSB0"), std::nullopt);
        QCOMPARE(legacyUartNumber("/dev/ttyS"), std::nullopt);
        QCOMPARE(legacyUartNumber("/dev/ttyS1a"), std::nullopt);
    }

    // Which device each listed COM number opens ("" for none) and what gets stored.
    void assignment_data() {
        QTest::addColumn<Devices>("devices");
        QTest::addColumn<Values>("remembered");
        QTest::addColumn<Values>("overrides");
        QTest::addColumn<Values>("opens");
        QTest::addColumn<Changes>("stored");

        const std::string a = byIdOf("A50285BI");
        QTest::newRow("first adapter on a laptop is COM1")
            << Devices{adapter("ttyUSB0", "A50285BI")} << Values{} << Values{}
            << Values{{1, "/dev/ttyUSB0"}, {2, ""}} << Changes{{1, a}};
        QTest::newRow("real ttyS0 and ttyS1 push the first adapter to COM3")
            << Devices{uart(0), uart(1), adapter("ttyUSB0", "A50285BI")} << Values{} << Values{}
            << Values{{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {3, "/dev/ttyUSB0"}} << Changes{{3, a}};
        QTest::newRow("a UART the system does not report opens nothing")
            << Devices{uart(1)} << Values{} << Values{} << Values{{1, ""}, {2, "/dev/ttyS1"}}
            << Changes{};
        QTest::newRow("replug as another ttyUSB keeps the number")
            << Devices{adapter("ttyUSB1", "A50285BI")} << Values{{4, a}} << Values{}
            << Values{{4, "/dev/ttyUSB1"}, {1, ""}} << Changes{};
        QTest::newRow("identical adapters told apart by serial number")
            << Devices{adapter("ttyUSB1", "SERIAL2", false), adapter("ttyUSB0", "SERIAL1", false)}
            << Values{{2, "usb:0403:6001:SERIAL2"}} << Values{}
            << Values{{1, "/dev/ttyUSB0"}, {2, "/dev/ttyUSB1"}}
            << Changes{{1, "usb:0403:6001:SERIAL1"}};
        QTest::newRow("no serial and no by-id link: known by its node")
            << Devices{bareCdc("ttyACM0")} << Values{} << Values{} << Values{{1, "/dev/ttyACM0"}}
            << Changes{{1, "/dev/ttyACM0"}};
        QTest::newRow("no serial and no by-id link: a new node is a new device")
            << Devices{bareCdc("ttyACM1")} << Values{{1, "/dev/ttyACM0"}} << Values{}
            << Values{{1, "/dev/ttyACM0"}, {2, "/dev/ttyACM1"}} << Changes{{2, "/dev/ttyACM1"}};
        QTest::newRow("new devices numbered in node order, ttyUSB2 before ttyUSB10")
            << Devices{bareCdc("ttyUSB10"), bareCdc("ttyUSB2")} << Values{} << Values{}
            << Values{{1, "/dev/ttyUSB2"}, {2, "/dev/ttyUSB10"}}
            << Changes{{1, "/dev/ttyUSB2"}, {2, "/dev/ttyUSB10"}};
        QTest::newRow("twelve numbers taken: the newcomer gets none")
            << Devices{adapter("ttyUSB0", "A50285BI")} << allTakenBy("usb:0403:6001:OLD")
            << Values{} << Values{{1, ""}, {12, ""}} << Changes{};
        QTest::newRow("an absent remembered device keeps its number")
            << Devices{adapter("ttyUSB0", "OTHER")} << Values{{1, a}} << Values{}
            << Values{{1, a}, {2, "/dev/ttyUSB0"}} << Changes{{2, byIdOf("OTHER")}};
        QTest::newRow("a plain path as older versions stored it")
            << Devices{adapter("ttyUSB0", "A50285BI")} << Values{{5, "/dev/ttyUSB0"}} << Values{}
            << Values{{5, "/dev/ttyUSB0"}, {1, ""}} << Changes{};
        QTest::newRow("environment override wins over the remembered device")
            << Devices{adapter("ttyUSB0", "A50285BI")} << Values{{1, a}}
            << Values{{1, "/dev/pts/7"}} << Values{{1, "/dev/pts/7"}, {2, ""}} << Changes{};
        QTest::newRow("a number held by an override is skipped")
            << Devices{adapter("ttyUSB0", "A50285BI")} << Values{} << Values{{1, "/dev/pts/7"}}
            << Values{{1, "/dev/pts/7"}, {2, "/dev/ttyUSB0"}} << Changes{{2, a}};
        QTest::newRow("a device an override names gets no number of its own")
            << Devices{adapter("ttyUSB0", "A50285BI")} << Values{} << Values{{3, "/dev/ttyUSB0"}}
            << Values{{1, ""}, {3, "/dev/ttyUSB0"}} << Changes{};
    }
    void assignment() {
        QFETCH(Devices, devices);
        QFETCH(Values, remembered);
        QFETCH(Values, overrides);
        QFETCH(Values, opens);
        QFETCH(Changes, stored);
        const PortAssignment table = build(devices, remembered, overrides);
        for (const auto& [number, device] : opens) {
            QCOMPARE(QString::fromStdString(table.port(number).device),
                     QString::fromStdString(device));
        }
        QCOMPARE(table.newAssignments(), stored);

        // What was stored is what the next run reads: the same numbers, nothing new.
        for (const PortChange& change : stored) {
            remembered[change.number] = change.value;
        }
        const PortAssignment again = build(devices, remembered, overrides);
        QVERIFY(again.newAssignments().empty());
        for (int n = 1; n <= PortAssignment::kPortCount; ++n) {
            QCOMPARE(again.port(n).device, table.port(n).device);
        }
    }

    void presence() {
        const std::string a = byIdOf("A50285BI");
        const PortAssignment table =
            build({uart(0), adapter("ttyUSB0", "A50285BI")},
                  {{2, a}, {3, byIdOf("GONE")}, {4, "/tmp/link"}, {5, "usb:0403:6001:GONE"}},
                  {{6, "/dev/pts/3"}, {7, "/dev/pts/9"}}, {"/tmp/link", "/dev/pts/3"});
        QCOMPARE(table.port(1).source, PortSource::Uart);
        QVERIFY(table.port(1).present);
        QCOMPARE(table.port(2).source, PortSource::Remembered);
        QVERIFY(table.port(2).present);
        QCOMPARE(table.port(2).identity, a);
        QVERIFY(table.port(2).deviceIndex.has_value());
        QVERIFY(!table.port(3).present);  // its by-id link is gone with it
        QVERIFY(table.port(4).present);   // a path the system does not list but that is there
        QVERIFY(!table.port(4).deviceIndex.has_value());
        QVERIFY(!table.port(5).present);
        QCOMPARE(table.port(5).device, std::string());  // nothing to open for a bare identity
        QCOMPARE(table.port(6).source, PortSource::Environment);
        QVERIFY(table.port(6).present);
        QVERIFY(!table.port(7).present);
        QCOMPARE(table.port(8).source, PortSource::None);
        QVERIFY(!table.port(8).present);
        QCOMPARE(table.port(0).source, PortSource::None);
        QCOMPARE(table.port(13).source, PortSource::None);
    }

    void twelveTakenLeavesTheNewcomerUnnumbered() {
        const PortAssignment table =
            build({adapter("ttyUSB0", "A50285BI")}, allTakenBy("usb:0403:6001:OLD"), {});
        QCOMPARE(table.unnumbered(), std::vector<std::size_t>{0});
        for (int n = 1; n <= PortAssignment::kPortCount; ++n) {
            QVERIFY(!table.isFree(n));
        }
    }

    // Moves and forgets over one machine: COM1 a real UART, COM2 a present adapter, COM3 an
    // absent one, COM4 an override, COM5 and up free.
    void moveAndForget_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<Changes>("changes");
        const std::string present = byIdOf("A50285BI");
        const std::string absent = byIdOf("GONE");
        QTest::newRow("move a present adapter to a free number")
            << "move" << 2 << 7 << Changes{{7, present}, {2, ""}};
        QTest::newRow("move an absent adapter")
            << "move" << 3 << 5 << Changes{{5, absent}, {3, ""}};
        QTest::newRow("no move onto a UART") << "move" << 2 << 1 << Changes{};
        QTest::newRow("no move onto another adapter") << "move" << 2 << 3 << Changes{};
        QTest::newRow("no move onto an override") << "move" << 2 << 4 << Changes{};
        QTest::newRow("no move beyond COM12") << "move" << 2 << 13 << Changes{};
        QTest::newRow("a UART does not move") << "move" << 1 << 5 << Changes{};
        QTest::newRow("an override does not move") << "move" << 4 << 5 << Changes{};
        QTest::newRow("forget an absent adapter") << "forget" << 3 << 0 << Changes{{3, ""}};
        QTest::newRow("a present adapter is not forgotten") << "forget" << 2 << 0 << Changes{};
        QTest::newRow("a UART is not forgotten") << "forget" << 1 << 0 << Changes{};
        QTest::newRow("a free number has nothing to forget") << "forget" << 9 << 0 << Changes{};
    }
    void moveAndForget() {
        QFETCH(QString, operation);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(Changes, changes);
        const PortAssignment table =
            build({uart(0), adapter("ttyUSB0", "A50285BI")},
                  {{2, byIdOf("A50285BI")}, {3, byIdOf("GONE")}}, {{4, "/dev/pts/1"}});
        QVERIFY(table.newAssignments().empty());
        QCOMPARE(operation == "move" ? table.move(from, to) : table.forget(from), changes);
    }

    void forgottenNumberGoesToTheNextNewDevice() {
        // COM1's adapter is forgotten while away; the next new device takes the number.
        const PortAssignment table = build({bareCdc("ttyACM0")}, {{1, byIdOf("GONE")}}, {});
        QCOMPARE(table.port(2).device, std::string("/dev/ttyACM0"));
        Values remembered{{1, byIdOf("GONE")}, {2, "/dev/ttyACM0"}};
        for (const PortChange& change : table.forget(1)) {
            remembered[change.number] = change.value;
        }
        remembered.erase(2);
        const PortAssignment after = build({bareCdc("ttyACM0")}, remembered, {});
        QCOMPARE(after.newAssignments(), (Changes{{1, "/dev/ttyACM0"}}));
    }

    void describe_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("label");
        QTest::newRow("a reported device, every part")
            << 2 << "FT232R USB UART — FTDI — A50285BI — /dev/ttyUSB0";
        QTest::newRow("a UART with nothing but its node") << 1 << "/dev/ttyS0";
        QTest::newRow("an absent adapter")
            << 3 << QString::fromStdString(byIdOf("GONE") + " — not connected");
        QTest::newRow("an override") << 4 << "/dev/pts/1 (PELLIX_COM4)";
        QTest::newRow("an override naming nothing")
            << 5 << "/dev/pts/9 (PELLIX_COM5) — not connected";
        QTest::newRow("nothing there") << 6 << "Nothing connected";
    }
    void describe() {
        QFETCH(int, number);
        QFETCH(QString, label);
        const PortAssignment table = build({uart(0), adapter("ttyUSB0", "A50285BI")},
                                           {{2, byIdOf("A50285BI")}, {3, byIdOf("GONE")}},
                                           {{4, "/dev/pts/1"}, {5, "/dev/pts/9"}}, {"/dev/pts/1"});
        QCOMPARE(QString::fromStdString(table.describe(number)), label);
    }
};

QTEST_APPLESS_MAIN(PortAssignmentTest)
#include "test_portassignment.moc"
