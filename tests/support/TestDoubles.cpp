#include "TestDoubles.h"
#include "TestPostgres.h"

#include "RecordFront.h"
#include "Settings.h"
#include "WindowManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QPrinter>

namespace bravik::test {

void ScriptedMessageBoxes::inform(QWidget *, const QString &text)
{
    texts << text;
    if (onInform)
        onInform(text);
}

QString ScriptedFileDialogs::choose(QWidget *, const FileDialogRequest &request)
{
    requests << request;
    return answers.isEmpty() ? QString() : answers.dequeue();
}

bool ScriptedPrintDialogs::choose(QWidget *, QPrinter *printer)
{
    ++asked;
    const QString path = answers.isEmpty() ? QString() : answers.dequeue();
    if (path.isEmpty())
        return false;
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return true;
}

bool ScriptedCommandRunner::start(const QString &program, const QStringList &arguments, QString *error)
{
    if (!failWith.isEmpty()) {
        if (error)
            *error = failWith;
        return false;
    }
    calls << Call{program, arguments};
    return true;
}

bool ScriptedCommandRunner::startRecorded(const QString &program, const QStringList &arguments,
                                          const QString &statusFile, bool *recording, QString *error)
{
    if (recording)
        *recording = false;
    if (!start(program, arguments, error))
        return false;
    calls.last().statusFile = statusFile;
    if (recording)
        *recording = this->recording;
    return true;
}

bool ScriptedTextPrompts::ask(QWidget *, const QString &, const QString &label, QString *text)
{
    labels << label;
    if (answers.isEmpty())
        return false;
    const QString answer = answers.dequeue();
    if (answer.isNull())
        return false;
    *text = answer;
    return true;
}

Seams::Seams()
{
    auto m = std::make_unique<ScriptedMessageBoxes>();
    auto d = std::make_unique<ScriptedFileDialogs>();
    auto c = std::make_unique<ScriptedCommandRunner>();
    auto pr = std::make_unique<ScriptedPrintDialogs>();
    printing = pr.get();
    setPrintDialogs(std::move(pr));
    messages = m.get();
    dialogs = d.get();
    commands = c.get();
    setMessageBoxes(std::move(m));
    setFileDialogs(std::move(d));
    setCommandRunner(std::move(c));
    auto p = std::make_unique<ScriptedTextPrompts>();
    prompts = p.get();
    setTextPrompts(std::move(p));
}

Seams::~Seams()
{
    setMessageBoxes(nullptr);
    setFileDialogs(nullptr);
    setCommandRunner(nullptr);
    setPrintDialogs(nullptr);
    setTextPrompts(nullptr);
}

TempSettings::TempSettings()
{
    Settings s = Settings::defaults();
    s.database = dir.filePath(QStringLiteral("db/BravikDatabase.sqlite"));
    s.missionsFolder = dir.filePath(QStringLiteral("Missions"));
    s.runProgram = dir.filePath(QStringLiteral("bin/runmission"));
    s.stopProgram = dir.filePath(QStringLiteral("bin/slaysupervisor"));
    s.launchFolder = dir.filePath(QStringLiteral("Launches"));
    if (postgresRequested() && postgresSkipReason().isEmpty()) {
        schema = std::make_shared<PostgresSchema>();
        if (!schema->isValid())
            qWarning("%s", qPrintable(schema->error()));
        s.databaseDriver = QStringLiteral("QPSQL");
        s.database = schema->location();
    }
    setSettings(s);
    // The logbook answers on a thread of its own; these tests see each
    // answer before the call that asked for it returns, as a quick logbook
    // gives it.  Tests of waiting set no patience.
    logbook::RecordFront::setPatience(std::chrono::seconds(30));
}

TempSettings::~TempSettings()
{
    setSettings(Settings::defaults());
    logbook::RecordFront::setPatience(std::chrono::milliseconds(0));
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace bravik::test
