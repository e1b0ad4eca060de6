#include "frmLogbookList.h"

#include "EntryListModel.h"
#include "LogbookService.h"
#include "OutputPath.h"
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
#include <QStyle>
#include <QTableView>
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
    chkConflicts = named(new QCheckBox(QStringLiteral("Only entries in co&nflict"), this), "chkConflicts");
    chkConflicts->setToolTip(QStringLiteral("Entries changed on two computers to different values, "
                                            "not settled yet"));
    dates->addWidget(chkConflicts);
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
    lblNotice = named(new QLabel(this), "lblNotice");
    lblNotice->setWordWrap(true);
    lblNotice->setStyleSheet(QStringLiteral("color: #8a4b00"));
    lblNotice->hide();
    chkIncludeVoid = named(new QCheckBox(QStringLiteral("Include void entries"), this), "chkIncludeVoid");
    chkIncludeVoid->setToolTip(QStringLiteral("Exports and prints leave voided entries out unless this is checked; "
                                              "checked, the list shows which entries are void and why"));
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
    layout->addWidget(lblNotice);
    layout->addWidget(grdEntries, 1);
    layout->addLayout(bottom);

    connect(cmbKind, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });
    connect(cmdFind, &QPushButton::clicked, this, [this] { applyFilter(); });
    connect(chkConflicts, &QCheckBox::toggled, this, [this] { applyFilter(); });
    for (QLineEdit *e : {txtContains, txtSince, txtUntil, cmbSubmitter->lineEdit()})
        connect(e, &QLineEdit::returnPressed, this, [this] { applyFilter(); });
    connect(cmdStop, &QPushButton::clicked, m_model, &EntryListModel::stop);
    connect(grdEntries, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &i) { openRow(i.row()); });
    connect(m_model, &EntryListModel::busyChanged, this, [this](bool busy) {
        cmdStop->setEnabled(busy);
        updateStatus();
    });
    connect(m_model, &EntryListModel::pageFinished, this, [this](const QString &error) {
        sizeColumns();
        updateStatus();
        if (!error.isEmpty())
            inform(this, error);
    });
    connect(m_model, &EntryListModel::progressed, this, [this] { updateStatus(); });
    connect(m_model, &EntryListModel::waitingChanged, this, [this] { updateStatus(); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { updateStatus(); });
    connect(cmdExportCsv, &QPushButton::clicked, this, [this] { exportTo(ExportRequest::Csv); });
    connect(cmdExportPdf, &QPushButton::clicked, this, [this] { exportTo(ExportRequest::Pdf); });
    connect(cmdPrint, &QPushButton::clicked, this, &frmLogbookList::printEntries);
    connect(chkIncludeVoid, &QCheckBox::toggled, this, [this](bool checked) {
        m_model->setVoidColumnsShown(checked);
        // The two columns come at the end: brought into sight.
        if (checked && m_model->rowCount() > 0)
            grdEntries->scrollTo(m_model->index(0, m_model->columnCount() - 1));
    });

    applyFilter();
}

// An export or print still running is stopped with the window's client
// (its file is never written); nothing here waits for it.
frmLogbookList::~frmLogbookList()
{
    if (m_exporter)
        m_exporter->stopWaiting();
}

bool frmLogbookList::applyFilter()
{
    EntryFilter f;
    f.contains = txtContains->text();
    f.submitter = cmbSubmitter->currentText().trimmed();
    f.inConflict = chkConflicts->isChecked();
    if (!txtSince->text().trimmed().isEmpty() && !EntryFilter::parseBound(txtSince->text(), false, &f.since)) {
        inform(this, QStringLiteral("\"%1\" is not a date (2026-12-08) or a UTC time (2026-12-08T04:29).").arg(txtSince->text()));
        return false;
    }
    if (!txtUntil->text().trimmed().isEmpty() && !EntryFilter::parseBound(txtUntil->text(), true, &f.until)) {
        inform(this, QStringLiteral("\"%1\" is not a date (2026-12-08) or a UTC time (2026-12-08T04:29).").arg(txtUntil->text()));
        return false;
    }
    m_model->setQuery({settings().databaseDriver, settings().database}, cmbKind->currentData().toString(), f);
    m_columnsSized = false;
    m_outcome.clear();
    updateStatus();
    return true;
}

void frmLogbookList::sizeColumns()
{
    if (m_columnsSized || m_model->rowCount() == 0)
        return;
    m_columnsSized = true;
    // Each column as wide as the first page needs (within reason); the
    // notes take what is left; the Date/Time cell has room for the mark
    // of a corrected row beside its text.
    QHeaderView *header = grdEntries->horizontalHeader();
    const int most = qMax(200, grdEntries->viewport()->width() / 3);
    int notes = -1;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        header->setSectionResizeMode(c, QHeaderView::Interactive);
        grdEntries->resizeColumnToContents(c);
        grdEntries->setColumnWidth(c, qMin(grdEntries->columnWidth(c), most));
        const QString name = m_model->headerData(c, Qt::Horizontal).toString();
        if (notes < 0 && (name == QLatin1String("Notes") || name == QLatin1String("Note")))
            notes = c;
    }
    const int mark = grdEntries->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, grdEntries)
                     + 2 * grdEntries->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grdEntries) + 4;
    grdEntries->setColumnWidth(0, qMax(grdEntries->columnWidth(0), grdEntries->fontMetrics().horizontalAdvance(
                                                                        m_model->data(m_model->index(0, 0)).toString())
                                                                        + mark + 12));
    if (notes >= 0) {
        int others = 0;
        for (int c = 0; c < m_model->columnCount(); ++c)
            if (c != notes)
                others += grdEntries->columnWidth(c);
        grdEntries->setColumnWidth(notes, qMax(grdEntries->columnWidth(notes),
                                               grdEntries->viewport()->width() - others));
    }
}

void frmLogbookList::updateStatus()
{
    const int rows = m_model->rowCount();
    QString text;
    if (m_model->isWaiting())
        text = QStringLiteral("%1 %2 found so far.").arg(m_model->waitingText()).arg(rows);
    else if (m_model->isBusy())
        text = QStringLiteral("Searching… %1 found so far").arg(rows);
    else if (!m_model->lastError().isEmpty())
        text = QStringLiteral("The logbook could not be read.");
    else if (m_model->wasStopped())
        text = QStringLiteral("Search stopped: %1 found. Press Find to search again.").arg(rows);
    else if (m_model->isExhausted())
        text = rows == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(rows);
    else
        text = QStringLiteral("%1 entries shown; scroll for more").arg(rows);
    lblStatus->setText(m_outcome.isEmpty() ? text : m_outcome + QStringLiteral("  ") + text);
    // Known once the list has reached the logbook.
    const QString notice = Database::notice({settings().databaseDriver, settings().database});
    lblNotice->setText(notice);
    lblNotice->setVisible(!notice.isEmpty());
}

bool frmLogbookList::openRow(int row)
{
    return openEntry(m_model->table(), m_model->keyAt(row));
}

bool openEntry(const QString &table, qint64 key)
{
    const RecordKind *kind = kindForTable(table);
    if (key < 0 || !kind)
        return false;
    auto *w = qobject_cast<RecordWindow *>(windows().window(kind->window));
    if (!w || w->openFailed())
        return false;
    // The window leaves its row as on any move: a changed row is stored
    // first.  A window made just now takes the move after its table opens.
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
    if (m_exporter)
        m_exporter->stopWaiting();
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

void frmLogbookList::showOutcome(const QString &text)
{
    m_outcome = text;
    updateStatus();
}

void frmLogbookList::exportTo(ExportRequest::Format format)
{
    if (m_progress)
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
        [r, path](Database &db, const ExportProgress &progress, QString *error) {
            return exportToFile(db, r, path, progress, error);
        },
        [this, path](ExportResult result) {
            if (result == ExportResult::Done)
                showOutcome(QStringLiteral("Exported to %1").arg(QDir::toNativeSeparators(path)));
            else if (result == ExportResult::Cancelled)
                showOutcome(QStringLiteral("Export cancelled; no file was written."));
        });
}

void frmLogbookList::runInBackground(const QString &label, ExportWork work, std::function<void(ExportResult)> finished)
{
    const DatabaseLocation where{settings().databaseDriver, settings().database};
    if (!m_exporter || m_exporter->location() != where) {
        m_exporter = std::make_unique<LogbookClient>(where);
        connect(m_exporter.get(), &LogbookClient::progressed, this, [this](double share) {
            if (!m_progress)
                return;
            m_progress->setMaximum(1000);
            m_progress->setValue(int(share * 1000));
        });
    }
    m_progress = new QProgressDialog(label, QStringLiteral("Cancel"), 0, 0, this);
    m_progress->setObjectName(QStringLiteral("dlgExportProgress"));
    m_progress->setWindowModality(Qt::NonModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, [this] { m_exporter->stopWaiting(); });
    m_progress->show();

    struct Outcome
    {
        ExportResult result = ExportResult::Failed;
        QString error;
    };
    JobOptions options;
    options.lane = JobOptions::Lane::Long;
    m_exporter->run(
        options,
        [work = std::move(work)](JobContext &c) {
            Outcome o;
            o.result = runExportJob(c, work, {}, &o.error);
            return o;
        },
        [this, finished = std::move(finished)](const Answer<Outcome> &answer) {
            if (m_progress)
                m_progress->deleteLater();
            m_progress = nullptr;
            // Stopped before it could end: nothing was written.
            ExportResult result = answer.ok() ? answer.value.result : ExportResult::Failed;
            if (answer.status == JobStatus::Withdrawn)
                result = ExportResult::Cancelled;
            if (result == ExportResult::Failed)
                inform(this, answer.ok() ? answer.value.error : answer.error);
            finished(result);
        });
}

void frmLogbookList::printEntries()
{
    if (m_progress)
        return;
    // Painting on a printer works off the user-interface thread (in the
    // logbook's job that reads the entries), so a long report never
    // freezes the window.
    auto printer = std::make_shared<QPrinter>();
    // The margins of an exported report, which the dialog may change.
    setReportMargins(printer.get());
    if (!printDialogs().choose(this, printer.get()))
        return;
    const ExportRequest r = request(ExportRequest::Pdf);
    // Printed to a file: never over the logbook.
    if (const QString file = printer->outputFileName(); !file.isEmpty()) {
        if (const QString problem = outputPathProblem(r.where, file); !problem.isEmpty()) {
            inform(this, problem);
            return;
        }
    }
    runInBackground(QStringLiteral("Printing…"),
        [r, printer](Database &db, const ExportProgress &progress, QString *error) {
            const ExportResult result = exportReport(db, r, printer.get(), progress, error, nullptr,
                                                     [&printer] { printer->abort(); });
            if (result == ExportResult::Failed && !printer->outputFileName().isEmpty()
                && error->startsWith(QStringLiteral("The report could not be started")))
                *error = QStringLiteral("\"%1\" cannot be written.").arg(QDir::toNativeSeparators(printer->outputFileName()));
            return result;
        },
        [this](ExportResult result) {
            if (result == ExportResult::Done)
                showOutcome(QStringLiteral("Sent to the printer."));
            else if (result == ExportResult::Cancelled)
                showOutcome(QStringLiteral("Printing cancelled."));
        });
}

} // namespace bravik::logbook
