#include "RecordWindow.h"

#include "AttachmentsWindow.h"

#include "Controls.h"
#include "Database.h"
#include "RecordBinder.h"
#include "RecordFront.h"
#include "RecordHistoryModel.h"
#include "RecordHistoryWindow.h"
#include "ConflictLines.h"
#include "RecordNavigator.h"
#include "Platform.h"
#include "Seams.h"
#include "Settings.h"
#include "Twips.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QPointer>
#include <QPalette>
#include <QColor>
#include <cstdio>

namespace bravik::logbook {

RecordWindow::RecordWindow(const RecordWindowFrame &frame, QWidget *parent)
    : ManagedWindow(parent)
    , m_frame(frame)
{
    setWindowTitle(frame.caption);
    twips::setClientSize(this, frame.clientWidth, frame.clientHeight);

    m_navigator = new RecordNavigator(frame.navigatorCaption, this);
    twips::place(m_navigator, frame.navigatorPlace.x(), frame.navigatorPlace.y(),
                 frame.navigatorPlace.width(), frame.navigatorPlace.height());
    connect(m_navigator, &RecordNavigator::firstRequested, this, &RecordWindow::moveFirst);
    connect(m_navigator, &RecordNavigator::previousRequested, this, &RecordWindow::movePrevious);
    connect(m_navigator, &RecordNavigator::nextRequested, this, &RecordWindow::moveNext);
    connect(m_navigator, &RecordNavigator::lastRequested, this, &RecordWindow::moveLast);

    cmdQuit = addButton("cmdQuit", tr("Return to Main"), frame.quitPlace.x(), frame.quitPlace.y(),
                        frame.quitPlace.width(), frame.quitPlace.height());
    connect(cmdQuit, &QPushButton::clicked, this, &RecordWindow::returnToMain);
}

RecordWindow::~RecordWindow() = default;

void RecordWindow::finishSetup(const QList<QWidget *> &tabOrder)
{
    if (objectName().isEmpty())
        setObjectName(QString::fromLatin1(metaObject()->className()));
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
    // The bar's buttons follow the window's own controls.
    QWidget *previous = tabOrder.isEmpty() ? nullptr : tabOrder.last();
    for (const char *name : {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"}) {
        QWidget *b = m_navigator->findChild<QWidget *>(QString::fromLatin1(name));
        if (previous)
            setTabOrder(previous, b);
        previous = b;
    }
    widenStampBox();
    addCorrectionRow();
    if (previous)
        setTabOrder(previous, m_cmdHistory);
    setTabOrder(m_cmdHistory, m_cmdVoid);
    setTabOrder(m_cmdVoid, m_cmdRestore);
    setTabOrder(m_cmdRestore, m_cmdAttachments);
    m_firstFocus = tabOrder.isEmpty() ? nullptr : tabOrder.first();
    if (m_firstFocus)
        m_firstFocus->setFocus();

    history::setOsUser(platform::userName());
    m_cursor = std::make_unique<RecordFront>(DatabaseLocation{settings().databaseDriver, settings().database},
                                             m_frame.table);
    m_binder = std::make_unique<RecordBinder>(this, m_cursor.get());
    connect(m_cursor.get(), &RecordFront::rowShown, m_binder.get(), &RecordBinder::showRow);
    connect(m_cursor.get(), &RecordFront::failed, this, &RecordWindow::engineFailed);
    connect(m_cursor.get(), &RecordFront::waitingChanged, this, &RecordWindow::showWaiting);
    connect(m_cursor.get(), &RecordFront::opened, this, [this](bool ok) { setInputAllowed(ok); });
    connect(m_cursor.get(), &RecordFront::rowShown, this, &RecordWindow::showVoidBanner);
    addConflictLines();
    connect(m_cursor.get(), &RecordFront::rowShown, this, [this] { setInputAllowed(true); });
    connect(m_cursor.get(), &RecordFront::rowShown, this, [this] {
        // An open history window follows the row; read once this answer
        // is handled.
        if (m_history && m_history->isVisible())
            QTimer::singleShot(0, this, &RecordWindow::refreshHistory);
        if (m_attachments && m_attachments->isVisible())
            QTimer::singleShot(0, this, &RecordWindow::refreshAttachments);
    });
    // Files dropped anywhere on the window, its boxes too, are attached.
    setAcceptDrops(true);

    // Nothing typed or clicked reaches the row while a request runs.
    for (QWidget *w : findChildren<QWidget *>()) {
        if (RecordBinder::fieldOf(w).isEmpty())
            continue;
        m_guarded << w;
        w->installEventFilter(this);
        for (QWidget *inner : w->findChildren<QWidget *>())
            inner->installEventFilter(this);
    }
    m_guarded << m_navigator << m_cmdHistory << m_cmdVoid << m_cmdRestore << m_cmdAttachments;
    for (QWidget *button : {m_cmdHistory, m_cmdVoid, m_cmdRestore, m_cmdAttachments})
        button->installEventFilter(this);
    for (QWidget *inner : m_navigator->findChildren<QWidget *>())
        inner->installEventFilter(this);

    m_waitingLine = new QFrame(this);
    m_waitingLine->setObjectName(QStringLiteral("fraWaiting"));
    m_waitingLine->setFrameShape(QFrame::StyledPanel);
    m_waitingLine->setAutoFillBackground(true);
    auto *row = new QHBoxLayout(m_waitingLine);
    row->setContentsMargins(6, 3, 6, 3);
    m_waitingText = new QLabel(m_cursor->waitingText(), m_waitingLine);
    m_waitingText->setObjectName(QStringLiteral("lblWaiting"));
    auto *stop = new QPushButton(tr("Stop waiting"), m_waitingLine);
    stop->setObjectName(QStringLiteral("cmdStopWaiting"));
    row->addWidget(m_waitingText, 1);
    row->addWidget(stop);
    connect(stop, &QPushButton::clicked, this, &RecordWindow::stopWaiting);
    m_waitingLine->setGeometry(0, 0, twips::toPixels(m_frame.clientWidth), m_waitingLine->sizeHint().height());
    m_waitingLine->hide();

    m_cursor->request(RecordFront::Request::Open);
}

bool RecordWindow::isOpen() const
{
    return m_cursor && m_cursor->isOpen();
}

bool RecordWindow::openFailed() const
{
    return m_cursor && m_cursor->openFailed();
}

void RecordWindow::setInputAllowed(bool allowed)
{
    // Without its table the window cannot keep anything, so nothing can
    // be typed into it; "Return to Main" still works.  A void entry's
    // boxes can be read and copied from, not changed.
    const bool enable = allowed && isOpen() && !m_cursor->isWaiting();
    const bool voided = m_cursor && m_cursor->isVoided();
    for (QWidget *w : std::as_const(m_guarded)) {
        if (auto *e = qobject_cast<QLineEdit *>(w)) {
            e->setEnabled(enable);
            e->setReadOnly(voided);
        } else if (auto *p = qobject_cast<QPlainTextEdit *>(w)) {
            p->setEnabled(enable);
            p->setReadOnly(voided);
        } else {
            w->setEnabled(enable && !(voided && !RecordBinder::fieldOf(w).isEmpty()));
        }
    }
}

void RecordWindow::stopWaiting()
{
    if (!m_cursor || m_cursor->stopWaiting())
        return;
    tell(tr("The entry is being stored right now, so waiting for it cannot be stopped. "
            "The window says so as soon as the logbook answers."));
}

void RecordWindow::showWaiting(bool waiting)
{
    if (waiting) {
        m_waitingLine->setGeometry(0, 0, width(), m_waitingLine->sizeHint().height());
        m_waitingLine->raise();
    }
    m_waitingLine->setVisible(waiting);
    setInputAllowed(!waiting);
}

bool RecordWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop) {
        auto *drop = static_cast<QDropEvent *>(event);
        if (!droppedFiles(drop->mimeData()).isEmpty()) {
            if (event->type() == QEvent::Drop)
                dropEvent(drop);
            else
                drop->acceptProposedAction();
            return true;
        }
    }
    if (m_cursor && m_cursor->isBusy()) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::InputMethod:
            return true;
        default:
            break;
        }
    }
    return ManagedWindow::eventFilter(watched, event);
}

namespace {
bool quittingNow = false;
} // namespace

void RecordWindow::setQuitting(bool quitting)
{
    quittingNow = quitting;
}

void RecordWindow::tell(const QString &message)
{
    if (quittingNow) {
        std::fprintf(stderr, "bravik-log: %s: %s\n", qPrintable(m_frame.table),
                     qPrintable(QString(message).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        return;
    }
    inform(this, message);
}

void RecordWindow::widenStampBox()
{
    // The date-and-time box shows a whole clock text; where it is drawn
    // narrower than that it grows to the right into free space.
    auto *box = findChild<QLineEdit *>(QStringLiteral("txtTime"));
    if (!box)
        return;
    QStyleOptionFrame option;
    option.initFrom(box);
    const int textWidth = box->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00  "));
    const int needed = box->style()->sizeFromContents(QStyle::CT_LineEdit, &option,
                                                      QSize(textWidth, box->height()), box).width();
    if (box->width() >= needed)
        return;
    const QRect wanted(box->x(), box->y(), needed, box->height());
    for (QWidget *other : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (other != box && !other->isHidden() && other->geometry().intersects(wanted))
            return;
    }
    if (wanted.right() >= twips::toPixels(m_frame.clientWidth))
        return;
    box->setGeometry(wanted);
}

void RecordWindow::engineFailed(const QString &message)
{
    // A store for closing reports its failure itself, in one message.
    if (m_closePending)
        return;
    tell(message);
}

bool RecordWindow::navigate(int request)
{
    if (!m_cursor || m_cursor->openFailed())
        return false;
    return m_cursor->request(RecordFront::Request(request), [this](bool ok) {
        if (ok)
            m_closeRefused = false;
    });
}

bool RecordWindow::moveFirst() { return navigate(int(RecordFront::Request::First)); }
bool RecordWindow::movePrevious() { return navigate(int(RecordFront::Request::Previous)); }
bool RecordWindow::moveNext() { return navigate(int(RecordFront::Request::Next)); }
bool RecordWindow::moveLast() { return navigate(int(RecordFront::Request::Last)); }
bool RecordWindow::beginNewRow() { return navigate(int(RecordFront::Request::BeginNew)); }

void RecordWindow::whenSettled(std::function<void(bool ok)> done)
{
    if (!m_cursor || m_cursor->openFailed()) {
        done(false);
        return;
    }
    m_cursor->whenSettled(std::move(done));
}

bool RecordWindow::beginEntry(const RecordFront::Stamp &stamp, std::function<void(bool ok)> done)
{
    if (!m_cursor || m_cursor->openFailed())
        return false;
    return m_cursor->beginEntry(stamp, [this, done = std::move(done)](bool ok) {
        if (ok)
            m_closeRefused = false;
        if (done)
            done(ok);
    });
}

bool RecordWindow::moveToKey(qint64 key)
{
    if (!m_cursor || m_cursor->openFailed())
        return false;
    return m_cursor->moveToKey(key, [this](bool ok) {
        if (ok)
            m_closeRefused = false;
    });
}

void RecordWindow::returnToMain()
{
    leavingForMain();
    if (!close()) {
        // Closes once the row is stored; the main window comes then.
        m_mainAfterClose = m_closePending;
        return;
    }
    const QString main = QStringLiteral("frmLogMain");
    if (windows().isRegistered(main))
        windows().show(main);
}

bool RecordWindow::queryUnload()
{
    // A window still opening stores what it holds once its table is open
    // (a submission's stamp, a GPS fix); one whose table could not be
    // opened has nothing it could store.
    // A window still opening stores what it holds once its table is open
    // (a submission's stamp, a GPS fix); one whose table could not be
    // opened has nothing it could store.
    if (!m_cursor || m_cursor->openFailed() || m_closeNow)
        return true;
    if (m_closePending)
        return false;   // closes when its store answers
    if (!m_cursor->isBusy() && !m_cursor->isChanged()) {
        m_closeRefused = false;
        return true;
    }
    m_closePending = true;
    const bool toldBefore = m_closeRefused;
    // The answer always comes later: the window closes then.
    m_cursor->request(RecordFront::Request::Save, [this, toldBefore](bool ok) { closeStored(ok, toldBefore); });
    return false;
}

void RecordWindow::closeStored(bool ok, bool toldBefore)
{
    m_closePending = false;
    bool goes = true;
    if (ok) {
        m_closeRefused = false;
    } else {
        const QString message = m_cursor->lastError();
        if (m_cursor->hasConflict()) {
            // Changed elsewhere: the message tells the two ways on.
            goes = false;
            tell(message);
        } else if (!m_cursor->isChanged()) {
            // Stored after all (the engine had something to report about it).
            tell(message);
        } else if (toldBefore) {
            // The user was told once and closes again: let the window go
            // rather than keep them in it for good.
        } else {
            m_closeRefused = true;
            goes = false;
            tell(tr("%1\n\nThis entry was not stored; the window stays open with it. "
                    "Close the window again to leave without storing it.")
                     .arg(message));
        }
    }
    const bool toMain = m_mainAfterClose;
    m_mainAfterClose = false;
    if (!goes)
        return;
    // The row is stored (or given up on): this close goes through.
    m_closeNow = true;
    if (!close())
        return;
    const QString main = QStringLiteral("frmLogMain");
    if (toMain && windows().isRegistered(main))
        windows().show(main);
}

void RecordWindow::showEvent(QShowEvent *event)
{
    ManagedWindow::showEvent(event);
    if (!m_focusPlaced && m_firstFocus) {
        m_focusPlaced = true;
        m_firstFocus->setFocus(Qt::OtherFocusReason);
    }
}

// --- merge conflicts ---------------------------------------------------------

void RecordWindow::addConflictLines()
{
    // Below everything the window has; the window grows by their height
    // while there are any.
    m_conflicts = new ConflictLines(this);
    m_conflicts->setGeometry(0, twips::toPixels(m_frame.clientHeight), twips::toPixels(m_frame.clientWidth), 0);
    connect(m_conflicts, &ConflictLines::keepChosen, this, &RecordWindow::settleConflict);
    connect(m_cursor.get(), &RecordFront::rowShown, this, &RecordWindow::showConflicts);
}

void RecordWindow::showConflicts()
{
    QList<ConflictLines::Line> lines;
    for (const conflicts::Open &c : m_cursor->openConflicts()) {
        const QVariant v = m_cursor->value(c.field);
        const QString here = m_cursor->table().isBoolean(c.field) ? (v.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                                                                  : v.toString();
        lines.append({c.id, conflicts::lineText(c, here)});
    }
    if (lines.isEmpty() && m_conflicts->isHidden())
        return;
    const int top = twips::toPixels(m_frame.clientHeight);
    m_conflicts->resize(width(), 0);
    const int height = m_conflicts->setLines(lines);
    m_conflicts->setGeometry(0, top, width(), height);
    resize(width(), top + height);
}

void RecordWindow::settleConflict(const QString &id, bool keepOther)
{
    if (!m_cursor || !m_cursor->isOpen())
        return;
    m_conflicts->setChoicesEnabled(false);
    QPointer<ConflictLines> lines(m_conflicts);
    m_cursor->settleConflict(id, keepOther, [lines](bool) {
        // Answered: the lines were shown anew with the row, or the
        // request was given up on and the choices stand again.
        if (lines)
            lines->setChoicesEnabled(true);
    });
}

// --- corrections -------------------------------------------------------------

void RecordWindow::addCorrectionRow()
{
    // A row of its own under the navigation bar and "Return to Main",
    // where every record window has room.
    const QRect nav = m_frame.navigatorPlace;
    const QRect quit = m_frame.quitPlace;
    const int top = qMax(nav.y() + nav.height(), quit.y() + quit.height()) + 60;
    const int height = 405;
    m_cmdHistory = addButton("cmdHistory", tr("History"), nav.x(), top, 1215, height);
    connect(m_cmdHistory, &QPushButton::clicked, this, &RecordWindow::showHistory);
    m_cmdVoid = addButton("cmdVoid", tr("Void Entry\u2026"), nav.x() + 1215 + 120, top, 1455, height);
    connect(m_cmdVoid, &QPushButton::clicked, this, &RecordWindow::voidEntry);
    // In the same place, on a void entry.
    m_cmdRestore = addButton("cmdRestore", tr("Restore Entry\u2026"), nav.x() + 1215 + 120, top, 1455, height);
    connect(m_cmdRestore, &QPushButton::clicked, this, &RecordWindow::restoreEntry);
    m_cmdRestore->hide();
    m_cmdAttachments = addButton("cmdAttachments", tr("Attachments\u2026"), nav.x() + 1215 + 120 + 1455 + 90, top, 1335,
                                 height);
    connect(m_cmdAttachments, &QPushButton::clicked, this, &RecordWindow::showAttachments);

    // The banner of a void entry stands where "Attachments…" is otherwise:
    // the narrowest windows have no room for both beside "Restore Entry…".
    const int bannerLeft = nav.x() + 1215 + 120 + 1455 + 180;
    // Down to the window's bottom edge, so a long reason wraps onto a
    // second line where there is room.
    const int bannerHeight = qMax(height, m_frame.clientHeight - top - 45);
    m_voidBanner = addLabel(QString(), bannerLeft, top, m_frame.clientWidth - bannerLeft - 120, bannerHeight);
    m_voidBanner->setObjectName(QStringLiteral("lblVoid"));
    m_voidBanner->setWordWrap(true);
    m_voidBanner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont bold = m_voidBanner->font();
    bold.setBold(true);
    m_voidBanner->setFont(bold);
    QPalette red = m_voidBanner->palette();
    red.setColor(QPalette::WindowText, QColor(0xc0, 0x00, 0x00));
    m_voidBanner->setPalette(red);
    m_voidBanner->hide();
}

void RecordWindow::showVoidBanner()
{
    if (!m_voidBanner || !m_cursor)
        return;
    const bool voided = m_cursor->isVoided();
    m_cmdVoid->setVisible(!voided);
    m_cmdRestore->setVisible(voided);
    m_cmdAttachments->setVisible(!voided);
    if (!voided) {
        m_voidBanner->clear();
        m_voidBanner->setToolTip(QString());
        m_voidBanner->hide();
        return;
    }
    QString reason = m_cursor->voidReason();
    // A long reason shows from its start: measuring a megabyte of text to
    // elide it would hold the window up.
    constexpr int kShown = 2000;
    if (reason.size() > kShown)
        reason = reason.left(kShown) + QChar(0x2026);
    reason.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString text = tr("VOID: %1").arg(reason);
    // Why nothing can be typed into the boxes, on a line of its own.
    const QString why = tr("A void entry is read-only.");
    m_voidBanner->setToolTip(text + QLatin1Char('\n') + why);
    // What does not fit in the lines there is room for ends in "…".
    const QFontMetrics metrics = m_voidBanner->fontMetrics();
    const int lines = qMax(1, m_voidBanner->height() / metrics.lineSpacing() - 1);
    const QString shown = metrics.elidedText(text, Qt::ElideRight,
                                             m_voidBanner->width() * lines - metrics.averageCharWidth() * 4 * lines);
    m_voidBanner->setText(shown + QLatin1Char('\n') + why);
    m_voidBanner->show();
    m_voidBanner->raise();
}

void RecordWindow::showHistory()
{
    if (!m_history) {
        m_history = new frmRecordHistory(this);
        connect(m_history, &frmRecordHistory::wholeValuesWanted, this, &RecordWindow::readWholeValues);
    }
    m_history->setWindowTitle(tr("History \u2013 %1").arg(windowTitle()));
    m_history->show();
    m_history->raise();
    refreshHistory();
}

void RecordWindow::refreshHistory()
{
    if (!m_history || !m_cursor)
        return;
    if (!m_cursor->isOpen()) {
        m_history->showMessage(tr("The logbook is not open, so the history cannot be read."));
        return;
    }
    m_history->showMessage(tr("Reading the history\u2026"));
    QPointer<frmRecordHistory> window(m_history);
    // What is typed on screen is stored when the row is left, not before.
    const bool unsaved = m_cursor->isChanged();
    m_cursor->readHistory([this, window, unsaved](bool ok) {
        if (!window)
            return;
        if (!ok) {
            window->showMessage(tr("The history cannot be read: %1").arg(m_cursor->lastError()));
            return;
        }
        if (m_cursor->currentKey() < 0) {
            window->showMessage(tr("This entry is not stored yet, so it has no history."));
            return;
        }
        const QString when = m_cursor->value(QStringLiteral("Date/Time")).toString();
        const QString what = when.isEmpty() ? tr("This %1 entry").arg(windowTitle())
                                            : tr("The %1 entry of %2").arg(windowTitle(), when);
        window->showEntries(what, m_cursor->history(),
                            unsaved ? tr("The changes on screen are not stored yet, so they are not in the history "
                                         "yet; they are stored when you leave this entry.")
                                    : QString());
    });
}

void RecordWindow::readWholeValues(int row, qint64 historyKey)
{
    QPointer<frmRecordHistory> window(m_history);
    m_cursor->readHistoryValues(historyKey, [this, window, row](bool ok, const QString &oldValue,
                                                                const QString &newValue) {
        if (!window)
            return;
        if (ok)
            window->showWholeValues(row, oldValue, newValue);
        else
            window->showValuesFailed(row, m_cursor->lastError());
    });
}

void RecordWindow::voidEntry()
{
    if (!m_cursor || !m_cursor->isOpen())
        return;
    if (!m_cursor->hasRow() || (m_cursor->isNewRow() && !m_cursor->isChanged())) {
        tell(tr("This entry is not stored yet, so there is nothing to void."));
        return;
    }
    if (m_cursor->isVoided()) {
        tell(tr("This entry is void already (%1).").arg(m_cursor->voidReason()));
        return;
    }
    QString reason;
    if (!textPrompts().askRequired(this, tr("Void Entry"),
                                   tr("Why is this entry void? It stays in the logbook, marked void with your reason."),
                                   tr("A void entry needs a reason."), &reason))
        return;
    m_cursor->voidEntry(reason.trimmed());
}

// --- attachments -----------------------------------------------------------

QStringList RecordWindow::droppedFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

void RecordWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void RecordWindow::dropEvent(QDropEvent *event)
{
    const QStringList paths = droppedFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    attachFiles(paths);
}

frmAttachments *RecordWindow::ensureAttachmentsWindow()
{
    if (!m_attachments) {
        m_attachments = new frmAttachments(this, DatabaseLocation{settings().databaseDriver, settings().database},
                                           m_frame.table);
        connect(m_attachments, &frmAttachments::filesChosen, this, &RecordWindow::attachFiles);
    }
    m_attachments->setWindowTitle(tr("Attachments \u2013 %1").arg(windowTitle()));
    return m_attachments;
}

void RecordWindow::showAttachments()
{
    ensureAttachmentsWindow()->show();
    m_attachments->raise();
    refreshAttachments();
}

void RecordWindow::refreshAttachments()
{
    if (!m_attachments || !m_cursor)
        return;
    const QString when = m_cursor->value(QStringLiteral("Date/Time")).toString();
    const QString what = when.isEmpty() ? tr("This %1 entry").arg(windowTitle())
                                        : tr("The %1 entry of %2").arg(windowTitle(), when);
    m_attachments->showEntry(m_cursor->currentKey(), what, m_cursor->isVoided());
}

void RecordWindow::attachFiles(const QStringList &paths)
{
    if (paths.isEmpty() || !m_cursor || !m_cursor->isOpen())
        return;
    if (m_cursor->isVoided()) {
        tell(tr("This entry is void: it takes no new attachments."));
        return;
    }
    if (!m_cursor->hasRow() || (m_cursor->isNewRow() && !m_cursor->isChanged())) {
        tell(tr("This entry is empty, so there is nothing to attach the files to yet. Type the entry first."));
        return;
    }
    // A new or changed entry is stored first, so the files belong to it as
    // the logbook has it.
    QPointer<RecordWindow> self(this);
    auto attach = [self, paths](bool ok) {
        if (!self || !ok || self->m_cursor->currentKey() < 0)
            return;
        self->showAttachments();
        self->m_attachments->attach(paths);
    };
    if (m_cursor->isNewRow() || m_cursor->isChanged())
        m_cursor->request(RecordFront::Request::Save, attach);
    else
        attach(true);
}

void RecordWindow::restoreEntry()
{
    if (!m_cursor || !m_cursor->isOpen() || !m_cursor->isVoided())
        return;
    QString reason;
    if (!textPrompts().askRequired(this, tr("Restore Entry"),
                                   tr("Why is this entry no longer void? It becomes an ordinary entry again; the "
                                      "history keeps the void and your reason."),
                                   tr("Restoring an entry needs a reason."), &reason))
        return;
    m_cursor->restoreEntry(reason.trimmed());
}

// --- builders --------------------------------------------------------------

QLineEdit *RecordWindow::addText(const char *name, const QString &field, int l, int t, int w, int h)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    controls::takeAnyLength(e);
    RecordBinder::bind(e, field);
    twips::place(e, l, t, w, h);
    return e;
}

QLineEdit *RecordWindow::addHiddenText(const char *name, const QString &field, const QString &initialText)
{
    // Bound so the row keeps its value, never shown and never written.
    auto *e = new QLineEdit(initialText, this);
    e->setObjectName(QString::fromLatin1(name));
    controls::takeAnyLength(e);
    RecordBinder::bind(e, field);
    e->setVisible(false);
    e->setFocusPolicy(Qt::NoFocus);
    return e;
}

QPlainTextEdit *RecordWindow::addMemo(const char *name, const QString &field, int l, int t, int w, int h)
{
    auto *p = new QPlainTextEdit(this);
    p->setObjectName(QString::fromLatin1(name));
    p->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    p->setTabChangesFocus(true);
    RecordBinder::bind(p, field);
    twips::place(p, l, t, w, h);
    return p;
}

QComboBox *RecordWindow::addList(const char *name, const QString &field, const QStringList &items,
                                 const QString &initialText, int l, int t, int w, int h)
{
    auto *c = new QComboBox(this);
    c->setObjectName(QString::fromLatin1(name));
    controls::keepTypedText(c);
    c->addItems(items);
    c->setCurrentIndex(-1);
    c->setEditText(initialText);
    RecordBinder::bind(c, field);
    twips::place(c, l, t, w, h);
    return c;
}

QCheckBox *RecordWindow::addCheck(const char *name, const QString &field, const QString &caption,
                                  int l, int t, int w, int h)
{
    auto *b = new QCheckBox(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    RecordBinder::bind(b, field);
    twips::place(b, l, t, w, h);
    // The caption is never cut off: the box grows to the right as far as
    // the window allows.
    const int room = twips::toPixels(m_frame.clientWidth) - b->x();
    if (b->width() < b->sizeHint().width())
        b->resize(qMin(b->sizeHint().width(), room), b->height());
    return b;
}

QPushButton *RecordWindow::addButton(const char *name, const QString &caption, int l, int t, int w, int h)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    // Enter presses the focused button, as the space bar does.
    b->setAutoDefault(true);
    twips::place(b, l, t, w, h);
    return b;
}

QLabel *RecordWindow::addLabel(const QString &text, int l, int t, int w, int h)
{
    auto *label = new QLabel(text, this);
    twips::place(label, l, t, w, h);
    // A caption wider than its place is set a little smaller rather than
    // cut off.
    QFont font = label->font();
    while (label->fontMetrics().horizontalAdvance(text) > label->width() && font.pointSizeF() > 7.0) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        label->setFont(font);
    }
    return label;
}

namespace {
// "txtTime" gives "lblTime", "Text1" gives "lblText1".
QString labelName(const QWidget *control)
{
    QString name = control->objectName();
    int i = 0;
    while (i < name.size() && name.at(i).isLower())
        ++i;
    return QStringLiteral("lbl") + name.mid(i);
}
} // namespace

QLabel *RecordWindow::labelAbove(QWidget *control, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(labelName(control));
    label->setBuddy(control);
    const QSize hint = label->sizeHint();
    const int h = hint.height();
    label->setGeometry(control->x(), control->y() - h - 1, qMax(hint.width(), control->width()), h);
    return label;
}

QLabel *RecordWindow::labelRight(QWidget *control, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(labelName(control));
    label->setBuddy(control);
    const QSize hint = label->sizeHint();
    const int x = control->geometry().right() + 1 + twips::toPixels(120);
    label->setGeometry(x, control->y() + (control->height() - hint.height()) / 2, hint.width(), hint.height());
    return label;
}

} // namespace bravik::logbook
