#pragma once

#include "AttachmentFront.h"

#include <QAbstractTableModel>

namespace bravik::logbook {

// The attachments of one entry for a list, as they were added: name (with
// a thumbnail for a photo), size, type, who added it and when, and when a
// photo was taken.  A void one stays listed, greyed, its reason after its
// name and in its tooltip.
class AttachmentListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Size, Type, AddedBy, AddedAt, TakenAt, ColumnCount };

    explicit AttachmentListModel(QObject *parent = nullptr);

    void setAttachments(const QList<AttachmentFront::Listed> &listed);
    const attachments::Attachment &attachment(int row) const { return m_listed.at(row).attachment; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<AttachmentFront::Listed> m_listed;
};

} // namespace bravik::logbook
