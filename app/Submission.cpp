#include "Submission.h"

#include "RecordBinder.h"
#include "RecordCursor.h"
#include "RecordKinds.h"
#include "RecordWindow.h"
#include "WindowManager.h"

#include <QDateTime>
#include <QLineEdit>
#include <QPointer>

namespace bravik {

namespace {

logbook::RecordWindow *recordWindow(const QString &name)
{
    return qobject_cast<logbook::RecordWindow *>(windows().window(name));
}

// The field a stamp box of the window is bound to.
QString fieldOf(logbook::RecordWindow *w, const char *box)
{
    return logbook::RecordBinder::fieldOf(w->findChild<QLineEdit *>(QString::fromLatin1(box)));
}

void openNewEntry(const QString &name, const QString &clockText, const QString &submitter)
{
    // A window left without its table (the logbook could not be opened
    // when it was made) is made afresh, which tries the logbook again.
    if (auto *old = qobject_cast<logbook::RecordWindow *>(windows().existing(name)); old && old->openFailed())
        windows().unload(name);

    logbook::RecordWindow *w = recordWindow(name);
    if (!w)
        return;
    // The row shown is stored, a new row begins and the stamp goes into
    // it, as one request: whatever is queued before or after it (an entry
    // opened from Find Entries, say), the stamp lands on the row it
    // began.  When the row being left cannot be stored the window keeps
    // it, and no new row begins over it.  The hidden stamp is the moment
    // of the submission in UTC and this computer, whatever the clock box
    // says.
    logbook::RecordFront::Stamp stamp;
    stamp.fields = {{fieldOf(w, "txtTime"), clockText}, {fieldOf(w, "txtSubmittedBy"), submitter}};
    stamp.utc = QDateTime::currentDateTimeUtc();
    stamp.workstation = logbook::RecordCursor::thisWorkstation();
    QPointer<logbook::RecordWindow> target(w);
    const bool asked = w->beginEntry(stamp, [target, name](bool) {
        // The engine's message has been shown; a window without its
        // table could keep nothing.
        if (target && target->openFailed())
            windows().unload(name);
    });
    if (!asked) {
        windows().unload(name);
        return;
    }
    windows().show(name);
}

} // namespace

void submitLogEntry(const QString &category, const QString &clockText, const QString &submitter)
{
    // The texts compare whole and case-sensitively.
    if (const logbook::RecordKind *kind = logbook::kindForCategory(category)) {
        openNewEntry(kind->window, clockText, submitter);
        return;
    }
    if (category == QLatin1String("Build Mission")) {
        const QString chooser = QStringLiteral("frmSelectTemplate");
        if (windows().isRegistered(chooser))
            windows().show(chooser);
        return;
    }
    windows().show(QStringLiteral("frmInvalidEntry"));
}

} // namespace bravik
