#include "ShellWindows.h"

#include "ClockText.h"
#include "Controls.h"
#include "LogbookSync.h"
#include "RecordKinds.h"
#include "Settings.h"
#include "Submission.h"
#include "Twips.h"

#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace bravik {

namespace {

template <class W>
W *make(QWidget *parent, const char *name)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = make<QPushButton>(parent, name);
    b->setText(caption);
    // The focused button answers Enter, as on the crew's old desktop; no
    // button is the default for the whole window.
    b->setAutoDefault(true);
    b->setDefault(false);
    return b;
}

QComboBox *editableList(QWidget *parent, const char *name)
{
    auto *c = make<QComboBox>(parent, name);
    controls::keepTypedText(c);
    return c;
}

// Places a label at its design position, widened when the font on this
// machine needs more room than the design gave, so no caption is cut off.
void placeLabel(QLabel *label, int left, int top, int width, int height)
{
    twips::place(label, left, top, width, height);
    const int needed = label->sizeHint().width();
    if (label->width() < needed)
        label->resize(needed, label->height());
}

// Widens a box to show its longest text in this machine's font, without
// reaching the picture to its right.
void fitWidth(QWidget *w, const QStringList &texts, int extra, int maxRight)
{
    int needed = 0;
    for (const QString &t : texts)
        needed = std::max(needed, w->fontMetrics().horizontalAdvance(t) + extra);
    const int width = std::min(std::max(w->width(), needed), maxRight - w->x());
    w->resize(width, w->height());
}

// The record kinds' categories with "Build Mission" where the crew has
// always found it, after "Battery Charge".
QStringList categoryItems()
{
    QStringList items;
    for (const logbook::RecordKind &k : logbook::recordKinds())
        items << k.category;
    items.insert(std::min<qsizetype>(5, items.size()), QStringLiteral("Build Mission"));
    return items;
}

QFont controlFont()
{
    QFont f(QStringLiteral("Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(9.75);
    return f;
}

// Fixed dialog frame: no resizing, no minimise or maximise box.
void fixedDialogFrame(QWidget *w, int clientWidth, int clientHeight)
{
    w->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    w->setFixedSize(twips::size(clientWidth, clientHeight));
}

} // namespace

QPixmap eelPicture()
{
    QPixmap pm(100, 50);
    pm.fill(QColor(0x0b, 0x3d, 0x5c));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // Water.
    p.setPen(QPen(QColor(0x3f, 0x7f, 0xa8), 1));
    for (int y = 8; y < 50; y += 12)
        p.drawLine(0, y, 100, y + 2);
    // The eel: a wavy body that narrows to the tail.
    QPainterPath body;
    body.moveTo(88, 22);
    body.cubicTo(70, 8, 58, 36, 42, 24);
    body.cubicTo(28, 14, 20, 34, 6, 28);
    body.cubicTo(20, 40, 30, 22, 42, 32);
    body.cubicTo(58, 44, 72, 18, 88, 30);
    body.cubicTo(96, 28, 96, 24, 88, 22);
    p.setPen(QPen(QColor(0x1e, 0x2a, 0x10), 1.2));
    p.setBrush(QColor(0x9a, 0xa8, 0x3a));
    p.drawPath(body);
    // Eye and fin line.
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(88, 25), 1.4, 1.4);
    p.setPen(QPen(QColor(0xd8, 0xde, 0x8a), 1));
    p.setBrush(Qt::NoBrush);
    QPainterPath fin;
    fin.moveTo(80, 22);
    fin.cubicTo(66, 12, 58, 30, 42, 22);
    p.drawPath(fin);
    return pm;
}

void registerShellWindows()
{
    windows().registerWindow<frmWelcome>();
    windows().registerWindow<frmLogMain>();
    windows().registerWindow<frmQuitDialog>();
    windows().registerWindow<frmInvalidEntry>();
}

// ---------------------------------------------------------------- splash

frmWelcome::frmWelcome()
{
    setObjectName(QStringLiteral("frmWelcome"));
    setWindowTitle(QStringLiteral("Automated Logbook"));
    twips::setClientSize(this, 5280, 3525);

    Label1 = make<QLabel>(this, "Label1");
    Label1->setText(QStringLiteral("Bravik AUV Log Utility"));
    QFont banner(QStringLiteral("Times New Roman"));
    banner.setStyleHint(QFont::Serif);
    banner.setPointSizeF(15.75);
    banner.setBold(true);
    Label1->setFont(banner);
    Label1->setAlignment(Qt::AlignCenter);
    twips::place(Label1, 240, 360, 4800, 600);

    imgEel = make<QLabel>(this, "imgEel");
    imgEel->setPixmap(eelPicture());
    imgEel->setFixedSize(100, 50);
    imgEel->move((width() - 100) / 2, (height() - 50) / 2 + twips::toPixels(240));

    Timer1 = make<QTimer>(this, "Timer1");
    Timer1->setInterval(750);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &frmWelcome::onTimer);
    Timer1->start();
}

void frmWelcome::onTimer()
{
    // The main window comes up in the same handler that closes the splash,
    // so the program never stands without a window.
    windows().show(QStringLiteral("frmLogMain"));
    close();
}

// ---------------------------------------------------------------- main

frmLogMain::frmLogMain()
{
    setObjectName(QStringLiteral("frmLogMain"));
    setWindowTitle(QStringLiteral("Team Bravik Event  Log"));
    twips::setClientSize(this, 5415, 5340);

    const QFont font = controlFont();

    Label1 = make<QLabel>(this, "Label1");
    Label1->setText(QStringLiteral("Date and Time GMT"));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeLabel(Label1, 360, 600, 1695, 240);

    txtTime = make<QLineEdit>(this, "txtTime");
    controls::takeAnyLength(txtTime);
    txtTime->setFont(font);
    twips::place(txtTime, 360, 840, 2295, 360);

    lblSubmittedby = make<QLabel>(this, "lblSubmittedby");
    lblSubmittedby->setText(QStringLiteral("Submitted By"));
    lblSubmittedby->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeLabel(lblSubmittedby, 360, 1440, 1215, 240);

    cmbSubmittedBy = editableList(this, "cmbSubmittedBy");
    cmbSubmittedBy->setFont(font);
    cmbSubmittedBy->addItems(settings().crewRoster);
    cmbSubmittedBy->setCurrentIndex(-1);
    cmbSubmittedBy->setEditText(QString());
    twips::place(cmbSubmittedBy, 360, 1680, 2295, 360);

    cmbEventType = editableList(this, "cmbEventType");
    cmbEventType->setFont(font);
    cmbEventType->addItems(categoryItems());
    cmbEventType->setCurrentIndex(-1);
    cmbEventType->setEditText(QStringLiteral("Log Entry Category"));
    twips::place(cmbEventType, 360, 2400, 2295, 360);

    cmdSubmitEntry = button(this, "cmdSubmitEntry", QStringLiteral("Submit Log Entry"));
    cmdSubmitEntry->setFont(font);
    twips::place(cmdSubmitEntry, 360, 3120, 1815, 495);
    connect(cmdSubmitEntry, &QPushButton::clicked, this, &frmLogMain::submit);

    cmdQuit = button(this, "cmdQuit", QStringLiteral("Exit Log"));
    cmdQuit->setFont(font);
    twips::place(cmdQuit, 360, 3840, 1815, 495);
    connect(cmdQuit, &QPushButton::clicked, this, &frmLogMain::exitLog);

    Image1 = make<QLabel>(this, "Image1");
    Image1->setPixmap(eelPicture());
    Image1->setScaledContents(true);
    twips::place(Image1, 3360, 3120, 1500, 750);

    // The design sizes fit the old system font; widen the clock box and the
    // lists where this machine's font needs more room.
    const int roomRight = Image1->x() - twips::toPixels(120);
    fitWidth(txtTime, {clockText(QDateTime(QDate(2026, 12, 28), QTime(22, 58, 58)), QLocale::system())}, 12, roomRight);
    QStringList categories;
    for (int i = 0; i < cmbEventType->count(); ++i)
        categories << cmbEventType->itemText(i);
    fitWidth(cmbEventType, categories << cmbEventType->currentText(), 40, roomRight);
    fitWidth(cmbSubmittedBy, settings().crewRoster, 40, roomRight);

    // Not GMT after all: said under the clock, so a crew notices before a
    // day of entries is stamped in local time.
    lblClockZone = make<QLabel>(this, "lblClockZone");
    QFont small = lblClockZone->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    lblClockZone->setFont(small);
    lblClockZone->move(txtTime->x(), txtTime->geometry().bottom() + 1);
    lblClockZone->setText(clockZoneNote(QDateTime::currentDateTime()));
    lblClockZone->adjustSize();
    lblClockZone->setVisible(!lblClockZone->text().isEmpty());

    cmdFindEntries = button(this, "cmdFindEntries", QStringLiteral("Find Entries"));
    cmdFindEntries->setFont(font);
    // Outside the window's tab cycle of five; reached by a click.
    cmdFindEntries->setFocusPolicy(Qt::ClickFocus);
    twips::place(cmdFindEntries, 360, 4560, 1815, 495);
    connect(cmdFindEntries, &QPushButton::clicked, this, [] {
        const QString list = QStringLiteral("frmLogbookList");
        if (windows().isRegistered(list))
            windows().show(list);
    });

    // One band below the specified controls, under "Find Entries": what
    // the program added to the main window.  The window grows to hold it.
    constexpr int kBandTop = 5280, kBandBottomMargin = 285;
    cmdOperations = button(this, "cmdOperations", QStringLiteral("Operations"));
    cmdOperations->setFont(font);
    cmdOperations->setToolTip(QStringLiteral("A day's timeline, what needs attention, the battery packs, the daily report"));
    twips::place(cmdOperations, 360, kBandTop, 1815, 495);
    twips::setClientSize(this, 5415, kBandTop + 495 + kBandBottomMargin);
    connect(cmdOperations, &QPushButton::clicked, this, [] {
        const QString overview = QStringLiteral("frmOperations");
        if (windows().isRegistered(overview))
            windows().show(overview);
    });
    cmdChart = button(this, "cmdChart", QStringLiteral("Chart"));
    cmdChart->setFont(font);
    cmdChart->setToolTip(QStringLiteral("Where a day's entries were made and where its launches went"));
    twips::place(cmdChart, 2400, kBandTop, 1815, 495);
    connect(cmdChart, &QPushButton::clicked, this, [] {
        const QString chart = QStringLiteral("frmChart");
        if (windows().isRegistered(chart))
            windows().show(chart);
    });

    // The shared logbook's line across the window under the band's
    // buttons, as high as its longest text needs; "Sync now" and the
    // conflicts to settle below it.
    if (logbook::LogbookSync *sync = logbook::LogbookSync::current()) {
        lblSync = make<QLabel>(this, "lblSync");
        lblSync->setWordWrap(true);
        lblSync->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        twips::place(lblSync, 360, kBandTop + 495 + 120, 4695, 240);
        logbook::SyncStatus longest;
        longest.waiting = 99999;
        longest.unreachableSinceUtc = QDateTime(QDate(2026, 12, 28), QTime(22, 58), Qt::UTC);
        lblSync->setText(longest.text(longest.unreachableSinceUtc.addDays(1)));
        lblSync->resize(lblSync->width(), lblSync->heightForWidth(lblSync->width()));
        cmdSyncNow = button(this, "cmdSyncNow", QStringLiteral("Sync now"));
        cmdSyncNow->setFont(font);
        cmdSyncNow->setToolTip(QStringLiteral("Exchange entries with the shared logbook now"));
        cmdSyncNow->setGeometry(QRect(QPoint(lblSync->x(), lblSync->geometry().bottom() + twips::toPixels(120)), twips::size(1215, 375)));
        lblSyncConflicts = make<QLabel>(this, "lblSyncConflicts");
        QFont bold = lblSyncConflicts->font();
        bold.setBold(true);
        lblSyncConflicts->setFont(bold);
        const int left = cmdSyncNow->geometry().right() + twips::toPixels(240);
        lblSyncConflicts->setGeometry(left, cmdSyncNow->y(), lblSync->geometry().right() - left, cmdSyncNow->height());
        resize(width(), cmdSyncNow->geometry().bottom() + twips::toPixels(kBandBottomMargin));
        connect(cmdSyncNow, &QPushButton::clicked, sync, &logbook::LogbookSync::syncNow);
        connect(sync, &logbook::LogbookSync::statusChanged, this, &frmLogMain::showSync);
        showSync();
    }

    Timer2 = make<QTimer>(this, "Timer2");
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &frmLogMain::tick);
    Timer2->start();

    setTabOrder(cmdQuit, cmbEventType);
    setTabOrder(cmbEventType, cmdSubmitEntry);
    setTabOrder(cmdSubmitEntry, txtTime);
    setTabOrder(txtTime, cmbSubmittedBy);
    setTabOrder(cmbSubmittedBy, cmdOperations);
    setTabOrder(cmdOperations, cmdChart);
    if (cmdSyncNow)
        setTabOrder(cmdChart, cmdSyncNow);
    cmdQuit->setFocus();
}

void frmLogMain::showEvent(QShowEvent *event)
{
    ManagedWindow::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    cmdQuit->setFocus();
}

void frmLogMain::tick()
{
    const QDateTime now = QDateTime::currentDateTime();
    txtTime->setText(clockText(now, QLocale::system()));
    showSync();   // a time of another day carries its date
    const QString zone = clockZoneNote(now);
    if (zone != lblClockZone->text()) {
        lblClockZone->setText(zone);
        lblClockZone->adjustSize();
        lblClockZone->setVisible(!zone.isEmpty());
    }
}

void frmLogMain::showSync()
{
    const logbook::LogbookSync *sync = logbook::LogbookSync::current();
    if (!sync || !lblSync)
        return;
    const logbook::SyncStatus &status = sync->status();
    lblSync->setText(status.text());
    lblSync->setToolTip(status.lastError);
    lblSyncConflicts->setText(status.conflictsText());
    lblSyncConflicts->setVisible(!lblSyncConflicts->text().isEmpty());
}

void frmLogMain::submit()
{
    submitLogEntry(cmbEventType->currentText(), txtTime->text(), cmbSubmittedBy->currentText());
}

void frmLogMain::exitLog()
{
    // The question comes up as the main window goes, so the program is
    // never left without a window in between.
    windows().show(QStringLiteral("frmQuitDialog"));
    close();
}

// ---------------------------------------------------------------- exit question

frmQuitDialog::frmQuitDialog()
{
    setObjectName(QStringLiteral("frmQuitDialog"));
    setWindowTitle(QStringLiteral("Quit vehicle log?"));
    fixedDialogFrame(this, 4530, 2070);
    move(twips::toPixels(2760), twips::toPixels(3750));

    lblQuestion = make<QLabel>(this, "lblQuestion");
    lblQuestion->setText(QStringLiteral("Do you really want to exit?"));
    lblQuestion->setFont(controlFont());
    lblQuestion->move(twips::toPixels(960), twips::toPixels(360));
    lblQuestion->adjustSize();

    cmdYes = button(this, "cmdYes", QStringLiteral("Yes"));
    twips::place(cmdYes, 600, 1080, 1215, 375);
    cmdNo = button(this, "cmdNo", QStringLiteral("No"));
    twips::place(cmdNo, 2760, 1080, 1215, 375);
    setTabOrder(cmdYes, cmdNo);
    cmdYes->setFocus();

    connect(cmdYes, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdNo, &QPushButton::clicked, this, [this] {
        windows().show(QStringLiteral("frmLogMain"));
        close();
    });
}

// ---------------------------------------------------------------- notice

frmInvalidEntry::frmInvalidEntry()
{
    setObjectName(QStringLiteral("frmInvalidEntry"));
    setWindowTitle(QStringLiteral("Invalid log entry type"));
    fixedDialogFrame(this, 4080, 2730);
    move(twips::toPixels(2760), twips::toPixels(3750));

    Label1 = make<QLabel>(this, "Label1");
    Label1->setText(QStringLiteral("Invalid log entry type"));
    Label1->move(twips::toPixels(960), twips::toPixels(480));
    Label1->adjustSize();

    OKButton = button(this, "OKButton", QStringLiteral("OK"));
    twips::place(OKButton, 1200, 1200, 1215, 375);
    OKButton->setFocus();
    connect(OKButton, &QPushButton::clicked, this, [this] {
        windows().show(QStringLiteral("frmLogMain"));
        close();
    });
}

} // namespace bravik
