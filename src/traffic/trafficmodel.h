#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <deque>

#include "capture/capture.h"

namespace pellix {

// One port's capture as table rows for the Traffic window. It copies what is new from the
// capture's ring when refresh() is called (on a timer), so a fast line costs one model update
// per tick, and it keeps at most kMaxRows rows, dropping the oldest.
class TrafficModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Time, Direction, Hex, Chars, Note, kColumns };
    static constexpr int kMaxRows = 50'000;
    // Characters of a cell shown in the view; longer texts end in an ellipsis.
    static constexpr int kShownLength = 512;

    struct Filter {
        bool tx = true;
        bool rx = true;
        bool other = true;  // port events and notes of their own
    };

    explicit TrafficModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Shows this capture from its oldest event held; nullptr shows nothing.
    void setCapture(const Capture* capture);
    void setFilter(Filter filter);
    Filter filter() const { return m_filter; }
    // Takes what the capture got since the last call. Returns whether rows were added.
    bool refresh();
    // Forgets every row; events after this are shown.
    void clearRows();

    // The row as one line of tab-separated cells, as copied to the clipboard.
    QString rowText(int row) const;
    const CaptureEvent& event(int row) const { return m_rows[static_cast<std::size_t>(row)].event; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static QString cellText(const CaptureEvent& event, int column);

  private:
    struct Row {
        std::uint64_t sequence;
        CaptureEvent event;
    };
    bool accepts(const CaptureEvent& event) const;
    void rebuild();

    const Capture* m_capture = nullptr;
    Filter m_filter;
    std::deque<Row> m_rows;
    std::uint64_t m_next = 0;  // sequence number of the next event to take
    // The newest event taken may still grow (more bytes, notes): its size when taken.
    std::size_t m_newestSize = 0;
};

}  // namespace pellix
