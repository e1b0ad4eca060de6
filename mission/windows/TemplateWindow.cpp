#include "TemplateWindow.h"

#include "Controls.h"
#include "MissionFileDialog.h"
#include "Seams.h"
#include "TemplateBuild.h"
#include "Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace bravik::mission {

QLabel *addLabel(QWidget *window, const QString &name, const QString &caption, int l, int t, int w, int h)
{
    auto *label = new QLabel(caption, window);
    label->setObjectName(name);
    label->setWordWrap(true);
    twips::place(label, l, t, w, h);
    return label;
}

QLineEdit *addTextBox(QWidget *window, const QString &name, const QString &text, int l, int t, int w, int h)
{
    auto *box = new QLineEdit(text, window);
    box->setObjectName(name);
    controls::takeAnyLength(box);
    twips::place(box, l, t, w, h);
    return box;
}

QComboBox *addComboBox(QWidget *window, const QString &name, const QStringList &items, const QString &text,
                       int l, int t, int w, int h)
{
    auto *combo = new QComboBox(window);
    combo->setObjectName(name);
    controls::keepTypedText(combo);
    combo->addItems(items);
    combo->setCurrentIndex(items.indexOf(text));
    combo->setEditText(text);
    twips::place(combo, l, t, w, h);
    return combo;
}

QPushButton *addButton(QWidget *window, const QString &name, const QString &caption, int l, int t, int w, int h)
{
    auto *button = new QPushButton(caption, window);
    button->setObjectName(name);
    twips::place(button, l, t, w, h);
    return button;
}

bool finishBuild(QWidget *window, const TemplateBuild &build, const QString &dialogName)
{
    if (!build.ok()) {
        inform(window, build.message);
        if (!build.box.isEmpty())
            if (auto *box = window->findChild<QWidget *>(build.box))
                box->setFocus();
        return false;
    }
    if (saveMissionScript(window, dialogName, build.script) != SaveOutcome::Saved)
        return false;
    window->close();
    return true;
}

} // namespace bravik::mission
