#include "OutputPath.h"

#include "FileIdentity.h"

#include <QDir>

namespace bravik::logbook {

QString outputPathProblem(const DatabaseLocation &where, const QString &path)
{
    const Dialect *dialect = Dialect::forDriver(where.driver);
    if (!dialect || !dialect->fileBased || !writesInto(path, where.location, dialect->fileCompanions))
        return {};
    return QStringLiteral("\"%1\" is the logbook file, or one the database engine keeps beside it: writing "
                          "there would destroy the logbook. Nothing was written; choose another file.")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace bravik::logbook
