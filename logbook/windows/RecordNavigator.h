#pragma once

#include <QFrame>

class QLabel;
class QToolButton;

namespace bravik::logbook {

// The record navigation bar: first, previous, next and last row buttons
// around the table's caption.  It only signals; the record window moves its
// cursor.  Every window names its bar "Data1".
class RecordNavigator : public QFrame
{
    Q_OBJECT
public:
    explicit RecordNavigator(const QString &caption, QWidget *parent = nullptr);

    QString caption() const;

Q_SIGNALS:
    void firstRequested();
    void previousRequested();
    void nextRequested();
    void lastRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QToolButton *m_first;
    QToolButton *m_previous;
    QToolButton *m_next;
    QToolButton *m_last;
    QLabel *m_caption;
};

} // namespace bravik::logbook
