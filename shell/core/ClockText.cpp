#include "ClockText.h"

#include <cstdlib>

#include <QRegularExpression>

namespace bravik {

namespace {

// Characters outside quotes; quoted literal text is kept as it stands.
template <class F>
QString rewriteUnquoted(const QString &format, F rewrite)
{
    QString out;
    QString run;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) {
            if (!quoted) {
                out += rewrite(run);
                run.clear();
            }
            quoted = !quoted;
            out += c;
            continue;
        }
        if (quoted)
            out += c;
        else
            run += c;
    }
    out += rewrite(run);
    return out;
}

QString plainBlanks(QString s)
{
    // Some locales put a narrow or no-break space before AM/PM; the clock
    // box shows an ordinary blank.
    s.replace(QChar(0x202F), QLatin1Char(' '));
    s.replace(QChar(0x00A0), QLatin1Char(' '));
    return s;
}

} // namespace

QString clockDateFormat(const QLocale &locale)
{
    static const QRegularExpression years(QStringLiteral("y+"));
    return rewriteUnquoted(locale.dateFormat(QLocale::ShortFormat), [](QString run) {
        return run.replace(years, QStringLiteral("yyyy"));
    });
}

QString clockTimeFormat(const QLocale &locale)
{
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?"));
    QString f = rewriteUnquoted(locale.timeFormat(QLocale::LongFormat), [](QString run) {
        return run.remove(zone);
    });
    return f.trimmed();
}

QString clockText(const QDateTime &when, const QLocale &locale)
{
    const QDate date = when.date();
    const QTime time = when.time();
    const QString dateText = locale.toString(date, clockDateFormat(locale));
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return plainBlanks(dateText);
    const QString timeText = locale.toString(QTime(time.hour(), time.minute(), time.second()),
                                             clockTimeFormat(locale));
    return plainBlanks(dateText + QLatin1Char(' ') + timeText);
}

QString clockZoneNote(const QDateTime &when)
{
    const int offset = when.toLocalTime().offsetFromUtc();
    if (offset == 0)
        return {};
    const int minutes = std::abs(offset) / 60;
    return QStringLiteral("This computer's clock is UTC%1%2:%3, not GMT")
        .arg(offset < 0 ? QChar(0x2212) : QChar(u'+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace bravik
