#include "MissionFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace bravik::launch {

namespace {

QString decode(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    // The mark is dropped above, once; the decoder must not drop a second.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(view);
}

MissionText refuse(MissionText::Problem problem, const QString &path, const QString &reason)
{
    MissionText r;
    r.problem = problem;
    r.message = QStringLiteral("The mission file %1 cannot be shown: %2.")
                    .arg(QDir::toNativeSeparators(path), reason);
    return r;
}

} // namespace

QString reviewText(const QByteArray &bytes)
{
    const QString in = decode(bytes);
    QString out;
    out.reserve(in.size() + in.size() / 16 + 2);
    const qsizetype n = in.size();
    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype cr = in.indexOf(QLatin1Char('\r'), pos);
        if (cr < 0) {
            out += QStringView(in).sliced(pos);
            pos = n;
        } else {
            out += QStringView(in).sliced(pos, cr - pos);
            pos = cr + 1;
            if (pos < n && in.at(pos) == QLatin1Char('\n'))
                ++pos;
        }
        out += QLatin1String("\r\n");
    }
    return out;
}

bool looksBinary(const QByteArray &bytes)
{
    return bytes.contains('\0');
}

MissionText readMissionForReview(const QString &path, qint64 maxBytes)
{
    if (path.isEmpty()) {
        MissionText r;
        r.problem = MissionText::NoPath;
        r.message = QStringLiteral("No mission file has been chosen.");
        return r;
    }
    const QFileInfo info(path);
    if (!info.exists())
        return refuse(MissionText::Missing, path, QStringLiteral("it does not exist"));
    if (info.isDir())
        return refuse(MissionText::Folder, path, QStringLiteral("it is a folder, not a file"));
    // Pipes and devices are never opened: reading one could block for ever.
    if (!info.isFile())
        return refuse(MissionText::NotAFile, path, QStringLiteral("it is not an ordinary file"));
    const QString limit = maxBytes % (1024 * 1024) == 0
                              ? QStringLiteral("%1 MB").arg(maxBytes / (1024 * 1024))
                              : QStringLiteral("%1 bytes").arg(maxBytes);
    const QString tooLarge = QStringLiteral("it is larger than %1, too large for a mission script").arg(limit);
    if (info.size() > maxBytes)
        return refuse(MissionText::TooLarge, path, tooLarge);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(MissionText::Unreadable, path,
                      QStringLiteral("it cannot be read (%1)").arg(file.errorString()));
    // One byte past the limit shows a file that grew since it was measured.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refuse(MissionText::Unreadable, path,
                      QStringLiteral("it cannot be read (%1)").arg(file.errorString()));
    file.close();
    if (bytes.size() > maxBytes)
        return refuse(MissionText::TooLarge, path, tooLarge);
    if (looksBinary(bytes))
        return refuse(MissionText::Binary, path,
                      QStringLiteral("it holds binary data, not the text of a mission script"));

    MissionText r;
    r.text = reviewText(bytes);
    r.bytes = bytes;
    return r;
}

} // namespace bravik::launch
