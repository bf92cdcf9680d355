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
#include "fleet.h"
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

namespace {

int fail(const QString& text) {
    std::fprintf(stderr, "pellix-hopper-emulator: %s\n", qPrintable(text));
    return 2;
}

void endOnSignals();

// --count N: a fleet of one interface's hoppers, served until a signal or "quit" on input.
struct FleetOptions {
    const QCommandLineOption& count;
    const QCommandLineOption& fault;
    const QCommandLineOption& nextHopper;
    const QCommandLineOption& stagger;
    const QCommandLineOption& linkDir;
    const QCommandLineOption& quiet;
};

int runFleet(const QCommandLineParser& parser, const FleetOptions& o, Variant variant,
             std::uint32_t seed, std::vector<Outcomes> outcomes) {
    FleetPlan plan;
    bool ok = false;
    plan.count = parser.value(o.count).toInt(&ok);
    if (!ok || plan.count < 1 || plan.count > 256) {
        return fail(QStringLiteral("--count takes 1 to 256"));
    }
    const QStringList args = parser.positionalArguments();
    const auto mode = args.size() == 1 ? modeFromName(args[0].toStdString()) : std::nullopt;
    if (!mode || (*mode != Mode::HardwareTest && *mode != Mode::CoinSetting)) {
        return fail(QStringLiteral("a fleet serves one interface, hwtest or coinsetting"));
    }
    plan.mode = *mode;
    plan.linkDir = parser.value(o.linkDir);
    plan.variant = variant;
    plan.seed = seed;
    plan.outcomes = std::move(outcomes);
    for (const QString& entry : parser.values(o.fault)) {
        const int position = entry.section(QLatin1Char('='), 0, 0).toInt(&ok);
        const auto kind = fleetFaultFromName(entry.section(QLatin1Char('='), 1).toStdString());
        if (!ok || position < 1 || position > plan.count || !kind) {
            return fail(QStringLiteral("--fault takes K=nostore, K=unplug, K=slow or K=silent "
                                       "with K a position 1 to %1, not %2")
                            .arg(plan.count)
                            .arg(entry));
        }
        plan.faults[position] = *kind;
    }
    plan.staggerMs = parser.value(o.stagger).toInt(&ok);
    if (!ok || plan.staggerMs < 0) {
        return fail(QStringLiteral("--stagger takes milliseconds"));
    }
    if (parser.isSet(o.nextHopper)) {
        const int ms = parser.value(o.nextHopper).toInt(&ok);
        if (!ok || ms < 0) {
            return fail(QStringLiteral("--next-hopper takes milliseconds"));
        }
        plan.nextHopperMs = ms;
    }
    Fleet fleet(std::move(plan), say, !parser.isSet(o.quiet));
    QString error;
    if (!fleet.start(error)) {
        return fail(error);
    }
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
        } else if (QByteArray(buffer, static_cast<int>(n)).trimmed() == "quit") {
            QCoreApplication::quit();
        }
    });
    endOnSignals();
    return QCoreApplication::exec();
}

}  // namespace

namespace {

// Ending by a signal still removes the links and closes the ports.
void endOnSignals() {
    if (::pipe(g_signalPipe) != 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    auto* signalled = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(signalled, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
}

}  // namespace

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
    const QCommandLineOption count(
        QStringLiteral("count"),
        QStringLiteral("A fleet: N hoppers of the one interface named (hwtest or coinsetting), "
                       "offered as DIR/<interface>1 ... DIR/<interface>N, all switched on. "
                       "--results then takes one six-letter entry per hopper, comma-separated, "
                       "taken in turn."),
        QStringLiteral("N"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("Fleet: what is wrong with the first hopper at position K: nostore (a "
                       "write is acknowledged, not kept), unplug (pulled in the middle of its "
                       "test, then a healthy one plugged in), slow or silent. Repeatable."),
        QStringLiteral("K=FAULT"));
    const QCommandLineOption nextHopper(
        QStringLiteral("next-hopper"),
        QStringLiteral("Fleet: once the PC is done with a hopper and the line has been quiet for "
                       "MS milliseconds, switch on a new hopper at that position."),
        QStringLiteral("MS"));
    const QCommandLineOption stagger(
        QStringLiteral("stagger"),
        QStringLiteral("Fleet: switch position n's first hopper on (n - 1) * MS milliseconds "
                       "after the first."),
        QStringLiteral("MS"), QStringLiteral("0"));
    parser.addOptions(
        {linkDir, powerOn, variant, results, seed, quiet, count, fault, nextHopper, stagger});
    parser.process(app);

    const auto firmware = variantFromName(parser.value(variant).toStdString());
    if (!firmware) {
        return fail(QStringLiteral("unknown --variant %1").arg(parser.value(variant)));
    }
    std::vector<Outcomes> outcomeList;
    for (const QString& entry : parser.value(results).split(QLatin1Char(','))) {
        const auto outcomes = outcomesFromText(entry.trimmed().toStdString());
        if (!outcomes) {
            return fail(
                QStringLiteral("--results takes six letters P, F or U (per hopper of a "
                               "fleet, comma-separated)"));
        }
        outcomeList.push_back(*outcomes);
    }
    bool seedOk = false;
    const std::uint32_t seedValue = parser.value(seed).toUInt(&seedOk);
    if (!seedOk) {
        return fail(QStringLiteral("--seed takes a whole number"));
    }
    if (parser.isSet(count)) {
        return runFleet(parser, {count, fault, nextHopper, stagger, linkDir, quiet}, *firmware,
                        seedValue, outcomeList);
    }
    if (outcomeList.size() != 1) {
        return fail(QStringLiteral("--results takes one entry without --count"));
    }
    const Outcomes* outcomes = &outcomeList.front();

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

    endOnSignals();

    const int code = QCoreApplication::exec();
    served.clear();
    return code;
}
