// The production line: many hoppers tested or programmed at once, without windows.
//   pellix-line hwtest --ports COM5-COM20 --write-flash order.ini --serial-from 1000
//   pellix-line coinsetting --ports COM5,COM6 --numbers euro.txt
// See docs/production-line.md.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include "coinsetting/coinsettinginput.h"
#include "coinsetting/settingfile.h"
#include "line/linerunner.h"
#include "line/serialnumbers.h"
#include "platform/filenames.h"
#include "platform/portdiscovery.h"
#include "platform/qtsettingsstore.h"
#include "records/recordsstore.h"
#include "records/recordswriter.h"

#ifdef Q_OS_UNIX
#include "platform/terminationsignals.h"
#endif

using namespace pellix;
using namespace pellix::line;

namespace {

constexpr int kUsageError = 2;

int usageError(const QString& text) {
    std::fprintf(stderr, "pellix-line: %s\n", qPrintable(text));
    return kUsageError;
}

std::optional<int> number(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? std::optional(value) : std::nullopt;
}

// Only a regular file is opened: a named pipe nobody writes to would hold the runner for good.
bool openInput(const QString& path, QFile& file, QString& error) {
    if (openRegularFile(path, file)) {
        return true;
    }
    switch (fileKind(path)) {
        case FileKind::Missing:
            error = path + QStringLiteral(": no such file");
            break;
        case FileKind::Regular:
            error = path + QStringLiteral(": cannot be read");
            break;
        default:
            error = path + QStringLiteral(": not a file (a folder, a named pipe or a device)");
            break;
    }
    return false;
}

std::optional<QByteArray> readFile(const QString& path, QString& error) {
    QFile file;
    if (!openInput(path, file, error)) {
        return std::nullopt;
    }
    constexpr qint64 kLargest = 64 * 1024;  // a template or a setting file is a few lines
    QByteArray text = file.read(kLargest + 1);
    if (text.size() > kLargest) {
        error = path + QStringLiteral(": larger than 64 KiB, not a template");
        return std::nullopt;
    }
    return text;
}

std::optional<CoinNumbers> readNumbers(const QString& path, QString& error) {
    QFile file;
    if (!openInput(path, file, error)) {
        return std::nullopt;
    }
    const SettingFileContent content = readSettingFile([&file](std::span<char> buffer) {
        const qint64 got = file.read(buffer.data(), static_cast<qint64>(buffer.size()));
        return got > 0 ? static_cast<std::size_t>(got) : std::size_t{0};
    });
    if (content.end == LoadEnd::NotDigits || content.loadedChannels < kCoinChannels) {
        error = path + QStringLiteral(": not a setting file of 16 coin numbers (%1 read)")
                           .arg(content.loadedChannels);
        return std::nullopt;
    }
    BoxTexts boxes;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes[i] = content.boxes[i];
    }
    const SaveCheck check = checkBoxes(boxes);
    if (check.outcome == SaveCheck::Outcome::OutOfRange) {
        error =
            path + QStringLiteral(": coin number %1 is above 65535").arg(check.channelIndex + 1);
        return std::nullopt;
    }
    if (check.outcome == SaveCheck::Outcome::AllZero) {
        error = path + QStringLiteral(": every coin number is 0, nothing to write");
        return std::nullopt;
    }
    return check.values;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // The settings and the records are named in full where they are opened, so the program may
    // go by its own name.
    QCoreApplication::setApplicationName(QStringLiteral("pellix-line"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PELLIX_LINE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Tests or programs many Pellix hoppers at once, one per serial port, without windows.\n"
        "COMMAND is hwtest (hardware test, optionally writing the flash record) or coinsetting\n"
        "(writes the 16 coin numbers of a setting file). Every hopper's run goes to the service\n"
        "records. The exit code is 0 when every hopper passed, 1 when one did not, 2 for bad\n"
        "arguments. Ctrl+C lets the hoppers under test finish; a second Ctrl+C stops at once."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("hwtest or coinsetting"));
    const QCommandLineOption ports(
        QStringLiteral("ports"),
        QStringLiteral("The positions: COM numbers, ranges (COM5-COM20) and device paths, "
                       "separated by commas."),
        QStringLiteral("LIST"));
    const QCommandLineOption allNew(
        QStringLiteral("all-new"),
        QStringLiteral("Also serve every serial adapter plugged in while the runner works."));
    const QCommandLineOption writeFlash(
        QStringLiteral("write-flash"),
        QStringLiteral("hwtest: write this template's flash record with the next serial number, "
                       "then read it back."),
        QStringLiteral("TEMPLATE"));
    const QCommandLineOption serialFrom(
        QStringLiteral("serial-from"),
        QStringLiteral("The lowest serial number to hand out (default 1)."), QStringLiteral("N"),
        QStringLiteral("1"));
    const QCommandLineOption pass(
        QStringLiteral("pass"),
        QStringLiteral("hwtest: what must be right to pass, e.g. all,-prism-sensor (default all)."),
        QStringLiteral("RULE"), QStringLiteral("all"));
    const QCommandLineOption numbers(QStringLiteral("numbers"),
                                     QStringLiteral("coinsetting: the setting file to write."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("The service records: a SQLite file or a postgresql:// URL (default: "
                       "PELLIX_DATABASE, else the tool's setting, else the user's records file)."),
        QStringLiteral("URL"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("One JSON object per line and event."));
    const QCommandLineOption hoppers(
        QStringLiteral("hoppers"),
        QStringLiteral("Stop each position after this many hoppers (default: until Ctrl+C)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption prismWait(
        QStringLiteral("prism-wait"),
        QStringLiteral("hwtest: how long to wait for the prism sensor, in ms (default 10000)."),
        QStringLiteral("MS"), QStringLiteral("10000"));
    const QCommandLineOption silence(
        QStringLiteral("silence"),
        QStringLiteral("A hopper quiet this long in the middle of its run is given up, in ms "
                       "(default 5000)."),
        QStringLiteral("MS"), QStringLiteral("5000"));
    parser.addOptions({ports, allNew, writeFlash, serialFrom, pass, numbers, database, json,
                       hoppers, prismWait, silence});
    parser.process(app);

    LineOptions options;
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1 ||
        (args[0] != QLatin1String("hwtest") && args[0] != QLatin1String("coinsetting"))) {
        return usageError(QStringLiteral("give one command, hwtest or coinsetting (see --help)"));
    }
    options.interface = args[0] == QLatin1String("hwtest") ? LineInterface::HardwareTest
                                                           : LineInterface::CoinSetting;
    if (!parser.isSet(ports) && !parser.isSet(allNew)) {
        return usageError(QStringLiteral("name the positions with --ports, or give --all-new"));
    }
    std::string error;
    if (parser.isSet(ports)) {
        auto list =
            parsePortList(parser.value(ports).toStdString(), PortAssignment::kPortCount, error);
        if (!list) {
            return usageError(QStringLiteral("--ports: ") + QString::fromStdString(error));
        }
        options.ports = std::move(*list);
    }
    options.allNew = parser.isSet(allNew);
    const auto rule = parsePassRule(parser.value(pass).toStdString(), error);
    if (!rule) {
        return usageError(QStringLiteral("--pass: ") + QString::fromStdString(error));
    }
    options.hwtest.rule = *rule;
    const auto from = number(parser.value(serialFrom), 1,
                             static_cast<int>(hwtest::FlashRecord::kSerialLimit) - 1);
    const auto perPosition = number(parser.value(hoppers), 0, 1'000'000);
    const auto prism = number(parser.value(prismWait), 0, 3'600'000);
    const auto quiet = number(parser.value(silence), 100, 3'600'000);
    if (!from || !perPosition || !prism || !quiet) {
        return usageError(
            QStringLiteral("--serial-from takes 1 to 16777215, --hoppers a count, --prism-wait "
                           "and --silence milliseconds"));
    }
    options.hoppersPerPosition = *perPosition;
    options.times.prismMs = *prism;
    options.times.quietMs = *quiet;

    QString fileError;
    if (options.interface == LineInterface::HardwareTest && parser.isSet(writeFlash)) {
        const auto text = readFile(parser.value(writeFlash), fileError);
        if (!text) {
            return usageError(fileError);
        }
        options.hwtest.flashTemplate = parseFlashTemplate(text->toStdString(), error);
        if (!options.hwtest.flashTemplate) {
            return usageError(parser.value(writeFlash) + QStringLiteral(": ") +
                              QString::fromStdString(error));
        }
    }
    if (options.interface == LineInterface::CoinSetting) {
        if (!parser.isSet(numbers)) {
            return usageError(QStringLiteral("coinsetting needs --numbers FILE"));
        }
        const auto values = readNumbers(parser.value(numbers), fileError);
        if (!values) {
            return usageError(fileError);
        }
        options.numbers = *values;
    }

    QtSettingsStore settings;
    const QString databaseText =
        parser.isSet(database)
            ? parser.value(database)
            : records::chosenDatabase(settings.value(QStringLiteral("Records/Database"), {}));
    QString addressError;
    const auto address = records::parseDatabaseAddress(databaseText, &addressError);
    if (!address) {
        return usageError(addressError);
    }
    // Serial numbers must come from the database before anything is written: no database, no
    // start.
    std::unique_ptr<SerialNumbers> serials;
    if (options.hwtest.flashTemplate) {
        serials = std::make_unique<SerialNumbers>(*address, static_cast<std::uint32_t>(*from));
        QString serialsError;
        if (!serials->open(serialsError)) {
            return usageError(QStringLiteral("no serial numbers to hand out: ") + serialsError);
        }
    }
    records::RecordsWriter writer(*address, records::defaultSpoolFolder());

    QtPortDiscovery discovery;
    ComPortMap comPorts(settings, discovery);
    const bool asJson = parser.isSet(json);
    LineRunner runner(std::move(options), comPorts, discovery, writer, serials.get(),
                      [asJson](const std::vector<PositionRow>& rows) {
                          return makeReport(asJson ? LineReport::Kind::Json : terminalKind(stdout),
                                            stdout, rows, terminalColour());
                      });
    QObject::connect(&runner, &LineRunner::finished, &app,
                     [&runner] { QCoreApplication::exit(runner.exitCode()); });
#ifdef Q_OS_UNIX
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &runner, &LineRunner::stop);
#endif
    runner.start();
    return QCoreApplication::exec();
}
