#pragma once

// Pieces every template window shares: building controls at twips
// positions, and the last step of "Build Mission".

#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace bravik::mission {

struct TemplateBuild;

// Controls placed at Left, Top, Width, Height in twips, named for tests.
QLabel *addLabel(QWidget *window, const QString &name, const QString &caption, int l, int t, int w, int h);
QLineEdit *addTextBox(QWidget *window, const QString &name, const QString &text, int l, int t, int w, int h);
QComboBox *addComboBox(QWidget *window, const QString &name, const QStringList &items, const QString &text,
                       int l, int t, int w, int h);
QPushButton *addButton(QWidget *window, const QString &name, const QString &caption, int l, int t, int w, int h);

// After a build: a stopped build shows its message and puts the cursor in
// the box it names, leaving everything as typed; a finished one asks for
// the file name and saves.  Returns true when the script was saved and the
// window has been closed.  A cancelled dialog or a failed save leaves the
// window open with its contents.
bool finishBuild(QWidget *window, const TemplateBuild &build, const QString &dialogName);

} // namespace bravik::mission
