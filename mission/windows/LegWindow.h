#pragma once

// The "Next" and save steps of the two leg-entry wizards.

#include <QList>
#include <QString>

class QLineEdit;
class QWidget;

namespace bravik::mission {

class LegWizard;
struct NextReaction;
struct TemplateBuild;

// Asks for the file name and writes the script.  Returns true when it was
// written and the window has been closed.  When the build stopped, the
// dialog was cancelled or the file could not be written, the window stays
// open with every leg kept, and one message says so and how to go on:
// `retry` names the button that asks for the file name again.
bool saveLegScript(QWidget *window, const TemplateBuild &build, const QString &dialogName, const QString &retry);

// What follows "Next": its messages one after the other; a stopped leg puts
// the cursor in the box it is about; a stored one empties `cleared`, writes
// the captions of the next leg and puts the cursor in `first`; after the
// last leg (or again after it) the script is saved as saveLegScript does.
void followNext(QWidget *window, const NextReaction &r, const LegWizard &wizard, const QList<QLineEdit *> &cleared,
                QWidget *first, const QString &dialogName, const QString &retry);

} // namespace bravik::mission
