#include "RecordNavigator.h"

#include <QLabel>
#include <QToolButton>

namespace bravik::logbook {

namespace {
QToolButton *arrowButton(QWidget *parent, const char *name, const QString &text, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setAutoRaise(false);
    return b;
}
} // namespace

RecordNavigator::RecordNavigator(const QString &caption, QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("Data1"));
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Sunken);
    m_first = arrowButton(this, "cmdFirst", QStringLiteral("|<"), tr("First row"));
    m_previous = arrowButton(this, "cmdPrevious", QStringLiteral("<"), tr("Previous row"));
    m_next = arrowButton(this, "cmdNext", QStringLiteral(">"), tr("Next row"));
    m_last = arrowButton(this, "cmdLast", QStringLiteral(">|"), tr("Last row"));
    m_caption = new QLabel(caption, this);
    m_caption->setObjectName(QStringLiteral("lblCaption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setWordWrap(true);
    connect(m_first, &QToolButton::clicked, this, &RecordNavigator::firstRequested);
    connect(m_previous, &QToolButton::clicked, this, &RecordNavigator::previousRequested);
    connect(m_next, &QToolButton::clicked, this, &RecordNavigator::nextRequested);
    connect(m_last, &QToolButton::clicked, this, &RecordNavigator::lastRequested);
}

QString RecordNavigator::caption() const
{
    return m_caption->text();
}

void RecordNavigator::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    // Buttons as tall as the bar and just wide enough for their arrows, two
    // at each end, the caption filling the middle.
    const QRect r = contentsRect();
    const int h = r.height();
    const int b = qMin(h, fontMetrics().horizontalAdvance(QStringLiteral(">|")) + 12);
    m_first->setGeometry(r.left(), r.top(), b, h);
    m_previous->setGeometry(r.left() + b, r.top(), b, h);
    m_last->setGeometry(r.right() + 1 - b, r.top(), b, h);
    m_next->setGeometry(r.right() + 1 - 2 * b, r.top(), b, h);
    const QRect middle(r.left() + 2 * b + 2, r.top(), r.width() - 4 * b - 4, h);
    m_caption->setGeometry(middle);

    // The caption wraps onto as many lines as the bar holds; where it still
    // does not fit, it is set a little smaller.
    QFont font = this->font();
    const QString text = m_caption->text();
    auto fits = [&](const QFont &f) {
        const QRect need = QFontMetrics(f).boundingRect(QRect(0, 0, middle.width(), 10000),
                                                        Qt::AlignCenter | Qt::TextWordWrap, text);
        return need.width() <= middle.width() && need.height() <= middle.height();
    };
    while (!fits(font) && font.pointSizeF() > 7.0)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    m_caption->setFont(font);
}

} // namespace bravik::logbook
