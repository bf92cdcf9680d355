#include "cny/cnylogview.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

#include "cny/cnylogmodel.h"
#include "cny/cnytexts.h"
#include "widgets/twips.h"

namespace pellix {
namespace {

constexpr int kByteColumnTwips = 600;
constexpr int kMessageColumnTwips = 3000;
constexpr int kRowTwips = 240;

}  // namespace

CnyLogView::CnyLogView(CnyLogModel& model, QWidget* parent) : QTableView(parent) {
    // Where the traditional Chinese system font is missing, a CJK font keeps the narrow Latin
    // glyphs the column widths were chosen for.
    QFont font;
    font.setFamilies({QString::fromUtf8(cny::texts::kLogFont.data(),
                                        static_cast<qsizetype>(cny::texts::kLogFont.size())),
                      QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(cny::texts::kLogFontPoints);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    setModel(&model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    // By pixel: by item, Qt always shows the last row at the bottom once scrolled to the end.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Only shown, never edited: Tab leaves the grid instead of walking its cells.
    setTabKeyNavigation(false);

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(twips(kRowTwips));

    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setHighlightSections(false);
    // At least one line of the header's font: at large scale factors the design height clips.
    header->setFixedHeight(std::max(twips(kRowTwips), header->fontMetrics().height() + 2));
    for (int c = 0; c < CnyLogModel::kColumns - 1; ++c) {
        setColumnWidth(c, twips(kByteColumnTwips));
    }
    setColumnWidth(CnyLogModel::kColumns - 1, twips(kMessageColumnTwips));
    connect(header, &QHeaderView::sectionDoubleClicked, this, &CnyLogView::clearRequested);
}

void CnyLogView::scrollToNewestSoon() {
    if (m_scrollPending) {
        return;
    }
    m_scrollPending = true;
    QTimer::singleShot(0, this, &CnyLogView::scrollToNewest);
}

void CnyLogView::scrollToNewest() {
    m_scrollPending = false;
    // Rows added in the same event may still wait for their layout.
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(verticalHeader()->sectionPosition(model()->rowCount() - 1));
}

void CnyLogView::updateGeometries() {
    QScrollBar* bar = verticalScrollBar();
    const int top = bar->value();
    QTableView::updateGeometries();
    // The old grid let its top row go down to the last row, leaving blank space below; the log
    // relies on that to show the newest row at the top. Qt's range stops where the last row
    // reaches the bottom and pulls the top row back, so widen it and put the top row back.
    if (model() && bar->maximum() > 0) {
        const int lastRowTop = verticalHeader()->sectionPosition(model()->rowCount() - 1);
        bar->setMaximum(std::max(bar->maximum(), lastRowTop));
        bar->setSingleStep(verticalHeader()->defaultSectionSize());
        bar->setValue(top);
    }
}

void CnyLogView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit clearRequested();
}

}  // namespace pellix
