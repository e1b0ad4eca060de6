// The CSV writer of the logbook export: any texts, written as records the
// way the export writes them (the key first), read back the same, both by
// the logbook's own reader and by a plain RFC 4180 reader written here.
//
// Input: UTF-8 text; U+001E ends a record, U+001F separates its fields.

#include "FuzzSupport.h"

#include "Csv.h"

using namespace bravik::logbook;
using bravik::fuzz::shown;

namespace {

// RFC 4180 read one character at a time: a field is quoted or not; in a
// quoted field "" is a quote and anything else, line breaks included, is
// text; records end at CR LF.
bool plainRead(const QString &in, QList<QStringList> *out)
{
    out->clear();
    QStringList record;
    QString field;
    qsizetype i = 0;
    const qsizetype n = in.size();
    while (i < n) {
        field.clear();
        if (in[i] == u'"') {
            ++i;
            for (;;) {
                if (i >= n)
                    return false;   // an unclosed quote
                if (in[i] == u'"') {
                    if (i + 1 < n && in[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += in[i++];
            }
        } else {
            while (i < n && in[i] != u',' && in[i] != u'\r' && in[i] != u'\n') {
                if (in[i] == u'"')
                    return false;   // a quote inside an unquoted field
                field += in[i++];
            }
        }
        record << field;
        if (i >= n)
            break;
        if (in[i] == u',') {
            ++i;
            continue;
        }
        if (in[i] != u'\r' || i + 1 >= n || in[i + 1] != u'\n')
            return false;   // a record ends in CR LF and nothing else
        i += 2;
        *out << record;
        record.clear();
    }
    if (!record.isEmpty())
        *out << record;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QStringList> records;
    QByteArray written;
    qint64 key = 0;
    for (const QString &r : text.split(QChar(0x1E))) {
        QStringList fields{QString::number(++key)};
        fields += r.split(QChar(0x1F));
        records << fields;
        const QByteArray line = csv::record(fields);
        FUZZ_CHECK(line.endsWith("\r\n"), shown(QString::fromUtf8(line)));
        written += line;
    }

    QList<QStringList> back;
    QString error;
    FUZZ_CHECK(csv::parse(written, &back, &error), error + QLatin1Char(' ') + shown(QString::fromUtf8(written)));
    FUZZ_CHECK(back == records, shown(QString::fromUtf8(written)));

    QList<QStringList> plain;
    const QString decoded = QString::fromUtf8(written);
    FUZZ_CHECK(decoded.toUtf8() == written, QStringLiteral("not UTF-8: ") + shown(decoded));
    FUZZ_CHECK(plainRead(decoded, &plain), shown(decoded));
    FUZZ_CHECK(plain == records, shown(decoded));
    return 0;
}
