// The mission review reader: the raw bytes of a mission file as the review
// window shows them, and the whole reading of a file from disk.

#include "FuzzSupport.h"

#include "MissionFile.h"

#include <QFile>
#include <QTemporaryDir>

using namespace bravik::launch;
using bravik::fuzz::shown;

namespace {

// The reading written out plainly, one character at a time: a line ends at
// CR or CR LF, and every line, the last one too, is followed by CR LF.
QString referenceReview(const QString &in)
{
    QString out;
    QString line;
    bool open = false;   // a line has begun and not ended
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == QLatin1Char('\r')) {
            out += line + QLatin1String("\r\n");
            line.clear();
            open = false;
            if (i + 1 < in.size() && in[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            line += in[i];
            open = true;
        }
    }
    if (open)
        out += line + QLatin1String("\r\n");
    return out;
}

// The file's text: UTF-8 when it is valid UTF-8 (a byte order mark
// dropped), else one character per byte.
QString decoded(const QByteArray &bytes)
{
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF"))
        b.remove(0, 3);
    // Valid UTF-8, and only that, survives the trip to UTF-16 and back.
    // (The leading "A" keeps fromUtf8 from dropping a second mark.)
    const QString utf8 = QString::fromUtf8("A" + b);
    if (utf8.toUtf8() == "A" + b)
        return utf8.mid(1);
    return QString::fromLatin1(b);
}

QString path()
{
    return bravik::fuzz::scratch().filePath(QStringLiteral("mission.cfg"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = bravik::fuzz::bytes(data, size);
    const QString text = reviewText(bytes);
    const QString in = decoded(bytes);

    FUZZ_CHECK(text == referenceReview(in),
               QStringLiteral("%1 shown as %2").arg(shown(in), shown(text)));
    FUZZ_CHECK(text.isEmpty() || text.endsWith(QLatin1String("\r\n")), shown(text));
    for (qsizetype i = text.indexOf(QLatin1Char('\r')); i >= 0; i = text.indexOf(QLatin1Char('\r'), i + 1))
        FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'), shown(text));
    // Nothing but line ends is added or lost.
    QString a = in, b = text;
    a.remove(QLatin1String("\r\n"));
    a.remove(QLatin1Char('\r'));
    b.remove(QLatin1String("\r\n"));
    FUZZ_CHECK(a == b, QStringLiteral("%1 shown as %2").arg(shown(in), shown(text)));
    // Shown text read again is shown the same.
    if (!text.startsWith(QChar(0xFEFF)))
        FUZZ_CHECK(reviewText(text.toUtf8()) == text, shown(text));

    // The same bytes as a file on disk, with a small size limit so the
    // refusal of a large file is reached too: for every fourth input
    // (by its first byte), as the disk is slow next to the rest.
    constexpr qint64 limit = 2048;
    if (size == 0 || data[0] % 4 != 0)
        return 0;
    {
        QFile f(path());
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate), f.errorString());
        FUZZ_CHECK(f.write(bytes) == bytes.size(), f.errorString());
    }
    const MissionText read = readMissionForReview(path(), limit);
    if (bytes.size() > limit) {
        FUZZ_CHECK(read.problem == MissionText::TooLarge, read.message);
    } else if (bytes.contains('\0')) {
        FUZZ_CHECK(read.problem == MissionText::Binary, read.message);
    } else {
        FUZZ_CHECK(read.ok(), read.message);
        FUZZ_CHECK(read.text == text, shown(read.text));
    }
    FUZZ_CHECK(read.ok() == read.message.isEmpty(), read.message);
    if (!read.ok())
        FUZZ_CHECK(read.text.isEmpty(), shown(read.text));
    return 0;
}
