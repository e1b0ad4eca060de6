#include "ScriptEditor.h"

#include <QPainter>
#include <QTextBlock>

namespace bravik::launch {

namespace {
const QColor kChanged(255, 244, 190);
const QColor kChangedBar(220, 150, 0);
const QColor kMarked(190, 215, 255);
} // namespace

class ScriptEditor::Gutter : public QWidget
{
public:
    explicit Gutter(ScriptEditor *editor) : QWidget(editor), m_editor(editor) { setObjectName(QStringLiteral("lineNumbers")); }
    QSize sizeHint() const override { return {m_editor->gutterWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent *e) override { m_editor->paintGutter(e); }

private:
    ScriptEditor *m_editor;
};

ScriptEditor::ScriptEditor(QWidget *parent)
    : QPlainTextEdit(parent), m_gutter(new Gutter(this))
{
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { setViewportMargins(gutterWidth(), 0, 0, 0); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &r, int dy) {
        if (dy)
            m_gutter->scroll(0, dy);
        else
            m_gutter->update(0, r.y(), m_gutter->width(), r.height());
    });
    setViewportMargins(gutterWidth(), 0, 0, 0);
}

int ScriptEditor::gutterWidth() const
{
    int digits = 1;
    for (int n = std::max(1, blockCount()); n >= 10; n /= 10)
        ++digits;
    return 10 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(2, digits);
}

int ScriptEditor::firstVisibleLine() const
{
    return firstVisibleBlock().blockNumber() + 1;
}

void ScriptEditor::resizeEvent(QResizeEvent *e)
{
    QPlainTextEdit::resizeEvent(e);
    const QRect r = contentsRect();
    m_gutter->setGeometry(QRect(r.left(), r.top(), gutterWidth(), r.height()));
}

void ScriptEditor::paintGutter(QPaintEvent *e)
{
    QPainter p(m_gutter);
    p.fillRect(e->rect(), QColor(238, 238, 238));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + qRound(blockBoundingRect(block).height());
    while (block.isValid() && top <= e->rect().bottom()) {
        const int line = block.blockNumber() + 1;
        if (block.isVisible() && bottom >= e->rect().top()) {
            if (m_changed.contains(line))
                p.fillRect(QRect(0, top, 4, bottom - top), kChangedBar);
            p.setPen(line == m_marked ? Qt::black : QColor(110, 110, 110));
            p.drawText(QRect(0, top, m_gutter->width() - 5, fontMetrics().height()), Qt::AlignRight, QString::number(line));
        }
        block = block.next();
        top = bottom;
        bottom = top + qRound(blockBoundingRect(block).height());
    }
}

void ScriptEditor::showLine(int line)
{
    const QTextBlock block = document()->findBlockByNumber(line - 1);
    if (!block.isValid())
        return;
    m_marked = line;
    QTextCursor c(block);
    setTextCursor(c);
    centerCursor();
    refreshMarks();
}

void ScriptEditor::setChangedLines(const QList<int> &lines)
{
    m_changed = QSet<int>(lines.cbegin(), lines.cend());
    refreshMarks();
}

void ScriptEditor::refreshMarks()
{
    QList<QTextEdit::ExtraSelection> marks;
    for (int line : std::as_const(m_changed)) {
        const QTextBlock block = document()->findBlockByNumber(line - 1);
        if (!block.isValid())
            continue;
        QTextEdit::ExtraSelection s;
        s.format.setBackground(kChanged);
        s.format.setProperty(QTextFormat::FullWidthSelection, true);
        s.cursor = QTextCursor(block);
        marks << s;
    }
    if (const QTextBlock block = document()->findBlockByNumber(m_marked - 1); m_marked > 0 && block.isValid()) {
        QTextEdit::ExtraSelection s;
        s.format.setBackground(kMarked);
        s.format.setProperty(QTextFormat::FullWidthSelection, true);
        s.cursor = QTextCursor(block);
        marks << s;
    }
    setExtraSelections(marks);
    m_gutter->update();
}

} // namespace bravik::launch
