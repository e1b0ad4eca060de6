#include "frmMissionDisplay.h"

#include "Controls.h"
#include "FieldLogWindows.h"
#include "LaunchCommands.h"
#include "LaunchSession.h"
#include "MissionPictures.h"
#include "MissionReview.h"
#include "Platform.h"
#include "PrediveGate.h"
#include "RecordFront.h"
#include "Seams.h"
#include "Settings.h"
#include "Twips.h"
#include "GpsLink.h"

#include <QComboBox>
#include <QDateTime>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QSysInfo>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

using namespace bravik;

namespace {

// Findings wrap in their column, rows as tall as their text.
class WrappingDelegate : public QStyledItemDelegate
{
public:
    WrappingDelegate(QTreeView *view) : QStyledItemDelegate(view), m_view(view) {}
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QSize base = QStyledItemDelegate::sizeHint(option, index);
        if (index.column() != 2)
            return base;
        const int width = std::max(80, m_view->header()->sectionSize(2) - 10);
        const QRect r = option.fontMetrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap,
                                                        index.data().toString());
        return QSize(base.width(), std::max(base.height(), r.height() + 4));
    }

private:
    QTreeView *m_view;
};

frmMission *missionWindow()
{
    return windows().existing<frmMission>();
}

// The mission log row's position boxes as shown, or empty when all are.
QString positionText(frmMission *m)
{
    if (!m)
        return {};
    const QStringList lat{m->txtLatitudeInt->text().trimmed(), m->txtLatitudeMinutes->text().trimmed(),
                          m->cmbNS->currentText().trimmed()};
    const QStringList lon{m->txtLongitudeInt->text().trimmed(), m->txtLongitudeMinutes->text().trimmed(),
                          m->cmbEW->currentText().trimmed()};
    auto joined = [](const QStringList &parts) {
        QStringList out;
        for (const QString &p : parts)
            if (!p.isEmpty())
                out << p;
        return out.join(QLatin1Char(' '));
    };
    const QString a = joined(lat), b = joined(lon);
    if (a.isEmpty() && b.isEmpty())
        return {};
    return a + QStringLiteral(", ") + b;
}

std::optional<mission::GeoPosition> startPosition(frmMission *m)
{
    if (!m)
        return std::nullopt;
    return mission::positionFromBoxes(m->txtLatitudeInt->text(), m->txtLatitudeMinutes->text(), m->cmbNS->currentText(),
                                      m->txtLongitudeInt->text(), m->txtLongitudeMinutes->text(), m->cmbEW->currentText());
}

// The key of the mission log row.  A new row is stored first so the launch
// can name it; the store goes through the window's logbook thread and is
// never waited for: when its answer comes after the launch record was
// written, the record gets the key then.
struct PendingMissionKey
{
    bool answered = false;
    qint64 key = -1;
    qint64 launchKey = -1;
};

std::shared_ptr<PendingMissionKey> missionKey(frmMission *m, qint64 fallback)
{
    auto pending = std::make_shared<PendingMissionKey>();
    pending->key = fallback;
    logbook::RecordFront *c = m ? m->cursor() : nullptr;
    if (!c) {
        pending->answered = true;
        return pending;
    }
    if (!(c->isNewRow() && c->isChanged())) {
        pending->answered = true;
        if (c->currentKey() >= 0)
            pending->key = c->currentKey();
        return pending;
    }
    QPointer<logbook::RecordFront> front(c);
    c->request(logbook::RecordFront::Request::Save, [pending, front](bool ok) {
        pending->answered = true;
        if (!ok || !front || front->currentKey() < 0)
            return;
        pending->key = front->currentKey();
        if (pending->launchKey >= 0)
            launch::LaunchSession::instance().update(pending->launchKey, {{QStringLiteral("MissionKey"), pending->key}},
                                                     [](bool ok, const QString &error) {
                                                         if (!ok)
                                                             qWarning("bravik-log: the launch record could not name "
                                                                      "its mission row: %s",
                                                                      qPrintable(error));
                                                     });
    });
    return pending;
}

// One press of "Run Mission" whose launch record is on its way: the run
// command starts once the logbook has answered the insert, or after
// LaunchSession::recordBound() without it.  It does not depend on the
// review window staying open.
struct LaunchStart
{
    QPointer<frmMissionDisplay> window;
    QString missionPath;
    std::shared_ptr<PendingMissionKey> missionKey;
    qint64 ticket = -1;
    bool answered = false;   // the insert was answered
    qint64 key = -1;
    QString error;
    bool started = false;    // the run command was tried
};

QString recordLateText(std::chrono::milliseconds bound)
{
    return QStringLiteral("The launch record could not be written before the start: the logbook did not answer within "
                          "%1 s. It will be written when the logbook answers.")
        .arg(double(bound.count()) / 1000.0);
}

void startRun(const std::shared_ptr<LaunchStart> &start)
{
    start->started = true;
    launch::LaunchSession &session = launch::LaunchSession::instance();
    const qint64 ticket = start->ticket;
    const QString missionPath = start->missionPath;
    auto problems = std::make_shared<QStringList>();
    if (!start->answered)
        problems->append(recordLateText(launch::LaunchSession::recordBound()));
    else if (start->key < 0)
        problems->append(QStringLiteral("The launch record could not be written before the start: %1").arg(start->error));
    if (!start->missionKey->answered)
        start->missionKey->launchKey = ticket;
    const QString statusFile = session.statusFileFor(ticket, QStringLiteral("run"));
    const launch::StartOutcome outcome = launch::startRunCommand(missionPath, statusFile);

    QVariantMap after;
    after.insert(QStringLiteral("RunCommand"), outcome.command);
    after.insert(QStringLiteral("StartResult"), outcome.started ? QStringLiteral("started") : outcome.reason);
    if (outcome.recording)
        after.insert(QStringLiteral("RunStatusFile"), statusFile);
    else if (outcome.started)
        after.insert(QStringLiteral("RunOutput"), QStringLiteral("(not recorded: the output recorder bravik-run-wrapped was not found)"));
    if (session.hasRecord(ticket)) {
        // Answered in step (a quick logbook): told with the start's own
        // message; answered later: told on its own.
        auto collecting = std::make_shared<bool>(true);
        session.update(ticket, after, [problems, collecting, ticket](bool ok, const QString &error) {
            if (ok || !launch::LaunchSession::instance().hasRecord(ticket))
                return;
            const QString text = QStringLiteral("The launch record could not be completed: %1").arg(error);
            if (*collecting)
                problems->append(text);
            else
                inform(nullptr, text);
        });
        *collecting = false;
    }
    if (outcome.started) {
        session.setRunLine(outcome.recording ? QStringLiteral("running") : QStringLiteral("started; output not recorded"));
        if (outcome.recording)
            session.watch(ticket, statusFile, false);
    }
    frmMissionDisplay *w = start->window;
    if (w)
        w->runTried();
    if (!outcome.started) {
        // The mission never started: no abort window, the review stays.
        problems->prepend(outcome.message);
        inform(w, problems->join(QStringLiteral("\n\n")));
        return;
    }
    windows().show(QStringLiteral("frmAbortMission"));
    if (!problems->isEmpty())
        inform(nullptr, QStringLiteral("The mission was started.\n\n") + problems->join(QStringLiteral("\n\n")));
    if (w)
        w->close();
}

QString findingsText(const mission::MissionCheck &check)
{
    QStringList lines;
    for (const mission::Finding &f : check.findings)
        lines << launch::findingLine(f);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

frmMissionDisplay::frmMissionDisplay(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmMissionDisplay"));
    setWindowTitle(QStringLiteral("Selected Mission"));

    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };

    lblMissionName = new QLabel(QStringLiteral("Mission file name"), this);
    named(lblMissionName, "lblMissionName");
    txtMissionName = new QLineEdit(this);
    named(txtMissionName, "txtMissionName");
    controls::takeAnyLength(txtMissionName);
    lblMissionName->setBuddy(txtMissionName);

    lblMissionScript = new QLabel(QStringLiteral("Mission Script"), this);
    named(lblMissionScript, "lblMissionScript");
    txtMissionScript = new QPlainTextEdit(this);
    named(txtMissionScript, "txtMissionScript");
    txtMissionScript->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtMissionScript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMissionScript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMissionScript->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lblMissionScript->setBuddy(txtMissionScript);

    lblEditsNotice = new QLabel(launch::editsNotice(), this);
    named(lblEditsNotice, "lblEditsNotice");
    lblEditsNotice->setStyleSheet(QStringLiteral("QLabel { color: #8a4b00; font-weight: bold; }"));
    lblEditsNotice->setVisible(false);

    lblPrediveCheck = new QLabel(this);
    named(lblPrediveCheck, "lblPrediveCheck");
    lblPrediveCheck->setWordWrap(true);
    lblPrediveCheck->setVisible(false);

    lblLaunchRecord = new QLabel(this);
    named(lblLaunchRecord, "lblLaunchRecord");
    lblLaunchRecord->setWordWrap(true);
    lblLaunchRecord->setVisible(false);

    lblChecked = new QLabel(QStringLiteral("Mission script checked by:"), this);
    named(lblChecked, "lblChecked");
    cmbChecked = new QComboBox(this);
    named(cmbChecked, "cmbChecked");
    controls::keepTypedText(cmbChecked);
    cmbChecked->addItems(settings().reviewers);
    cmbChecked->setCurrentIndex(-1);
    cmbChecked->setEditText(QString());
    lblChecked->setBuddy(cmbChecked);

    cmdRunMission = new QPushButton(QStringLiteral("Run Mission"), this);
    named(cmdRunMission, "cmdRunMission");
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    named(cmdCancel, "cmdCancel");

    lblSummary = new QLabel(this);
    named(lblSummary, "lblSummary");
    lblSummary->setWordWrap(true);
    lblSummary->setTextFormat(Qt::RichText);
    QFont big = lblSummary->font();
    big.setPointSizeF(big.pointSizeF() * 1.15);
    lblSummary->setFont(big);

    lstFindings = new QTreeWidget(this);
    named(lstFindings, "lstFindings");
    lstFindings->setHeaderLabels({QStringLiteral("Severity"), QStringLiteral("Line"), QStringLiteral("Finding")});
    lstFindings->setRootIsDecorated(false);
    lstFindings->setWordWrap(true);
    lstFindings->setTextElideMode(Qt::ElideNone);
    lstFindings->setUniformRowHeights(false);
    lstFindings->setItemDelegate(new WrappingDelegate(lstFindings));
    lstFindings->setAlternatingRowColors(false);
    lstFindings->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    lstFindings->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lstFindings->header()->setStretchLastSection(true);
    // Long findings wrap; the rows grow once the column has its width.
    connect(lstFindings->header(), &QHeaderView::sectionResized, lstFindings, [this] { lstFindings->doItemsLayout(); });

    picDepthProfile = new launch::DepthProfileView(this);
    picTrack = new launch::TrackView(this);

    auto *left = new QVBoxLayout;
    left->addWidget(lblMissionName);
    left->addWidget(txtMissionName);
    left->addWidget(lblMissionScript);
    left->addWidget(txtMissionScript, 1);
    left->addWidget(lblEditsNotice);
    left->addWidget(lblChecked);
    left->addWidget(cmbChecked);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdRunMission);
    buttons->addWidget(cmdCancel);
    left->addLayout(buttons);
    left->addWidget(lblPrediveCheck);
    left->addWidget(lblLaunchRecord);

    auto *right = new QVBoxLayout;
    right->addWidget(lblSummary);
    right->addWidget(lstFindings, 2);
    right->addWidget(picDepthProfile, 2);
    right->addWidget(picTrack, 3);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 5);
    layout->addLayout(right, 6);
    twips::setClientSize(this, 16200, 10200);

    connect(cmdRunMission, &QPushButton::clicked, this, &frmMissionDisplay::cmdRunMission_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmMissionDisplay::cmdCancel_Click);
    connect(txtMissionScript, &QPlainTextEdit::textChanged, this, [this] {
        lblEditsNotice->setVisible(!m_reviewedPath.isEmpty() && txtMissionScript->toPlainText() != m_shownText);
    });

    load();
}

void frmMissionDisplay::load()
{
    const QString path = launch::chosenMission();
    std::optional<launch::MissionText> text = launch::takePreparedText(path);
    if (!text)
        text = launch::readMissionForReview(path);
    txtMissionName->setText(path);
    if (!text->ok()) {
        // Shown without a readable file (not through "Select Mission"):
        // say why and go away again rather than review nothing.
        inform(nullptr, text->message);
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    m_reviewedBytes = text->bytes;
    m_reviewedText = text->text;
    m_sha256 = launch::sha256Hex(m_reviewedBytes);
    m_reviewedAt = launch::utcNow();
    frmMission *m = missionWindow();
    m_position = positionText(m);
    if (m && m->cursor())
        m_missionKey = m->cursor()->currentKey();
    m_check = mission::checkMissionBytes(m_reviewedBytes, mission::vehicleLimits(settings()), startPosition(m));
    txtMissionScript->setPlainText(text->text);
    m_shownText = txtMissionScript->toPlainText();
    m_reviewedPath = path;
    showCheck();
}

void frmMissionDisplay::showCheck()
{
    const int errors = m_check.errorCount(), warnings = m_check.warningCount();
    QString verdict;
    if (errors == 0 && warnings == 0)
        verdict = QStringLiteral("<span style='color:#006020'><b>No findings.</b></span>");
    else
        verdict = QStringLiteral("<span style='color:%1'><b>%2 error%3, %4 warning%5.</b></span>")
                      .arg(errors ? QStringLiteral("#b00000") : QStringLiteral("#8a4b00"))
                      .arg(errors)
                      .arg(errors == 1 ? QString() : QStringLiteral("s"))
                      .arg(warnings)
                      .arg(warnings == 1 ? QString() : QStringLiteral("s"));
    lblSummary->setText(m_check.summary().toHtmlEscaped() + QStringLiteral("<br>") + verdict);

    lstFindings->clear();
    for (const mission::Finding &f : m_check.findings) {
        auto *item = new QTreeWidgetItem(lstFindings);
        item->setText(0, f.limit ? QStringLiteral("error (limit)") : mission::severityName(f.severity));
        item->setText(1, f.line > 0 ? QString::number(f.line) : QStringLiteral("file"));
        item->setText(2, f.text);
        item->setToolTip(2, f.text);
        const QColor back = f.isError() ? QColor(255, 210, 210) : QColor(255, 228, 170);
        const QColor fore = f.isError() ? QColor(150, 0, 0) : QColor(110, 60, 0);
        for (int c = 0; c < 3; ++c) {
            item->setBackground(c, back);
            item->setForeground(c, fore);
        }
    }
    picDepthProfile->setCheck(m_check);
    picTrack->setCheck(m_check);
}

void frmMissionDisplay::cmdRunMission_Click()
{
    if (m_launchPending)
        return;
    const QString missionPath = txtMissionName->text();
    const QString refusal = launch::runRefusal(cmbChecked->currentText(), missionPath);
    if (!refusal.isEmpty()) {
        inform(this, refusal);
        return;
    }
    const QList<mission::Finding> limits = m_check.limitFindings();
    if (!limits.isEmpty()) {
        inform(this, launch::limitRefusal(limits));
        return;
    }
    if (settings().launchRequirePredive > 0.0) {
        askForPredive(missionPath, cmbChecked->currentText());
        return;
    }
    startReviewedRun(missionPath, cmbChecked->currentText());
}

void frmMissionDisplay::askForPredive(const QString &missionPath, const QString &reviewer)
{
    if (m_predivePending)
        return;
    const int ticket = ++m_prediveAsked;
    m_predivePending = ticket;
    cmdRunMission->setEnabled(false);
    lblPrediveCheck->setText(QStringLiteral("Looking for the predive checklist in the logbook…"));
    lblPrediveCheck->setVisible(true);

    const Settings &s = settings();
    const std::chrono::milliseconds timeout(s.statementTimeoutMs);
    auto answered = [this, ticket, missionPath, reviewer](const logbook::predive::GateAnswer &answer) {
        if (m_predivePending != ticket)
            return;
        m_predivePending = 0;
        cmdRunMission->setEnabled(true);
        lblPrediveCheck->setVisible(false);
        if (!answer.allowsRun()) {
            inform(this, answer.message);
            return;
        }
        startReviewedRun(missionPath, reviewer);
    };
    logbook::predive::checkInBackground({s.databaseDriver, s.database}, s.launchRequirePredive,
                                        QDateTime::currentDateTimeUtc(), timeout, this, answered);
    // The connection has limits of its own; this one holds whatever happens.
    const int patience = s.statementTimeoutMs + 15000;
    QTimer::singleShot(patience, this, [this, ticket, patience] {
        if (m_predivePending != ticket)
            return;
        m_predivePending = 0;
        cmdRunMission->setEnabled(true);
        lblPrediveCheck->setVisible(false);
        inform(this, QStringLiteral("The predive checklist could not be read from the logbook, so the mission was "
                                    "not started.\nThe logbook did not answer within %1 s.")
                         .arg(patience / 1000));
    });
}

void frmMissionDisplay::startReviewedRun(const QString &missionPath, const QString &reviewer)
{
    QVariantMap record;
    if (missionPath == m_reviewedPath) {
        // The file that runs must be the file that was reviewed.
        const launch::MissionText now = launch::readMissionForReview(missionPath);
        if (!now.ok() || launch::sha256Hex(now.bytes) != m_sha256) {
            inform(this, now.ok() ? launch::changedAfterReviewMessage()
                                  : launch::changedAfterReviewMessage() + QLatin1Char('\n') + now.message);
            return;
        }
        record.insert(QStringLiteral("RunFileSha256"), m_sha256);
    } else {
        const launch::MissionText other = launch::readMissionForReview(missionPath);
        QString note = QStringLiteral("Not the file reviewed: the file name was edited before the run.");
        if (other.ok())
            record.insert(QStringLiteral("RunFileSha256"), launch::sha256Hex(other.bytes));
        else
            note += QLatin1Char(' ') + other.message;
        record.insert(QStringLiteral("RunFileNote"), note);
    }

    frmMission *m = missionWindow();
    const QString position = m ? positionText(m) : m_position;
    std::optional<qint64> ageMs;
    if (m && m->gps() && m->gps()->feed())
        ageMs = m->gps()->feed()->fixAgeMs();
    const std::shared_ptr<PendingMissionKey> key = missionKey(m, m_missionKey);
    if (key->answered && key->key >= 0)
        record.insert(QStringLiteral("MissionKey"), key->key);
    record.insert(QStringLiteral("ReviewedFile"), m_reviewedPath);
    record.insert(QStringLiteral("ReviewedSha256"), m_sha256);
    record.insert(QStringLiteral("ReviewedBytes"), qint64(m_reviewedBytes.size()));
    record.insert(QStringLiteral("ReviewedText"), m_reviewedText);
    record.insert(QStringLiteral("ReviewedAtUtc"), m_reviewedAt);
    record.insert(QStringLiteral("Reviewer"), reviewer);
    record.insert(QStringLiteral("Findings"), findingsText(m_check));
    record.insert(QStringLiteral("RunFile"), missionPath);
    record.insert(QStringLiteral("StartedAtUtc"), launch::utcNow());
    record.insert(QStringLiteral("Workstation"), QSysInfo::machineHostName());
    record.insert(QStringLiteral("OsUser"), platform::userName());
    record.insert(QStringLiteral("Position"), position);
    if (ageMs)
        record.insert(QStringLiteral("PositionAgeSeconds"), qint64(std::llround(double(*ageMs) / 1000.0)));

    // One run per press: the button stays off while the record is on its way.
    // Cancel too: the press is already on its way to the vehicle.
    m_launchPending = true;
    cmdRunMission->setEnabled(false);
    cmdCancel->setEnabled(false);
    auto start = std::make_shared<LaunchStart>();
    start->window = this;
    start->missionPath = missionPath;
    start->missionKey = key;
    // The answer may come within begin() (a test taking answers in step).
    auto inBegin = std::make_shared<bool>(true);
    launch::LaunchSession &session = launch::LaunchSession::instance();
    const qint64 ticket = session.begin(record, [start, inBegin](qint64 launchKey, const QString &error) {
        if (start->started) {
            // Answered after the mission was started without it.
            if (launchKey < 0)
                inform(nullptr, QStringLiteral("The launch record could not be written: %1").arg(error));
            return;
        }
        start->answered = true;
        start->key = launchKey;
        start->error = error;
        if (!*inBegin)
            startRun(start);
    });
    *inBegin = false;
    start->ticket = ticket;
    if (start->answered) {
        startRun(start);
        return;
    }
    const std::chrono::milliseconds bound = launch::LaunchSession::recordBound();
    QTimer::singleShot(bound, &session, [start] {
        if (!start->started)
            startRun(start);
    });
    QTimer::singleShot(logbook::RecordFront::waitingAfter(), this, [this, start] {
        if (start->started)
            return;
        lblLaunchRecord->setText(QStringLiteral("Writing the launch record…"));
        lblLaunchRecord->setVisible(true);
    });
}

void frmMissionDisplay::runTried()
{
    m_launchPending = false;
    lblLaunchRecord->setVisible(false);
    cmdRunMission->setEnabled(true);
    cmdCancel->setEnabled(true);
}

void frmMissionDisplay::cmdCancel_Click()
{
    close();
}
