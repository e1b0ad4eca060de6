#pragma once

// The files kept with the entry a record window shows.  Opened by
// "Attachments…" on every record window; it belongs to that window, follows
// its row and closes with it.  Files come by "Add…" (the file dialog) or by
// a drop on the record window; while one is stored a progress bar and
// "Stop" show, and the window goes on answering.  "Open" shows a read-only
// temporary copy in the desktop's viewer, "Save a Copy…" writes one where
// the user says, "Void…" marks one void with a reason (it stays, greyed).

#include "AttachmentFront.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace bravik::logbook {

class AttachmentListModel;

class frmAttachments : public QWidget
{
    Q_OBJECT
public:
    frmAttachments(QWidget *owner, const DatabaseLocation &where, const QString &table);
    ~frmAttachments() override;

    // The entry shown: its key (-1: not stored yet), how the window names
    // it, and whether it is void (then it takes no new files).
    void showEntry(qint64 key, const QString &what, bool voided);
    // Stores the files, one after the other, as attachments of the entry
    // shown (which must be stored).
    void attach(const QStringList &paths);

    AttachmentListModel *model() const { return m_model; }
    AttachmentFront *front() const { return m_front; }
    bool isStoring() const { return !m_pending.isEmpty() || m_storing; }

    QLabel *lblEntry = nullptr;
    QTableView *lstAttachments = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdSaveCopy = nullptr;
    QPushButton *cmdVoidAttachment = nullptr;
    QProgressBar *prgStore = nullptr;
    QPushButton *cmdStop = nullptr;
    QLabel *lblStatus = nullptr;

    // The edge of a thumbnail in the list, in pixels.
    static int thumbnailEdge() { return 64; }

Q_SIGNALS:
    // "Add…" chose these files: the record window stores its entry first
    // when it must, then calls attach().
    void filesChosen(const QStringList &paths);

private:
    void refresh();
    void storeNext();
    void openSelected();
    void saveSelected();
    void voidSelected();
    void stop();
    void updateButtons();
    int selectedRow() const;
    void tell(const QString &text);

    AttachmentFront *m_front = nullptr;
    AttachmentListModel *m_model = nullptr;
    qint64 m_key = -1;
    bool m_voided = false;
    QStringList m_pending;
    bool m_storing = false;
    QString m_current;
};

} // namespace bravik::logbook
