#include "WindowManager.h"

#include <QCloseEvent>
#include <QDebug>

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
