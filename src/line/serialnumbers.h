#pragma once

#include <QObject>
#include <QThread>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "records/recordsstore.h"

namespace pellix::line {

// Hands out serial numbers from the records database on a thread of its own: a slow or
// unreachable server holds up only the positions waiting for a number, never the others'
// answers to their hoppers.
class SerialNumbers final : public QObject {
    Q_OBJECT
  public:
    using Done = std::function<void(std::optional<std::uint32_t> number, const QString& error)>;

    SerialNumbers(records::DatabaseAddress address, std::uint32_t atLeast);
    ~SerialNumbers() override;

    // Connects and brings the schema forward, waiting for it; false, with `error`, when that
    // fails (checked before anything is sent to a hopper).
    bool open(QString& error);
    // The next number for the hopper on `port`; `done` is called on this object's thread.
    void take(const QString& bench, const QString& port, Done done);

  private:
    QThread m_thread;
    QObject* m_context = nullptr;  // lives on m_thread; the store is used only there
    std::unique_ptr<records::RecordsStore> m_store;
    std::uint32_t m_atLeast;
};

}  // namespace pellix::line
