#pragma once

#include "WindowManager.h"

#include <QRect>
#include <QStringList>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace bravik::logbook {

class Database;
class RecordBinder;
class RecordCursor;
class RecordNavigator;

// What sets one record window apart from the others: its table, caption,
// client size and where its navigation bar and "Return to Main" stand.
// Sizes and places are in twips.
struct RecordWindowFrame
{
    QString table;
    QString caption;
    int clientWidth = 0;
    int clientHeight = 0;
    QString navigatorCaption;
    QRect navigatorPlace;
    QRect quitPlace;
};

// A window bound to one table of the logbook, one row at a time.
//
// A concrete window builds its controls in its constructor with the helpers
// below (which give each bound control its field), then calls finishSetup()
// with its tab order; that opens the table on its first row.  Everything
// else, navigation, "Return to Main" and storing the row when the window
// goes, lives here.
class RecordWindow : public ManagedWindow
{
    Q_OBJECT
public:
    explicit RecordWindow(const RecordWindowFrame &frame, QWidget *parent = nullptr);
    ~RecordWindow() override;

    const QString &tableName() const { return m_frame.table; }
    // False when the logbook could not be opened; the controls are then
    // disabled so nothing can be typed that could not be stored.
    bool isOpen() const { return m_cursor != nullptr; }
    RecordCursor *cursor() const { return m_cursor.get(); }
    RecordBinder *binder() const { return m_binder.get(); }
    RecordNavigator *navigator() const { return m_navigator; }

    // Navigation, each storing a changed row first.  False when the engine
    // refused; its message has then been shown and the row is kept.
    bool moveFirst();
    bool movePrevious();
    bool moveNext();
    bool moveLast();
    bool beginNewRow();
    bool moveToKey(qint64 key);

public Q_SLOTS:
    // "Return to Main": close the window (storing the row), then bring the
    // main window forward.
    void returnToMain();

protected:
    // Runs first on "Return to Main"; the windows with a GPS connection
    // close it here.
    virtual void leavingForMain() {}

    bool queryUnload() override;
    void showEvent(QShowEvent *event) override;

    // Builders for the concrete windows; places in twips.
    QLineEdit *addText(const char *name, const QString &field, int l, int t, int w, int h);
    QLineEdit *addHiddenText(const char *name, const QString &field, const QString &initialText);
    QPlainTextEdit *addMemo(const char *name, const QString &field, int l, int t, int w, int h);
    QComboBox *addList(const char *name, const QString &field, const QStringList &items,
                       const QString &initialText, int l, int t, int w, int h);
    QCheckBox *addCheck(const char *name, const QString &field, const QString &caption,
                        int l, int t, int w, int h);
    QPushButton *addButton(const char *name, const QString &caption, int l, int t, int w, int h);
    QLabel *addLabel(const QString &text, int l, int t, int w, int h);
    QLabel *labelAbove(QWidget *control, const QString &text);
    QLabel *labelRight(QWidget *control, const QString &text);

    // Sets the tab order (the first control gets the focus when the window
    // first shows), binds the controls and opens the table.
    void finishSetup(const QList<QWidget *> &tabOrder);

    QPushButton *cmdQuit = nullptr;

private:
    bool navigate(bool (RecordCursor::*move)());
    void engineFailed(const QString &message);
    void widenStampBox();

    RecordWindowFrame m_frame;
    RecordNavigator *m_navigator = nullptr;
    QWidget *m_firstFocus = nullptr;
    bool m_focusPlaced = false;
    // Set when a close was refused because the row could not be stored; the
    // next close goes ahead so the user is never kept in the window.
    bool m_closeRefused = false;
    // Destroyed in reverse order: binder, cursor, then the connection.
    std::unique_ptr<Database> m_database;
    std::unique_ptr<RecordCursor> m_cursor;
    std::unique_ptr<RecordBinder> m_binder;
};

} // namespace bravik::logbook
