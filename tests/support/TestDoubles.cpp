#include "TestDoubles.h"
#include "TestPostgres.h"

#include "LogbookService.h"
#include "RecordFront.h"
#include "Settings.h"
#include "WindowManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QPrinter>
#include <QTest>

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
    calls << Call{program, arguments, {}};
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

bool ScriptedTextPrompts::ask(QWidget *parent, const QString &title, const QString &label, QString *text)
{
    labels << label;
    if (answers.isEmpty())
        return false;
    const QString answer = answers.dequeue();
    if (answer.isNull())
        return false;
    if (!throughDialog) {
        *text = answer;
        return true;
    }
    const std::unique_ptr<QInputDialog> dialog(makeTextPromptDialog(parent, title, label, *text));
    dialog->show();
    auto *line = dialog->findChild<QLineEdit *>();
    if (!line)
        return false;
    line->setFocus();
    QGuiApplication::clipboard()->setText(answer);
    QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(line, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(line, Qt::Key_Return);
    if (dialog->result() != QDialog::Accepted)
        return false;
    *text = dialog->textValue();
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
    auto u = std::make_unique<ScriptedUrlOpener>();
    urls = u.get();
    setUrlOpener(std::move(u));
}

bool ScriptedUrlOpener::open(const QUrl &url)
{
    opened << url;
    return opens;
}

Seams::~Seams()
{
    // The logbook's answers to what the windows asked (a store as a window
    // closes) may still tell something: they come while the doubles are
    // still there.
    waitForLogbook();
    flushDeletes();
    setMessageBoxes(nullptr);
    setFileDialogs(nullptr);
    setCommandRunner(nullptr);
    setPrintDialogs(nullptr);
    setTextPrompts(nullptr);
    setUrlOpener(nullptr);
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
    logbook::LogbookService::setStatementTimeout(std::chrono::milliseconds(s.statementTimeoutMs));
}

TempSettings::~TempSettings()
{
    // The logbook's service goes with it: what it still has to store gets
    // its few seconds, and its threads end.
    bool finished = true;
    logbook::LogbookService::shutdownAll(std::chrono::seconds(10), &finished);
    if (!finished)
        qWarning("a logbook thread was still busy when the test's logbook went");
    setSettings(Settings::defaults());
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool waitForLogbook(int ms)
{
    return QTest::qWaitFor(
        [] {
            for (logbook::RecordFront *f : logbook::RecordFront::all())
                if (f->isBusy())
                    return false;
            for (logbook::LogbookService *s : logbook::LogbookService::all())
                if (s->outstanding() > 0)
                    return false;
            return true;
        },
        ms);
}

} // namespace bravik::test
