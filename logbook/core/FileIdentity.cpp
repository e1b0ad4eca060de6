// The one place for the platform calls that tell files apart.
#include "FileIdentity.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace bravik::logbook {

FileIdentity fileIdentity(const QString &path)
{
    FileIdentity id;
    if (path.isEmpty())
        return id;
#ifdef Q_OS_WIN
    // No access is asked for and every sharing is allowed, so a file that
    // the database engine holds open can still be looked at.
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return id;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info)) {
        id.exists = true;
        id.volume = info.dwVolumeSerialNumber;
        id.file = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    CloseHandle(h);
#else
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return id;
    id.exists = true;
    id.volume = quint64(st.st_dev);
    id.file = quint64(st.st_ino);
#endif
    return id;
}

namespace {

// The folder part of a path as it is spelt ("a/link/.." stays as it is,
// for the system to resolve), and its last part.
void split(const QString &path, QString *folder, QString *name)
{
    QString p = path;
#ifdef Q_OS_WIN
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    *folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : p.left(slash);
    *name = p.mid(slash + 1);
}

bool sameName(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    return a.compare(b, Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}

} // namespace

bool writesInto(const QString &path, const QString &target, const QStringList &suffixes)
{
    if (path.isEmpty() || target.isEmpty())
        return false;
    // A symbolic link is written through to where it points, dangling or not.
    QString resolved = path;
    for (int depth = 0; depth < 64 && QFileInfo(resolved).isSymLink(); ++depth)
        resolved = QFileInfo(resolved).symLinkTarget();
    QString outFolder, outName;
    split(resolved, &outFolder, &outName);
    const FileIdentity outFile = fileIdentity(resolved);
    const FileIdentity outDir = fileIdentity(outFolder);

    // The target as named and as its links resolve: the engine may keep
    // its files beside either.
    QStringList bases{target};
    const QString canonical = QFileInfo(target).canonicalFilePath();
    if (!canonical.isEmpty())
        bases << canonical;
    for (const QString &base : bases) {
        QString folder, name;
        split(base, &folder, &name);
        const bool sameFolder = outDir.exists && outDir == fileIdentity(folder);
        for (const QString &suffix : QStringList{QString()} + suffixes) {
            if (sameFolder && sameName(outName, name + suffix))
                return true;
            if (outFile.exists && outFile == fileIdentity(folder + QLatin1Char('/') + name + suffix))
                return true;
        }
    }
    return false;
}

} // namespace bravik::logbook
