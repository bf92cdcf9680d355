#include <QApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>

#include "app/commandline.h"
#include "app/launcherwindow.h"
#include "app/recordscli.h"
#include "app/recordswindow.h"
#include "app/serialportsaccess.h"
#include "app/trafficopener.h"
#include "app/windowregistry.h"
#include "cny/cnytesterwindow.h"
#include "coinsetting/coinsettingwindow.h"
#include "common/settingskeys.h"
#include "hwtest/hardwaretestwindow.h"
#include "manual/manualwindow.h"
#include "platform/filedialogs.h"
#include "platform/portdiscovery.h"
#include "platform/qtserialport.h"
#include "platform/qtservices.h"
#include "platform/runtimefolder.h"
#include "simulation/simulationwindow.h"
#ifdef Q_OS_UNIX
#include "platform/terminationsignals.h"
#include "records/recordswriter.h"
#endif

using namespace pellix;

int main(int argc, char* argv[]) {
    {
        // Before any window system is needed, so these work in a terminal without a display.
        QTextStream out(stdout);
        QTextStream err(stderr);
        CommandLine commandLine;
        commandLine.addPrintOption(
            {QStringLiteral("list-ports")},
            QStringLiteral("Print the COM numbers and the devices behind them, and exit."),
            [](QTextStream& text, QTextStream&, const QCommandLineParser&) {
                QtSettingsStore settings([](const QString& file) {
                    std::fprintf(stderr, "pellix-kit: cannot read %s; defaults used\n",
                                 qPrintable(QDir::toNativeSeparators(file)));
                });
                QtPortDiscovery discovery;
                text << QString::fromStdString(
                    portTableText(ComPortMap(settings, discovery).table()));
                return 0;
            });
        addRecordsOptions(commandLine);
        if (const auto exitCode = commandLine.run(argumentList(argc, argv), out, err)) {
            return *exitCode;
        }
    }

    QApplication app(argc, argv);
    // The launcher is hidden while a tool window loads; a window that refuses to open (its
    // message box gone, nothing shown) must not end the run. Only the launcher's close does.
    QApplication::setQuitOnLastWindowClosed(false);
    // The window layouts are measured for a small dialog font; Qt's larger default would clip
    // captions beside their boxes.
    QFont font = QApplication::font();
    font.setPointSizeF(8);
    QApplication::setFont(font);
    QApplication::setOrganizationName(QString::fromLatin1(keys::kOrganization));
    QApplication::setApplicationName(QString::fromLatin1(keys::kApplication));

    QtMessageBoxes messages;
    QtSettingsStore settings([&messages](const QString& file) {
        messages.show(QString::fromLatin1(kSettingsUnreadable).arg(QDir::toNativeSeparators(file)),
                      QString::fromLatin1(keys::kApplicationTitle), MessageIcon::Exclamation);
    });
    QtClipboard clipboard;
    QtFileDialogs dialogs;
    QtProgramFolder folder;
    QtInstanceLock instance;
    QtPortDiscovery discovery;
    ComPortMap comPorts(settings, discovery);
    QtSerialPortFactory ports(comPorts);
    CaptureBook captures;
    Services services{settings, messages, clipboard, dialogs, folder, instance, ports};
    TrafficOpener traffic(captures, services);

    // A broken installation shows as empty pictures and a manual error much later; name the
    // missing files where the technician or a packager looks first.
    for (const QString& path : missingRuntimeFiles(folder.path())) {
        std::fprintf(stderr, "pellix-kit: runtime file missing: %s\n", qPrintable(path));
    }

    // Each window kind keeps some state for the whole run, across its loads.
    SimulationState simulationState;
    CnyState cnyState;
    CoinSettingState coinSettingState;

    // Every tool window: its capture and F12 for it, and the added windows' shortcuts.
    std::vector<AddedWindowAccess*> addedWindows;  // owned by the launcher
    const auto toolWindow = [&](CaptureSource source, auto build) {
        return [&addedWindows, factory = traffic.building(source, build)](WindowHost& host) {
            QWidget* window = factory(host);
            for (AddedWindowAccess* added : addedWindows) {
                if (window) {
                    added->addShortcut(window);
                }
            }
            return window;
        };
    };

    // Service records: every hardware test and coin number setting run, written off this
    // thread; trouble is told on standard error and in the hardware test window's capture,
    // never in a defined window.
    std::unique_ptr<records::RecordsWriter> records;
    std::optional<records::DatabaseAddress> recordsAddress;
    {
        // Read apart from the windows' settings: an unreadable file is told by the window that
        // reads it first, as ever, never by the records.
        const QtSettingsStore recordsSettings([](const QString&) {});
        QString why;
        const auto address =
            records::parseDatabaseAddress(records::chosenDatabase(recordsSettings.value(
                                              QStringLiteral("Records/Database"), QString())),
                                          &why);
        recordsAddress = address;
        if (address) {
            records =
                std::make_unique<records::RecordsWriter>(*address, records::defaultSpoolFolder());
            QObject::connect(
                records.get(), &records::RecordsWriter::trouble,
                [&captures](const QString& message) {
                    std::fprintf(stderr, "pellix-kit: %s\n", qPrintable(message));
                    captures.capture(CaptureSource::HardwareTest).note(message.toStdString());
                });
        } else {
            std::fprintf(stderr, "pellix-kit: service records off: %s\n", qPrintable(why));
        }
    }

    WindowRegistry registry;
    registry.setFactory(
        WindowKind::CoinSetting,
        toolWindow(CaptureSource::CoinSetting, [&](WindowHost& host, Capture* capture) {
            CoinSettingWindow* window = CoinSettingWindow::create(
                services, host, coinSettingState, CoinSettingWindow::quitProgram, capture);
            if (window && records) {
                window->keepRunsWith(
                    [&records](records::ServiceRun run) { records->record(std::move(run)); });
            }
            return window;
        }));
    registry.setFactory(WindowKind::Manual,
                        [&](WindowHost& host) { return new ManualWindow(services, host); });
    registry.setFactory(
        WindowKind::Simulation,
        toolWindow(CaptureSource::Simulation, [&](WindowHost& host, Capture* capture) {
            auto* window = new SimulationWindow(services, host, simulationState, capture);
            if (records) {
                window->keepRunsWith(
                    [&records](records::ServiceRun run) { records->record(std::move(run)); });
            }
            return window;
        }));
    registry.setFactory(
        WindowKind::CnyTester,
        toolWindow(CaptureSource::CnyTester, [&](WindowHost& host, Capture* capture) {
            auto* window = new CnyTesterWindow(services, host, cnyState, capture);
            if (records) {
                window->keepRunsWith(
                    [&records](records::ServiceRun run) { records->record(std::move(run)); });
            }
            return window;
        }));
    registry.setFactory(
        WindowKind::HardwareTest,
        toolWindow(CaptureSource::HardwareTest, [&](WindowHost& host, Capture* capture) {
            auto* window = new HardwareTestWindow(services, host, capture);
            if (records) {
                window->keepRunsWith(
                    [&records](records::ServiceRun run) { records->record(std::move(run)); });
            }
            return window;
        }));

    LauncherWindow launcher(registry, folder);
    registry.setLauncher(&launcher);
    addedWindows.push_back(new SerialPortsAccess(launcher, comPorts));
    if (recordsAddress) {
        addedWindows.push_back(new AddedWindowAccess(
            launcher, QStringLiteral("records"), QStringLiteral("Service Records..."),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
            [&] { return new RecordsWindow(*recordsAddress, dialogs); }));
    }
    launcher.addMenuEntry(traffic.launcherAction(&launcher));
    // Queued: the close sequence finishes before the event loop is left.
    QObject::connect(&launcher, &LauncherWindow::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
#ifdef Q_OS_UNIX
    // Logout or kill: the same close sequence as the launcher's close box, so open ports are
    // closed before the program ends.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &launcher,
                     [&launcher] { launcher.close(); });
#endif
    launcher.show();
    return app.exec();
}
