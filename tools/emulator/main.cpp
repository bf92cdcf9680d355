// Hoppers on pseudo-terminals, for trying the tool without a hopper and for tests:
//   pellix-hopper-emulator --link-dir /tmp/hoppers --power-on all
//   PELLIX_COM5=/tmp/hoppers/coinsetting make run
// One process serves every interface named on the command line, each on its own port, and
// takes commands on standard input (type help). The modes of running are the positional
// arguments; a new way of feeding a port (a replayed capture, say) is a new kind of argument
// beside the interface names, served by the same ports and the same command loop.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>

#include "console.h"
#include "ptyport.h"

using namespace pellix::emulator;

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

void say(const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

struct Served {
    std::unique_ptr<HopperLine> line;
    std::unique_ptr<PtyPort> port;
};

}  // namespace

namespace pellix::emulator {
int runReplay(int argc, char* argv[]);
}

int main(int argc, char* argv[]) {
    // replay FILE [--fast] [--match]: the hopper's side of a saved traffic capture.
    if (argc >= 2 && std::string_view(argv[1]) == "replay") {
        return pellix::emulator::runReplay(argc, argv);
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pellix-hopper-emulator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PELLIX_EMULATOR_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Emulated Pellix hoppers, one per interface, each on its own pseudo-terminal.\n"
        "INTERFACE is coinsetting, tzv, cny, hwtest or all; INTERFACE=DEVICE serves a serial\n"
        "device instead of a new pseudo-terminal. Type help once it runs for its commands.\n"
        "\n"
        "pellix-hopper-emulator replay FILE [--fast] [--match] plays the hopper's side of a\n"
        "capture saved from the tool's Traffic window back into the tool (docs/capture.md)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("interface"),
                                 QStringLiteral("coinsetting, tzv, cny, hwtest or all"),
                                 QStringLiteral("INTERFACE[=DEVICE]..."));
    const QCommandLineOption linkDir(
        QStringLiteral("link-dir"),
        QStringLiteral("Offer each port as DIR/<interface>, a link that survives unplug/replug."),
        QStringLiteral("DIR"));
    const QCommandLineOption powerOn(
        QStringLiteral("power-on"),
        QStringLiteral("Switch every hopper on at start (a power-on stream waits until a program "
                       "opens the port)."));
    const QCommandLineOption variant(QStringLiteral("variant"),
                                     QStringLiteral("Hardware test firmware: bearly, generic, "
                                                    "hearly (default) or hlate."),
                                     QStringLiteral("NAME"), QStringLiteral("hearly"));
    const QCommandLineOption results(
        QStringLiteral("results"),
        QStringLiteral("Self-test outcomes, six letters P/F/U for motor forward, reverse, stop, "
                       "empty, prism, shaft (default PPPPPP)."),
        QStringLiteral("PFU"), QStringLiteral("PPPPPP"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed for the bytes made up at random."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Do not print the traffic."));
    parser.addOptions({linkDir, powerOn, variant, results, seed, quiet});
    parser.process(app);

    const auto fail = [](const QString& text) {
        std::fprintf(stderr, "pellix-hopper-emulator: %s\n", qPrintable(text));
        return 2;
    };
    const auto firmware = variantFromName(parser.value(variant).toStdString());
    if (!firmware) {
        return fail(QStringLiteral("unknown --variant %1").arg(parser.value(variant)));
    }
    const auto outcomes = outcomesFromText(parser.value(results).toStdString());
    if (!outcomes) {
        return fail(QStringLiteral("--results takes six letters P, F or U"));
    }
    bool seedOk = false;
    const std::uint32_t seedValue = parser.value(seed).toUInt(&seedOk);
    if (!seedOk) {
        return fail(QStringLiteral("--seed takes a whole number"));
    }

    // Interface -> device ("" = a new pseudo-terminal), in the order given, once each.
    std::map<Mode, QString> wanted;
    QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        parser.showHelp(2);
    }
    for (const QString& arg : args) {
        const QString name = arg.section(QLatin1Char('='), 0, 0);
        const QString device = arg.section(QLatin1Char('='), 1);
        if (name == QLatin1String("all")) {
            for (Mode m : kModes) {
                wanted.emplace(m, QString());
            }
            continue;
        }
        const auto mode = modeFromName(name.toStdString());
        if (!mode) {
            return fail(QStringLiteral("unknown interface %1").arg(name));
        }
        wanted[*mode] = device;
    }

    const bool printTraffic = !parser.isSet(quiet);
    std::map<Mode, Served> served;
    std::vector<HopperLine*> lines;
    for (const auto& [mode, device] : wanted) {
        Served& s = served[mode];
        auto hopper = makeHopper(mode, *firmware, seedValue);
        if (auto* hw = dynamic_cast<HardwareTestHopper*>(hopper.get())) {
            hw->m_outcomes = *outcomes;
        }
        s.line = std::make_unique<HopperLine>(std::move(hopper), seedValue);
        const QString name = QString::fromLatin1(modeName(mode).data(), modeName(mode).size());
        const QString link =
            parser.isSet(linkDir) ? QDir(parser.value(linkDir)).absoluteFilePath(name) : QString();
        const QString tag = QStringLiteral("[%1] ").arg(name);
        s.port = std::make_unique<PtyPort>(*s.line, link, device,
                                           [tag, printTraffic](const QString& text) {
                                               if (printTraffic) {
                                                   say(tag + text);
                                               }
                                           });
        if (!s.port->plug()) {
            return fail(QStringLiteral("cannot serve %1: %2").arg(name, s.port->failure()));
        }
        say(QStringLiteral("%1 %2%3")
                .arg(name, -12)
                .arg(s.port->path())
                .arg(link.isEmpty() ? QString() : QStringLiteral("  (link %1)").arg(link)));
        lines.push_back(s.line.get());
    }

    Console console(lines);
    const auto apply = [&](const CommandResult& result) {
        for (const std::string& text : result.output) {
            say(QString::fromStdString(text));
        }
        for (const Action& action : result.actions) {
            if (action.kind == Action::Kind::Quit) {
                QCoreApplication::quit();
                continue;
            }
            PtyPort& port = *served.at(action.mode).port;
            const QString name = QString::fromLatin1(modeName(action.mode).data());
            switch (action.kind) {
                case Action::Kind::Write:
                    port.write(action.delivery, action.holdUntilOpen);
                    break;
                case Action::Kind::Unplug:
                    port.unplug();
                    say(QStringLiteral("[%1] unplugged").arg(name));
                    break;
                case Action::Kind::Replug:
                    if (port.plugged()) {
                        say(QStringLiteral("[%1] is plugged in").arg(name));
                    } else if (port.plug()) {
                        say(QStringLiteral("[%1] plugged in again on %2").arg(name, port.path()));
                    } else {
                        say(QStringLiteral("[%1] %2").arg(name, port.failure()));
                    }
                    break;
                case Action::Kind::Quit:
                    break;
            }
        }
    };

    if (parser.isSet(powerOn)) {
        apply(console.run("on"));
    } else {
        say(QStringLiteral("The hoppers are switched off: type on (or start with --power-on)."));
    }
    say(QStringLiteral("Serving %1 interface(s). Type help for the commands.").arg(lines.size()));

    // Standard input: one command per line. At its end the ports keep being served until a
    // signal ends the program.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray commandLine = pending.left(end);
            pending.remove(0, end + 1);
            apply(console.run(commandLine.toStdString()));
        }
    });

    // Ending by a signal still removes the links and closes the ports.
    if (::pipe(g_signalPipe) == 0) {
        struct sigaction action {};
        action.sa_handler = onSignal;
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGHUP, &action, nullptr);
    }
    QSocketNotifier signalled(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalled, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });

    const int code = QCoreApplication::exec();
    served.clear();
    return code;
}
