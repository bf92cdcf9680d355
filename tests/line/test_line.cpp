// The production-line runner's own parts: reading its arguments, and the jobs driving the tool's
// engines against the emulator's hopper models, in process, with the time-outs fired by hand.
#include <QtTest>

#include <deque>
#include <set>

#include "fakes.h"
#include "hopperemulator.h"
#include "line/coinsettingjob.h"
#include "line/hwtestjob.h"
#include "line/linerunner.h"
#include "platform/portdiscovery.h"
#include "ptypair.h"
#include "records/recordswriter.h"

using namespace pellix;
using namespace pellix::line;
namespace emu = pellix::emulator;

namespace {

// A hopper model on the far end of a job's line, with the job's host and time-outs.
struct Bench final : LinePort, JobHost, NoteSink {
    explicit Bench(std::unique_ptr<emu::Hopper> model) : hopper(std::move(model)) {}

    bool send(std::span<const std::uint8_t> bytes) override {
        for (const emu::Chunk& chunk : hopper->receive(bytes)) {
            const std::size_t kept = std::min(chunk.bytes.size(), cutAfter);
            toPc.insert(toPc.end(), chunk.bytes.begin(), chunk.bytes.begin() + kept);
        }
        return true;
    }
    using LinePort::send;
    void discardInput() override { toPc.clear(); }
    void startTimeout(std::size_t t) override { running.insert(t); }
    void stopTimeout(std::size_t t) override { running.erase(t); }

    void runStarted() override {}
    void phaseChanged(std::string_view) override {}
    void askSerialNumber() override {
        if (serialsAvailable) {
            job->serialNumberTaken(nextSerial++, {});
        } else {
            job->serialNumberTaken(std::nullopt, "the database is down");
        }
    }
    void runFinished(records::ServiceRun run) override { runs.push_back(std::move(run)); }
    void note(std::string_view) override {}

    void powerOn() {
        hopper->powerOff();
        for (const emu::Chunk& chunk : hopper->powerOn()) {
            toPc.insert(toPc.end(), chunk.bytes.begin(), chunk.bytes.end());
        }
        pump();
    }
    void pump() {
        while (!toPc.empty()) {
            const std::vector<std::uint8_t> bytes(toPc.begin(), toPc.end());
            toPc.clear();
            job->feed(bytes);
        }
    }
    void fire(std::size_t timeout) {
        if (running.erase(timeout) > 0) {
            job->timeoutExpired(timeout);
            pump();
        }
    }
    std::string value(const std::string& name) const {
        for (const auto& [n, v] : runs.back().values) {
            if (n == name) {
                return v;
            }
        }
        return "(none)";
    }

    std::unique_ptr<emu::Hopper> hopper;
    std::unique_ptr<LineJob> job;
    std::deque<std::uint8_t> toPc;
    std::set<std::size_t> running;
    std::vector<records::ServiceRun> runs;
    std::uint32_t nextSerial = 17;
    bool serialsAvailable = true;
    std::size_t cutAfter = SIZE_MAX;  // a reply broken off after this many bytes
};

hwtest::FlashRecord orderTemplate() {
    std::string error;
    auto record = parseFlashTemplate(
        "[flash]\nSoftwareVersion = TD3&H53\nProductCode=PX-410\nManufacturerId = \" PELLIX \"\n"
        "CompanyMode = Azkoyen\nAddressMode=1\n# comment\nBuildCode=B2027\nHopperCoin=EUR\n",
        error);
    return record.value_or(hwtest::FlashRecord{});
}

}  // namespace

class TestLine : public QObject {
    Q_OBJECT
  private slots:
    void portLists_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");  // names joined by spaces, or "error"
        QTest::newRow("range, repeat, path") << "COM5-COM7, com6,/dev/serial/by-id/usb-x"
                                             << "COM5 COM6 COM7 /dev/serial/by-id/usb-x";
        QTest::newRow("one") << "COM12"
                             << "COM12";
        QTest::newRow("names nothing") << " , "
                                       << "error";
        QTest::newRow("no such number") << "COM0"
                                        << "error";
        QTest::newRow("range backwards") << "COM9-COM3"
                                         << "error";
        QTest::newRow("beyond the numbering") << "COM5-COM999"
                                              << "error";
        QTest::newRow("not a port") << "USB1"
                                    << "error";
    }
    void portLists() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        std::string error;
        const auto list = parsePortList(text.toStdString(), 64, error);
        QStringList names;
        for (const PortRef& ref : list.value_or(std::vector<PortRef>{})) {
            names << QString::fromStdString(ref.name());
        }
        QCOMPARE(list ? names.join(QLatin1Char(' ')) : QStringLiteral("error"), expected);
        QCOMPARE(error.empty(), bool(list));
    }

    void rulesAndTemplates() {
        std::string error;
        const auto rule = parsePassRule("all,-prism-sensor", error);
        QVERIFY(rule && rule->flash && rule->asks(hwtest::TestItem::MotorStop) &&
                !rule->asks(hwtest::TestItem::PrismSensor));
        QVERIFY(!parsePassRule("all,-prism", error));
        QVERIFY(error.find("prism") != std::string::npos);

        const hwtest::FlashRecord record = orderTemplate();
        QCOMPARE(record.productCode, std::string("PX-410"));
        QCOMPARE(record.manufacturerId, std::string(" PELLIX "));
        QCOMPARE(record.companyMode, 2);
        QCOMPARE(record.addressMode, 1);

        // Refused before anything is sent, naming what is wrong.
        const std::vector<std::pair<std::string, std::string>> bad{
            {"ProductCode = 123456789012345678901", "ProductCode cannot be written"},
            {"SerialNumber = 00000001", "SerialNumber is not a template's"},
            {"Colour = red", "line 1: unknown key"},
            {"CompanyMode = Nobody", "none of its list's entries"},
            {"BuildCode = a\nBuildCode = b", "line 2: BuildCode is given twice"},
        };
        for (const auto& [text, message] : bad) {
            QVERIFY2(!parseFlashTemplate(text, error), text.c_str());
            QVERIFY2(error.find(message) != std::string::npos, error.c_str());
        }
    }

    // Each hardware test hopper is judged by the pass rule; the position then waits for the next.
    void hardwareTestRuns_data() {
        QTest::addColumn<QString>("results");
        QTest::addColumn<QString>("fault");  // nostore, silent, no-serials or empty
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("reason");
        QTest::newRow("healthy") << "PPPPPP"
                                 << ""
                                 << "all"
                                 << "pass"
                                 << "";
        QTest::newRow("motor stop NG") << "PPFPPP"
                                       << ""
                                       << "all"
                                       << "fail"
                                       << "Motor Stop: NG";
        QTest::newRow("prism sees one coin") << "PPPPFP"
                                             << ""
                                             << "all"
                                             << "fail"
                                             << "Prism Sensor: no result";
        QTest::newRow("prism left out") << "PPPPFP"
                                        << ""
                                        << "all,-prism-sensor"
                                        << "pass"
                                        << "";
        QTest::newRow("write not kept") << "PPPPPP"
                                        << "nostore"
                                        << "all"
                                        << "fail"
                                        << "SerialNumber: wrote \"00000017\", read \"12345678\"";
        QTest::newRow("silent after the prompt") << "PPPPPP"
                                                 << "silent"
                                                 << "all"
                                                 << "incomplete"
                                                 << "the hopper went silent";
        QTest::newRow("no serial number") << "PPPPPP"
                                          << "no-serials"
                                          << "all"
                                          << "incomplete"
                                          << "no serial number to write: the database is down";
    }
    void hardwareTestRuns() {
        QFETCH(QString, results);
        QFETCH(QString, fault);
        QFETCH(QString, rule);
        QFETCH(QString, outcome);
        QFETCH(QString, reason);
        auto model = std::make_unique<emu::HardwareTestHopper>(emu::Variant::HEarly);
        model->m_outcomes = *emu::outcomesFromText(results.toStdString());
        model->m_storesWrites = fault != QLatin1String("nostore");
        model->m_silent = fault == QLatin1String("silent");
        Bench bench(std::move(model));
        bench.serialsAvailable = fault != QLatin1String("no-serials");
        std::string error;
        HwtestPlan plan{*parsePassRule(rule.toStdString(), error), orderTemplate(), {}};
        bench.job = std::make_unique<HwtestJob>(bench, bench, bench, plan);

        bench.powerOn();
        bench.fire(HwtestJob::kPrism);  // the prism wait runs out where no result came
        bench.fire(HwtestJob::kSettle);
        bench.fire(HwtestJob::kQuiet);
        QCOMPARE(bench.runs.size(), std::size_t(1));
        const records::ServiceRun& run = bench.runs.back();
        QCOMPARE(QString::fromUtf8(records::outcomeName(run.outcome)), outcome);
        QVERIFY2(QString::fromStdString(run.reason).contains(reason), run.reason.c_str());
        QCOMPARE(run.reason.empty(), reason.isEmpty());
        QVERIFY(bench.running.empty());
        if (outcome == QLatin1String("pass")) {
            QCOMPARE(bench.value("flash serial number written"), std::string("00000017"));
            QCOMPARE(bench.value("flash read back"), std::string("equal"));
            QCOMPARE(run.hopper.serialNumber, std::string("00000017"));
            QCOMPARE(run.hopper.productCode, std::string("PX-410"));
            // The next hopper on the position is a run of its own with the next number.
            bench.powerOn();
            bench.fire(HwtestJob::kSettle);
            QCOMPARE(bench.runs.size(), std::size_t(2));
            QCOMPARE(bench.runs.back().hopper.serialNumber, std::string("00000018"));
        }
    }

    // A hopper that stops in the middle of its flash record fails, and the next hopper on the
    // position is read from its first byte, not from where the broken record left off.
    void brokenRecordThenNextHopper() {
        Bench bench(std::make_unique<emu::HardwareTestHopper>(emu::Variant::HEarly));
        bench.job = std::make_unique<HwtestJob>(bench, bench, bench, HwtestPlan{});
        bench.cutAfter = 50;
        bench.powerOn();
        bench.fire(HwtestJob::kRecord);
        QCOMPARE(bench.runs.size(), std::size_t(1));
        QCOMPARE(bench.runs.back().reason, std::string("no flash record came when asked for"));
        bench.cutAfter = SIZE_MAX;
        bench.powerOn();
        QCOMPARE(bench.runs.size(), std::size_t(2));
        QCOMPARE(QString::fromUtf8(records::outcomeName(bench.runs.back().outcome)),
                 QStringLiteral("pass"));
        QCOMPARE(bench.runs.back().hopper.serialNumber, std::string("12345678"));
        QCOMPARE(bench.runs.back().hopper.productCode, std::string("PX-310"));
    }

    void coinSettingRuns_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("reason");
        QTest::newRow("kept") << ""
                              << "pass"
                              << "";
        QTest::newRow("not kept") << "nostore"
                                  << "fail"
                                  << "the refreshed block shows other";
        QTest::newRow("silent") << "silent"
                                << "incomplete"
                                << "the hopper went silent";
    }
    void coinSettingRuns() {
        QFETCH(QString, fault);
        QFETCH(QString, outcome);
        QFETCH(QString, reason);
        auto model = std::make_unique<emu::CoinSettingHopper>();
        model->m_storesWrites = fault != QLatin1String("nostore");
        model->m_silent = fault == QLatin1String("silent");
        auto* hopper = model.get();
        Bench bench(std::move(model));
        const CoinNumbers numbers{1, 2, 5, 10, 20, 50, 100, 200, 0, 0, 0, 0, 0, 0, 0, 65535};
        bench.job = std::make_unique<CoinSettingJob>(bench, bench, bench, numbers, JobTimes{});
        bench.powerOn();
        bench.fire(2);  // the job's own silence time-out
        QCOMPARE(bench.runs.size(), std::size_t(1));
        QCOMPARE(QString::fromUtf8(records::outcomeName(bench.runs.back().outcome)), outcome);
        QVERIFY(QString::fromStdString(bench.runs.back().reason).startsWith(reason));
        QCOMPARE(bench.runs.back().reason.empty(), reason.isEmpty());
        if (outcome == QLatin1String("pass")) {
            QCOMPARE(hopper->m_coinNumbers, numbers);
            QCOMPARE(bench.value("coin number 16 after"), std::string("65535"));
        }
    }

    // --all-new: an adapter plugged in while the runner works becomes a position of its own and
    // is opened; the ones there at start are left alone.
    void newAdaptersBecomePositions() {
        QTemporaryDir dir;
        test::Pty present;
        test::Pty plugged;
        test::MemorySettingsStore settings;
        test::FakePortDiscovery discovery;
        const auto device = [](const test::Pty& pty) {
            PortDevice d;
            d.path = pty.device.toStdString();
            return d;
        };
        discovery.m_devices = {device(present)};
        ComPortMap comPorts(settings, discovery);
        records::RecordsWriter writer(
            *records::parseDatabaseAddress(dir.filePath(QStringLiteral("r.sqlite")), nullptr),
            dir.filePath(QStringLiteral("spool")));
        LineOptions options;
        options.allNew = true;
        std::FILE* out = std::tmpfile();
        LineRunner runner(options, comPorts, discovery, writer, nullptr,
                          [out](const std::vector<PositionRow>& rows) {
                              return makeReport(LineReport::Kind::Json, out, rows, false);
                          });
        runner.start();
        discovery.m_devices.push_back(device(plugged));
        QTRY_COMPARE(runner.rows().size(), std::size_t(1));
        QCOMPARE(runner.rows()[0].name, plugged.device);
        QTRY_COMPARE(runner.rows()[0].state, QStringLiteral("waiting"));
        std::fclose(out);
    }
};

QTEST_GUILESS_MAIN(TestLine)
#include "test_line.moc"
