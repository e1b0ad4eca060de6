#include "RecordHistoryWindow.h"

#include "Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace bravik::logbook {

frmRecordHistory::frmRecordHistory(QWidget *owner)
    : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("frmRecordHistory"));
    setWindowTitle(QStringLiteral("History"));
    lblHistory = new QLabel(this);
    lblHistory->setObjectName(QStringLiteral("lblHistory"));
    lblHistory->setWordWrap(true);
    lstHistory = new QTreeWidget(this);
    lstHistory->setObjectName(QStringLiteral("lstHistory"));
    lstHistory->setRootIsDecorated(false);
    lstHistory->setUniformRowHeights(true);
    lstHistory->setHeaderLabels({QStringLiteral("When (UTC)"), QStringLiteral("Field"), QStringLiteral("Old value"),
                                 QStringLiteral("New value"), QStringLiteral("Workstation"), QStringLiteral("User")});
    lstHistory->header()->setSectionResizeMode(QHeaderView::Interactive);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblHistory);
    layout->addWidget(lstHistory, 1);
    twips::setClientSize(this, 10500, 4500);
}

void frmRecordHistory::showEntries(const QString &what, const QList<history::Entry> &entries)
{
    lstHistory->clear();
    lblHistory->setText(entries.isEmpty()
                            ? QStringLiteral("%1: not changed since it was first stored.").arg(what)
                            : QStringLiteral("%1: %2 change(s), newest first.").arg(what).arg(entries.size()));
    for (const history::Entry &e : entries) {
        auto *item = new QTreeWidgetItem(lstHistory);
        const QStringList texts{history::readableTime(e.changedAtUtc), e.field, e.oldValue, e.newValue, e.workstation,
                                e.osUser};
        for (int i = 0; i < texts.size(); ++i) {
            // A long or many-lined value shows its first line; the whole in
            // the tooltip.
            QString shown = texts.at(i);
            shown.replace(QLatin1Char('\n'), QStringLiteral(" \u21b5 "));
            item->setText(i, shown);
            item->setToolTip(i, texts.at(i));
        }
    }
    for (int i = 0; i < lstHistory->columnCount(); ++i) {
        lstHistory->resizeColumnToContents(i);
        lstHistory->setColumnWidth(i, qMin(lstHistory->columnWidth(i), twips::toPixels(3000)));
    }
}

void frmRecordHistory::showMessage(const QString &text)
{
    lstHistory->clear();
    lblHistory->setText(text);
}

} // namespace bravik::logbook
