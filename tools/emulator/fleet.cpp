#include "fleet.h"

#include <QDir>

#include <algorithm>

namespace pellix::emulator {

std::optional<FleetFault> fleetFaultFromName(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, FleetFault>, 4> kNames{{
        {"nostore", FleetFault::NoStore},
        {"unplug", FleetFault::Unplug},
        {"slow", FleetFault::Slow},
        {"silent", FleetFault::Silent},
    }};
    for (const auto& [text, fault] : kNames) {
        if (text == name) {
            return fault;
        }
    }
    return std::nullopt;
}

Fleet::Fleet(FleetPlan plan, Log log, bool logTraffic)
    : m_plan(std::move(plan)), m_log(std::move(log)), m_logTraffic(logTraffic) {
    m_clock.start();
    m_watch.setInterval(50);
    connect(&m_watch, &QTimer::timeout, this, &Fleet::watch);
}

Fleet::~Fleet() = default;

bool Fleet::start(QString& error) {
    const QString mode = QString::fromLatin1(modeName(m_plan.mode).data());
    for (int n = 1; n <= m_plan.count; ++n) {
        auto member = std::make_unique<Member>();
        member->position = n;
        member->line = std::make_unique<HopperLine>(hopperFor(*member), m_plan.seed + n);
        const QString name = mode + QString::number(n);
        const QString link =
            m_plan.linkDir.isEmpty() ? QString() : QDir(m_plan.linkDir).absoluteFilePath(name);
        member->port = std::make_unique<PtyPort>(
            *member->line, link, QString(), [this, name](const QString& text) {
                m_log(QStringLiteral("[%1] %2").arg(name, text));
            });
        member->port->setTrafficLogged(m_logTraffic);
        if (m_observer) {
            member->port->setTrafficObserver(
                [this, n](bool fromPc, const Bytes& bytes) { m_observer(n, fromPc, bytes); });
        }
        if (!member->port->plug()) {
            error = QStringLiteral("cannot serve %1: %2").arg(name, member->port->failure());
            return false;
        }
        m_log(QStringLiteral("%1 %2%3")
                  .arg(name, -12)
                  .arg(member->port->path())
                  .arg(link.isEmpty() ? QString() : QStringLiteral("  (link %1)").arg(link)));
        m_members.push_back(std::move(member));
    }
    for (const auto& owned : m_members) {
        Member* member = owned.get();
        QTimer::singleShot((member->position - 1) * m_plan.staggerMs, this,
                           [this, member] { switchOn(*member); });
    }
    m_watch.start();
    return true;
}

FleetFault Fleet::firstFault(int position) const {
    const auto found = m_plan.faults.find(position);
    return found == m_plan.faults.end() ? FleetFault::None : found->second;
}

std::unique_ptr<Hopper> Fleet::hopperFor(Member& member) const {
    const bool first = member.hoppers == 0;
    const FleetFault fault = first ? firstFault(member.position) : FleetFault::None;
    auto hopper = makeHopper(m_plan.mode, m_plan.variant,
                             m_plan.seed + static_cast<std::uint32_t>(member.position));
    if (auto* hw = dynamic_cast<HardwareTestHopper*>(hopper.get())) {
        if (first) {
            hw->m_outcomes = m_plan.outcomes[static_cast<std::size_t>(member.position - 1) %
                                             m_plan.outcomes.size()];
        }
        // Each hopper comes with a serial number of its own from the factory.
        hw->setSerialNumber(
            static_cast<std::uint32_t>(100000 + member.position * 1000 + member.hoppers));
        hw->m_storesWrites = fault != FleetFault::NoStore;
        hw->m_silent = fault == FleetFault::Silent;
    } else if (auto* cs = dynamic_cast<CoinSettingHopper*>(hopper.get())) {
        cs->m_storesWrites = fault != FleetFault::NoStore;
        cs->m_silent = fault == FleetFault::Silent;
    }
    return hopper;
}

void Fleet::switchOn(Member& member) {
    if (member.hoppers > 0) {
        member.line->hopper().powerOff();
        member.line->replace(hopperFor(member));
    }
    // A hopper whose cable is pulled talks slowly too, so the pull falls inside its test.
    const FleetFault fault = member.hoppers == 0 ? firstFault(member.position) : FleetFault::None;
    const bool slow = fault == FleetFault::Slow || fault == FleetFault::Unplug;
    member.line->setPace(slow ? FleetPlan::kSlowPaceMs : 0);
    ++member.hoppers;
    member.heard = 0;
    member.quietSince = m_clock.elapsed();
    member.port->write(member.line->powerOn(), true);
    m_log(QStringLiteral("[%1%2] hopper %3 switched on")
              .arg(QString::fromLatin1(modeName(m_plan.mode).data()))
              .arg(member.position)
              .arg(member.hoppers));
}

bool Fleet::done(const Member& member) const {
    const Bytes& heard = member.line->hopper().received();
    if (m_plan.mode == Mode::HardwareTest) {
        return std::find(heard.begin(), heard.end(), 0x7D) != heard.end();  // DIP finished
    }
    return heard.size() >= 34;  // the ready answer and a whole save frame
}

void Fleet::watch() {
    const qint64 now = m_clock.elapsed();
    const std::uint8_t answer = m_plan.mode == Mode::HardwareTest ? 0x60 : 0x82;
    for (const auto& owned : m_members) {
        Member& member = *owned;
        const Bytes& heard = member.line->hopper().received();
        if (heard.size() != member.heard) {
            member.heard = heard.size();
            member.quietSince = now;
        }
        if (member.hoppers == 1 && firstFault(member.position) == FleetFault::Unplug &&
            !member.unplugged && std::find(heard.begin(), heard.end(), answer) != heard.end()) {
            member.unplugged = true;
            member.port->unplug();
            m_log(QStringLiteral("[%1%2] unplugged in the middle of the test")
                      .arg(QString::fromLatin1(modeName(m_plan.mode).data()))
                      .arg(member.position));
            QTimer::singleShot(FleetPlan::kUnplugForMs, this, [this, &member] {
                if (member.port->plug()) {
                    switchOn(member);
                }
            });
            continue;
        }
        if (m_plan.nextHopperMs && member.port->plugged() && done(member) &&
            now - member.quietSince >= *m_plan.nextHopperMs) {
            switchOn(member);
        }
    }
}

}  // namespace pellix::emulator
