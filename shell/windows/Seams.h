#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QInputDialog;
class QUrl;
class QPrinter;
class QWidget;

namespace bravik {

// The application's own title, used on every message box.
QString applicationTitle();

// Message boxes: OK only, no icon, the application's title.  Tests install
// a scripted double so nothing blocks on a modal box.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    virtual void inform(QWidget *parent, const QString &text) = 0;
};

struct FileDialogRequest
{
    enum Mode { Save, Open };
    Mode mode = Save;
    QString title;            // may be empty
    QString filter;           // "*.cfg"
    QString folder;           // starting folder
    QString defaultSuffix;    // "cfg" adds .cfg to a bare name; empty: none
    QString objectName;       // the dialog control's name, e.g. cdlTransitMission
};

// File dialogs: returns the chosen full path, or an empty string when the
// user cancelled.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    virtual QString choose(QWidget *parent, const FileDialogRequest &request) = 0;
};

// The platform's print dialog: sets up `printer` as the user chooses;
// false when the user cancelled.
class PrintDialogs
{
public:
    virtual ~PrintDialogs() = default;
    virtual bool choose(QWidget *parent, QPrinter *printer) = 0;
};

// Starts an external command without a shell and without waiting.
class CommandRunner
{
public:
    virtual ~CommandRunner() = default;
    // Returns true once the program was started; otherwise false with the
    // system's reason in `error`.
    virtual bool start(const QString &program, const QStringList &arguments, QString *error) = 0;

    // Starts the command like start(), but through the output recorder
    // (bravik-run-wrapped) when it is there, which writes the command's
    // output and exit status to `statusFile`.  `*recording` tells whether
    // it will; without the recorder the command starts unrecorded.
    virtual bool startRecorded(const QString &program, const QStringList &arguments, const QString &statusFile,
                               bool *recording, QString *error)
    {
        Q_UNUSED(statusFile);
        if (recording)
            *recording = false;
        return start(program, arguments, error);
    }
};

// Asks the user for a line of text (a reason, a name): true with the text
// when the user answered, false when they cancelled.
class TextPrompts
{
public:
    virtual ~TextPrompts() = default;
    virtual bool ask(QWidget *parent, const QString &title, const QString &label, QString *text) = 0;
    // As ask(), for an answer that must not be blank: a blank answer keeps
    // the prompt open with `whenBlank` under its label.
    virtual bool askRequired(QWidget *parent, const QString &title, const QString &label, const QString &whenBlank,
                             QString *text);
};

// The dialog the real text prompt shows, set up but not yet shown: its
// line takes a text of any length; with `whenBlank` set, OK on a blank
// answer keeps it open and says why.  The caller owns it.
QInputDialog *makeTextPromptDialog(QWidget *parent, const QString &title, const QString &label, const QString &text,
                                   const QString &whenBlank = QString());

// Opens a file or address with the desktop's own program for it (a photo
// in the image viewer): true once the desktop took it, otherwise false.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    virtual bool open(const QUrl &url) = 0;
};

// The output recorder's path: beside the program unless set (tests).
QString recorderProgram();
void setRecorderProgram(const QString &path);

MessageBoxes &messageBoxes();
FileDialogs &fileDialogs();
CommandRunner &commandRunner();
PrintDialogs &printDialogs();
TextPrompts &textPrompts();
UrlOpener &urlOpener();

// Replace a seam; passing nullptr restores the real one.  Returns nothing:
// ownership passes to the seam registry.
void setMessageBoxes(std::unique_ptr<MessageBoxes> seam);
void setFileDialogs(std::unique_ptr<FileDialogs> seam);
void setCommandRunner(std::unique_ptr<CommandRunner> seam);
void setPrintDialogs(std::unique_ptr<PrintDialogs> seam);
void setTextPrompts(std::unique_ptr<TextPrompts> seam);
void setUrlOpener(std::unique_ptr<UrlOpener> seam);

// Shorthand for the common case.
inline void inform(QWidget *parent, const QString &text) { messageBoxes().inform(parent, text); }

} // namespace bravik
