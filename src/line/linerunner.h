#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "coinsetting/coinsettingprotocol.h"
#include "common/portassignment.h"
#include "line/hwtestjob.h"
#include "line/linereport.h"
#include "line/position.h"

namespace pellix {
class ComPortMap;
class PortDiscovery;
namespace records {
class RecordsStore;
class RecordsWriter;
}  // namespace records
}  // namespace pellix

namespace pellix::line {

class SerialNumbers;

enum class LineInterface { HardwareTest, CoinSetting };

struct LineOptions {
    LineInterface interface = LineInterface::HardwareTest;
    std::vector<PortRef> ports;
    bool allNew = false;  // every serial device that appears while the runner works
    HwtestPlan hwtest;    // its times are taken from `times`
    CoinNumbers numbers{};
    JobTimes times;
    int hoppersPerPosition = 0;  // 0: until stopped
};

// The production line: one position per port, all on this thread's event loop. Runs go to the
// service records as they finish; serial numbers come from the records database.
class LineRunner final : public QObject, private PositionHost {
    Q_OBJECT
  public:
    LineRunner(LineOptions options, const ComPortMap& comPorts, const PortDiscovery& discovery,
               records::RecordsWriter& writer, SerialNumbers* serials,
               const std::function<std::unique_ptr<LineReport>(const std::vector<PositionRow>&)>&
                   makeReport);
    ~LineRunner() override;

    void start();
    // The first Ctrl+C: each position closes once its hopper is done. The second: at once.
    void stop();
    // 0 when every hopper tested passed, 1 otherwise.
    int exitCode() const { return m_failed == 0 ? 0 : 1; }
    const std::vector<PositionRow>& rows() const { return m_rows; }

  signals:
    void finished();

  private:
    void positionEvent(Position& position, const PositionEvent& event) override;
    void askSerialNumber(Position& position) override;

    void add(PortRef ref);
    QString deviceFor(const PortRef& ref, QString& why);
    void lookForNewDevices();
    void finishIfDone();
    std::size_t indexOf(const Position& position) const;

    LineOptions m_options;
    const ComPortMap& m_comPorts;
    const PortDiscovery& m_discovery;
    records::RecordsWriter& m_writer;
    SerialNumbers* m_serials;
    std::vector<PositionRow> m_rows;
    std::unique_ptr<LineReport> m_report;
    std::vector<std::unique_ptr<Position>> m_positions;
    Position::MakeJob m_makeJob;
    // The COM numbers, looked up at most once a second for every position together.
    std::optional<PortAssignment> m_table;
    QElapsedTimer m_tableAge;
    QSet<QString> m_knownDevices;
    QTimer m_discoveryTimer;
    int m_passed = 0;
    int m_failed = 0;
    int m_stops = 0;
    bool m_done = false;
};

}  // namespace pellix::line
