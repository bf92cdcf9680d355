// The Serial Ports window over a fixed list of devices and an in-memory settings store: what
// it shows, moving and forgetting, what gets stored, following plugging, and how the launcher
// reaches it.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/serialportsaccess.h"
#include "fakes.h"
#include "serial/serialportswindow.h"
#include "timers.h"

using namespace pellix;
using namespace pellix::test;

namespace {

const std::string kGone = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_GONE-if00-port0";

PortDevice adapter(const std::string& node, const std::string& serial) {
    PortDevice d;
    d.path = "/dev/" + node;
    d.byIdPath = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_" + serial + "-if00-port0";
    d.description = "FT232R USB UART";
    d.manufacturer = "FTDI";
    d.serialNumber = serial;
    d.vendorId = 0x0403;
    d.productId = 0x6001;
    return d;
}

PortDevice uart(int index) {
    PortDevice d;
    d.path = "/dev/ttyS" + std::to_string(index);
    return d;
}

QString key(int number) {
    return QStringLiteral("Ports/COM%1").arg(number);
}

// A machine with a real COM1, an adapter seen for the first time and, remembered under COM5,
// an adapter that is not plugged in.
struct Rig {
    MemorySettingsStore settings;
    FakePortDiscovery discovery;
    ComPortMap comPorts{settings, discovery};
    std::unique_ptr<SerialPortsWindow> window;

    Rig() {
        discovery.m_devices = {uart(0), adapter("ttyUSB0", "A50285BI")};
        settings.setValue(key(5), QString::fromStdString(kGone));
        window = std::make_unique<SerialPortsWindow>(comPorts);
    }
    QTableWidget* table() const { return window->findChild<QTableWidget*>("PortTable"); }
    QString cell(int number, int column) const { return table()->item(number - 1, column)->text(); }
    QComboBox* moveTo() const { return window->findChild<QComboBox*>("MoveTo"); }
    QPushButton* button(const char* name) const { return window->findChild<QPushButton*>(name); }
    void select(int number) const { table()->selectRow(number - 1); }
    QList<int> moveTargets() const {
        QList<int> out;
        for (int i = 0; i < moveTo()->count(); ++i) {
            out << moveTo()->itemData(i).toInt();
        }
        return out;
    }
};

}  // namespace

class SerialPortsWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        for (int n = 1; n <= 12; ++n) {
            qunsetenv(qPrintable(QStringLiteral("PELLIX_COM%1").arg(n)));
        }
    }

    void showsEveryNumberWithItsDevice() {
        Rig rig;
        QCOMPARE(rig.table()->rowCount(), 12);
        QCOMPARE(rig.cell(12, SerialPortsWindow::Port), QStringLiteral("COM12"));
        // The new adapter took the lowest free number, and that is stored at once.
        QCOMPARE(rig.settings.value(key(2), {}),
                 QString::fromStdString(adapter("ttyUSB0", "A50285BI").byIdPath));
        QCOMPARE(rig.cell(2, SerialPortsWindow::Device), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(rig.cell(2, SerialPortsWindow::Description), QStringLiteral("FT232R USB UART"));
        QCOMPARE(rig.cell(2, SerialPortsWindow::Manufacturer), QStringLiteral("FTDI"));
        QCOMPARE(rig.cell(2, SerialPortsWindow::SerialNumber), QStringLiteral("A50285BI"));
        QCOMPARE(rig.cell(2, SerialPortsWindow::Ids), QStringLiteral("0403:6001"));
        const QString yes = rig.cell(2, SerialPortsWindow::Present);
        QCOMPARE(rig.cell(1, SerialPortsWindow::Device), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(rig.cell(1, SerialPortsWindow::Present), yes);
        QCOMPARE(rig.cell(5, SerialPortsWindow::Device), QString::fromStdString(kGone));
        QVERIFY(rig.cell(5, SerialPortsWindow::Present) != yes);
        QVERIFY(!rig.cell(5, SerialPortsWindow::Present).isEmpty());
        for (int column = SerialPortsWindow::Device; column < SerialPortsWindow::Columns;
             ++column) {
            QVERIFY(rig.cell(3, column).isEmpty());  // nothing behind COM3
        }
        QVERIFY(rig.table()->item(1, SerialPortsWindow::Port)->toolTip().contains("A50285BI"));
    }

    void movesAPresentAdapterToAFreeNumber() {
        Rig rig;
        rig.select(2);
        QCOMPARE(rig.moveTargets(), (QList<int>{3, 4, 6, 7, 8, 9, 10, 11, 12}));
        rig.moveTo()->setCurrentIndex(rig.moveTargets().indexOf(7));
        QTest::mouseClick(rig.button("Move"), Qt::LeftButton);
        QCOMPARE(rig.settings.value(key(7), {}),
                 QString::fromStdString(adapter("ttyUSB0", "A50285BI").byIdPath));
        QCOMPARE(rig.settings.value(key(2), {}), QString());
        QCOMPARE(rig.cell(7, SerialPortsWindow::Device), QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(rig.cell(2, SerialPortsWindow::Device).isEmpty());
        QCOMPARE(rig.table()->currentRow(), 6);  // the device stays selected
        // The number it left is free again; a later refresh does not hand the adapter it back.
        rig.window->refresh();
        QVERIFY(rig.cell(2, SerialPortsWindow::Device).isEmpty());
    }

    void actionsFollowTheSelectedRow_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("canMove");
        QTest::addColumn<bool>("canForget");
        QTest::newRow("built-in UART stays where it is") << 1 << false << false;
        QTest::newRow("present adapter moves, is not forgotten") << 2 << true << false;
        QTest::newRow("free number") << 3 << false << false;
        QTest::newRow("absent adapter moves or is forgotten") << 5 << true << true;
    }
    void actionsFollowTheSelectedRow() {
        QFETCH(int, number);
        QFETCH(bool, canMove);
        QFETCH(bool, canForget);
        Rig rig;
        rig.select(number);
        QCOMPARE(rig.button("Move")->isEnabled(), canMove);
        QCOMPARE(rig.moveTo()->isEnabled(), canMove);
        QCOMPARE(rig.button("Forget")->isEnabled(), canForget);
    }

    void forgetsAnAbsentAdapter() {
        Rig rig;
        rig.select(5);
        QTest::mouseClick(rig.button("Forget"), Qt::LeftButton);
        QCOMPARE(rig.settings.value(key(5), QStringLiteral("unset")), QString());
        QVERIFY(rig.cell(5, SerialPortsWindow::Device).isEmpty());
        QVERIFY(!rig.button("Forget")->isEnabled());
    }

    void followsPluggingWhileOpen() {
        Rig rig;
        rig.discovery.m_devices = {uart(0), adapter("ttyUSB1", "B77")};  // A out, B in
        tick(*rig.window, "RefreshTimer");
        QCOMPARE(rig.cell(3, SerialPortsWindow::SerialNumber), QStringLiteral("B77"));
        QVERIFY(!rig.settings.value(key(3), {}).isEmpty());
        QCOMPARE(rig.cell(2, SerialPortsWindow::Present), rig.cell(5, SerialPortsWindow::Present));
        // A comes back as another node and takes its number again.
        rig.discovery.m_devices.push_back(adapter("ttyUSB4", "A50285BI"));
        tick(*rig.window, "RefreshTimer");
        QCOMPARE(rig.cell(2, SerialPortsWindow::Device), QStringLiteral("/dev/ttyUSB4"));
        QCOMPARE(rig.cell(2, SerialPortsWindow::Present), rig.cell(1, SerialPortsWindow::Present));

        auto* timer = rig.window->findChild<QTimer*>("RefreshTimer");
        QCOMPARE(timer->interval(), SerialPortsWindow::kRefreshMs);
        QVERIFY(timer->isActive());
    }

    void twelveTakenSaysWhichDeviceHasNoNumber() {
        Rig rig;
        for (int n = 1; n <= 12; ++n) {
            rig.settings.setValue(key(n), QStringLiteral("usb:0403:6001:OLD%1").arg(n));
        }
        rig.window->refresh();
        auto* note = rig.window->findChild<QLabel*>("Note");
        QVERIFY(note->text().contains(QStringLiteral("/dev/ttyUSB0")));
        QCOMPARE(note->accessibleName(), note->text());
    }

    void everyControlHasASpokenName() {
        Rig rig;
        for (QWidget* control :
             rig.window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QComboBox*>(control) ||
                qobject_cast<QTableWidget*>(control)) {
                QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
            }
        }
    }

    void launcherOpensItFromItsMenuAndShortcut() {
        MemorySettingsStore settings;
        FakePortDiscovery discovery;
        ComPortMap comPorts(settings, discovery);
        QWidget launcher;
        launcher.show();
        auto* access = new SerialPortsAccess(launcher, comPorts);
        QCOMPARE(launcher.contextMenuPolicy(), Qt::ActionsContextMenu);
        QVERIFY(launcher.actions().contains(access->action()));
        QCOMPARE(access->action()->shortcut(), SerialPortsAccess::kShortcut);

        access->action()->trigger();
        QPointer<SerialPortsWindow> window = access->window();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        access->action()->trigger();
        QCOMPARE(access->window(), window.data());  // one window per program
        QVERIFY(launcher.isVisible());              // the launcher stays as it is

        // A tool window, where the launcher is hidden, has the same shortcut.
        window->close();
        QWidget tool;
        access->addShortcut(&tool);
        tool.show();
        QVERIFY(QTest::qWaitForWindowActive(&tool));
        QTest::keySequence(&tool, SerialPortsAccess::kShortcut);
        QTRY_VERIFY(access->window() && access->window()->isVisible());
        window = access->window();

        launcher.close();  // the program ends: the ports window goes with it
        QVERIFY(!window || !window->isVisible());
    }
};

QTEST_MAIN(SerialPortsWindowTest)
#include "test_serialportswindow.moc"
