#include "frmLogbookList.h"

#include "EntryListModel.h"
#include "RecordKinds.h"
#include "RecordWindow.h"
#include "Seams.h"
#include "Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace bravik::logbook {

namespace {
template <class W>
W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}
} // namespace

frmLogbookList::frmLogbookList()
{
    setObjectName(QStringLiteral("frmLogbookList"));
    setWindowTitle(QStringLiteral("Logbook"));
    resize(900, 560);

    cmbKind = named(new QComboBox(this), "cmbKind");
    for (const RecordKind &k : recordKinds())
        cmbKind->addItem(k.category, k.table);
    txtContains = named(new QLineEdit(this), "txtContains");
    txtContains->setPlaceholderText(QStringLiteral("Text in any field"));
    txtContains->setClearButtonEnabled(true);
    cmbSubmitter = named(new QComboBox(this), "cmbSubmitter");
    cmbSubmitter->setEditable(true);
    cmbSubmitter->setInsertPolicy(QComboBox::NoInsert);
    cmbSubmitter->addItems(settings().crewRoster);
    cmbSubmitter->setCurrentIndex(-1);
    cmbSubmitter->setEditText(QString());
    cmbSubmitter->lineEdit()->setPlaceholderText(QStringLiteral("Anyone"));
    txtSince = named(new QLineEdit(this), "txtSince");
    txtSince->setPlaceholderText(QStringLiteral("2026-12-01"));
    txtUntil = named(new QLineEdit(this), "txtUntil");
    txtUntil->setPlaceholderText(QStringLiteral("2026-12-31"));
    cmdFind = named(new QPushButton(QStringLiteral("Find"), this), "cmdFind");
    cmdStop = named(new QPushButton(QStringLiteral("Stop"), this), "cmdStop");
    cmdStop->setEnabled(false);

    auto *filters = new QHBoxLayout;
    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    filters->addWidget(label(QStringLiteral("&Kind"), cmbKind));
    filters->addWidget(cmbKind);
    filters->addWidget(label(QStringLiteral("&Contains"), txtContains));
    filters->addWidget(txtContains, 2);
    filters->addWidget(label(QStringLiteral("Submitted &By"), cmbSubmitter));
    filters->addWidget(cmbSubmitter, 1);
    auto *dates = new QHBoxLayout;
    dates->addWidget(label(QStringLiteral("Stamped (UTC) &from"), txtSince));
    dates->addWidget(txtSince);
    dates->addWidget(label(QStringLiteral("&to"), txtUntil));
    dates->addWidget(txtUntil);
    dates->addStretch(1);
    dates->addWidget(cmdFind);
    dates->addWidget(cmdStop);

    m_model = new EntryListModel(this);
    grdEntries = named(new QTableView(this), "grdEntries");
    grdEntries->setModel(m_model);
    grdEntries->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdEntries->setSelectionMode(QAbstractItemView::SingleSelection);
    grdEntries->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdEntries->setWordWrap(false);
    grdEntries->horizontalHeader()->setDefaultSectionSize(130);
    grdEntries->verticalHeader()->setVisible(false);
    grdEntries->installEventFilter(this);

    lblStatus = named(new QLabel(this), "lblStatus");
    chkIncludeVoid = named(new QCheckBox(QStringLiteral("Include void entries"), this), "chkIncludeVoid");
    chkIncludeVoid->setToolTip(QStringLiteral("Exports and prints leave voided entries out unless this is checked"));
    cmdExportCsv = named(new QPushButton(QStringLiteral("Export CSV…"), this), "cmdExportCsv");
    cmdExportPdf = named(new QPushButton(QStringLiteral("Export PDF…"), this), "cmdExportPdf");
    cmdPrint = named(new QPushButton(QStringLiteral("Print…"), this), "cmdPrint");
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(chkIncludeVoid);
    bottom->addWidget(cmdExportCsv);
    bottom->addWidget(cmdExportPdf);
    bottom->addWidget(cmdPrint);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addLayout(dates);
    layout->addWidget(grdEntries, 1);
    layout->addLayout(bottom);

    connect(cmbKind, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });
    connect(cmdFind, &QPushButton::clicked, this, [this] { applyFilter(); });
    for (QLineEdit *e : {txtContains, txtSince, txtUntil, cmbSubmitter->lineEdit()})
        connect(e, &QLineEdit::returnPressed, this, [this] { applyFilter(); });
    connect(cmdStop, &QPushButton::clicked, m_model, &EntryListModel::stop);
    connect(grdEntries, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &i) { openRow(i.row()); });
    connect(m_model, &EntryListModel::busyChanged, this, [this](bool busy) {
        cmdStop->setEnabled(busy);
        updateStatus();
    });
    connect(m_model, &EntryListModel::pageFinished, this, [this](const QString &error) {
        updateStatus();
        if (!error.isEmpty())
            inform(this, error);
    });
    connect(m_model, &EntryListModel::progressed, this, [this] { updateStatus(); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { updateStatus(); });
    connect(cmdExportCsv, &QPushButton::clicked, this, [this] { exportTo(ExportRequest::Csv); });
    connect(cmdExportPdf, &QPushButton::clicked, this, [this] { exportTo(ExportRequest::Pdf); });
    connect(cmdPrint, &QPushButton::clicked, this, &frmLogbookList::printEntries);

    applyFilter();
}

frmLogbookList::~frmLogbookList()
{
    if (m_exportThread) {
        m_cancel->store(true);
        m_exportThread->wait();
    }
}

bool frmLogbookList::applyFilter()
{
    EntryFilter f;
    f.contains = txtContains->text();
    f.submitter = cmbSubmitter->currentText().trimmed();
    if (!txtSince->text().trimmed().isEmpty() && !EntryFilter::parseBound(txtSince->text(), false, &f.since)) {
        inform(this, QStringLiteral("\"%1\" is not a date (2026-12-08) or a UTC time (2026-12-08T04:29).").arg(txtSince->text()));
        return false;
    }
    if (!txtUntil->text().trimmed().isEmpty() && !EntryFilter::parseBound(txtUntil->text(), true, &f.until)) {
        inform(this, QStringLiteral("\"%1\" is not a date (2026-12-08) or a UTC time (2026-12-08T04:29).").arg(txtUntil->text()));
        return false;
    }
    m_model->setQuery({settings().databaseDriver, settings().database}, cmbKind->currentData().toString(), f);
    updateStatus();
    return true;
}

void frmLogbookList::updateStatus()
{
    const int rows = m_model->rowCount();
    QString text;
    if (m_model->isBusy())
        text = QStringLiteral("Searching… %1 found so far").arg(rows);
    else if (!m_model->lastError().isEmpty())
        text = QStringLiteral("The logbook could not be read.");
    else if (m_model->wasStopped())
        text = QStringLiteral("Search stopped: %1 found. Press Find to search again.").arg(rows);
    else if (m_model->isExhausted())
        text = rows == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(rows);
    else
        text = QStringLiteral("%1 entries shown; scroll for more").arg(rows);
    lblStatus->setText(text);
}

bool frmLogbookList::openRow(int row)
{
    const qint64 key = m_model->keyAt(row);
    const RecordKind *kind = kindForTable(m_model->table());
    if (key < 0 || !kind)
        return false;
    auto *w = qobject_cast<RecordWindow *>(windows().window(kind->window));
    if (!w || !w->isOpen())
        return false;
    // The window leaves its row as on any move: a changed row is stored first.
    const bool moved = w->moveToKey(key);
    windows().show(kind->window);
    return moved;
}

bool frmLogbookList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grdEntries && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && grdEntries->currentIndex().isValid()) {
            openRow(grdEntries->currentIndex().row());
            return true;
        }
    }
    return ManagedWindow::eventFilter(watched, event);
}

bool frmLogbookList::queryUnload()
{
    if (m_exportThread)
        m_cancel->store(true);
    return true;
}

ExportRequest frmLogbookList::request(ExportRequest::Format format) const
{
    ExportRequest r;
    r.where = {settings().databaseDriver, settings().database};
    r.table = m_model->table();
    r.filter = m_model->filter();
    r.filter.includeVoid = chkIncludeVoid->isChecked();
    r.format = format;
    r.exportedAt = QDateTime::currentDateTimeUtc();
    return r;
}

void frmLogbookList::exportTo(ExportRequest::Format format)
{
    if (m_exportThread)
        return;
    const bool csv = format == ExportRequest::Csv;
    FileDialogRequest ask;
    ask.mode = FileDialogRequest::Save;
    ask.title = csv ? QStringLiteral("Export CSV") : QStringLiteral("Export PDF");
    ask.filter = csv ? QStringLiteral("CSV files (*.csv)") : QStringLiteral("PDF files (*.pdf)");
    ask.folder = QDir::homePath();
    ask.defaultSuffix = csv ? QStringLiteral("csv") : QStringLiteral("pdf");
    ask.objectName = QStringLiteral("cdlExport");
    const QString path = fileDialogs().choose(this, ask);
    if (path.isEmpty())
        return;

    const ExportRequest r = request(format);
    runInBackground(QStringLiteral("Exporting %1…").arg(QFileInfo(path).fileName()),
        [r, path](const ExportProgress &progress, QString *error) {
            return exportToFile(r, path, progress, error);
        },
        [this, path](ExportResult result) {
            if (result == ExportResult::Done)
                lblStatus->setText(QStringLiteral("Exported to %1").arg(QDir::toNativeSeparators(path)));
            else if (result == ExportResult::Cancelled)
                lblStatus->setText(QStringLiteral("Export cancelled; no file was written."));
        });
}

void frmLogbookList::runInBackground(const QString &label, Job job, std::function<void(ExportResult)> finished)
{
    m_cancel = std::make_shared<std::atomic_bool>(false);
    m_written = std::make_shared<std::atomic<qint64>>(0);
    auto total = std::make_shared<std::atomic<qint64>>(0);
    auto result = std::make_shared<ExportResult>(ExportResult::Failed);
    auto error = std::make_shared<QString>();
    auto cancel = m_cancel;
    auto written = m_written;

    m_progress = new QProgressDialog(label, QStringLiteral("Cancel"), 0, 0, this);
    m_progress->setObjectName(QStringLiteral("dlgExportProgress"));
    m_progress->setWindowModality(Qt::NonModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, [cancel] { cancel->store(true); });
    m_progress->show();

    auto *timer = new QTimer(m_progress);
    connect(timer, &QTimer::timeout, m_progress, [this, written, total] {
        if (!m_progress)
            return;
        if (total->load() > 0)
            m_progress->setMaximum(int(std::min<qint64>(total->load(), INT_MAX)));
        m_progress->setValue(int(std::min<qint64>(written->load(), INT_MAX)));
    });
    timer->start(100);

    m_exportThread = QThread::create([job = std::move(job), cancel, written, total, result, error] {
        *result = job([&](qint64 done, qint64 all) {
            written->store(done);
            total->store(all);
            return !cancel->load();
        }, error.get());
    });
    connect(m_exportThread, &QThread::finished, this, [this, result, error, finished = std::move(finished)] {
        m_exportThread->deleteLater();
        m_exportThread = nullptr;
        if (m_progress)
            m_progress->deleteLater();
        if (*result == ExportResult::Failed)
            inform(this, *error);
        finished(*result);
    });
    m_exportThread->start();
}

void frmLogbookList::printEntries()
{
    if (m_exportThread)
        return;
    // Painting on a printer works off the user-interface thread, so a long
    // report never freezes the window.
    auto printer = std::make_shared<QPrinter>();
    if (!printDialogs().choose(this, printer.get()))
        return;
    const ExportRequest r = request(ExportRequest::Pdf);
    runInBackground(QStringLiteral("Printing…"),
        [r, printer](const ExportProgress &progress, QString *error) {
            return exportReport(r, printer.get(), progress, error);
        },
        [this](ExportResult result) {
            if (result == ExportResult::Done)
                lblStatus->setText(QStringLiteral("Sent to the printer."));
            else if (result == ExportResult::Cancelled)
                lblStatus->setText(QStringLiteral("Printing cancelled."));
        });
}

} // namespace bravik::logbook
