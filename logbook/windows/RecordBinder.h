#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class QWidget;

namespace bravik::logbook {

class RecordFront;

// Ties a window's bound controls to the current row of a record cursor
// (its front on the user-interface thread).
//
// A control is bound by giving it the dynamic property "field" (the field's
// name exactly as the table names it); the binder finds every such control
// under the root widget.  Text boxes (QLineEdit, QPlainTextEdit) and lists
// (editable QComboBox) carry text, check boxes carry true/false.
//
// When the cursor shows a row the binder writes the row into the controls
// without marking anything.  Any later change of a control, typed by the
// user or made by the program, is handed to the cursor at once, which marks
// the field changed for the current row.
class RecordBinder : public QObject
{
    Q_OBJECT
public:
    RecordBinder(QWidget *root, RecordFront *cursor, QObject *parent = nullptr);

    static const char *fieldProperty() { return "field"; }
    static void bind(QWidget *control, const QString &field);
    static QString fieldOf(const QWidget *control);

    QStringList fields() const;
    QWidget *control(const QString &field) const;

    // The value a control holds: text, or a bool for a check box.
    static QVariant controlValue(const QWidget *control);

    // Writes the cursor's current row into the controls.  With no row (an
    // empty table before anything was begun) the controls keep their text.
    void showRow();

    // Hands the control's present value to the cursor as a change, even
    // when the text did not differ from what the control showed.
    void touch(QWidget *control);

    bool isFilling() const { return m_filling; }

private:
    void controlEdited(QWidget *control);
    static void setControlValue(QWidget *control, const QVariant &value);

    QList<QPointer<QWidget>> m_controls;
    RecordFront *m_cursor;
    bool m_filling = false;
};

} // namespace bravik::logbook
