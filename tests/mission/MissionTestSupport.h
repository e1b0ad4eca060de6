#pragma once

// Helpers shared by the mission tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable: ") + path.toUtf8() + '>';
    return f.readAll();
}

inline QByteArray golden(const QString &name)
{
    return readAll(QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR "/") + name);
}

// Makes a folder unwritable for the life of the object: by its permissions
// for an ordinary user, by the immutable flag for root (who ignores
// permissions).  ok() is false when neither works on this machine.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &folder)
        : m_folder(folder)
    {
        if (::geteuid() != 0) {
            m_perms = QFile::permissions(folder);
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            m_mode = Perms;
        } else if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) == 0) {
            m_mode = Immutable;
        }
        // Check that the folder really refuses a new file.
        QFile probe(QDir(folder).filePath(QStringLiteral(".probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.close();
            probe.remove();
            release();
            m_ok = false;
        } else {
            m_ok = m_mode != None;
        }
    }
    ~ReadOnlyFolder() { release(); }
    bool ok() const { return m_ok; }
    void release()
    {
        if (m_mode == Perms)
            QFile::setPermissions(m_folder, m_perms);
        else if (m_mode == Immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_folder});
        m_mode = None;
    }

private:
    enum Mode { None, Perms, Immutable };
    QString m_folder;
    QFileDevice::Permissions m_perms;
    Mode m_mode = None;
    bool m_ok = false;
};

#ifdef BRAVIK_MISSION_TOOL
// One run of the built bravik-mission; exitCode stays -1 when it did not
// end normally within 30 seconds.
struct ToolRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ToolRun runTool(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(BRAVIK_MISSION_TOOL), arguments);
    ToolRun r;
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// A worked example written to a file and to standard output: both must be
// the golden script byte for byte, with nothing on standard error.
inline void compareWorkedExample(const QStringList &arguments, const QString &goldenName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.cfg"));
    const ToolRun toFile = runTool(arguments + QStringList{QStringLiteral("-o"), path});
    QCOMPARE(toFile.exitCode, 0);
    QCOMPARE(toFile.err, QByteArray());
    QCOMPARE(readAll(path), golden(goldenName));

    const ToolRun toStdout = runTool(arguments + QStringList{QStringLiteral("-o"), QStringLiteral("-")});
    QCOMPARE(toStdout.exitCode, 0);
    QCOMPARE(toStdout.out, golden(goldenName));
}
#endif
