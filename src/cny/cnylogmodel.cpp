#include "cny/cnylogmodel.h"

#include <QByteArray>
#include <QStringList>

#include <algorithm>
#include <array>

#include "common/text.h"
#include "platform/qttext.h"

namespace pellix {
namespace {

// Cells are painted far more often than rows are added; build each possible text once.
const std::array<QString, 256>& byteCells() {
    static const std::array<QString, 256> cells = [] {
        std::array<QString, 256> out;
        for (unsigned v = 0; v < 256; ++v) {
            out[v] = QStringLiteral("0x") + QString::fromStdString(hexDigits(v, 2));
        }
        return out;
    }();
    return cells;
}

const std::array<QString, cny::kLogMessageTexts.size()>& messageCells() {
    static const auto cells = [] {
        std::array<QString, cny::kLogMessageTexts.size()> out;
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = toQString(cny::kLogMessageTexts[i]);
        }
        return out;
    }();
    return cells;
}

}  // namespace

CnyLogModel::CnyLogModel(QObject* parent, int capacity, int dropChunk)
    : QAbstractTableModel(parent),
      m_capacity(std::max(1, capacity)),
      m_dropChunk(std::clamp(dropChunk, 1, m_capacity)) {}

void CnyLogModel::InitLogGrid() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CnyLogModel::AddLogRow(Direction direction, const cny::Frame& frame, cny::LogMessage message) {
    const Entry entry{direction, frame, message};
    addLogRows({&entry, 1});
}

void CnyLogModel::addLogRows(std::span<const Entry> entries) {
    if (entries.empty()) {
        return;
    }
    if (m_rows.empty()) {
        // The blank row under the header takes the first frame.
        const Entry& first = entries.front();
        m_rows.push_back({first.direction, first.message, first.frame});
        emit dataChanged(index(0, 0), index(0, kColumns - 1));
        entries = entries.subspan(1);
        if (entries.empty()) {
            return;
        }
    }
    const int at = frameCount();
    beginInsertRows({}, at, at + static_cast<int>(entries.size()) - 1);
    for (const Entry& entry : entries) {
        m_rows.push_back({entry.direction, entry.message, entry.frame});
    }
    endInsertRows();
    // Added before the oldest go, so the log never runs empty here: an empty log shows its blank
    // row, which a removal would not account for. Whole chunks go, leaving what adding the rows
    // one at a time would have left.
    if (frameCount() >= m_capacity + m_dropChunk) {
        const int drop = (frameCount() - m_capacity) / m_dropChunk * m_dropChunk;
        beginRemoveRows({}, 0, drop - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + drop);
        endRemoveRows();
    }
}

int CnyLogModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return std::max(1, frameCount());
}

int CnyLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString CnyLogModel::cellText(const Row& row, int column) const {
    if (column == 0) {
        return toQString(row.direction == Direction::Tx ? cny::texts::kTx : cny::texts::kRx);
    }
    if (column <= static_cast<int>(row.frame.size())) {
        return byteCells()[row.frame[static_cast<std::size_t>(column - 1)]];
    }
    return messageCells()[static_cast<std::size_t>(row.message)];
}

QVariant CnyLogModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= frameCount() ||
        index.column() >= kColumns) {
        return {};
    }
    return cellText(m_rows[static_cast<std::size_t>(index.row())], index.column());
}

QVariant CnyLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= kColumns) {
        return {};
    }
    return toQString(cny::texts::kLogHeaders[static_cast<std::size_t>(section)]);
}

QByteArray CnyLogModel::csv() const {
    QStringList header;
    for (std::string_view h : cny::texts::kLogHeaders) {
        header << toQString(h);
    }
    QByteArray out = header.join(QLatin1Char(',')).toUtf8() + "\r\n";
    for (const Row& row : m_rows) {
        QStringList cells;
        for (int c = 0; c < kColumns; ++c) {
            cells << cellText(row, c);
        }
        // No fixed text holds a comma or a quote, so no cell needs quoting.
        out += cells.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return out;
}

}  // namespace pellix
