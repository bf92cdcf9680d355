#pragma once

#include <QObject>

class QSocketNotifier;

namespace pellix {

// Turns SIGTERM, SIGINT and SIGHUP (logout, shutdown, Ctrl+C in the terminal) into a Qt signal
// delivered on the user-interface thread, so the program can close its windows and serial ports
// the normal way instead of dying mid-write. One object per process.
class TerminationSignals final : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

  signals:
    void received();

  private:
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace pellix
