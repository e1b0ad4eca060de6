#include "RecordWindow.h"

#include "Database.h"
#include "RecordBinder.h"
#include "RecordCursor.h"
#include "RecordNavigator.h"
#include "Seams.h"
#include "Settings.h"
#include "Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionFrame>

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
    m_firstFocus = tabOrder.isEmpty() ? nullptr : tabOrder.first();
    if (m_firstFocus)
        m_firstFocus->setFocus();

    QString error;
    m_database = Database::open({settings().databaseDriver, settings().database}, &error);
    if (m_database) {
        auto cursor = std::make_unique<RecordCursor>(*m_database, m_frame.table);
        if (cursor->open()) {
            m_cursor = std::move(cursor);
            connect(m_cursor.get(), &RecordCursor::failed, this, &RecordWindow::engineFailed);
        } else {
            error = cursor->lastError();
            cursor.reset();
            m_database.reset();
        }
    }
    if (!m_cursor) {
        // Without its table the window cannot keep anything, so nothing can
        // be typed into it; "Return to Main" still works.
        for (QWidget *w : findChildren<QWidget *>())
            if (!RecordBinder::fieldOf(w).isEmpty())
                w->setEnabled(false);
        m_navigator->setEnabled(false);
        if (!error.isEmpty())
            inform(this, error);
        return;
    }
    m_binder = std::make_unique<RecordBinder>(this, m_cursor.get());
    connect(m_cursor.get(), &RecordCursor::rowShown, m_binder.get(), &RecordBinder::showRow);
    m_binder->showRow();
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
    inform(this, message);
}

bool RecordWindow::navigate(bool (RecordCursor::*move)())
{
    if (!m_cursor)
        return false;
    if (!(m_cursor.get()->*move)())
        return false;
    m_closeRefused = false;
    m_binder->showRow();
    return true;
}

bool RecordWindow::moveFirst() { return navigate(&RecordCursor::moveFirst); }
bool RecordWindow::movePrevious() { return navigate(&RecordCursor::movePrevious); }
bool RecordWindow::moveNext() { return navigate(&RecordCursor::moveNext); }
bool RecordWindow::moveLast() { return navigate(&RecordCursor::moveLast); }
bool RecordWindow::beginNewRow() { return navigate(&RecordCursor::beginNew); }

bool RecordWindow::moveToKey(qint64 key)
{
    if (!m_cursor || !m_cursor->moveToKey(key))
        return false;
    m_closeRefused = false;
    m_binder->showRow();
    return true;
}

void RecordWindow::returnToMain()
{
    leavingForMain();
    if (!close())
        return;
    const QString main = QStringLiteral("frmLogMain");
    if (windows().isRegistered(main))
        windows().show(main);
}

bool RecordWindow::queryUnload()
{
    if (!m_cursor)
        return true;
    // A failure is reported here, in one message, rather than through the
    // cursor's signal.
    QSignalBlocker quiet(m_cursor.get());
    if (m_cursor->save()) {
        m_closeRefused = false;
        return true;
    }
    if (m_closeRefused) {
        // The user was told once and closes again: let the window go rather
        // than keep them in it for good.
        return true;
    }
    const QString message = m_cursor->lastError();
    if (!m_cursor->isChanged()) {
        // Stored after all (the engine had something to report about it).
        inform(this, message);
        return true;
    }
    m_closeRefused = true;
    inform(this, tr("%1\n\nThis entry was not stored; the window stays open with it. "
                    "Close the window again to leave without storing it.")
                     .arg(message));
    return false;
}

void RecordWindow::showEvent(QShowEvent *event)
{
    ManagedWindow::showEvent(event);
    if (!m_focusPlaced && m_firstFocus) {
        m_focusPlaced = true;
        m_firstFocus->setFocus(Qt::OtherFocusReason);
    }
}

// --- builders --------------------------------------------------------------

QLineEdit *RecordWindow::addText(const char *name, const QString &field, int l, int t, int w, int h)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    RecordBinder::bind(e, field);
    twips::place(e, l, t, w, h);
    return e;
}

QLineEdit *RecordWindow::addHiddenText(const char *name, const QString &field, const QString &initialText)
{
    // Bound so the row keeps its value, never shown and never written.
    auto *e = new QLineEdit(initialText, this);
    e->setObjectName(QString::fromLatin1(name));
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
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
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
