#pragma once

// The words of a PDF file as poppler's pdftotext reads them, blanks made
// single.
#include <QProcess>
#include <QString>

namespace bravik::test {

inline QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

} // namespace bravik::test
