#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <deque>
#include <span>

#include "cny/cnyframe.h"
#include "cny/cnytexts.h"

namespace pellix {

// The transaction log behind MSFlexGrid1: one row per frame sent or accepted. Like the grid it
// replaces, an empty log still shows one blank row under the header; the first frame fills it.
// Rows are kept in a deque so adding stays flat however long the log gets. Once more than
// `capacity` frames are logged the oldest go, a chunk at a time: a view pays for a removal at
// the top about the same whether one row goes or a thousand. The newest `capacity` frames always
// stay.
class CnyLogModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum class Direction : std::uint8_t { Tx, Rx };

    // The grid's row counter was a signed 16-bit number starting at 2.
    static constexpr int kCapacity = 32766;
    static constexpr int kDropChunk = 1024;
    static constexpr int kColumns = 8;
    // From this many grid rows (header included) the newest row is scrolled to the top.
    static constexpr int kScrollFromGridRows = 14;

    explicit CnyLogModel(QObject* parent = nullptr, int capacity = kCapacity,
                         int dropChunk = kDropChunk);

    // Empties the log: header and one blank row.
    void InitLogGrid();
    void AddLogRow(Direction direction, const cny::Frame& frame, cny::LogMessage message);

    struct Entry {
        Direction direction;
        cny::Frame frame;
        cny::LogMessage message;
    };
    // Several rows at once, in order, as one insertion for the views: the same log as adding
    // them one by one, for a fraction of the view's work.
    void addLogRows(std::span<const Entry> entries);

    int frameCount() const { return static_cast<int>(m_rows.size()); }
    // How many of the newest frames are always kept.
    int capacity() const { return m_capacity; }
    // True once the grid (header included) is tall enough that its newest row goes to the top.
    bool scrollsToNewest() const { return frameCount() + 1 >= kScrollFromGridRows; }

    // One line per row: direction, six bytes, message; a header line first.
    QByteArray csv() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    struct Row {
        Direction direction;
        cny::LogMessage message;
        cny::Frame frame;
    };

    QString cellText(const Row& row, int column) const;

    std::deque<Row> m_rows;
    int m_capacity = kCapacity;
    int m_dropChunk = kDropChunk;
};

}  // namespace pellix
