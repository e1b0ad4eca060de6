#pragma once

#include <QFrame>
#include <QList>
#include <QString>

namespace bravik::logbook {

// The lines of a record window that tell of the open merge conflicts of the
// entry shown, one line for each, each with its two choices: "Keep this
// computer's value" and "Keep the other value".  Hidden when there are none.
class ConflictLines : public QFrame
{
    Q_OBJECT
public:
    struct Line
    {
        QString id;     // the conflict
        QString text;   // "Changed on two computers: …"
    };

    explicit ConflictLines(QWidget *parent = nullptr);

    // Shows these lines (none: hides itself); the height they take.
    int setLines(const QList<Line> &lines);
    // While a request runs the choices take no clicks.
    void setChoicesEnabled(bool enabled);

Q_SIGNALS:
    void keepChosen(const QString &id, bool keepOther);

private:
    QList<QWidget *> m_rows;
};

} // namespace bravik::logbook
