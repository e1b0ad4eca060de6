#include "RecordBinder.h"

#include "RecordFront.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QWidget>

namespace bravik::logbook {

RecordBinder::RecordBinder(QWidget *root, RecordFront *cursor, QObject *parent)
    : QObject(parent)
    , m_cursor(cursor)
{
    const QList<QWidget *> all = root->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (fieldOf(w).isEmpty())
            continue;
        m_controls << w;
        if (auto *e = qobject_cast<QLineEdit *>(w)) {
            connect(e, &QLineEdit::textChanged, this, [this, w] { controlEdited(w); });
        } else if (auto *p = qobject_cast<QPlainTextEdit *>(w)) {
            connect(p, &QPlainTextEdit::textChanged, this, [this, w] { controlEdited(w); });
        } else if (auto *c = qobject_cast<QComboBox *>(w)) {
            // Picking an item rewrites the edit text too, so this one signal
            // covers both picking and typing.
            connect(c, &QComboBox::editTextChanged, this, [this, w] { controlEdited(w); });
        } else if (auto *b = qobject_cast<QCheckBox *>(w)) {
            connect(b, &QCheckBox::toggled, this, [this, w] { controlEdited(w); });
        } else {
            qWarning("Control %s is bound to a field but is of a kind that holds no value",
                     qPrintable(w->objectName()));
            m_controls.removeLast();
        }
    }
}

void RecordBinder::bind(QWidget *control, const QString &field)
{
    control->setProperty(fieldProperty(), field);
}

QString RecordBinder::fieldOf(const QWidget *control)
{
    return control ? control->property(fieldProperty()).toString() : QString();
}

QStringList RecordBinder::fields() const
{
    QStringList out;
    for (const auto &c : m_controls)
        if (c)
            out << fieldOf(c);
    return out;
}

QWidget *RecordBinder::control(const QString &field) const
{
    for (const auto &c : m_controls)
        if (c && fieldOf(c) == field)
            return c;
    return nullptr;
}

QVariant RecordBinder::controlValue(const QWidget *control)
{
    if (auto *e = qobject_cast<const QLineEdit *>(control))
        return e->text();
    if (auto *p = qobject_cast<const QPlainTextEdit *>(control))
        return p->toPlainText();
    if (auto *c = qobject_cast<const QComboBox *>(control))
        return c->currentText();
    if (auto *b = qobject_cast<const QCheckBox *>(control))
        return b->isChecked();
    return {};
}

void RecordBinder::setControlValue(QWidget *control, const QVariant &value)
{
    if (auto *e = qobject_cast<QLineEdit *>(control)) {
        e->setText(value.toString());
    } else if (auto *p = qobject_cast<QPlainTextEdit *>(control)) {
        if (p->toPlainText() != value.toString())
            p->setPlainText(value.toString());
    } else if (auto *c = qobject_cast<QComboBox *>(control)) {
        // The list keeps its items; only the text field shows the value.
        c->setCurrentIndex(-1);
        c->setEditText(value.toString());
    } else if (auto *b = qobject_cast<QCheckBox *>(control)) {
        b->setChecked(value.toBool());
    }
}

void RecordBinder::showRow()
{
    if (!m_cursor || !m_cursor->hasRow())
        return;
    QScopedValueRollback<bool> filling(m_filling, true);
    for (const auto &c : std::as_const(m_controls))
        if (c)
            setControlValue(c, m_cursor->value(fieldOf(c)));
}

void RecordBinder::touch(QWidget *control)
{
    if (!m_cursor || fieldOf(control).isEmpty())
        return;
    controlEdited(control);
}

void RecordBinder::controlEdited(QWidget *control)
{
    if (m_filling || !m_cursor)
        return;
    if (m_cursor->isVoided()) {
        // A void entry takes no edits, typed or made by the program (a GPS
        // fix, say): the control shows the stored value again.
        QScopedValueRollback<bool> filling(m_filling, true);
        setControlValue(control, m_cursor->value(fieldOf(control)));
        return;
    }
    const QVariant value = controlValue(control);
    if (!m_cursor->hasRow()) {
        // Typing into a window whose table is still empty starts its first
        // row.  Beginning it clears the controls, so the typed value is put
        // back after.
        m_cursor->setValue(fieldOf(control), value);
        showRow();
        QScopedValueRollback<bool> filling(m_filling, true);
        setControlValue(control, value);
        return;
    }
    m_cursor->setValue(fieldOf(control), value);
}

} // namespace bravik::logbook
