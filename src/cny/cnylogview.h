#pragma once

#include <QTableView>

namespace pellix {

class CnyLogModel;

// The transaction log's grid: fixed column widths and row heights in twips, no row header, read
// only. Like the grid it replaces it can scroll until the newest row stands at the top, and a
// double-click anywhere (header included) asks for the log to be cleared.
class CnyLogView final : public QTableView {
    Q_OBJECT
  public:
    explicit CnyLogView(CnyLogModel& model, QWidget* parent = nullptr);

    // Puts the newest row at the top once control returns to the event loop. Rows added while
    // one event is handled share one scroll, which costs far more than adding a row.
    void scrollToNewestSoon();

  signals:
    void clearRequested();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void updateGeometries() override;

  private:
    void scrollToNewest();

    bool m_scrollPending = false;
};

}  // namespace pellix
