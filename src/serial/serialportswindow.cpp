#include "serial/serialportswindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/portdiscovery.h"
#include "widgets/formwidgets.h"

namespace pellix {
namespace {

const QString kTitle = QStringLiteral("Serial Ports");
const QString kTableName = QStringLiteral("Serial ports");
const QString kMoveToName = QStringLiteral("Move to");
const QString kMoveCaption = QStringLiteral("&Move");
const QString kForgetCaption = QStringLiteral("&Forget");
const QString kCloseCaption = QStringLiteral("&Close");
const QString kYes = QStringLiteral("Yes");
const QString kNo = QStringLiteral("No");
const QString kUart = QStringLiteral("Built-in serial port");
const QString kOverride = QStringLiteral("Set by %1");
const QString kUnnumbered =
    QStringLiteral("No free COM number for: %1. Forget a device that is gone to make room.");
const QString kHint = QStringLiteral(
    "A USB serial adapter gets the lowest free COM number the first time it is plugged in and "
    "keeps it. Select a row to move its device to another free number or to forget a device "
    "that is gone.");
constexpr std::array<const char*, SerialPortsWindow::Columns> kHeaders{
    "Port",          "Device",         "Description", "Manufacturer",
    "Serial number", "Vendor:Product", "Present",     "Last error"};

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QString ids(const PortDevice& device) {
    if (!device.vendorId || !device.productId) {
        return {};
    }
    return QStringLiteral("%1:%2")
        .arg(*device.vendorId, 4, 16, QLatin1Char('0'))
        .arg(*device.productId, 4, 16, QLatin1Char('0'));
}

}  // namespace

SerialPortsWindow::SerialPortsWindow(const ComPortMap& comPorts, QWidget* parent)
    : QWidget(parent, Qt::Window), m_comPorts(comPorts) {
    setObjectName(QStringLiteral("SerialPortsWindow"));
    setWindowTitle(kTitle);
    buildControls();
    wireControls();
    refresh();
    m_table->selectRow(0);
    useAddedWindowKeys(*this);
}

void SerialPortsWindow::buildControls() {
    m_table = new QTableWidget(PortAssignment::kPortCount, Columns, this);
    nameControl(*m_table, QStringLiteral("PortTable"), kTableName);
    QStringList headers;
    for (const char* header : kHeaders) {
        headers << QString::fromLatin1(header);
    }
    m_table->setHorizontalHeaderLabels(headers);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < PortAssignment::kPortCount; ++row) {
        for (int column = 0; column < Columns; ++column) {
            m_table->setItem(row, column, new QTableWidgetItem);
        }
        m_table->item(row, Port)->setText(QStringLiteral("COM%1").arg(row + 1));
    }

    auto* moveToLabel = new QLabel(kMoveToName + QLatin1Char(':'), this);
    m_moveTo = new QComboBox(this);
    nameControl(*m_moveTo, QStringLiteral("MoveTo"), kMoveToName);
    moveToLabel->setBuddy(m_moveTo);
    m_move = new QPushButton(kMoveCaption, this);
    nameControl(*m_move, QStringLiteral("Move"), spokenCaption(kMoveCaption));
    m_forget = new QPushButton(kForgetCaption, this);
    nameControl(*m_forget, QStringLiteral("Forget"), spokenCaption(kForgetCaption));
    m_close = new QPushButton(kCloseCaption, this);
    nameControl(*m_close, QStringLiteral("Close"), spokenCaption(kCloseCaption));

    auto* hint = new QLabel(kHint, this);
    hint->setWordWrap(true);
    m_note = new QLabel(this);
    nameControl(*m_note, QStringLiteral("Note"), QString());
    m_note->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(moveToLabel);
    buttons->addWidget(m_moveTo);
    buttons->addWidget(m_move);
    buttons->addSpacing(16);
    buttons->addWidget(m_forget);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_table);
    layout->addWidget(m_note);
    layout->addLayout(buttons);
    m_table->horizontalHeader()->setDefaultSectionSize(140);
    resize(1040, 540);
}

void SerialPortsWindow::wireControls() {
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &SerialPortsWindow::updateActions);
    connect(m_move, &QPushButton::clicked, this, &SerialPortsWindow::onMove);
    connect(m_forget, &QPushButton::clicked, this, &SerialPortsWindow::onForget);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    // Plugging shows up within a second while the window is open; nothing runs once it closes.
    m_refresh = new QTimer(this);
    m_refresh->setObjectName(QStringLiteral("RefreshTimer"));
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &SerialPortsWindow::refresh);
    m_refresh->start();
}

void SerialPortsWindow::refresh() {
    m_shown = m_comPorts.table();
    showTable();
    updateActions();
}

void SerialPortsWindow::showTable() {
    const PortAssignment& table = *m_shown;
    for (int n = 1; n <= PortAssignment::kPortCount; ++n) {
        const ComPort& port = table.port(n);
        std::array<QString, Columns> cells;
        cells[Port] = QStringLiteral("COM%1").arg(n);
        cells[Device] = fromStd(port.device.empty() ? port.identity : port.device);
        if (port.deviceIndex) {
            const PortDevice& device = table.devices()[*port.deviceIndex];
            cells[Description] = fromStd(device.description);
            cells[Manufacturer] = fromStd(device.manufacturer);
            cells[SerialNumber] = fromStd(device.serialNumber);
            cells[Ids] = ids(device);
        }
        if (port.source == PortSource::Uart && cells[Description].isEmpty()) {
            cells[Description] = kUart;
        } else if (port.source == PortSource::Environment) {
            cells[Description] = kOverride.arg(ComPortMap::overrideName(n));
        }
        if (port.source != PortSource::None) {
            cells[Present] = port.present ? kYes : kNo;
        }
        cells[LastError] = m_comPorts.lastError(n);
        for (int column = 0; column < Columns; ++column) {
            QTableWidgetItem* item = m_table->item(n - 1, column);
            if (item->text() != cells[static_cast<std::size_t>(column)]) {
                item->setText(cells[static_cast<std::size_t>(column)]);
            }
        }
        m_table->item(n - 1, Port)->setToolTip(fromStd(table.describe(n)));
    }

    QStringList unnumbered;
    for (const std::size_t index : table.unnumbered()) {
        unnumbered << fromStd(table.devices()[index].path);
    }
    const QString note = unnumbered.isEmpty() ? QString() : kUnnumbered.arg(unnumbered.join(", "));
    m_note->setText(note);
    m_note->setAccessibleName(note);
    m_note->setVisible(!note.isEmpty());
}

int SerialPortsWindow::selectedNumber() const {
    const QList<QTableWidgetItem*> selected = m_table->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->row() + 1;
}

void SerialPortsWindow::updateActions() {
    if (!m_shown) {
        return;
    }
    const int number = selectedNumber();
    const bool movable = m_shown->port(number).source == PortSource::Remembered;
    // The list keeps the technician's pick across refreshes while that number stays free.
    const int kept = m_moveTo->currentData().toInt();
    QList<int> free;
    for (int n = 1; n <= PortAssignment::kPortCount; ++n) {
        if (movable && m_shown->isFree(n)) {
            free << n;
        }
    }
    QList<int> listed;
    for (int i = 0; i < m_moveTo->count(); ++i) {
        listed << m_moveTo->itemData(i).toInt();
    }
    if (listed != free) {
        m_moveTo->clear();
        for (const int n : free) {
            m_moveTo->addItem(QStringLiteral("COM%1").arg(n), n);
        }
        const int index = m_moveTo->findData(kept);
        m_moveTo->setCurrentIndex(index >= 0 ? index : 0);
    }
    m_moveTo->setEnabled(!free.isEmpty());
    m_move->setEnabled(!free.isEmpty());
    m_forget->setEnabled(!m_shown->forget(number).empty());
}

void SerialPortsWindow::onMove() {
    const int from = selectedNumber();
    const int to = m_moveTo->currentData().toInt();
    if (!m_shown || !m_comPorts.apply(m_shown->move(from, to))) {
        return;
    }
    refresh();
    m_table->selectRow(to - 1);  // the device stays selected at its new number
}

void SerialPortsWindow::onForget() {
    if (m_shown && m_comPorts.apply(m_shown->forget(selectedNumber()))) {
        refresh();
    }
}

}  // namespace pellix
