#include "RecordHistoryWindow.h"

#include "RecordHistoryModel.h"
#include "Twips.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace bravik::logbook {

namespace {

QPlainTextEdit *valuePane(QWidget *parent, const char *name)
{
    auto *pane = new QPlainTextEdit(parent);
    pane->setObjectName(QLatin1String(name));
    pane->setReadOnly(true);
    pane->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    pane->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return pane;
}

QPushButton *copyButton(QWidget *parent, const char *name, const QString &caption, QPlainTextEdit *pane)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setEnabled(false);
    QObject::connect(b, &QPushButton::clicked, pane, [pane] {
        QGuiApplication::clipboard()->setText(pane->property("whole").toString());
    });
    return b;
}

} // namespace

frmRecordHistory::frmRecordHistory(QWidget *owner)
    : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("frmRecordHistory"));
    setWindowTitle(QStringLiteral("History"));
    lblHistory = new QLabel(this);
    lblHistory->setObjectName(QStringLiteral("lblHistory"));
    lblHistory->setWordWrap(true);

    m_model = new RecordHistoryModel(this);
    lstHistory = new QTableView(this);
    lstHistory->setObjectName(QStringLiteral("lstHistory"));
    lstHistory->setModel(m_model);
    lstHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstHistory->setSelectionMode(QAbstractItemView::SingleSelection);
    lstHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstHistory->setWordWrap(false);
    lstHistory->verticalHeader()->setVisible(false);
    lstHistory->horizontalHeader()->setStretchLastSection(true);
    lstHistory->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    // The selected change whole, old beside new, wrapped.
    auto *pane = new QWidget(this);
    auto *grid = new QGridLayout(pane);
    grid->setContentsMargins(0, 0, 0, 0);
    txtOldValue = valuePane(pane, "txtOldValue");
    txtNewValue = valuePane(pane, "txtNewValue");
    auto *oldLabel = new QLabel(QStringLiteral("&Old value"), pane);
    oldLabel->setBuddy(txtOldValue);
    auto *newLabel = new QLabel(QStringLiteral("&New value"), pane);
    newLabel->setBuddy(txtNewValue);
    cmdCopyOld = copyButton(pane, "cmdCopyOld", QStringLiteral("Copy old value"), txtOldValue);
    cmdCopyNew = copyButton(pane, "cmdCopyNew", QStringLiteral("Copy new value"), txtNewValue);
    lblPieces = new QLabel(pane);
    lblPieces->setObjectName(QStringLiteral("lblPieces"));
    lblPieces->setWordWrap(true);
    lblPieces->hide();
    grid->addWidget(oldLabel, 0, 0);
    grid->addWidget(newLabel, 0, 1);
    grid->addWidget(txtOldValue, 1, 0);
    grid->addWidget(txtNewValue, 1, 1);
    grid->addWidget(cmdCopyOld, 2, 0, Qt::AlignLeft);
    grid->addWidget(cmdCopyNew, 2, 1, Qt::AlignLeft);
    grid->addWidget(lblPieces, 3, 0, 1, 2);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(lstHistory);
    split->addWidget(pane);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblHistory);
    layout->addWidget(split, 1);
    twips::setClientSize(this, 10500, 6300);

    connect(lstHistory->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { selected(current.isValid() ? current.row() : -1); });
}

QString frmRecordHistory::paneText(const QString &value, bool *pieced)
{
    *pieced = false;
    const int piece = pieceLength();
    QString out;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value.at(i) != QLatin1Char('\n'))
            continue;
        const QStringView line = QStringView(value).mid(lineStart, i - lineStart);
        if (line.size() > piece)
            *pieced = true;
        for (qsizetype at = 0; at < line.size() || at == 0; at += piece) {
            if (at > 0)
                out += QLatin1Char('\n');
            out += line.mid(at, piece);
            if (line.isEmpty())
                break;
        }
        if (i < value.size())
            out += QLatin1Char('\n');
        lineStart = i + 1;
    }
    return out;
}

void frmRecordHistory::showValues(const QString &oldValue, const QString &newValue)
{
    bool oldPieced = false, newPieced = false;
    txtOldValue->setPlainText(paneText(oldValue, &oldPieced));
    txtNewValue->setPlainText(paneText(newValue, &newPieced));
    txtOldValue->setProperty("whole", oldValue);
    txtNewValue->setProperty("whole", newValue);
    cmdCopyOld->setEnabled(true);
    cmdCopyNew->setEnabled(true);
    lblPieces->setText(QStringLiteral("Lines longer than %L1 characters are shown in pieces of %L1, one to a line; "
                                      "the Copy buttons copy the value exactly as stored.")
                           .arg(pieceLength()));
    lblPieces->setVisible(oldPieced || newPieced);
}

void frmRecordHistory::clearValues(const QString &text)
{
    txtOldValue->setPlainText(text);
    txtNewValue->setPlainText(text);
    cmdCopyOld->setEnabled(false);
    cmdCopyNew->setEnabled(false);
    lblPieces->hide();
}

void frmRecordHistory::showEntries(const QString &what, const QList<history::Entry> &entries, const QString &note)
{
    m_shownRow = -1;
    clearValues(QString());
    m_model->setEntries(entries);
    QString text;
    if (entries.isEmpty())
        text = QStringLiteral("%1: not changed since it was first stored.").arg(what);
    else if (entries.size() == 1)
        text = QStringLiteral("%1: 1 change.").arg(what);
    else
        text = QStringLiteral("%1: %2 changes, newest first.").arg(what).arg(entries.size());
    if (!note.isEmpty())
        text += QLatin1Char('\n') + note;
    lblHistory->setText(text);
    // Columns as wide as what they show (the cells are one short line
    // each), the values at most a third of the list each.
    const int most = qMax(twips::toPixels(1500), lstHistory->viewport()->width() / 3);
    for (int c = 0; c < RecordHistoryModel::ColumnCount; ++c) {
        lstHistory->resizeColumnToContents(c);
        if (c == RecordHistoryModel::OldValue || c == RecordHistoryModel::NewValue)
            lstHistory->setColumnWidth(c, qMin(lstHistory->columnWidth(c), most));
    }
}

void frmRecordHistory::showMessage(const QString &text)
{
    m_shownRow = -1;
    m_model->setEntries({});
    clearValues(QString());
    lblHistory->setText(text);
}

void frmRecordHistory::selected(int row)
{
    m_shownRow = row;
    if (row < 0 || row >= m_model->rowCount()) {
        clearValues(QString());
        return;
    }
    if (m_model->isCut(row)) {
        clearValues(QStringLiteral("Reading the whole value\u2026"));
        Q_EMIT wholeValuesWanted(row, m_model->entry(row).key);
        return;
    }
    showValues(m_model->entry(row).oldValue, m_model->entry(row).newValue);
}

void frmRecordHistory::showWholeValues(int row, const QString &oldValue, const QString &newValue)
{
    m_model->setWholeValues(row, oldValue, newValue);
    if (row == m_shownRow)
        selected(row);
}

void frmRecordHistory::showValuesFailed(int row, const QString &message)
{
    if (row != m_shownRow)
        return;
    clearValues(QStringLiteral("The whole value cannot be read: %1").arg(message));
}

} // namespace bravik::logbook
