#include "Seams.h"

#include "Controls.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>

namespace bravik {

QString applicationTitle()
{
    return QStringLiteral("Bravik AUV Log Utility");
}

namespace {

class RealMessageBoxes : public MessageBoxes
{
public:
    void inform(QWidget *parent, const QString &text) override
    {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
        box.exec();
    }
};

class RealFileDialogs : public FileDialogs
{
public:
    QString choose(QWidget *parent, const FileDialogRequest &r) override
    {
        QFileDialog dialog(parent, r.title, r.folder, r.filter);
        dialog.setObjectName(r.objectName);
        dialog.setAcceptMode(r.mode == FileDialogRequest::Save ? QFileDialog::AcceptSave
                                                              : QFileDialog::AcceptOpen);
        dialog.setFileMode(r.mode == FileDialogRequest::Save ? QFileDialog::AnyFile
                                                            : QFileDialog::ExistingFile);
        if (!r.defaultSuffix.isEmpty())
            dialog.setDefaultSuffix(r.defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    }
};

class RealPrintDialogs : public PrintDialogs
{
public:
    bool choose(QWidget *parent, QPrinter *printer) override
    {
        QPrintDialog dialog(printer, parent);
        dialog.setObjectName(QStringLiteral("dlgPrint"));
        return dialog.exec() == QDialog::Accepted;
    }
};

class RealCommandRunner : public CommandRunner
{
public:
    bool start(const QString &program, const QStringList &arguments, QString *error) override
    {
        // A bare name is looked up on the PATH, as a shell would.
        QString path = program;
        if (!program.contains(QLatin1Char('/')) && !program.contains(QLatin1Char('\\'))) {
            path = QStandardPaths::findExecutable(program);
            if (path.isEmpty()) {
                if (error)
                    *error = QStringLiteral("no program of that name was found on the PATH");
                return false;
            }
        }
        QFileInfo info(path);
        if (!info.exists()) {
            if (error)
                *error = QStringLiteral("the file does not exist");
            return false;
        }
        if (info.isDir()) {
            if (error)
                *error = QStringLiteral("it is a folder, not a program");
            return false;
        }
        QProcess process;
        process.setProgram(path);
        process.setArguments(arguments);
        process.setStandardInputFile(QProcess::nullDevice());
        qint64 pid = 0;
        if (process.startDetached(&pid))
            return true;
#ifdef Q_OS_UNIX
        // A script without a "#!" line is not a program the system can
        // start; a shell runs such a file with /bin/sh, and so does this.
        // The path stays one argument: it is never part of a command text.
        if (process.errorString().contains(qt_error_string(ENOEXEC))) {
            process.setProgram(QStringLiteral("/bin/sh"));
            process.setArguments(QStringList{info.absoluteFilePath()} + arguments);
            if (process.startDetached(&pid))
                return true;
        }
#endif
        if (error)
            *error = process.errorString();
        return false;
    }
};

// Commands started through the output recorder; kept apart from the plain
// start above.
class RecordingCommandRunner : public RealCommandRunner
{
public:
    bool startRecorded(const QString &program, const QStringList &arguments, const QString &statusFile,
                       bool *recording, QString *error) override
    {
        if (recording)
            *recording = false;
        const QString recorder = recorderProgram();
        if (statusFile.isEmpty() || recorder.isEmpty() || !QFileInfo(recorder).isExecutable())
            return start(program, arguments, error);
        // The command itself is checked here, so a missing one is refused
        // at once as without the recorder.
        QString path = program;
        if (!program.contains(QLatin1Char('/')) && !program.contains(QLatin1Char('\\'))) {
            path = QStandardPaths::findExecutable(program);
            if (path.isEmpty()) {
                if (error)
                    *error = QStringLiteral("no program of that name was found on the PATH");
                return false;
            }
        }
        const QFileInfo info(path);
        if (!info.exists() || info.isDir() || !info.isExecutable()) {
            if (error)
                *error = !info.exists() ? QStringLiteral("the file does not exist")
                         : info.isDir() ? QStringLiteral("it is a folder, not a program")
                                        : QStringLiteral("Permission denied: it is not executable");
            return false;
        }
        QStringList wrapped{QStringLiteral("--status"), statusFile, QStringLiteral("--"), path};
        wrapped += arguments;
        if (!start(recorder, wrapped, error))
            return false;
        if (recording)
            *recording = true;
        return true;
    }
};

// The platform's text prompt; with `whenBlank` set, OK on a blank answer
// leaves it open and says why.
class TextPromptDialog : public QInputDialog
{
public:
    TextPromptDialog(QWidget *parent, const QString &label, const QString &whenBlank)
        : QInputDialog(parent)
        , m_label(label)
        , m_whenBlank(whenBlank)
    {
    }
    void done(int result) override
    {
        if (result == QDialog::Accepted && !m_whenBlank.isEmpty() && textValue().trimmed().isEmpty()) {
            setLabelText(m_label + QStringLiteral("\n\n") + m_whenBlank);
            return;
        }
        QInputDialog::done(result);
    }

private:
    QString m_label;
    QString m_whenBlank;
};

class RealTextPrompts : public TextPrompts
{
public:
    bool ask(QWidget *parent, const QString &title, const QString &label, QString *text) override
    {
        return askRequired(parent, title, label, QString(), text);
    }
    bool askRequired(QWidget *parent, const QString &title, const QString &label, const QString &whenBlank,
                     QString *text) override
    {
        const std::unique_ptr<QInputDialog> dialog(makeTextPromptDialog(parent, title, label, *text, whenBlank));
        if (dialog->exec() != QDialog::Accepted)
            return false;
        *text = dialog->textValue();
        return true;
    }
};

class RealUrlOpener : public UrlOpener
{
public:
    bool open(const QUrl &url) override { return QDesktopServices::openUrl(url); }
};

// Each seam's one installed object, the real one until a test installs
// its own.
template <class Seam, class Real>
std::unique_ptr<Seam> &slot()
{
    static std::unique_ptr<Seam> s = std::make_unique<Real>();
    return s;
}

std::unique_ptr<TextPrompts> &promptSlot();

} // namespace

QInputDialog *makeTextPromptDialog(QWidget *parent, const QString &title, const QString &label, const QString &text,
                                   const QString &whenBlank)
{
    auto *dialog = new TextPromptDialog(parent, label, whenBlank);
    dialog->setObjectName(QStringLiteral("dlgTextPrompt"));
    dialog->setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    dialog->setLabelText(label);
    dialog->setTextValue(text);
    // Its line would keep only the first 32,767 characters of a longer text.
    controls::takeAnyLength(dialog->findChild<QLineEdit *>());
    return dialog;
}

bool TextPrompts::askRequired(QWidget *parent, const QString &title, const QString &label, const QString &whenBlank,
                              QString *text)
{
    // Asked again, with the word, until the answer is not blank.
    QString shown = label;
    for (;;) {
        if (!ask(parent, title, shown, text))
            return false;
        if (!text->trimmed().isEmpty())
            return true;
        shown = label + QStringLiteral("\n\n") + whenBlank;
    }
}

namespace {

std::unique_ptr<TextPrompts> &promptSlot() { return slot<TextPrompts, RealTextPrompts>(); }

QString &recorderSlot()
{
    static QString path;
    return path;
}

std::unique_ptr<MessageBoxes> &messageSlot() { return slot<MessageBoxes, RealMessageBoxes>(); }
std::unique_ptr<FileDialogs> &dialogSlot() { return slot<FileDialogs, RealFileDialogs>(); }
std::unique_ptr<PrintDialogs> &printSlot() { return slot<PrintDialogs, RealPrintDialogs>(); }
std::unique_ptr<CommandRunner> &runnerSlot() { return slot<CommandRunner, RecordingCommandRunner>(); }
std::unique_ptr<UrlOpener> &urlSlot() { return slot<UrlOpener, RealUrlOpener>(); }

} // namespace

MessageBoxes &messageBoxes() { return *messageSlot(); }
FileDialogs &fileDialogs() { return *dialogSlot(); }
CommandRunner &commandRunner() { return *runnerSlot(); }
PrintDialogs &printDialogs() { return *printSlot(); }
TextPrompts &textPrompts() { return *promptSlot(); }
UrlOpener &urlOpener() { return *urlSlot(); }

void setUrlOpener(std::unique_ptr<UrlOpener> seam)
{
    urlSlot() = seam ? std::move(seam) : std::make_unique<RealUrlOpener>();
}

void setTextPrompts(std::unique_ptr<TextPrompts> seam)
{
    promptSlot() = seam ? std::move(seam) : std::make_unique<RealTextPrompts>();
}

void setMessageBoxes(std::unique_ptr<MessageBoxes> seam)
{
    messageSlot() = seam ? std::move(seam) : std::make_unique<RealMessageBoxes>();
}
void setFileDialogs(std::unique_ptr<FileDialogs> seam)
{
    dialogSlot() = seam ? std::move(seam) : std::make_unique<RealFileDialogs>();
}
void setPrintDialogs(std::unique_ptr<PrintDialogs> seam)
{
    printSlot() = seam ? std::move(seam) : std::make_unique<RealPrintDialogs>();
}
void setCommandRunner(std::unique_ptr<CommandRunner> seam)
{
    runnerSlot() = seam ? std::move(seam) : std::make_unique<RecordingCommandRunner>();
}

QString recorderProgram()
{
    if (!recorderSlot().isEmpty())
        return recorderSlot();
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("/bravik-run-wrapped.exe");
#else
    const QString name = QStringLiteral("/bravik-run-wrapped");
#endif
    if (!QCoreApplication::instance())
        return QString();
    // Beside the program in the build folder; in an installed program's
    // private folder for helpers (PREFIX/libexec/bravik-log).
    const QString dir = QCoreApplication::applicationDirPath();
    const QString beside = dir + name;
    const QString installed = QDir::cleanPath(dir + QStringLiteral("/../libexec/bravik-log") + name);
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed;
}

void setRecorderProgram(const QString &path)
{
    recorderSlot() = path;
}

} // namespace bravik
