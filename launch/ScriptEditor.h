#pragma once

// The review window's script pane: the text with line numbers in a gutter,
// the lines changed since the last run marked in it, and one line that a
// finding points at marked across the text.

#include <QPlainTextEdit>
#include <QSet>

namespace bravik::launch {

class ScriptEditor : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit ScriptEditor(QWidget *parent = nullptr);

    // Scrolls to the line (from 1), puts the cursor there and marks it.
    void showLine(int line);
    int markedLine() const { return m_marked; }
    // Lines (from 1) changed since the last run.
    void setChangedLines(const QList<int> &lines);
    const QSet<int> &changedLines() const { return m_changed; }

    int gutterWidth() const;
    // The line number the gutter shows beside the first visible line.
    int firstVisibleLine() const;

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    class Gutter;
    void paintGutter(QPaintEvent *e);
    void refreshMarks();
    Gutter *m_gutter;
    int m_marked = 0;
    QSet<int> m_changed;
};

} // namespace bravik::launch
