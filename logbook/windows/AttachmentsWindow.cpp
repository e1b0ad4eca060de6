#include "AttachmentsWindow.h"

#include "AttachmentListModel.h"
#include "Platform.h"
#include "RecordCursor.h"
#include "Seams.h"
#include "Settings.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

namespace bravik::logbook {

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

frmAttachments::frmAttachments(QWidget *owner, const DatabaseLocation &where, const QString &table)
    : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("frmAttachments"));
    setWindowTitle(tr("Attachments"));
    m_front = new AttachmentFront(where, table, this);
    m_model = new AttachmentListModel(this);

    lblEntry = new QLabel(this);
    lblEntry->setObjectName(QStringLiteral("lblEntry"));
    lblEntry->setWordWrap(true);
    lstAttachments = new QTableView(this);
    lstAttachments->setObjectName(QStringLiteral("lstAttachments"));
    lstAttachments->setModel(m_model);
    lstAttachments->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstAttachments->setSelectionMode(QAbstractItemView::SingleSelection);
    lstAttachments->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstAttachments->setIconSize(QSize(thumbnailEdge(), thumbnailEdge()));
    lstAttachments->verticalHeader()->setVisible(false);
    lstAttachments->verticalHeader()->setDefaultSectionSize(thumbnailEdge() + 6);
    lstAttachments->horizontalHeader()->setStretchLastSection(true);
    lstAttachments->setWordWrap(false);

    cmdAdd = button(this, "cmdAdd", tr("Add\u2026"));
    cmdOpen = button(this, "cmdOpen", tr("Open"));
    cmdSaveCopy = button(this, "cmdSaveCopy", tr("Save a Copy\u2026"));
    cmdVoidAttachment = button(this, "cmdVoidAttachment", tr("Void\u2026"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdAdd, cmdOpen, cmdSaveCopy, cmdVoidAttachment})
        buttons->addWidget(b);
    buttons->addStretch(1);

    prgStore = new QProgressBar(this);
    prgStore->setObjectName(QStringLiteral("prgStore"));
    prgStore->setRange(0, 1000);
    cmdStop = button(this, "cmdStop", tr("Stop"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    auto *storing = new QHBoxLayout;
    storing->addWidget(prgStore, 1);
    storing->addWidget(cmdStop);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblEntry);
    layout->addWidget(lstAttachments, 1);
    layout->addLayout(buttons);
    layout->addLayout(storing);
    layout->addWidget(lblStatus);
    prgStore->hide();
    cmdStop->hide();
    resize(720, 420);

    connect(cmdAdd, &QPushButton::clicked, this, [this] {
        FileDialogRequest r;
        r.mode = FileDialogRequest::Open;
        r.title = tr("Attach a File");
        r.folder = QDir::homePath();
        r.objectName = QStringLiteral("cdlAttachment");
        const QString path = fileDialogs().choose(this, r);
        if (!path.isEmpty())
            Q_EMIT filesChosen({path});
    });
    connect(cmdOpen, &QPushButton::clicked, this, &frmAttachments::openSelected);
    connect(lstAttachments, &QTableView::doubleClicked, this, &frmAttachments::openSelected);
    connect(cmdSaveCopy, &QPushButton::clicked, this, &frmAttachments::saveSelected);
    connect(cmdVoidAttachment, &QPushButton::clicked, this, &frmAttachments::voidSelected);
    connect(cmdStop, &QPushButton::clicked, this, &frmAttachments::stop);
    connect(lstAttachments->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmAttachments::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &frmAttachments::updateButtons);
    connect(m_front, &AttachmentFront::progressed, this, [this](double share) {
        if (m_storing)
            prgStore->setValue(int(share * 1000));
    });
    updateButtons();
}

frmAttachments::~frmAttachments() = default;

void frmAttachments::showEntry(qint64 key, const QString &what, bool voided)
{
    const bool other = key != m_key;
    m_key = key;
    m_voided = voided;
    QString text = what;
    if (voided)
        text += QLatin1Char('\n') + tr("This entry is void: it takes no new attachments.");
    lblEntry->setText(text);
    if (other)
        m_model->setAttachments({});
    updateButtons();
    refresh();
}

void frmAttachments::refresh()
{
    if (m_key < 0) {
        m_model->setAttachments({});
        lblStatus->setText(tr("This entry is not stored yet, so it has no attachments. A file dropped on the "
                              "entry stores it first."));
        return;
    }
    QPointer<frmAttachments> self(this);
    const qint64 key = m_key;
    m_front->list(key, thumbnailEdge(), [self, key](bool ok, const QList<AttachmentFront::Listed> &listed,
                                                    const QString &error) {
        if (!self || self->m_key != key)
            return;
        if (!ok) {
            if (!error.isEmpty())
                self->lblStatus->setText(tr("The attachments cannot be read: %1").arg(error));
            return;
        }
        self->m_model->setAttachments(listed);
        if (!self->isStoring())
            self->lblStatus->setText(listed.isEmpty() ? tr("No files are attached to this entry.") : QString());
    });
}

void frmAttachments::attach(const QStringList &paths)
{
    if (m_key < 0)
        return;
    if (m_voided) {
        tell(tr("This entry is void: it takes no new attachments."));
        return;
    }
    m_pending += paths;
    if (!m_storing)
        storeNext();
}

void frmAttachments::storeNext()
{
    if (m_pending.isEmpty()) {
        m_storing = false;
        prgStore->hide();
        cmdStop->hide();
        updateButtons();
        refresh();
        return;
    }
    m_storing = true;
    m_current = m_pending.takeFirst();
    prgStore->setValue(0);
    prgStore->show();
    cmdStop->show();
    cmdStop->setEnabled(true);
    lblStatus->setText(tr("Storing \"%1\"\u2026").arg(QDir::toNativeSeparators(m_current)));
    const QString user = platform::userName();
    const attachments::Added added{user.isEmpty() ? tr("unknown") : user, RecordCursor::thisWorkstation(),
                                   QDateTime::currentDateTimeUtc()};
    QPointer<frmAttachments> self(this);
    const QString path = m_current;
    m_front->add(m_key, path, settings().attachmentsMaxMegabytes, added,
                 [self, path](bool ok, const attachments::Attachment &, const QString &error) {
                     if (!self)
                         return;
                     if (ok) {
                         self->lblStatus->setText(tr("\"%1\" is attached.").arg(QFileInfo(path).fileName()));
                     } else if (error.isEmpty()) {
                         self->lblStatus->setText(tr("Storing \"%1\" was stopped; nothing of it was stored.")
                                                      .arg(QFileInfo(path).fileName()));
                     } else {
                         self->lblStatus->setText(error);
                         self->tell(error);
                     }
                     self->storeNext();
                 });
}

void frmAttachments::stop()
{
    m_pending.clear();
    if (!m_front->stop())
        lblStatus->setText(tr("The file is being committed to the logbook and can no longer be stopped."));
}

int frmAttachments::selectedRow() const
{
    const QModelIndexList rows = lstAttachments->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void frmAttachments::updateButtons()
{
    const int row = selectedRow();
    cmdAdd->setEnabled(m_key >= 0 && !m_voided);
    cmdOpen->setEnabled(row >= 0);
    cmdSaveCopy->setEnabled(row >= 0);
    cmdVoidAttachment->setEnabled(row >= 0 && !m_model->attachment(row).voided);
}

void frmAttachments::openSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const attachments::Attachment a = m_model->attachment(row);
    lblStatus->setText(tr("Reading \"%1\"\u2026").arg(a.fileName));
    QPointer<frmAttachments> self(this);
    m_front->read(a, [self, a](bool ok, const QByteArray &bytes, const QString &error) {
        if (!self)
            return;
        QString why = error;
        const QString path = ok ? AttachmentFront::temporaryCopy(a, bytes, &why) : QString();
        if (path.isEmpty()) {
            self->lblStatus->clear();
            self->tell(tr("\"%1\" cannot be opened: %2").arg(a.fileName, why));
            return;
        }
        if (!urlOpener().open(QUrl::fromLocalFile(path))) {
            self->lblStatus->clear();
            self->tell(tr("No program on this computer opens \"%1\". A copy is at %2.")
                           .arg(a.fileName, QDir::toNativeSeparators(path)));
            return;
        }
        self->lblStatus->setText(tr("\"%1\" is open in the viewer (a read-only copy).").arg(a.fileName));
    });
}

void frmAttachments::saveSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const attachments::Attachment a = m_model->attachment(row);
    FileDialogRequest r;
    r.mode = FileDialogRequest::Save;
    r.title = tr("Save a Copy");
    r.folder = QDir::home().filePath(attachments::safeFileName(a.fileName));
    r.objectName = QStringLiteral("cdlSaveAttachment");
    const QString path = fileDialogs().choose(this, r);
    if (path.isEmpty())
        return;
    QPointer<frmAttachments> self(this);
    m_front->read(a, [self, a, path](bool ok, const QByteArray &bytes, const QString &error) {
        if (!self)
            return;
        QString why = error;
        if (!ok || !AttachmentFront::writeFile(path, bytes, false, &why)) {
            self->tell(tr("No copy of \"%1\" was saved: %2").arg(a.fileName, why));
            return;
        }
        self->lblStatus->setText(tr("A copy of \"%1\" is saved as %2.").arg(a.fileName, QDir::toNativeSeparators(path)));
    });
}

void frmAttachments::voidSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const attachments::Attachment a = m_model->attachment(row);
    QString reason;
    if (!textPrompts().askRequired(this, tr("Void Attachment"),
                                   tr("Why is \"%1\" void? It stays with the entry, marked void with your reason.")
                                       .arg(a.fileName),
                                   tr("A void attachment needs a reason."), &reason))
        return;
    QPointer<frmAttachments> self(this);
    m_front->voidAttachment(a.id, reason.trimmed(), [self, a](bool ok, const QString &error) {
        if (!self)
            return;
        if (!ok && !error.isEmpty())
            self->tell(tr("\"%1\" was not voided: %2").arg(a.fileName, error));
        self->refresh();
    });
}

void frmAttachments::tell(const QString &text)
{
    inform(this, text);
}

} // namespace bravik::logbook
