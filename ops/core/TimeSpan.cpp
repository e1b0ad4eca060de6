#include "TimeSpan.h"

#include "EntryQuery.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <QTimeZone>

namespace bravik::ops {

namespace {

QDateTime atUtc(const QDate &d, const QTime &t)
{
    // A date-time in Qt::UTC stays small: no time zone object behind it.
    return QDateTime(d, t, Qt::UTC);
}

// Locales may put a narrow or no-break space where the clock shows an
// ordinary blank.
QString plainBlanks(QString s)
{
    s.replace(QChar(0x202F), QLatin1Char(' '));
    s.replace(QChar(0x00A0), QLatin1Char(' '));
    return s;
}

} // namespace

TimeSpan TimeSpan::day(const QDate &date)
{
    return {atUtc(date, QTime(0, 0)), atUtc(date.addDays(1), QTime(0, 0))};
}

std::optional<TimeSpan> TimeSpan::parse(const QString &since, const QString &until, QString *error)
{
    auto notATime = [&](const QString &text) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a date (2026-12-08) or a UTC time (2026-12-08T08:00).").arg(text);
        return std::nullopt;
    };
    QString from, to;
    if (!logbook::EntryFilter::parseBound(since, false, &from))
        return notATime(since);
    TimeSpan span;
    span.from = readStamp(from);
    if (until.trimmed().isEmpty()) {
        span.until = atUtc(span.from.date().addDays(1), QTime(0, 0));
    } else {
        if (!logbook::EntryFilter::parseBound(until, true, &to))
            return notATime(until);
        // The bound is the last second taken in; the span ends after it.
        span.until = readStamp(to).addSecs(1);
    }
    if (!span.from.isValid() || !span.until.isValid())
        return notATime(since);
    if (span.until <= span.from) {
        if (error)
            *error = QStringLiteral("The range from %1 to %2 ends before it begins.").arg(since.trimmed(), until.trimmed());
        return std::nullopt;
    }
    return span;
}

bool TimeSpan::isOneDay() const
{
    return from.time() == QTime(0, 0) && until == from.addDays(1);
}

QString TimeSpan::text() const
{
    if (isOneDay())
        return from.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" (UTC)");
    auto end = [](const QDateTime &t) {
        return t.time() == QTime(0, 0) ? t.toString(QStringLiteral("yyyy-MM-dd")) : t.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    };
    // A span ending at midnight is shown as through the day before.
    const QString last = until.time() == QTime(0, 0) ? end(until.addDays(-1)) : end(until);
    return QStringLiteral("%1 to %2 UTC").arg(end(from), last);
}

QString stampText(const QDateTime &utc)
{
    return utc.toUTC().toString(Qt::ISODate);
}

QDateTime readStamp(const QString &text)
{
    // "2026-12-08T04:29:18Z", with or without milliseconds; read by hand,
    // as a year of entries has as many of them.
    const qsizetype n = text.size();
    if (n < 20 || text.at(n - 1) != QLatin1Char('Z'))
        return {};
    auto digits = [&text](qsizetype from, qsizetype count, int *value) {
        int v = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + (c - '0');
        }
        *value = v;
        return true;
    };
    int year, month, day, hour, minute, second, milli = 0;
    if (!digits(0, 4, &year) || text.at(4) != QLatin1Char('-') || !digits(5, 2, &month) || text.at(7) != QLatin1Char('-')
        || !digits(8, 2, &day) || text.at(10) != QLatin1Char('T') || !digits(11, 2, &hour) || text.at(13) != QLatin1Char(':')
        || !digits(14, 2, &minute) || text.at(16) != QLatin1Char(':') || !digits(17, 2, &second))
        return {};
    if (n > 20) {
        // A fraction of a second: a point and digits, the first three kept.
        if (text.at(19) != QLatin1Char('.') || n < 22)
            return {};
        for (qsizetype i = 20; i < n - 1; ++i)
            if (!text.at(i).isDigit())
                return {};
        int three = 0;
        digits(20, std::min<qsizetype>(3, n - 21), &three);
        for (qsizetype i = n - 21; i < 3; ++i)
            three *= 10;
        milli = three;
    }
    const QDate d(year, month, day);
    const QTime t(hour, minute, second, milli);
    if (!d.isValid() || !t.isValid())
        return {};
    return atUtc(d, t);
}

namespace {

// The clock's two formats made into a list of parts once, so reading a
// year of entries does not parse a format for each of them (QLocale's own
// reading does, at about a tenth of a millisecond a text).  A format with a
// part the list does not know is read by QLocale instead.
class ClockPattern
{
public:
    explicit ClockPattern(const ClockFormat &clock)
        : m_clock(clock)
    {
        const QString date = plainBlanks(clock.dateFormat), time = plainBlanks(clock.timeFormat);
        m_ok = compile(date + QLatin1Char(' ') + time, clock.locale, &m_both) && compile(date, clock.locale, &m_date);
    }

    bool isFor(const ClockFormat &clock) const
    {
        return clock.locale == m_clock.locale && clock.dateFormat == m_clock.dateFormat
               && clock.timeFormat == m_clock.timeFormat;
    }
    bool ok() const { return m_ok; }

    QDateTime read(QStringView text) const
    {
        if (const QDateTime both = read(m_both, text); both.isValid())
            return both;
        return read(m_date, text);
    }

private:
    enum class Field { Day, Month, Year2, Year4, Hour12, Hour24, Minute, Second, Milli, AmPm, Skip };
    struct Part
    {
        Field field = Field::Skip;
        int fewest = 0, most = 0;   // digits; 0: names or a literal
        QStringList names;          // lower case, the longest first; the value is the index (+1 for months)
        QString literal;
    };

    static void addNames(QList<Part> *parts, Field field, const QStringList &names)
    {
        Part p;
        p.field = field;
        for (const QString &n : names)
            p.names << plainBlanks(n).toLower();
        parts->append(p);
    }

    static void addLiteral(QList<Part> *parts, const QString &text)
    {
        if (!parts->isEmpty() && parts->last().most == 0 && parts->last().names.isEmpty())
            parts->last().literal += text;
        else
            parts->append(Part{Field::Skip, 0, 0, {}, text});
    }

    static bool compile(const QString &format, const QLocale &locale, QList<Part> *parts)
    {
        static const QRegularExpression quoted(QStringLiteral("'[^']*'"));
        const bool twelve = QString(format).remove(quoted).contains(QLatin1Char('a'), Qt::CaseInsensitive);
        for (qsizetype i = 0; i < format.size();) {
            const QChar c = format.at(i);
            if (c == QLatin1Char('\'')) {
                QString literal;
                qsizetype j = i + 1;
                for (; j < format.size(); ++j) {
                    if (format.at(j) != QLatin1Char('\''))
                        literal += format.at(j);
                    else if (j + 1 < format.size() && format.at(j + 1) == QLatin1Char('\''))
                        literal += format.at(++j);
                    else
                        break;
                }
                addLiteral(parts, j == i + 1 ? QStringLiteral("'") : literal);
                i = j + 1;
                continue;
            }
            qsizetype n = 1;
            while (i + n < format.size() && format.at(i + n) == c)
                ++n;
            const int fewest = n == 1 ? 1 : 2;
            QStringList names;
            switch (c.unicode()) {
            case 'd':
                if (n <= 2) {
                    parts->append(Part{Field::Day, fewest, 2, {}, {}});
                } else {
                    for (int d = 1; d <= 7; ++d)
                        names << locale.dayName(d, n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
                    addNames(parts, Field::Skip, names);
                }
                break;
            case 'M':
                if (n <= 2) {
                    parts->append(Part{Field::Month, fewest, 2, {}, {}});
                } else {
                    for (int m = 1; m <= 12; ++m)
                        names << locale.monthName(m, n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
                    addNames(parts, Field::Month, names);
                }
                break;
            case 'y':
                if (n != 2 && n != 4)
                    return false;
                parts->append(Part{n == 2 ? Field::Year2 : Field::Year4, int(n), int(n), {}, {}});
                break;
            case 'h':
            case 'H':
                parts->append(Part{c == QLatin1Char('h') && twelve ? Field::Hour12 : Field::Hour24, fewest, 2, {}, {}});
                break;
            case 'm':
            case 's':
                parts->append(Part{c == QLatin1Char('m') ? Field::Minute : Field::Second, fewest, 2, {}, {}});
                break;
            case 'z':
                parts->append(Part{Field::Milli, n == 1 ? 1 : 3, 3, {}, {}});
                break;
            case 'A':
            case 'a':
                // "AP" or "ap" is one part; so is "A" alone.
                if (i + n < format.size() && format.at(i + n).toLower() == QLatin1Char('p'))
                    ++n;
                addNames(parts, Field::AmPm, {locale.amText(), locale.pmText()});
                break;
            case 't':
                return false;
            default:
                addLiteral(parts, QString(n, c));
                break;
            }
            i += n;
        }
        return true;
    }

    QDateTime read(const QList<Part> &parts, QStringView text) const
    {
        int value[int(Field::Skip) + 1] = {};
        qsizetype at = 0;
        for (const Part &p : parts) {
            if (p.most > 0) {
                qsizetype digits = 0;
                int number = 0;
                while (digits < p.most && at + digits < text.size() && text.at(at + digits).unicode() >= '0'
                       && text.at(at + digits).unicode() <= '9')
                    number = number * 10 + (text.at(at + digits++).unicode() - '0');
                if (digits < p.fewest)
                    return {};
                value[int(p.field)] = number;
                at += digits;
            } else if (!p.names.isEmpty()) {
                int found = -1;
                qsizetype length = 0;
                for (int i = 0; i < p.names.size(); ++i) {
                    const QString &name = p.names.at(i);
                    if (name.size() > length && text.mid(at, name.size()).compare(name, Qt::CaseInsensitive) == 0) {
                        found = i;
                        length = name.size();
                    }
                }
                if (found < 0)
                    return {};
                value[int(p.field)] = found + 1;
                at += length;
            } else {
                if (text.mid(at, p.literal.size()).compare(p.literal, Qt::CaseInsensitive) != 0)
                    return {};
                at += p.literal.size();
            }
        }
        if (at != text.size())
            return {};
        int hour = value[int(Field::Hour24)];
        if (value[int(Field::Hour12)] || value[int(Field::AmPm)]) {
            const int h = value[int(Field::Hour12)];
            if (h < 1 || h > 12)
                return {};
            hour = h % 12 + (value[int(Field::AmPm)] == 2 ? 12 : 0);
        }
        const int year = value[int(Field::Year4)] ? value[int(Field::Year4)] : 1900 + value[int(Field::Year2)];
        const QDate d(year, value[int(Field::Month)], value[int(Field::Day)]);
        const QTime t(hour, value[int(Field::Minute)], value[int(Field::Second)], value[int(Field::Milli)]);
        if (!d.isValid() || !t.isValid())
            return {};
        return atUtc(d, t);
    }

    ClockFormat m_clock;
    bool m_ok = false;
    QList<Part> m_both, m_date;
};

} // namespace

QDateTime readClockText(const QString &text, const ClockFormat &clock)
{
    const QString t = plainBlanks(text.trimmed());
    if (t.isEmpty())
        return {};
    // Made once per thread for the formats in use.
    thread_local std::unique_ptr<ClockPattern> pattern;
    if (!pattern || !pattern->isFor(clock))
        pattern = std::make_unique<ClockPattern>(clock);
    if (pattern->ok())
        return pattern->read(t);
    const QString date = plainBlanks(clock.dateFormat), time = plainBlanks(clock.timeFormat);
    const QDateTime both = clock.locale.toDateTime(t, date + QLatin1Char(' ') + time);
    if (both.isValid())
        return atUtc(both.date(), both.time());
    const QDate alone = clock.locale.toDate(t, date);
    return alone.isValid() ? atUtc(alone, QTime(0, 0)) : QDateTime();
}

EntryTime entryTime(const QString &dateTime, const QString &stamp, const ClockFormat &clock)
{
    if (const QDateTime own = readClockText(dateTime, clock); own.isValid())
        return {own, EntryTime::Source::Own};
    if (const QDateTime stored = readStamp(stamp); stored.isValid())
        return {stored, EntryTime::Source::Stamp};
    return {};
}

QString utcText(const QDateTime &utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral(" UTC");
}

std::optional<QString> shiftedBound(const QString &text, int days, bool until)
{
    QString bound;
    if (!logbook::EntryFilter::parseBound(text, until, &bound))
        return std::nullopt;
    const QDateTime moved = readStamp(bound).addDays(days);
    if (moved.time() == (until ? QTime(23, 59, 59) : QTime(0, 0)))
        return moved.date().toString(Qt::ISODate);
    return moved.toString(QStringLiteral("yyyy-MM-ddTHH:mm"));
}

} // namespace bravik::ops
