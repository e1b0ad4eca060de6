#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

namespace bravik::logbook::csv {

// RFC 4180 in UTF-8: fields separated by commas, records ended by CR LF; a
// field holding a comma, a quote, a CR or LF, or a leading or trailing
// blank is quoted, quotes inside it doubled; line breaks inside fields are
// kept as they are.
QByteArray field(const QString &text);
QByteArray record(const QStringList &fields);
// The same for a field already in UTF-8, appended to `out` (the export's
// loop: no conversion, no allocation beyond the buffer's growth).
void appendField(QByteArray &out, QByteArrayView utf8);

// Reads CSV text back into records; false with `error` for text that is
// not well-formed (a quote inside an unquoted field, an unclosed quote,
// invalid UTF-8).  A final record without CR LF is accepted.
bool parse(QByteArrayView text, QList<QStringList> *records, QString *error);

} // namespace bravik::logbook::csv
