#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace bravik {

// The general date text of the clock: the locale's short date with a
// four-digit year, a blank, the locale's long time without a time-zone
// name; the date alone at exactly 00:00:00.  Under US English,
// 29 July 2003 20:23:40 gives "7/29/2003 8:23:40 PM".
QString clockText(const QDateTime &when, const QLocale &locale);

// The line under the clock when this computer's time zone is not UTC at
// `when` ("This computer's clock is UTC−08:00, not GMT"); empty when it is.
QString clockZoneNote(const QDateTime &when);

// The two formats clockText uses, exposed for tests.
QString clockDateFormat(const QLocale &locale);
QString clockTimeFormat(const QLocale &locale);

} // namespace bravik
