#include "LaunchWindows.h"

#include "LaunchListModel.h"
#include "LaunchSession.h"
#include "LogbookService.h"
#include "Settings.h"
#include "Twips.h"

#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

using namespace bravik;
using bravik::launch::LaunchListModel;

frmLaunches::frmLaunches(QWidget *parent)
    : ManagedWindow(parent)
    , m_model(std::make_unique<LaunchListModel>(logbook::DatabaseLocation{settings().databaseDriver, settings().database},
                                                launch::LaunchSession::deadline()))
{
    setObjectName(QStringLiteral("frmLaunches"));
    setWindowTitle(QStringLiteral("Launches"));
    lblLaunches = new QLabel(this);
    lblLaunches->setObjectName(QStringLiteral("lblLaunches"));
    lblLaunches->setWordWrap(true);

    fraWaiting = new QFrame(this);
    fraWaiting->setObjectName(QStringLiteral("fraWaiting"));
    fraWaiting->setFrameShape(QFrame::StyledPanel);
    auto *row = new QHBoxLayout(fraWaiting);
    row->setContentsMargins(6, 3, 6, 3);
    lblWaiting = new QLabel(m_model->client().waitingText(), fraWaiting);
    lblWaiting->setObjectName(QStringLiteral("lblWaiting"));
    cmdStopWaiting = new QPushButton(tr("Stop waiting"), fraWaiting);
    cmdStopWaiting->setObjectName(QStringLiteral("cmdStopWaiting"));
    row->addWidget(lblWaiting, 1);
    row->addWidget(cmdStopWaiting);
    fraWaiting->hide();

    lstLaunches = new QTreeView(this);
    lstLaunches->setObjectName(QStringLiteral("lstLaunches"));
    lstLaunches->setRootIsDecorated(false);
    lstLaunches->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstLaunches->setModel(m_model.get());
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
    layout->addWidget(fraWaiting);
    layout->addWidget(split, 1);
    twips::setClientSize(this, 12000, 9000);

    connect(lstLaunches->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &frmLaunches::showRecord);
    connect(m_model.get(), &LaunchListModel::modelAboutToBeReset, this, [this] { m_keptId = m_shownId; });
    connect(m_model.get(), &LaunchListModel::answered, this, &frmLaunches::answered);
    connect(&m_model->client(), &logbook::LogbookClient::waitingChanged, fraWaiting, &QWidget::setVisible);
    connect(cmdStopWaiting, &QPushButton::clicked, this, [this] { m_model->client().stopWaiting(); });
    // A launch record written (an abort, a run's end, a completion from
    // its status file): the list is read again.
    connect(&launch::LaunchSession::instance(), &launch::LaunchSession::recordChanged, m_model.get(),
            &LaunchListModel::refresh);
}

frmLaunches::~frmLaunches() = default;

void frmLaunches::showMission(qint64 missionKey)
{
    if (missionKey >= 0)
        launch::LaunchSession::instance().recover();
    lblLaunches->setText(missionKey < 0 ? QString() : QStringLiteral("Reading the launch records…"));
    m_shownId.clear();
    m_keptId.clear();
    m_model->showMission(missionKey);
}

void frmLaunches::answered(bool ok)
{
    const int rows = m_model->rowCount();
    if (!ok)
        lblLaunches->setText(QStringLiteral("The launch records cannot be read: %1").arg(m_model->error()));
    else if (m_model->missionKey() < 0)
        lblLaunches->setText(QStringLiteral("This mission log row is not stored yet; it has no launches."));
    else if (rows == 0)
        lblLaunches->setText(QStringLiteral("No launches of this mission log row."));
    else if (rows == 1)
        lblLaunches->setText(QStringLiteral("1 launch of this mission log row."));
    else
        lblLaunches->setText(QStringLiteral("%1 launches of this mission log row, newest first.").arg(rows));
    if (!ok)
        return;
    // The record shown before the list was read again stays shown.
    int current = 0;
    for (int r = 0; r < rows; ++r)
        if (m_model->index(r, 0).data(LaunchListModel::IdRole).toString() == m_keptId)
            current = r;
    if (rows > 0)
        lstLaunches->setCurrentIndex(m_model->index(current, 0));
    else
        txtLaunch->clear();
}

void frmLaunches::showRecord()
{
    const QModelIndex current = lstLaunches->currentIndex();
    m_shownId = current.data(LaunchListModel::IdRole).toString();
    txtLaunch->setPlainText(current.data(LaunchListModel::RecordTextRole).toString());
}
