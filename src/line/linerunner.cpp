#include "line/linerunner.h"

#include <QFileInfo>
#include <QSysInfo>

#include "line/coinsettingjob.h"
#include "line/serialnumbers.h"
#include "platform/portdiscovery.h"
#include "platform/qtserialport.h"
#include "records/recordswriter.h"

namespace pellix::line {

LineRunner::LineRunner(
    LineOptions options, const ComPortMap& comPorts, const PortDiscovery& discovery,
    records::RecordsWriter& writer, SerialNumbers* serials,
    const std::function<std::unique_ptr<LineReport>(const std::vector<PositionRow>&)>& makeReport)
    : m_options(std::move(options)),
      m_comPorts(comPorts),
      m_discovery(discovery),
      m_writer(writer),
      m_serials(serials) {
    m_report = makeReport(m_rows);
    if (m_options.interface == LineInterface::HardwareTest) {
        HwtestPlan plan = m_options.hwtest;
        plan.times = m_options.times;
        m_makeJob = [plan](LinePort& line, JobHost& host, NoteSink& notes) {
            return std::make_unique<HwtestJob>(line, host, notes, plan);
        };
    } else {
        const CoinNumbers numbers = m_options.numbers;
        const JobTimes times = m_options.times;
        m_makeJob = [numbers, times](LinePort& line, JobHost& host, NoteSink& notes) {
            return std::make_unique<CoinSettingJob>(line, host, notes, numbers, times);
        };
    }
    connect(&m_writer, &records::RecordsWriter::trouble, this,
            [this](const QString& text) { m_report->message(text); });
}

LineRunner::~LineRunner() = default;

void LineRunner::start() {
    for (const PortRef& ref : m_options.ports) {
        add(ref);
    }
    if (m_options.allNew) {
        for (const PortDevice& device : m_discovery.ports()) {
            m_knownDevices.insert(QString::fromStdString(device.path));
        }
        m_discoveryTimer.setInterval(1000);
        connect(&m_discoveryTimer, &QTimer::timeout, this, &LineRunner::lookForNewDevices);
        m_discoveryTimer.start();
        m_report->message(QStringLiteral("Waiting for new serial adapters (--all-new)."));
    }
}

void LineRunner::add(PortRef ref) {
    PositionRow row;
    row.name = QString::fromStdString(ref.name());
    row.state = QStringLiteral("opening");
    m_rows.push_back(row);
    auto position = std::make_unique<Position>(
        std::move(ref),
        [this, index = m_positions.size()](QString& why) {
            return deviceFor(m_positions[index]->ref(), why);
        },
        m_makeJob, static_cast<PositionHost&>(*this), std::make_unique<QtSerialPort>(),
        m_options.hoppersPerPosition);
    m_positions.push_back(std::move(position));
    m_positions.back()->start();
}

void LineRunner::lookForNewDevices() {
    for (const PortDevice& device : m_discovery.ports()) {
        const QString path = QString::fromStdString(device.path);
        if (m_knownDevices.contains(path)) {
            continue;
        }
        m_knownDevices.insert(path);
        // The by-id link finds the same adapter again after a replug.
        add({0, device.byIdPath.empty() ? device.path : device.byIdPath});
    }
}

QString LineRunner::deviceFor(const PortRef& ref, QString& why) {
    if (ref.number == 0) {
        const QString path = QString::fromStdString(ref.path);
        if (!QFileInfo::exists(path)) {
            why = path + QStringLiteral(": not there");
            return {};
        }
        return path;
    }
    if (!m_table || m_tableAge.elapsed() > 1000) {
        m_table = m_comPorts.table();
        m_tableAge.start();
    }
    const ComPort& port = m_table->port(ref.number);
    if (port.device.empty() || !port.present) {
        why = QStringLiteral("no device is COM%1").arg(ref.number);
        return {};
    }
    return QString::fromStdString(port.device);
}

std::size_t LineRunner::indexOf(const Position& position) const {
    for (std::size_t i = 0; i < m_positions.size(); ++i) {
        if (m_positions[i].get() == &position) {
            return i;
        }
    }
    return 0;
}

void LineRunner::positionEvent(Position& position, const PositionEvent& event) {
    PositionRow& row = m_rows[indexOf(position)];
    using Kind = PositionEvent::Kind;
    switch (event.kind) {
        case Kind::Present:
            row.device = QString::fromStdString(event.text);
            row.state = QStringLiteral("waiting");
            break;
        case Kind::Absent:
            row.device.clear();
            row.state = QStringLiteral("absent: ") + QString::fromStdString(event.text);
            break;
        case Kind::Started:
            row.serial.clear();
            row.state = QStringLiteral("testing");
            break;
        case Kind::Phase:
            row.state = QString::fromStdString(event.text);
            break;
        case Kind::Finished: {
            const records::ServiceRun& run = *event.run;
            const bool pass = run.outcome == records::Outcome::Pass;
            row.serial = QString::fromStdString(run.hopper.serialNumber);
            for (const auto& [name, value] : run.values) {
                if (name == "flash serial number written") {
                    row.serial = QString::fromStdString(value);
                }
            }
            row.last = QString::fromUtf8(records::outcomeName(run.outcome));
            if (!run.reason.empty()) {
                row.last += QStringLiteral(": ") + QString::fromStdString(run.reason);
            }
            (pass ? row.passed : row.failed) += 1;
            (pass ? m_passed : m_failed) += 1;
            m_writer.record(run);
            break;
        }
        case Kind::Stopped:
            row.state = QStringLiteral("stopped");
            break;
    }
    m_report->event(row, event);
    if (event.kind == Kind::Stopped) {
        finishIfDone();
    }
}

// Done once every position has stopped, unless new adapters are still awaited.
void LineRunner::finishIfDone() {
    const bool all = std::all_of(m_positions.begin(), m_positions.end(),
                                 [](const auto& p) { return p->stopped(); });
    if (all && !m_options.allNew && !m_done) {
        m_done = true;
        m_report->summary(m_passed, m_failed);
        emit finished();
    }
}

void LineRunner::askSerialNumber(Position& position) {
    if (!m_serials) {
        position.serialNumberTaken(std::nullopt, "no database for serial numbers");
        return;
    }
    m_serials->take(QSysInfo::machineHostName(), position.name(),
                    [&position](std::optional<std::uint32_t> number, const QString& error) {
                        position.serialNumberTaken(number, error.toStdString());
                    });
}

void LineRunner::stop() {
    ++m_stops;
    m_discoveryTimer.stop();
    m_options.allNew = false;
    if (m_stops == 1) {
        const auto busy = std::count_if(m_positions.begin(), m_positions.end(),
                                        [](const auto& p) { return p->testing(); });
        m_report->message(QStringLiteral("Stopping: %1 hopper(s) under test finish first; press "
                                         "Ctrl+C again to stop at once.")
                              .arg(busy));
    }
    for (const auto& position : m_positions) {
        if (m_stops == 1) {
            position->stopWhenIdle();
        } else {
            position->stopNow("stopped by the operator");
        }
    }
    finishIfDone();
}

}  // namespace pellix::line
