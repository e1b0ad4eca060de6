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

void stamp(logbook::RecordWindow *w, const char *box, const QString &text)
{
    auto *edit = w->findChild<QLineEdit *>(QString::fromLatin1(box));
    if (!edit)
        return;
    edit->setText(text);
    // The stamp counts as an edit even when the text equals the cleared
    // box (an empty clock or submitter), so the entry is always made.
    w->binder()->touch(edit);
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
    if (w->openFailed()) {
        // The engine's message has been shown; nothing could be kept.
        windows().unload(name);
        return;
    }
    // When the row being left cannot be stored the window keeps it, and
    // no new row begins over it.  A window still waiting for the logbook
    // takes the entry in its turn.
    if (w->moveLast() && w->beginNewRow()) {
        QPointer<logbook::RecordWindow> target(w);
        const QDateTime submittedAt = QDateTime::currentDateTimeUtc();
        w->whenSettled([target, name, clockText, submitter, submittedAt](bool ok) {
            if (!target)
                return;
            if (target->openFailed()) {
                // The engine's message has been shown; nothing could be kept.
                windows().unload(name);
                return;
            }
            if (!ok)
                return;
            stamp(target, "txtTime", clockText);
            stamp(target, "txtSubmittedBy", submitter);
            // The hidden stamp: the moment of the submission in UTC and this
            // computer, whatever the clock box says.
            target->cursor()->stampNewRow(submittedAt, logbook::RecordCursor::thisWorkstation());
        });
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
