#include "WindowManager.h"

#include "Controls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace bravik {

ManagedWindow::ManagedWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

ManagedWindow::~ManagedWindow()
{
    WindowManager::instance().forget(this);
}

namespace {

// The room the window system's frame takes around a window's client area.
// Before a window is first shown the system has not said; a title bar and
// thin borders are allowed for.
QMargins frameAllowance(const QWidget *w)
{
    if (const QWindow *handle = w->windowHandle()) {
        const QMargins known = handle->frameMargins();
        if (!known.isNull())
            return known;
    }
    return QMargins(4, 32, 4, 4);
}

} // namespace

QWidget *ManagedWindow::clientArea() const
{
    if (m_scroll && m_scroll->widget())
        return m_scroll->widget();
    return const_cast<ManagedWindow *>(this);
}

void ManagedWindow::setVisible(bool visible)
{
    if (visible && !m_fitted) {
        m_fitted = true;
        controls::showValuesWhole(this);
        fitToScreen();
    }
    QWidget::setVisible(visible);
}

void ManagedWindow::fitToScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize room = screen->availableGeometry().size().shrunkBy(frameAllowance(this));
    const QSize client = size();
    if (client.width() <= room.width() && client.height() <= room.height())
        return;   // it fits: nothing moves

    if (layout()) {
        // A laid-out window shrinks with its layout.
        resize(client.boundedTo(room));
        return;
    }

    // The controls stand at fixed places: they move, unchanged, onto a
    // widget of the design size inside a scroll area.  Reparenting within
    // the same window keeps the tab order.
    const bool fixedSize = minimumSize() == maximumSize();
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrollArea"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidgetResizable(false);
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("clientArea"));
    content->resize(client);
    m_scroll->setWidget(content);
    const QList<QWidget *> children = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (child == m_scroll || child->isWindow())
            continue;
        const QRect place = child->geometry();
        const bool hidden = child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide);
        child->setParent(content);
        child->setGeometry(place);
        child->setVisible(!hidden);
    }

    auto *frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(m_scroll);

    // Room for the scroll bars that will show, as far as the screen allows.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
    QSize wanted = client;
    if (client.height() > room.height())
        wanted.rwidth() += bar;
    if (client.width() > room.width())
        wanted.rheight() += bar;
    wanted = wanted.boundedTo(room);
    if (fixedSize) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        setFixedSize(wanted);
    } else {
        resize(wanted);
    }
}

void ManagedWindow::keyPressEvent(QKeyEvent *event)
{
    // A button that does not answer Enter itself passes the key on to its
    // window; no button is the window's default, so Enter anywhere else
    // presses nothing.
    const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
                       && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter) {
        QWidget *focus = QApplication::focusWidget();
        auto *button = qobject_cast<QAbstractButton *>(focus);
        if (button && focus->window() == this && button->isEnabled() && button->isVisible()
            && (qobject_cast<QPushButton *>(button) || qobject_cast<QToolButton *>(button))) {
            if (!event->isAutoRepeat())
                button->click();
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void ManagedWindow::closeEvent(QCloseEvent *event)
{
    if (m_unloading) {
        event->accept();
        return;
    }
    if (!queryUnload()) {
        event->ignore();
        return;
    }
    m_unloading = true;
    // The slot empties at once, so a show in the same handler builds a new
    // window instead of reviving the one being destroyed.
    WindowManager::instance().forget(this);
    event->accept();
}

WindowManager &WindowManager::instance()
{
    static WindowManager manager;
    return manager;
}

QString WindowManager::nameOf(const QMetaObject &meta)
{
    const QString full = QString::fromLatin1(meta.className());
    const qsizetype cut = full.lastIndexOf(QLatin1String("::"));
    return cut < 0 ? full : full.mid(cut + 2);
}

void WindowManager::registerWindow(const QString &name, Factory factory)
{
    m_factories.insert(name, std::move(factory));
}

bool WindowManager::isRegistered(const QString &name) const
{
    return m_factories.contains(name);
}

ManagedWindow *WindowManager::existing(const QString &name) const
{
    const auto it = m_slots.constFind(name);
    if (it == m_slots.constEnd() || it->isNull() || (*it)->isUnloading())
        return nullptr;
    return it->data();
}

ManagedWindow *WindowManager::window(const QString &name)
{
    if (ManagedWindow *w = existing(name))
        return w;
    const auto f = m_factories.constFind(name);
    if (f == m_factories.constEnd()) {
        qWarning("No window is registered under the name %s", qPrintable(name));
        return nullptr;
    }
    ManagedWindow *w = (*f)();
    if (w->objectName().isEmpty())
        w->setObjectName(name);
    m_slots.insert(name, w);
    return w;
}

ManagedWindow *WindowManager::show(const QString &name)
{
    ManagedWindow *w = window(name);
    if (!w)
        return nullptr;
    if (w->isMinimized())
        w->showNormal();
    else
        w->show();
    w->raise();
    w->activateWindow();
    return w;
}

bool WindowManager::unload(const QString &name)
{
    ManagedWindow *w = existing(name);
    if (!w)
        return true;
    return w->close();
}

void WindowManager::unloadAll()
{
    const QStringList names = loadedWindows();
    for (const QString &name : names)
        unload(name);
}

QStringList WindowManager::loadedWindows() const
{
    QStringList names;
    for (auto it = m_slots.constBegin(); it != m_slots.constEnd(); ++it)
        if (!it->isNull() && !(*it)->isUnloading())
            names << it.key();
    names.sort();
    return names;
}

void WindowManager::reset()
{
    for (auto &slot : m_slots)
        if (!slot.isNull())
            delete slot.data();
    m_slots.clear();
    m_factories.clear();
}

void WindowManager::forget(ManagedWindow *w)
{
    for (auto it = m_slots.begin(); it != m_slots.end();) {
        if (it->data() == w || it->isNull())
            it = m_slots.erase(it);
        else
            ++it;
    }
}

} // namespace bravik
