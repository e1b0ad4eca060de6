#include "frmMissionDisplay.h"

#include "ChartView.h"
#include "Coastline.h"
#include "Controls.h"
#include "FieldLogWindows.h"
#include "LaunchCommands.h"
#include "LaunchSession.h"
#include "MissionPictures.h"
#include "MissionReview.h"
#include "Platform.h"
#include "LaunchRecorder.h"
#include "LogbookService.h"
#include "PrediveGate.h"
#include "RecordFront.h"
#include "ReviewFindingsModel.h"
#include "ScriptEditor.h"
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
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QSysInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

using namespace bravik;

namespace {

// Findings wrap in their column, rows as tall as their text, while the
// first five of them, wrapped, are all in sight; in a shorter list each
// takes one line, cut short, its whole text in its tooltip.
class WrappingDelegate : public QStyledItemDelegate
{
public:
    WrappingDelegate(QTreeView *view) : QStyledItemDelegate(view), m_view(view), m_viewport(view->viewport())
    {
        m_viewport->installEventFilter(this);
        connect(view->header(), &QHeaderView::sectionResized, this, [this] {
            m_view->doItemsLayout();
            refit();
        });
        connect(view->model(), &QAbstractItemModel::modelReset, this, [this] {
            if (!m_refitDue)
                QTimer::singleShot(0, this, [this] { refit(); });
            m_refitDue = true;
        });
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QSize base = QStyledItemDelegate::sizeHint(option, index);
        if (index.column() != 2 || !m_wrap)
            return base;
        return QSize(base.width(), std::max(base.height(), wrappedHeight(option.fontMetrics, index.data().toString())));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The viewport kept from the start: asked of the list while it is
        // being destroyed (its viewport's last events), it is no list any
        // more.
        if (watched != m_viewport)
            return QStyledItemDelegate::eventFilter(watched, event);
        if (event->type() == QEvent::Resize)
            refit();
        return false;
    }

private:
    int wrappedHeight(const QFontMetrics &metrics, const QString &text) const
    {
        const int width = std::max(80, m_view->header()->sectionSize(2) - 10);
        return metrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, text).height() + 4;
    }
    void refit()
    {
        m_refitDue = false;
        const QFontMetrics metrics = m_view->fontMetrics();
        int needed = 0;
        const QAbstractItemModel *model = m_view->model();
        for (int i = 0; i < std::min(5, model->rowCount()); ++i)
            needed += std::max(metrics.height() + 8, wrappedHeight(metrics, model->index(i, 2).data().toString()));
        const bool wrap = needed <= m_view->viewport()->height();
        if (wrap == m_wrap)
            return;
        m_wrap = wrap;
        m_view->setWordWrap(wrap);
        m_view->setTextElideMode(wrap ? Qt::ElideNone : Qt::ElideRight);
        m_view->doItemsLayout();
    }

    QTreeView *m_view;
    QWidget *m_viewport;   // the list's, compared only
    bool m_wrap = true;
    bool m_refitDue = false;
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

// The mission log row's water depth, when it holds a positive number.
std::optional<double> waterDepth(frmMission *m)
{
    if (!m)
        return std::nullopt;
    bool ok = false;
    const double v = m->txtWaterDepth->text().trimmed().toDouble(&ok);
    if (!ok || !(v > 0.0) || !std::isfinite(v))
        return std::nullopt;
    return v;
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
// never waited for.  Whenever its answer comes, before or after the launch
// record's insert was answered, the record gets the key by its id: the
// update is queued behind the insert, so it lands on the record.
struct PendingMissionKey
{
    bool answered = false;
    qint64 key = -1;
    QString launchId;   // the launch record to name the row in, once known
};

void linkMission(const QString &launchId, qint64 missionKey)
{
    launch::LaunchSession::instance().update(launchId, {{QStringLiteral("MissionKey"), missionKey}},
                                             [](bool ok, const QString &error) {
                                                 if (!ok)
                                                     qWarning("bravik-log: the launch record could not name "
                                                              "its mission row: %s",
                                                              qPrintable(error));
                                             });
}

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
        if (!pending->launchId.isEmpty())
            linkMission(pending->launchId, pending->key);
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
    QString id;              // the launch record's
    QString statusFile;      // where the run's output goes
    bool answered = false;   // the insert was answered
    bool recorded = false;
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
    const QString id = start->id;
    QStringList problems;
    if (!start->answered)
        problems.append(recordLateText(launch::LaunchSession::recordBound()));
    else if (!start->recorded)
        problems.append(QStringLiteral("The launch record could not be written before the start: %1").arg(start->error));
    const launch::StartOutcome outcome = launch::startRunCommand(start->missionPath, start->statusFile);

    QVariantMap after;
    after.insert(QStringLiteral("RunCommand"), outcome.command);
    after.insert(QStringLiteral("StartResult"), outcome.started ? QStringLiteral("started") : outcome.reason);
    if (!outcome.recording)
        after.insert(QStringLiteral("RunStatusFile"), QVariant());   // no status file will come
    if (outcome.started && !outcome.recording)
        after.insert(QStringLiteral("RunOutput"), QStringLiteral("(not recorded: the output recorder bravik-run-wrapped was not found)"));
    if (session.hasRecord(id)) {
        session.update(id, after, [id](bool ok, const QString &error) {
            // A record whose insert was refused was told of already.
            if (!ok && launch::LaunchSession::instance().hasRecord(id))
                launch::LaunchSession::instance().tell(QStringLiteral("The launch record could not be completed: %1").arg(error));
        });
    }
    if (outcome.started) {
        session.setRunLine(outcome.recording ? QStringLiteral("running") : QStringLiteral("started; output not recorded"));
        if (outcome.recording)
            session.watch(id, start->statusFile, false);
    }
    frmMissionDisplay *w = start->window;
    if (w)
        w->runTried();
    if (!outcome.started) {
        // The mission never started: no abort window, the review stays.
        problems.prepend(outcome.message);
        inform(w, problems.join(QStringLiteral("\n\n")));
        return;
    }
    windows().show(QStringLiteral("frmAbortMission"));
    if (!problems.isEmpty())
        inform(nullptr, QStringLiteral("The mission was started.\n\n") + problems.join(QStringLiteral("\n\n")));
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
    txtMissionScript = new launch::ScriptEditor(this);
    named(txtMissionScript, "txtMissionScript");
    txtMissionScript->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtMissionScript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMissionScript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMissionScript->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lblMissionScript->setBuddy(txtMissionScript);

    lblChanges = new QLabel(this);
    named(lblChanges, "lblChanges");
    lblChanges->setWordWrap(true);
    lblChanges->setTextFormat(Qt::RichText);
    lblChanges->setVisible(false);
    txtChanges = new QPlainTextEdit(this);
    named(txtChanges, "txtChanges");
    txtChanges->setReadOnly(true);
    txtChanges->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtChanges->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtChanges->setVisible(false);
    txtChanges->setMaximumHeight(QFontMetrics(txtChanges->font()).lineSpacing() * 7 + 12);

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

    lstFindings = new QTreeView(this);
    named(lstFindings, "lstFindings");
    m_findings = new launch::ReviewFindingsModel(lstFindings);
    lstFindings->setModel(m_findings);
    lstFindings->setRootIsDecorated(false);
    lstFindings->setWordWrap(true);
    lstFindings->setTextElideMode(Qt::ElideNone);
    lstFindings->setUniformRowHeights(false);
    lstFindings->setItemDelegate(new WrappingDelegate(lstFindings));
    lstFindings->setAlternatingRowColors(false);
    lstFindings->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    lstFindings->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lstFindings->header()->setStretchLastSection(true);
    // Five one-line findings in sight whatever the scale.
    lstFindings->setMinimumHeight(lstFindings->header()->sizeHint().height() + 5 * (QFontMetrics(lstFindings->font()).height() + 8) + 6);
    connect(lstFindings, &QTreeView::clicked, this, &frmMissionDisplay::showFinding);
    connect(lstFindings->selectionModel(), &QItemSelectionModel::currentChanged, this, &frmMissionDisplay::showFinding);

    picDepthProfile = new launch::DepthProfileView(this);
    picTrack = new chart::ChartView(this);
    picTrack->setObjectName(QStringLiteral("picTrack"));
    picTrack->setAccessibleName(QStringLiteral("Track on the chart"));

    auto *left = new QVBoxLayout;
    left->addWidget(lblMissionName);
    left->addWidget(txtMissionName);
    left->addWidget(lblMissionScript);
    left->addWidget(txtMissionScript, 1);
    left->addWidget(lblChanges);
    left->addWidget(txtChanges);
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
    // The findings, the depth picture and the chart share the height; the
    // crew can give one more of it.
    auto *pictures = new QSplitter(Qt::Vertical, this);
    pictures->setObjectName(QStringLiteral("splitPictures"));
    pictures->setChildrenCollapsible(false);
    pictures->addWidget(lstFindings);
    pictures->addWidget(picDepthProfile);
    pictures->addWidget(picTrack);
    pictures->setStretchFactor(0, 2);
    pictures->setStretchFactor(1, 2);
    pictures->setStretchFactor(2, 3);
    right->addWidget(pictures, 1);

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

frmMissionDisplay::~frmMissionDisplay() = default;

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
    mission::CheckContext context;
    context.waterDepth = waterDepth(m);
    context.coastline = &chart::Coastline::forFolder(settings().chartCoastlineFolder);
    m_check = mission::checkMissionBytes(m_reviewedBytes, mission::vehicleLimits(settings()), startPosition(m), context);
    txtMissionScript->setPlainText(text->text);
    m_shownText = txtMissionScript->toPlainText();
    m_reviewedPath = path;
    picTrack->setCoastline(context.coastline);
    showCheck();
    askForEarlierReview();
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
    // The shore in brief: every waypoint's distance is in the tooltip.
    lblSummary->setText(m_check.briefSummary().toHtmlEscaped() + QStringLiteral("<br>") + verdict);
    lblSummary->setToolTip(QStringLiteral("<p>%1</p>").arg(m_check.summary().toHtmlEscaped()));

    m_findings->setFindings(m_check.findings);
    picDepthProfile->setCheck(m_check);
    picTrack->setData(mission::chartData(m_check));
}

void frmMissionDisplay::showFinding(const QModelIndex &index)
{
    const int line = index.data(launch::ReviewFindingsModel::LineRole).toInt();
    if (line > 0)
        txtMissionScript->showLine(line);
}

void frmMissionDisplay::askForEarlierReview()
{
    const launch::EarlierReviewProvider &provider = launch::earlierReviewProvider();
    if (!provider)
        return;
    QPointer<frmMissionDisplay> self(this);
    const QString reviewed = m_reviewedText;
    lblChanges->setText(QStringLiteral("Looking in the logbook for the last run of this file name…"));
    lblChanges->setVisible(true);
    provider(m_reviewedPath, [self, reviewed](const launch::EarlierRun &earlier) {
        if (!self)
            return;
        self->txtChanges->setVisible(false);
        self->txtMissionScript->setChangedLines({});
        if (earlier.kind == launch::EarlierRun::Kind::NotRunBefore) {
            self->lblChanges->setText(QStringLiteral("Not run before under this file name."));
            return;
        }
        if (earlier.kind == launch::EarlierRun::Kind::NotAvailable) {
            const QString why = earlier.reason.trimmed();
            self->lblChanges->setText(QStringLiteral("The changes since the last run of this file name are not available: %1")
                                          .arg(why.isEmpty() ? QStringLiteral("the logbook gave no reason.") : why)
                                          .toHtmlEscaped());
            return;
        }
        const launch::ScriptChanges changes = launch::compareScripts(earlier.review.text, reviewed);
        const QString who = QStringLiteral("reviewed by %1 at %2").arg(earlier.review.reviewer, earlier.review.reviewedAtUtc);
        if (changes.unchanged()) {
            self->lblChanges->setText(QStringLiteral("<b>Unchanged</b> since this file name last ran (%1).").arg(who.toHtmlEscaped()));
        } else {
            self->lblChanges->setText(QStringLiteral("<b>Changed since this file name last ran</b> (%1): %2, marked beside the line numbers.")
                                          .arg(who.toHtmlEscaped(), changes.countText()));
            self->txtChanges->setPlainText(changes.hunks());
            self->txtChanges->setVisible(true);
        }
        self->txtMissionScript->setChangedLines(changes.addedLines());
    });
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
    m_predivePending = true;
    cmdRunMission->setEnabled(false);
    lblPrediveCheck->setText(QStringLiteral("Looking for the predive checklist in the logbook…"));
    lblPrediveCheck->setVisible(true);

    const Settings &s = settings();
    const logbook::DatabaseLocation where{s.databaseDriver, s.database};
    if (!m_logbook || m_logbook->location() != where)
        m_logbook = std::make_unique<logbook::LogbookClient>(where);
    // The logbook's deadline ends the wait: an answer always comes.
    launch::predive::check(*m_logbook, s.launchRequirePredive, QDateTime::currentDateTimeUtc(),
                           launch::LaunchSession::deadline(),
                           [this, missionPath, reviewer](const launch::predive::GateAnswer &answer) {
                               m_predivePending = false;
                               cmdRunMission->setEnabled(true);
                               lblPrediveCheck->setVisible(false);
                               if (!answer.allowsRun()) {
                                   inform(this, answer.message);
                                   return;
                               }
                               startReviewedRun(missionPath, reviewer);
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
    launch::LaunchSession &session = launch::LaunchSession::instance();
    auto start = std::make_shared<LaunchStart>();
    start->window = this;
    start->missionPath = missionPath;
    start->id = launch::LaunchRecorder::newId();
    // The run's status file is named before the record is written, so a
    // program that ends before the start is told still leaves a record
    // that finds it at its next start.
    start->statusFile = session.statusFileFor(start->id, QStringLiteral("run"));
    record.insert(QStringLiteral("RunCommand"), launch::runCommandLine(missionPath));
    record.insert(QStringLiteral("StartResult"), launch::LaunchSession::startNotToldText());
    if (!start->statusFile.isEmpty())
        record.insert(QStringLiteral("RunStatusFile"), start->statusFile);
    session.begin(start->id, record, [start](bool ok, const QString &error) {
        if (start->started) {
            // Answered after the mission was started without it.
            if (!ok)
                launch::LaunchSession::instance().tell(QStringLiteral("The launch record could not be written: %1").arg(error));
            return;
        }
        start->answered = true;
        start->recorded = ok;
        start->error = error;
        startRun(start);
    });
    if (!key->answered)
        key->launchId = start->id;
    const std::chrono::milliseconds bound = launch::LaunchSession::recordBound();
    QTimer::singleShot(bound, &session, [start] {
        if (!start->started)
            startRun(start);
    });
    QTimer::singleShot(logbook::LogbookService::waitingAfter(), this, [this, start] {
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
