#pragma once

// Time as the operations overview reads it: a span of UTC time, and an
// entry's own time.  An entry's own time is its "Date/Time" text when that
// reads as a date and time in the clock's format (crews correct it for
// entries written after a dive); otherwise the time it was first stored
// (StampedAtUtc); otherwise it has none.  The clock's text carries no zone:
// the windows call it "Date and Time GMT", and so it is read as UTC.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace bravik::ops {

// [from, until) in UTC.
struct TimeSpan
{
    QDateTime from;
    QDateTime until;

    static TimeSpan day(const QDate &date);
    // `since` and `until` as a person types them: a date ("2026-12-08") or
    // a UTC time ("2026-12-08T08:00", "2026-12-08 08:00:30Z").  A date
    // alone as `since` is the start of that day; as `until` the end of it
    // (a time is taken to the end of its minute or second, as the list's
    // filter takes it).  An empty `until` is the end of the day `since`
    // names.  No value, with a message naming the text, for anything else
    // or for a span that ends before it starts.
    static std::optional<TimeSpan> parse(const QString &since, const QString &until, QString *error);

    bool contains(const QDateTime &utc) const { return utc >= from && utc < until; }
    // Exactly one UTC day, midnight to midnight.
    bool isOneDay() const;
    // "2026-12-08 (UTC)" for one day, else "2026-12-08 08:00 to 2026-12-10 20:01 UTC".
    QString text() const;
};

// A span's bound as typed ("2026-12-08", "2026-12-08T08:00"), moved by
// whole days and written back the way it was typed: a date alone for a
// whole day's bound.  `until` reads a date as the end of its day.  No value
// when the text cannot be read.
std::optional<QString> shiftedBound(const QString &text, int days, bool until);

// An ISO 8601 UTC text as the stamps are written: "2026-12-08T04:29:18Z".
QString stampText(const QDateTime &utc);
// A stamp read back; invalid for anything else.
QDateTime readStamp(const QString &text);

// How the main window's clock writes a date and time (shell/core ClockText
// makes the two formats from the computer's locale).
struct ClockFormat
{
    QLocale locale;
    QString dateFormat;   // "M/d/yyyy"
    QString timeFormat;   // "h:mm:ss AP"
};

// The clock's text read back as UTC: "date time", or the date alone
// (midnight, as the clock writes it then).  Invalid for anything else.
QDateTime readClockText(const QString &text, const ClockFormat &clock);

struct EntryTime
{
    enum class Source { Own, Stamp, None };
    QDateTime when;   // UTC; invalid with Source::None
    Source source = Source::None;
};

EntryTime entryTime(const QString &dateTime, const QString &stamp, const ClockFormat &clock);

// "2026-12-08 04:29 UTC".
QString utcText(const QDateTime &utc);

} // namespace bravik::ops
