#pragma once

#include "RecordFront.h"
#include "WindowManager.h"

#include <QRect>
#include <QStringList>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QFrame;
class QMimeData;

namespace bravik::logbook {

class RecordBinder;
class ConflictLines;
class frmRecordHistory;
class frmAttachments;

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
//
// The logbook answers through the logbook service (RecordFront), always
// later, so the window never freezes on it.  Requests run in the order
// they are made; while one runs the window takes no input into its bound
// controls and navigation, and one that has not answered within a moment
// shows "Waiting for the logbook…" with "Stop waiting" and disables them
// until the answer comes.  The window closes only once its row is stored
// (or the user was told it could not be, and closes again).  A void entry
// shows its fields read-only until "Restore Entry…" makes it ordinary again.
class RecordWindow : public ManagedWindow
{
    Q_OBJECT
public:
    explicit RecordWindow(const RecordWindowFrame &frame, QWidget *parent = nullptr);
    ~RecordWindow() override;

    const QString &tableName() const { return m_frame.table; }
    // False when the logbook could not be opened (or has not answered
    // yet); the controls are then disabled so nothing can be typed that
    // could not be stored.
    bool isOpen() const;
    bool openFailed() const;
    RecordFront *cursor() const { return m_cursor.get(); }
    RecordBinder *binder() const { return m_binder.get(); }
    RecordNavigator *navigator() const { return m_navigator; }

    // Navigation, each storing a changed row first.  False when the engine
    // refused; its message has then been shown and the row is kept.  A
    // request still on its way counts as true; a later one waits its turn
    // and is dropped if one before it is refused.
    bool moveFirst();
    bool movePrevious();
    bool moveNext();
    bool moveLast();
    bool beginNewRow();
    // Runs `done` once every request made so far has answered (ok false
    // when one was refused or dropped).
    void whenSettled(std::function<void(bool ok)> done);
    // A submission: the row shown is stored as on any move, and a new row
    // begins with the stamp, in one request.
    bool beginEntry(const RecordFront::Stamp &stamp, std::function<void(bool ok)> done = {});

    // Quitting: messages go to standard error instead of a box.
    static void setQuitting(bool quitting);
    bool moveToKey(qint64 key);

    // The history window of this record window (nullptr until "History"
    // was pressed).
    frmRecordHistory *historyWindow() const { return m_history; }
    // The attachments window of this record window (nullptr until
    // "Attachments…" was pressed or a file was dropped).
    frmAttachments *attachmentsWindow() const { return m_attachments; }
    // The lines of the entry's open merge conflicts, under everything else.
    ConflictLines *conflictLines() const { return m_conflicts; }

public Q_SLOTS:
    // "Return to Main": close the window (storing the row), then bring the
    // main window forward.
    void returnToMain();
    // "History": the current row's changes, read on the logbook's thread.
    void showHistory();
    // "Void Entry…": asks for the reason, then marks the row void.
    void voidEntry();
    // "Restore Entry…": asks for the reason, then makes the void row an
    // ordinary one again.
    void restoreEntry();
    // "Attachments…": the current entry's files.
    void showAttachments();
    // Attaches the files to the current entry at once (a drop, "Add…"): a
    // new or changed entry is stored first; a void one takes none.
    void attachFiles(const QStringList &paths);

protected:
    // Runs first on "Return to Main"; the windows with a GPS connection
    // close it here.
    virtual void leavingForMain() {}

    bool queryUnload() override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

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
    bool navigate(int request);
    void engineFailed(const QString &message);
    void widenStampBox();
    void setInputAllowed(bool allowed);
    void showWaiting(bool waiting);
    void closeStored(bool ok, bool toldBefore);
    void tell(const QString &message);
    void addCorrectionRow();
    void showVoidBanner();
    void refreshHistory();
    void readWholeValues(int row, qint64 historyKey);
    void stopWaiting();
    void refreshAttachments();
    frmAttachments *ensureAttachmentsWindow();
    static QStringList droppedFiles(const QMimeData *data);
    void addConflictLines();
    void showConflicts();
    void settleConflict(const QString &id, bool keepOther);

    RecordWindowFrame m_frame;
    RecordNavigator *m_navigator = nullptr;
    QWidget *m_firstFocus = nullptr;
    bool m_focusPlaced = false;
    // Set when a close was refused because the row could not be stored; the
    // next close goes ahead so the user is never kept in the window.
    bool m_closeRefused = false;
    // A close is waiting for its store; then whether the main window comes
    // forward after it.
    bool m_closePending = false;
    bool m_mainAfterClose = false;
    bool m_closeNow = false;
    QList<QWidget *> m_guarded;     // take no input while a request runs
    QFrame *m_waitingLine = nullptr;
    QLabel *m_waitingText = nullptr;
    QPushButton *m_cmdHistory = nullptr;
    QPushButton *m_cmdVoid = nullptr;
    QPushButton *m_cmdRestore = nullptr;
    QPushButton *m_cmdAttachments = nullptr;
    frmAttachments *m_attachments = nullptr;
    QLabel *m_voidBanner = nullptr;
    frmRecordHistory *m_history = nullptr;
    ConflictLines *m_conflicts = nullptr;
    // Destroyed in reverse order: binder, then the cursor.
    std::unique_ptr<RecordFront> m_cursor;
    std::unique_ptr<RecordBinder> m_binder;
};

} // namespace bravik::logbook
