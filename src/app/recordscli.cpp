#include "app/recordscli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>

#include "app/commandline.h"
#include "platform/qtservices.h"
#include "records/recordsreport.h"
#include "records/recordsstore.h"

namespace pellix {
namespace {

const QString kSerial = QStringLiteral("serial");
const QString kSince = QStringLiteral("since");
const QString kUntil = QStringLiteral("until");
const QString kCsv = QStringLiteral("csv");
const QString kRun = QStringLiteral("run");
const QString kReport = QStringLiteral("report");

int printRecords(QTextStream& out, QTextStream& err, const QCommandLineParser& given) {
    // The database drivers are plugins, found through an application object.
    static int argc = 1;
    static char name[] = "pellix-kit";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QtSettingsStore settings([](const QString& file) {
        std::fprintf(stderr, "pellix-kit: cannot read %s; defaults used\n",
                     qPrintable(QDir::toNativeSeparators(file)));
    });
    QString why;
    const auto address = records::parseDatabaseAddress(
        records::chosenDatabase(settings.value(QStringLiteral("Records/Database"), QString())),
        &why);
    if (!address) {
        err << "pellix-kit: " << why << '\n';
        return 1;
    }
    records::RecordsStore store(*address);
    if (!store.open()) {
        err << "pellix-kit: " << store.error() << '\n';
        return 1;
    }
    if (given.isSet(kReport)) {
        bool ok = false;
        const qint64 id = given.value(kRun).toLongLong(&ok);
        if (!ok) {
            err << "pellix-kit: --report needs --run ID (the id --records lists)\n";
            return CommandLine::kUsageError;
        }
        const auto run = store.run(id);
        if (!run) {
            err << "pellix-kit: " << store.error() << '\n';
            return 1;
        }
        const QString path = given.value(kReport);
        if (const QString failed = records::writeServiceReport(*run, id, path); !failed.isEmpty()) {
            err << "pellix-kit: cannot write " << QDir::toNativeSeparators(path) << ": " << failed
                << '\n';
            return 1;
        }
        return 0;
    }
    records::RunFilter filter;
    filter.serialNumber = given.value(kSerial);
    filter.since = given.value(kSince);
    filter.until = given.value(kUntil);
    filter.limit = 1'000'000;
    const auto rows = store.list(filter);
    if (!store.error().isEmpty()) {
        err << "pellix-kit: " << store.error() << '\n';
        return 1;
    }
    out << (given.isSet(kCsv) ? records::runsCsv(rows) : records::runsText(rows));
    return 0;
}

}  // namespace

void addRecordsOptions(CommandLine& commandLine) {
    commandLine.addPrintOption(
        {QStringLiteral("records")},
        QStringLiteral("Print the service records, newest first, and exit (PELLIX_DATABASE or "
                       "the settings name the database)."),
        printRecords);
    commandLine.addValueOption(
        {kSerial, QStringLiteral("With --records: one hopper's runs."), QStringLiteral("N")});
    commandLine.addValueOption({kSince,
                                QStringLiteral("With --records: runs started then or later."),
                                QStringLiteral("DATE")});
    commandLine.addValueOption(
        {kUntil, QStringLiteral("With --records: runs started before."), QStringLiteral("DATE")});
    commandLine.addValueOption({kCsv, QStringLiteral("With --records: print CSV.")});
    commandLine.addValueOption(
        {kRun, QStringLiteral("With --records --report: the run."), QStringLiteral("ID")});
    commandLine.addValueOption(
        {kReport, QStringLiteral("With --records --run ID: write its service report (PDF)."),
         QStringLiteral("FILE")});
}

}  // namespace pellix
