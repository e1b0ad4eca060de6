#include "Csv.h"

#include <QStringDecoder>

#include <cstring>

namespace bravik::logbook::csv {

void appendField(QByteArray &out, QByteArrayView utf8)
{
    const char *p = utf8.data();
    const qsizetype n = utf8.size();
    if (n == 0)
        return;
    bool quote = p[0] == ' ' || p[n - 1] == ' ' || p[0] == '\t' || p[n - 1] == '\t';
    for (qsizetype i = 0; i < n && !quote; ++i) {
        const char c = p[i];
        quote = c == ',' || c == '"' || c == '\r' || c == '\n';
    }
    if (!quote) {
        out.append(p, n);
        return;
    }
    out += '"';
    // Copies runs up to each quote, then doubles it.
    const char *end = p + n;
    while (p < end) {
        const char *q = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
        if (!q) {
            out.append(p, end - p);
            break;
        }
        out.append(p, q + 1 - p);
        out += '"';
        p = q + 1;
    }
    out += '"';
}

QByteArray field(const QString &text)
{
    QByteArray out;
    appendField(out, text.toUtf8());
    return out;
}

QByteArray record(const QStringList &fields)
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        out += field(fields.at(i));
    }
    out += "\r\n";
    return out;
}

bool parse(QByteArrayView text, QList<QStringList> *records, QString *error)
{
    records->clear();
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString all = decode(text);
    if (decode.hasError()) {
        *error = QStringLiteral("The text is not valid UTF-8.");
        return false;
    }
    QStringList current;
    QString value;
    bool inQuotes = false, wasQuoted = false, anyInRecord = false;
    const qsizetype n = all.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = all.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && all.at(i + 1) == QLatin1Char('"')) {
                    value += c;
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                value += c;
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            if (!value.isEmpty() || wasQuoted) {
                *error = QStringLiteral("A quote inside an unquoted field at character %1.").arg(i + 1);
                return false;
            }
            inQuotes = wasQuoted = anyInRecord = true;
        } else if (c == QLatin1Char(',')) {
            current << value;
            value.clear();
            wasQuoted = false;
            anyInRecord = true;
        } else if (c == QLatin1Char('\r') && i + 1 < n && all.at(i + 1) == QLatin1Char('\n')) {
            current << value;
            records->append(current);
            current.clear();
            value.clear();
            wasQuoted = anyInRecord = false;
            ++i;
        } else {
            if (wasQuoted) {
                *error = QStringLiteral("Text after a closing quote at character %1.").arg(i + 1);
                return false;
            }
            value += c;
            anyInRecord = true;
        }
    }
    if (inQuotes) {
        *error = QStringLiteral("A quoted field is not closed.");
        return false;
    }
    if (anyInRecord || !value.isEmpty()) {
        current << value;
        records->append(current);
    }
    return true;
}

} // namespace bravik::logbook::csv
