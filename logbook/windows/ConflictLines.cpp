#include "ConflictLines.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace bravik::logbook {

ConflictLines::ConflictLines(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("fraConflicts"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette amber = palette();
    amber.setColor(QPalette::Window, QColor(0xff, 0xf0, 0xc8));
    setPalette(amber);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setSpacing(2);
    hide();
}

int ConflictLines::setLines(const QList<Line> &lines)
{
    qDeleteAll(m_rows);
    m_rows.clear();
    for (const Line &line : lines) {
        // The text on a line of its own, the two choices under it.
        auto *row = new QWidget(this);
        auto *v = new QVBoxLayout(row);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(2);
        auto *text = new QLabel(line.text, row);
        text->setObjectName(QStringLiteral("lblConflict"));
        text->setWordWrap(true);
        auto *here = new QPushButton(tr("Keep this computer's value"), row);
        here->setObjectName(QStringLiteral("cmdKeepHere"));
        auto *other = new QPushButton(tr("Keep the other value"), row);
        other->setObjectName(QStringLiteral("cmdKeepOther"));
        auto *h = new QHBoxLayout;
        h->addWidget(here);
        h->addWidget(other);
        h->addStretch(1);
        v->addWidget(text);
        v->addLayout(h);
        const QString id = line.id;
        connect(here, &QPushButton::clicked, this, [this, id] { Q_EMIT keepChosen(id, false); });
        connect(other, &QPushButton::clicked, this, [this, id] { Q_EMIT keepChosen(id, true); });
        layout()->addWidget(row);
        m_rows << row;
    }
    setVisible(!lines.isEmpty());
    if (lines.isEmpty())
        return 0;
    // The lines wrap within the width given.
    return layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width()) : sizeHint().height();
}

void ConflictLines::setChoicesEnabled(bool enabled)
{
    for (QWidget *row : std::as_const(m_rows))
        for (QPushButton *b : row->findChildren<QPushButton *>())
            b->setEnabled(enabled);
}

} // namespace bravik::logbook
