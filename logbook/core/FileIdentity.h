#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace bravik::logbook {

// Which file stands at a path: the device and inode number on Linux and
// other POSIX systems, the volume serial number and file index on Windows.
// Two paths, or one path at two moments, name the same file exactly when
// their identities are equal.
struct FileIdentity
{
    bool exists = false;
    quint64 volume = 0;
    quint64 file = 0;

    bool operator==(const FileIdentity &) const = default;
};

// The identity of the file at `path` now (exists is false when there is
// none, or it cannot be looked at).
FileIdentity fileIdentity(const QString &path);

// Whether a file written at `path` would land on the file at `target`, or
// on a file beside it named as `target` with one of `suffixes` appended
// (there or not yet), however `path` is spelt: through symbolic links,
// "." and "..", or as another hard link to the same file.
bool writesInto(const QString &path, const QString &target, const QStringList &suffixes);

} // namespace bravik::logbook
