#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class QScrollArea;

namespace bravik {

// Base of every window of the program.  A window exists at most once; it is
// created (loaded) on first use, and closing it unloads it: its contents are
// destroyed and the next use builds it afresh with its design-time
// contents.  Every window is modeless.
class ManagedWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ManagedWindow(QWidget *parent = nullptr);
    ~ManagedWindow() override;

    // True once the window has been closed and is waiting to be deleted.
    bool isUnloading() const { return m_unloading; }

    // Where the window's controls stand: the window itself, or, when it
    // did not fit the screen, the widget inside its scroll area.
    QWidget *clientArea() const;
    // The scroll area around the controls, or nullptr when the window fit.
    QScrollArea *scrollArea() const { return m_scroll; }

    void setVisible(bool visible) override;

protected:
    // Runs when the window is about to unload (before its controls go).
    // Record windows store their row here.  Returning false keeps the window.
    virtual bool queryUnload() { return true; }

    void closeEvent(QCloseEvent *event) override;
    // Enter presses the focused button, as the space bar does.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The first time the window is shown: a window larger than the
    // screen's available area gets a scroll area around its controls and
    // opens no larger than that area.  A window that fits is left alone.
    void fitToScreen();

    bool m_unloading = false;
    bool m_fitted = false;
    QScrollArea *m_scroll = nullptr;
};

// The global slots of the windows, one per window name.  Windows are
// registered by name (their class name) so that libraries that must not
// depend on each other can still show each other's windows.
class WindowManager
{
public:
    using Factory = std::function<ManagedWindow *()>;

    static WindowManager &instance();

    void registerWindow(const QString &name, Factory factory);
    // A window class's name without its namespace: "frmLogMain".
    static QString nameOf(const QMetaObject &meta);
    template <class W>
    void registerWindow()
    {
        registerWindow(nameOf(W::staticMetaObject), [] { return new W; });
    }
    bool isRegistered(const QString &name) const;

    // The loaded window, or nullptr.
    ManagedWindow *existing(const QString &name) const;
    // The window, loaded now if it is not (touching a control loads it).
    ManagedWindow *window(const QString &name);
    // Loads if needed, shows modeless and brings to the front.
    ManagedWindow *show(const QString &name);
    // Closes (unloads) the window if it is loaded.  Returns false when the
    // window refused to unload.
    bool unload(const QString &name);
    // Closes every loaded window, each storing what it holds.
    void unloadAll();
    QStringList loadedWindows() const;

    template <class W>
    W *window()
    {
        return qobject_cast<W *>(window(nameOf(W::staticMetaObject)));
    }
    template <class W>
    W *existing() const
    {
        return qobject_cast<W *>(existing(nameOf(W::staticMetaObject)));
    }
    template <class W>
    W *show()
    {
        return qobject_cast<W *>(show(nameOf(W::staticMetaObject)));
    }

    // Forgets the registrations and the slots (tests).
    void reset();

private:
    friend class ManagedWindow;
    void forget(ManagedWindow *w);

    QHash<QString, Factory> m_factories;
    QHash<QString, QPointer<ManagedWindow>> m_slots;
};

// Shorthand for the application shell's windows.
inline WindowManager &windows() { return WindowManager::instance(); }

} // namespace bravik
