#include "AttachmentListModel.h"

#include <QColor>
#include <QDateTime>
#include <QPixmap>

namespace bravik::logbook {

AttachmentListModel::AttachmentListModel(QObject *parent) : QAbstractTableModel(parent) {}

void AttachmentListModel::setAttachments(const QList<AttachmentFront::Listed> &listed)
{
    beginResetModel();
    m_listed = listed;
    endResetModel();
}

int AttachmentListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_listed.size());
}

int AttachmentListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AttachmentListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AttachmentFront::Listed &l = m_listed.at(index.row());
    const attachments::Attachment &a = l.attachment;
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return a.voided ? tr("%1 (VOID: %2)").arg(a.fileName, a.voidReason) : a.fileName;
        case Size: return attachments::sizeText(a.size);
        case Type: return a.mediaType;
        case AddedBy: return a.workstation.isEmpty() ? a.addedBy : tr("%1 on %2").arg(a.addedBy, a.workstation);
        case AddedAt: {
            const QDateTime at = QDateTime::fromString(a.addedAtUtc, Qt::ISODate);
            return at.isValid() ? at.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")) : a.addedAtUtc;
        }
        case TakenAt: return QString(a.takenAt).replace(QLatin1Char('T'), QLatin1Char(' '));
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == Name && !l.thumbnail.isNull())
            return QPixmap::fromImage(l.thumbnail);
        return {};
    case Qt::ForegroundRole:
        if (a.voided)
            return QColor(Qt::gray);
        return {};
    case Qt::ToolTipRole:
        return a.voided ? tr("%1\nVoid: %2").arg(a.fileName, a.voidReason) : a.fileName;
    case Qt::TextAlignmentRole:
        if (index.column() == Size)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::UserRole:
        return a.id;
    }
    return {};
}

QVariant AttachmentListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name: return tr("File");
    case Size: return tr("Size");
    case Type: return tr("Type");
    case AddedBy: return tr("Added by");
    case AddedAt: return tr("Added");
    case TakenAt: return tr("Taken");
    }
    return {};
}

} // namespace bravik::logbook
