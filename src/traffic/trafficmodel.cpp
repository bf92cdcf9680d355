#include "traffic/trafficmodel.h"

#include "capture/captureformat.h"

namespace pellix {
namespace {

std::size_t sizeOf(const CaptureEvent& event) {
    return event.data.size() + event.note.size();
}

}  // namespace

void TrafficModel::setCapture(const Capture* capture) {
    m_capture = capture;
    rebuild();
}

void TrafficModel::setFilter(Filter filter) {
    m_filter = filter;
    rebuild();
}

void TrafficModel::rebuild() {
    beginResetModel();
    m_rows.clear();
    m_next = m_capture ? m_capture->ring().firstSequence() : 0;
    m_newestSize = 0;
    endResetModel();
    refresh();
}

void TrafficModel::clearRows() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

bool TrafficModel::accepts(const CaptureEvent& event) const {
    switch (event.kind) {
        case CaptureKind::Tx:
            return m_filter.tx;
        case CaptureKind::Rx:
            return m_filter.rx;
        default:
            return m_filter.other;
    }
}

bool TrafficModel::refresh() {
    if (!m_capture) {
        return false;
    }
    const CaptureRing& ring = m_capture->ring();
    // The newest event taken last time may have grown since.
    if (m_next > ring.firstSequence() && m_next <= ring.nextSequence()) {
        const std::uint64_t last = m_next - 1;
        const CaptureEvent& event = ring.at(last);
        if (sizeOf(event) != m_newestSize && !m_rows.empty() && m_rows.back().sequence == last) {
            m_rows.back().event = event;
            const int row = static_cast<int>(m_rows.size()) - 1;
            emit dataChanged(index(row, 0), index(row, kColumns - 1));
        }
        m_newestSize = sizeOf(event);
    }
    // Events dropped from the ring before we saw them are gone.
    std::uint64_t from = std::max(m_next, ring.firstSequence());
    const std::uint64_t to = ring.nextSequence();
    if (from >= to) {
        return false;
    }
    // Only the last kMaxRows accepted events can stay; skip the rest without copying them.
    std::vector<std::uint64_t> taken;
    for (std::uint64_t s = from; s < to; ++s) {
        if (accepts(ring.at(s))) {
            taken.push_back(s);
        }
    }
    m_next = to;
    m_newestSize = sizeOf(ring.at(to - 1));
    if (taken.empty()) {
        return false;
    }
    if (taken.size() > static_cast<std::size_t>(kMaxRows)) {
        taken.erase(taken.begin(), taken.end() - kMaxRows);
    }
    const std::size_t total = m_rows.size() + taken.size();
    if (total > static_cast<std::size_t>(kMaxRows)) {
        const auto excess = static_cast<int>(total - kMaxRows);
        const int remove = std::min(excess, static_cast<int>(m_rows.size()));
        if (remove > 0) {
            beginRemoveRows({}, 0, remove - 1);
            m_rows.erase(m_rows.begin(), m_rows.begin() + remove);
            endRemoveRows();
        }
    }
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(taken.size()) - 1);
    for (std::uint64_t s : taken) {
        m_rows.push_back(Row{s, ring.at(s)});
    }
    endInsertRows();
    return true;
}

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString TrafficModel::cellText(const CaptureEvent& event, int column) {
    const bool traffic = isTraffic(event.kind);
    switch (column) {
        case Time: {
            // Milliseconds since the port was first opened, to the microsecond.
            return QStringLiteral("%1.%2")
                .arg(event.micros / 1000)
                .arg(event.micros % 1000, 3, 10, QLatin1Char('0'));
        }
        case Direction:
            return QString::fromLatin1(kindName(event.kind));
        case Hex:
            return traffic ? QString::fromLatin1(hexText(event.data)) : QString();
        case Chars:
            return traffic ? QString::fromLatin1(printableText(event.data)) : QString();
        case Note: {
            if (traffic || event.kind == CaptureKind::Note) {
                return QString::fromStdString(event.note);
            }
            return QString::fromStdString(event.data);
        }
        default:
            return {};
    }
}

QString TrafficModel::rowText(int row) const {
    QStringList cells;
    for (int c = 0; c < kColumns; ++c) {
        cells << cellText(event(row), c);
    }
    return cells.join(QLatin1Char('\t'));
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        // A view lays out the whole text of a cell on every repaint, however little of it
        // shows: a long chunk is cut here, and Copy still takes all of it.
        const QString text = cellText(event(index.row()), index.column());
        if (text.size() > kShownLength) {
            return text.left(kShownLength) + QChar(0x2026);
        }
        return text;
    }
    if (role == Qt::TextAlignmentRole && index.column() == Time) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case Time:
            return QStringLiteral("Time (ms)");
        case Direction:
            return QStringLiteral("Dir");
        case Hex:
            return QStringLiteral("Hex");
        case Chars:
            return QStringLiteral("Chars");
        case Note:
            return QStringLiteral("Note");
        default:
            return {};
    }
}

}  // namespace pellix
