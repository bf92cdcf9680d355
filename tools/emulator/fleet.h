#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "hopperline.h"
#include "ptyport.h"

namespace pellix::emulator {

// What is wrong with the first hopper on a position of a fleet.
enum class FleetFault {
    None,
    NoStore,  // takes a flash write (or a save) and acknowledges it, but keeps the old one
    Unplug,   // its cable is pulled in the middle of the test, and a healthy hopper plugged in
    Slow,     // every byte it sends comes a while after the one before
    Silent,   // says nothing more once the PC has answered it
};
std::optional<FleetFault> fleetFaultFromName(std::string_view name);

struct FleetPlan {
    Mode mode = Mode::HardwareTest;
    int count = 1;
    QString linkDir;  // each position is offered as DIR/<interface><n>
    Variant variant = Variant::HEarly;
    std::uint32_t seed = 1;
    // Per position, taken in turn (position n gets entry (n - 1) % size).
    std::vector<Outcomes> outcomes{Outcomes{Outcome::Pass, Outcome::Pass, Outcome::Pass,
                                            Outcome::Pass, Outcome::Pass, Outcome::Pass}};
    std::map<int, FleetFault> faults;  // by position, 1-based
    // When set: once a hopper is done (the PC finished with it and the line has been quiet this
    // long), the next hopper is switched on at that position.
    std::optional<int> nextHopperMs;
    // Position n's first hopper is switched on (n - 1) * staggerMs after the first: hoppers
    // plugged in one after another rather than all in the same instant.
    int staggerMs = 0;
    static constexpr int kSlowPaceMs = 25;
    static constexpr int kUnplugForMs = 1000;
};

// Many hoppers of one interface, each on a pseudo-terminal of its own, as a production line's
// hub of adapters would offer them. Faults and outcomes shape the first hopper of each
// position; the hoppers that follow are healthy.
class Fleet final : public QObject {
    Q_OBJECT
  public:
    using Log = std::function<void(const QString&)>;
    Fleet(FleetPlan plan, Log log, bool logTraffic);
    ~Fleet() override;

    // Makes every port and switches each first hopper on; false, with `error`, when one fails.
    bool start(QString& error);
    // Every position's traffic as raw bytes, for measurements; set before start().
    using Observer = std::function<void(int position, bool fromPc, const Bytes& bytes)>;
    void setObserver(Observer observer) { m_observer = std::move(observer); }

  private:
    struct Member {
        int position = 0;
        int hoppers = 0;  // switched on so far
        std::unique_ptr<HopperLine> line;
        std::unique_ptr<PtyPort> port;
        std::size_t heard = 0;  // bytes from the PC so far, to see the line go quiet
        qint64 quietSince = 0;
        bool unplugged = false;
    };

    // What the plan spoils the first hopper at `position` with.
    FleetFault firstFault(int position) const;
    std::unique_ptr<Hopper> hopperFor(Member& member) const;
    void switchOn(Member& member);
    void watch();
    bool done(const Member& member) const;

    FleetPlan m_plan;
    Log m_log;
    bool m_logTraffic;
    std::vector<std::unique_ptr<Member>> m_members;
    Observer m_observer;
    QTimer m_watch;
    QElapsedTimer m_clock;
};

}  // namespace pellix::emulator
