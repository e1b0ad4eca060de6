// The one place for the platform calls that tell files apart.
#include "FileIdentity.h"

#include <QFile>

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

} // namespace bravik::logbook
