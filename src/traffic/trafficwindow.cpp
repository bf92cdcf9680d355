#include "traffic/trafficwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <set>
#include <sstream>

#include "capture/captureformat.h"
#include "platform/atomicsave.h"
#include "platform/filedialogs.h"
#include "platform/services.h"
#include "serial/capturefile.h"
#include "widgets/formwidgets.h"

namespace pellix {
namespace {

const QString kFileFilter = QStringLiteral("Capture files (*.txt *.cap);;All files (*)");

template <typename W>
W* named(W* widget, const QString& name, const QString& spoken) {
    widget->setObjectName(name);
    widget->setAccessibleName(spoken);
    return widget;
}

}  // namespace

TrafficWindow::TrafficWindow(CaptureBook& book, FileDialogs& dialogs, Clipboard& clipboard,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_book(book), m_dialogs(dialogs), m_clipboard(clipboard) {
    setObjectName(QStringLiteral("TrafficWindow"));
    setWindowTitle(QStringLiteral("Traffic"));
    setAccessibleName(QStringLiteral("Traffic"));
    resize(900, 520);
    buildControls();
    wireControls();
    m_model->setCapture(&m_book.capture(m_source));
    updateStatus();
    useAddedWindowKeys(*this);
}

void TrafficWindow::buildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    layout->addLayout(top);
    auto* windowLabel = new QLabel(QStringLiteral("&Window:"), this);
    top->addWidget(windowLabel);
    m_sources = named(new QComboBox(this), QStringLiteral("sources"), QStringLiteral("Window"));
    windowLabel->setBuddy(m_sources);
    for (int i = 0; i < kCaptureSources; ++i) {
        m_sources->addItem(CaptureBook::title(static_cast<CaptureSource>(i)));
    }
    top->addWidget(m_sources);
    m_tx = named(new QCheckBox(QStringLiteral("T&X"), this), QStringLiteral("showTx"),
                 QStringLiteral("TX"));
    m_rx = named(new QCheckBox(QStringLiteral("&RX"), this), QStringLiteral("showRx"),
                 QStringLiteral("RX"));
    m_other = named(new QCheckBox(QStringLiteral("&Events"), this), QStringLiteral("showEvents"),
                    QStringLiteral("Events"));
    for (QCheckBox* box : {m_tx, m_rx, m_other}) {
        box->setChecked(true);
        top->addWidget(box);
    }
    top->addStretch();
    m_follow = named(new QCheckBox(QStringLiteral("&Follow"), this), QStringLiteral("follow"),
                     QStringLiteral("Follow"));
    m_follow->setChecked(true);
    top->addWidget(m_follow);
    m_pause = named(new QPushButton(QStringLiteral("&Pause"), this), QStringLiteral("pause"),
                    QStringLiteral("Pause"));
    m_pause->setCheckable(true);
    top->addWidget(m_pause);

    m_model = new TrafficModel(this);
    m_view = named(new QTableView(this), QStringLiteral("rows"), QStringLiteral("Traffic rows"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    // Fixed row heights and column widths: the view never measures rows as they stream in.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_view->horizontalHeader()->setStretchLastSection(true);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    m_view->setColumnWidth(TrafficModel::Time, digit * 14);
    m_view->setColumnWidth(TrafficModel::Direction, digit * 9);
    m_view->setColumnWidth(TrafficModel::Hex, digit * 36);
    m_view->setColumnWidth(TrafficModel::Chars, digit * 14);
    layout->addWidget(m_view, 1);

    auto* bottom = new QHBoxLayout;
    layout->addLayout(bottom);
    m_copy = named(new QPushButton(QStringLiteral("&Copy"), this), QStringLiteral("copy"),
                   QStringLiteral("Copy"));
    m_clear = named(new QPushButton(QStringLiteral("C&lear"), this), QStringLiteral("clear"),
                    QStringLiteral("Clear"));
    m_saveAs = named(new QPushButton(QStringLiteral("&Save Capture As..."), this),
                     QStringLiteral("saveAs"), QStringLiteral("Save Capture As..."));
    m_record = named(new QPushButton(QStringLiteral("Record to &file"), this),
                     QStringLiteral("record"), QStringLiteral("Record to file"));
    m_record->setCheckable(true);
    for (QPushButton* b : {m_copy, m_clear, m_saveAs, m_record}) {
        bottom->addWidget(b);
    }
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setAccessibleDescription(QStringLiteral("Capture state"));
    bottom->addWidget(m_status, 1);
}

void TrafficWindow::wireControls() {
    for (QCheckBox* box : {m_tx, m_rx, m_other}) {
        connect(box, &QCheckBox::toggled, this, &TrafficWindow::onFilterChanged);
    }
    connect(m_copy, &QPushButton::clicked, this, [this] { copySelection(); });
    auto* copyKey = new QShortcut(QKeySequence::Copy, m_view);
    connect(copyKey, &QShortcut::activated, this, [this] { copySelection(); });
    connect(m_clear, &QPushButton::clicked, this, &TrafficWindow::onClear);
    connect(m_saveAs, &QPushButton::clicked, this, &TrafficWindow::onSaveAs);
    connect(m_record, &QPushButton::toggled, this, &TrafficWindow::onRecordToggled);
    connect(m_sources, &QComboBox::currentIndexChanged, this, &TrafficWindow::onSourcePicked);
    connect(m_pause, &QPushButton::toggled, this, [this](bool paused) {
        m_pause->setText(paused ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
        m_pause->setAccessibleName(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
        if (!paused) {
            refresh();
        }
    });

    // Updates are coalesced: the rows follow the line at this pace, however fast it runs.
    m_timer = new QTimer(this);
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &TrafficWindow::refresh);
    m_timer->start();
    // A recorded chunk waits for its notes; a quiet line gets it written soon after.
    m_recordFlush = new QTimer(this);
    m_recordFlush->setInterval(kRefreshMs);
    connect(m_recordFlush, &QTimer::timeout, this, [this] {
        if (m_recording && !m_recording->flush()) {
            stopRecording();  // says why on the status line
        }
    });
}

TrafficWindow::~TrafficWindow() {
    stopRecording();
}

void TrafficWindow::showSource(CaptureSource source) {
    m_sources->setCurrentIndex(static_cast<int>(source));
}

void TrafficWindow::onSourcePicked(int index) {
    if (index < 0) {
        return;
    }
    m_message.clear();
    m_source = static_cast<CaptureSource>(index);
    m_model->setCapture(&m_book.capture(m_source));
    if (m_follow->isChecked()) {
        m_view->scrollToBottom();
    }
    updateStatus();
}

void TrafficWindow::onFilterChanged() {
    m_message.clear();
    m_model->setFilter({m_tx->isChecked(), m_rx->isChecked(), m_other->isChecked()});
    updateStatus();
}

void TrafficWindow::refresh() {
    if (m_pause->isChecked()) {
        return;
    }
    if (m_model->refresh() && m_follow->isChecked()) {
        m_view->scrollToBottom();
    }
    updateStatus();
}

void TrafficWindow::updateStatus() {
    const CaptureRing& ring = m_book.capture(m_source).ring();
    QString text =
        QStringLiteral("%1 events held, %2 dropped").arg(ring.size()).arg(ring.dropped());
    if (m_recording) {
        text += QStringLiteral("; recording to %1").arg(m_recording->path());
    }
    if (!m_message.isEmpty()) {
        text = m_message + QStringLiteral(" (") + text + QLatin1Char(')');
    }
    m_status->setText(text);
}

void TrafficWindow::tell(const QString& message) {
    m_message = message;
    updateStatus();
}

QString TrafficWindow::copySelection() {
    std::set<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedIndexes()) {
        rows.insert(index.row());
    }
    QStringList lines;
    for (int row : rows) {
        lines << m_model->rowText(row);
    }
    const QString text = lines.join(QLatin1Char('\n'));
    if (!text.isEmpty()) {
        m_clipboard.setText(text);
    }
    return text;
}

QString TrafficWindow::askFileName(const QString& title) {
    return m_dialogs.saveFileName(title, kFileFilter, m_dialogs.startFolder());
}

void TrafficWindow::onClear() {
    m_message.clear();
    m_book.capture(m_source).clear();
    m_model->clearRows();
    updateStatus();
}

bool TrafficWindow::saveTo(const QString& path) {
    const Capture& capture = m_book.capture(m_source);
    std::ostringstream text;
    writeCapture(text, capture.header(), capture.ring());
    const std::string bytes = text.str();
    const QString error =
        saveFileAtomically(path, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!error.isEmpty()) {
        tell(QStringLiteral("Could not save %1: %2").arg(path, error));
        return false;
    }
    m_message.clear();
    updateStatus();
    return true;
}

void TrafficWindow::onSaveAs() {
    const QString path = askFileName(QStringLiteral("Save Capture As"));
    if (!path.isEmpty()) {
        saveTo(path);  // a failure is told on the status line
    }
}

bool TrafficWindow::startRecording(const QString& path) {
    stopRecording();
    QString error;
    m_recording = CaptureFile::start(m_book.capture(m_source), path, error);
    if (!m_recording) {
        tell(QStringLiteral("Could not record to %1: %2").arg(path, error));
        return false;
    }
    m_message.clear();
    m_recordFlush->start();
    {
        const QSignalBlocker block(m_record);
        m_record->setChecked(true);
    }
    updateStatus();
    return true;
}

void TrafficWindow::stopRecording() {
    if (!m_recording) {
        return;
    }
    m_recordFlush->stop();
    const bool written = m_recording->flush();
    if (!written) {
        m_message = QStringLiteral("Recording to %1 stopped: %2")
                        .arg(m_recording->path(), m_recording->error());
    }
    m_recording.reset();
    if (m_record->isChecked()) {
        const QSignalBlocker block(m_record);
        m_record->setChecked(false);
    }
    updateStatus();
}

void TrafficWindow::onRecordToggled(bool on) {
    if (!on) {
        m_message.clear();
        stopRecording();
        return;
    }
    const QString path = askFileName(QStringLiteral("Record to file"));
    if (path.isEmpty() || !startRecording(path)) {
        const QSignalBlocker block(m_record);
        m_record->setChecked(false);
    }
}

void TrafficWindow::closeEvent(QCloseEvent* event) {
    // Only an open Traffic window records, so a file never grows unseen.
    stopRecording();
    event->accept();
}

}  // namespace pellix
