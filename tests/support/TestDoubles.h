#pragma once

#include "Seams.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QQueue>
#include <QUrl>
#include <functional>
#include <memory>

namespace bravik::test {

// Records every message instead of showing a modal box.  An optional hook
// runs while the "box" is up, as a user might act before pressing OK.
class ScriptedMessageBoxes : public MessageBoxes
{
public:
    void inform(QWidget *parent, const QString &text) override;
    QStringList texts;
    std::function<void(const QString &)> onInform;
};

// Answers file dialogs from a queue; an empty queue answers "cancelled".
class ScriptedFileDialogs : public FileDialogs
{
public:
    QString choose(QWidget *parent, const FileDialogRequest &request) override;
    QQueue<QString> answers;
    QList<FileDialogRequest> requests;
};

// Answers print dialogs from a queue: a path accepts with the printer set
// to write a PDF file there; an empty text (or an empty queue) cancels.
class ScriptedPrintDialogs : public PrintDialogs
{
public:
    bool choose(QWidget *parent, QPrinter *printer) override;
    QQueue<QString> answers;
    int asked = 0;
};

// Records commands; `failWith` non-empty makes every start fail with it.
class ScriptedCommandRunner : public CommandRunner
{
public:
    struct Call
    {
        QString program;
        QStringList arguments;
        QString statusFile;   // set for a recorded start
    };
    bool start(const QString &program, const QStringList &arguments, QString *error) override;
    // Recorded starts answer `recording` (a test then writes the status
    // file the recorder would write).
    bool startRecorded(const QString &program, const QStringList &arguments, const QString &statusFile,
                       bool *recording, QString *error) override;
    QList<Call> calls;
    QString failWith;
    bool recording = false;
};

// Answers text prompts from a queue; a null QString (or an empty queue)
// answers "cancelled".  Every prompt's label is kept.  With throughDialog
// the answer is pasted into the real prompt's line (shown, not modal) and
// Enter pressed there, so the answer is what that line took.
class ScriptedTextPrompts : public TextPrompts
{
public:
    bool ask(QWidget *parent, const QString &title, const QString &label, QString *text) override;
    QQueue<QString> answers;
    QStringList labels;
    bool throughDialog = false;
};

// Records what was to be opened; answers `opens`.
class ScriptedUrlOpener : public UrlOpener
{
public:
    bool open(const QUrl &url) override;
    QList<QUrl> opened;
    bool opens = true;
};

// Installs the six doubles for the life of the object and restores the
// real seams afterwards, once the logbook has answered what the windows
// asked of it.  The pointers stay owned by the seam registry.
class Seams
{
public:
    Seams();
    ~Seams();
    ScriptedMessageBoxes *messages;
    ScriptedFileDialogs *dialogs;
    ScriptedCommandRunner *commands;
    ScriptedPrintDialogs *printing;
    ScriptedTextPrompts *prompts;
    ScriptedUrlOpener *urls;
};

// A temporary home for the program's settings: a database file and a
// missions folder inside a fresh temporary folder, installed as the
// program's settings for the life of the object.
//
// When the test runs on PostgreSQL (BRAVIK_TEST_DRIVER=QPSQL, see
// TestPostgres.h) the logbook is a fresh schema on the test server instead.
class PostgresSchema;
class TempSettings
{
public:
    TempSettings();
    ~TempSettings();
    QString path(const QString &name) const { return dir.filePath(name); }
    QTemporaryDir dir;
    std::shared_ptr<PostgresSchema> schema;
};

// Runs deferred deletions so unloaded windows are really gone.
void flushDeletes();

// Handles events until the logbook has answered everything asked of it:
// every record window's requests and every job of the logbook service (as
// a person waits for the window to answer).  False after `ms`.
bool waitForLogbook(int ms = 20000);

} // namespace bravik::test
