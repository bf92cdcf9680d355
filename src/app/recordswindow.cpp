#include "app/recordswindow.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "platform/atomicsave.h"
#include "platform/filedialogs.h"
#include "records/recordsreport.h"
#include "widgets/formwidgets.h"

namespace pellix {
namespace {

const QStringList kColumns{"Run",     "Started (UTC)", "Interface", "Port",    "Serial number",
                           "Outcome", "Reason",        "Bench",     "Operator"};

template <typename Control>
Control* named(Control* control, const char* name, const QString& spoken) {
    nameControl(*control, QString::fromLatin1(name), spoken);
    return control;
}

}  // namespace

RecordsWindow::RecordsWindow(records::DatabaseAddress address, FileDialogs& dialogs,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_store(std::make_unique<records::RecordsStore>(std::move(address))),
      m_dialogs(dialogs) {
    setObjectName(QStringLiteral("RecordsWindow"));
    setWindowTitle(QStringLiteral("Service Records"));
    setAccessibleName(QStringLiteral("Service Records"));
    resize(980, 620);
    buildControls();
    wireControls();
    useAddedWindowKeys(*this);
    refresh();
}

RecordsWindow::~RecordsWindow() {
    delete m_model;  // its query uses the store's connection
    m_model = nullptr;
}

void RecordsWindow::buildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    layout->addLayout(filters);
    const auto labelled = [&](const QString& caption, QWidget* control) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(control);
        filters->addWidget(label);
        filters->addWidget(control);
    };
    m_serial = named(new QLineEdit(this), "serial", QStringLiteral("Serial number"));
    m_since = named(new QLineEdit(this), "since", QStringLiteral("From date"));
    m_until = named(new QLineEdit(this), "until", QStringLiteral("Before date"));
    m_since->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    m_until->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    m_interface = named(new QComboBox(this), "interface", QStringLiteral("Interface"));
    m_outcome = named(new QComboBox(this), "outcome", QStringLiteral("Outcome"));
    m_interface->addItem(QStringLiteral("any"));
    for (auto i : {records::Interface::HardwareTest, records::Interface::CoinSetting,
                   records::Interface::CnyTester, records::Interface::Simulation}) {
        m_interface->addItem(QString::fromStdString(std::string(records::interfaceName(i))),
                             static_cast<int>(i));
    }
    m_outcome->addItem(QStringLiteral("any"));
    for (auto o : {records::Outcome::Pass, records::Outcome::Fail, records::Outcome::Incomplete}) {
        m_outcome->addItem(QString::fromStdString(std::string(records::outcomeName(o))),
                           static_cast<int>(o));
    }
    labelled(QStringLiteral("&Serial number:"), m_serial);
    labelled(QStringLiteral("&From:"), m_since);
    labelled(QStringLiteral("&Before:"), m_until);
    labelled(QStringLiteral("&Interface:"), m_interface);
    labelled(QStringLiteral("&Outcome:"), m_outcome);

    auto* split = new QSplitter(Qt::Vertical, this);
    layout->addWidget(split, 1);
    m_model = new QSqlQueryModel;
    m_table = named(new QTableView(split), "runs", QStringLiteral("Runs"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    auto* tabs = named(new QTabWidget(split), "detailTabs", QStringLiteral("Run details"));
    m_details = named(new QTextBrowser(tabs), "details", QStringLiteral("Details"));
    tabs->addTab(m_details, QStringLiteral("&Details"));
    auto* notePage = new QWidget(tabs);
    auto* noteLayout = new QVBoxLayout(notePage);
    m_note = named(new QPlainTextEdit(notePage), "note", QStringLiteral("Note"));
    m_note->setTabChangesFocus(true);
    m_saveNote = named(new QPushButton(QStringLiteral("Sa&ve note"), notePage), "saveNote",
                       QStringLiteral("Save note"));
    noteLayout->addWidget(m_note);
    noteLayout->addWidget(m_saveNote, 0, Qt::AlignRight);
    tabs->addTab(notePage, QStringLiteral("&Note"));
    m_capture = named(new QPlainTextEdit(tabs), "capture", QStringLiteral("Capture"));
    m_capture->setReadOnly(true);
    m_capture->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_capture->setTabChangesFocus(true);
    tabs->addTab(m_capture, QStringLiteral("Ca&pture"));

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    m_status = named(new QLabel(this), "status", QStringLiteral("Status"));
    buttons->addWidget(m_status, 1);
    m_history = named(new QPushButton(QStringLiteral("Hopper &history"), this), "history",
                      QStringLiteral("Hopper history"));
    m_csv = named(new QPushButton(QStringLiteral("Export &CSV..."), this), "csv",
                  QStringLiteral("Export CSV"));
    m_report = named(new QPushButton(QStringLiteral("Service &report..."), this), "report",
                     QStringLiteral("Service report"));
    m_close =
        named(new QPushButton(QStringLiteral("C&lose"), this), "close", QStringLiteral("Close"));
    for (QPushButton* b : {m_history, m_csv, m_report, m_close}) {
        buttons->addWidget(b);
    }
}

void RecordsWindow::wireControls() {
    for (QLineEdit* edit : {m_serial, m_since, m_until}) {
        connect(edit, &QLineEdit::editingFinished, this, &RecordsWindow::refresh);
    }
    for (QComboBox* combo : {m_interface, m_outcome}) {
        connect(combo, &QComboBox::currentIndexChanged, this, &RecordsWindow::refresh);
    }
    connect(m_history, &QPushButton::clicked, this, &RecordsWindow::showHistory);
    connect(m_saveNote, &QPushButton::clicked, this, &RecordsWindow::saveNote);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_csv, &QPushButton::clicked, this, [this] {
        const QString path = m_dialogs.saveFileName(QStringLiteral("Export CSV"),
                                                    QStringLiteral("CSV files (*.csv)|*.csv|"),
                                                    m_dialogs.startFolder());
        if (!path.isEmpty()) {
            exportCsv(path);
        }
    });
    connect(m_report, &QPushButton::clicked, this, [this] {
        const QString path = m_dialogs.saveFileName(QStringLiteral("Service report"),
                                                    QStringLiteral("PDF files (*.pdf)|*.pdf|"),
                                                    m_dialogs.startFolder());
        if (!path.isEmpty()) {
            exportReport(path);
        }
    });
}

records::RunFilter RecordsWindow::filter() const {
    records::RunFilter f;
    f.serialNumber = m_serial->text().trimmed();
    f.since = m_since->text().trimmed();
    f.until = m_until->text().trimmed();
    if (m_interface->currentIndex() > 0) {
        f.interface = static_cast<records::Interface>(m_interface->currentData().toInt());
    }
    if (m_outcome->currentIndex() > 0) {
        f.outcome = static_cast<records::Outcome>(m_outcome->currentData().toInt());
    }
    f.limit = 10'000;
    return f;
}

void RecordsWindow::refresh() {
    if (!m_store->isOpen() && !m_store->open()) {
        tell(m_store->error());
        return;
    }
    QVariantList values;
    QSqlQuery query(m_store->database());
    query.prepare(records::RecordsStore::listQuery(filter(), &values));
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    query.exec();
    m_model->setQuery(std::move(query));
    for (int i = 0; i < kColumns.size(); ++i) {
        m_model->setHeaderData(i, Qt::Horizontal, kColumns[i]);
    }
    while (m_model->canFetchMore()) {
        m_model->fetchMore();
    }
    if (m_model->lastError().isValid()) {
        tell(m_model->lastError().text());
        return;
    }
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &RecordsWindow::showSelected, Qt::UniqueConnection);
    tell(
        QStringLiteral("%1 run(s) in %2").arg(m_model->rowCount()).arg(m_store->address().shown()));
    m_table->resizeColumnsToContents();
    if (m_model->rowCount() > 0) {
        m_table->selectRow(0);
    }
    showSelected();
}

qint64 RecordsWindow::selectedRun() const {
    const QModelIndex current = m_table->currentIndex();
    return current.isValid() ? m_model->index(current.row(), 0).data().toLongLong() : 0;
}

void RecordsWindow::showSelected() {
    const qint64 id = selectedRun();
    m_shown = id ? m_store->run(id) : std::nullopt;
    m_details->setHtml(m_shown ? records::serviceReportHtml(*m_shown, id) : QString());
    m_note->setPlainText(m_shown ? QString::fromStdString(m_shown->note) : QString());
    m_capture->setPlainText(m_shown ? QString::fromStdString(m_shown->capture) : QString());
    for (QWidget* w : {static_cast<QWidget*>(m_history), static_cast<QWidget*>(m_report),
                       static_cast<QWidget*>(m_saveNote)}) {
        w->setEnabled(m_shown.has_value());
    }
}

void RecordsWindow::showHistory() {
    if (m_shown && !m_shown->hopper.serialNumber.empty()) {
        m_serial->setText(QString::fromStdString(m_shown->hopper.serialNumber));
        refresh();
    }
}

void RecordsWindow::saveNote() {
    const qint64 id = selectedRun();
    if (!id) {
        return;
    }
    if (m_store->setNote(id, m_note->toPlainText().toStdString())) {
        tell(QStringLiteral("Note saved for run %1").arg(id));
        m_shown->note = m_note->toPlainText().toStdString();
        m_details->setHtml(records::serviceReportHtml(*m_shown, id));
    } else {
        tell(m_store->error());
    }
}

bool RecordsWindow::exportCsv(const QString& path) {
    const std::vector<records::RunRow> rows = m_store->list(filter());
    const QString failed = saveFileAtomically(path, records::runsCsv(rows).toUtf8());
    tell(failed.isEmpty() ? QStringLiteral("%1 run(s) written to %2").arg(rows.size()).arg(path)
                          : QStringLiteral("Cannot write %1: %2").arg(path, failed));
    return failed.isEmpty();
}

bool RecordsWindow::exportReport(const QString& path) {
    if (!m_shown) {
        return false;
    }
    const QString failed = records::writeServiceReport(*m_shown, selectedRun(), path);
    tell(failed.isEmpty() ? QStringLiteral("Report written to %1").arg(path)
                          : QStringLiteral("Cannot write %1: %2").arg(path, failed));
    return failed.isEmpty();
}

void RecordsWindow::tell(const QString& message) {
    m_status->setText(message);
}

}  // namespace pellix
