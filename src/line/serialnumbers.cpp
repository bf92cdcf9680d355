#include "line/serialnumbers.h"

#include "hwtest/flashrecord.h"

namespace pellix::line {

SerialNumbers::SerialNumbers(records::DatabaseAddress address, std::uint32_t atLeast)
    : m_store(std::make_unique<records::RecordsStore>(std::move(address))), m_atLeast(atLeast) {
    m_thread.setObjectName(QStringLiteral("SerialNumbers"));
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

SerialNumbers::~SerialNumbers() {
    // The connection ends on the thread that made it.
    QMetaObject::invokeMethod(
        m_context, [this] { m_store.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool SerialNumbers::open(QString& error) {
    bool ok = false;
    QMetaObject::invokeMethod(
        m_context,
        [&] {
            ok = m_store->open();
            error = m_store->error();
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

void SerialNumbers::take(const QString& bench, const QString& port, Done done) {
    QMetaObject::invokeMethod(m_context, [this, bench, port, done = std::move(done)] {
        const auto number =
            m_store->takeSerialNumber(m_atLeast, hwtest::FlashRecord::kSerialLimit, bench, port);
        const QString error = number ? QString() : m_store->error();
        QMetaObject::invokeMethod(this, [done, number, error] {
            done(number ? std::optional(static_cast<std::uint32_t>(*number)) : std::nullopt, error);
        });
    });
}

}  // namespace pellix::line
