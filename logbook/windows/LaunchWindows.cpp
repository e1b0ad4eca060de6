#include "LaunchWindows.h"

#include "Database.h"
#include "LaunchLog.h"
#include "Settings.h"
#include "Twips.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace bravik;
using namespace bravik::logbook;

frmLaunches::frmLaunches(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmLaunches"));
    setWindowTitle(QStringLiteral("Launches"));
    lblLaunches = new QLabel(this);
    lblLaunches->setObjectName(QStringLiteral("lblLaunches"));
    lblLaunches->setWordWrap(true);
    lstLaunches = new QTreeWidget(this);
    lstLaunches->setObjectName(QStringLiteral("lstLaunches"));
    lstLaunches->setRootIsDecorated(false);
    lstLaunches->setHeaderLabels({QStringLiteral("Started (UTC)"), QStringLiteral("Reviewer"), QStringLiteral("File"),
                                  QStringLiteral("Start"), QStringLiteral("Exit"), QStringLiteral("Aborted (UTC)")});
    lstLaunches->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    txtLaunch = new QPlainTextEdit(this);
    txtLaunch->setObjectName(QStringLiteral("txtLaunch"));
    txtLaunch->setReadOnly(true);
    txtLaunch->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLaunch->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(lstLaunches);
    split->addWidget(txtLaunch);
    split->setStretchFactor(1, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblLaunches);
    layout->addWidget(split, 1);
    twips::setClientSize(this, 12000, 9000);
    connect(lstLaunches, &QTreeWidget::currentItemChanged, this, &frmLaunches::showRecord);
}

frmLaunches::~frmLaunches() = default;

bool frmLaunches::showMission(qint64 missionKey)
{
    lstLaunches->clear();
    txtLaunch->clear();
    if (missionKey < 0) {
        lblLaunches->setText(QStringLiteral("This mission log row is not stored yet; it has no launches."));
        return true;
    }
    QString error;
    if (!m_db)
        m_db = Database::open({settings().databaseDriver, settings().database}, &error);
    QList<launchlog::Record> records;
    if (!m_db || !launchlog::forMission(*m_db, missionKey, &records, &error)) {
        m_db.reset();
        lblLaunches->setText(QStringLiteral("The launch records cannot be read: %1").arg(error));
        return false;
    }
    lblLaunches->setText(records.isEmpty() ? QStringLiteral("No launches of this mission log row.")
                                           : QStringLiteral("%1 launch(es) of this mission log row, newest first.").arg(records.size()));
    for (const launchlog::Record &r : records) {
        auto *item = new QTreeWidgetItem(lstLaunches);
        item->setText(0, r.text(QStringLiteral("StartedAtUtc")));
        item->setText(1, r.text(QStringLiteral("Reviewer")));
        item->setText(2, r.text(QStringLiteral("RunFile")));
        item->setText(3, r.text(QStringLiteral("StartResult")));
        item->setText(4, r.text(QStringLiteral("RunExitStatus")));
        item->setText(5, r.text(QStringLiteral("AbortedAtUtc")));
        QStringList whole;
        for (const QString &f : launchlog::fields()) {
            if (f == QLatin1String("ReviewedText"))
                continue;
            const QString v = r.text(f);
            whole << QStringLiteral("%1: %2").arg(f, v.contains(QLatin1Char('\n')) ? QStringLiteral("\n  ") + QString(v).replace(QLatin1Char('\n'), QStringLiteral("\n  ")) : v);
        }
        whole << QStringLiteral("ReviewedText:") << r.text(QStringLiteral("ReviewedText"));
        item->setData(0, Qt::UserRole, whole.join(QLatin1Char('\n')));
    }
    if (lstLaunches->topLevelItemCount() > 0)
        lstLaunches->setCurrentItem(lstLaunches->topLevelItem(0));
    return true;
}

void frmLaunches::showRecord()
{
    QTreeWidgetItem *item = lstLaunches->currentItem();
    txtLaunch->setPlainText(item ? item->data(0, Qt::UserRole).toString() : QString());
}
