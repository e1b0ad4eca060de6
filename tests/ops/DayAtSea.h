#pragma once

// A logbook of a day at sea, 2026-12-08, with the day before and after:
// every kind of entry, two launches (one aborted) with their reviewed
// scripts, a pack losing voltage over a week, a note corrected to the day
// before it was stored, a voided note.  Each entry carries a tag of its own
// that a test looks for.  Times are written as this computer's clock
// writes them.

#include "ClockText.h"

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QVariant>
#include <functional>

namespace bravik::test {

using SqlRunner = std::function<QVariant(const QString &, const QVariantList &)>;

struct DayAtSea
{
    // Entries of 2026-12-08 that are not void, by their tags.
    QStringList dayTags{"calm morning", "bay survey", "0043 topped up", "thruster seal", "Replace O-ring",
                        "O-rings from Parker", "crane down", "late dive note", "predive BR-26"};
    QStringList otherTags{"yesterday note", "tomorrow note", "wrong day note"};   // the last one is void

    static QDateTime at(const QString &iso)
    {
        QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
        t.setTimeZone(QTimeZone::utc());
        return t;
    }
    static QString clock(const QString &iso) { return clockText(at(iso), QLocale::system()); }
    static QString stamp(const QString &iso) { return at(iso).toUTC().toString(Qt::ISODate); }

    // `golden`: the folder of the stock mission scripts.
    void fill(const SqlRunner &sql, const QString &golden) const
    {
        auto entry = [&](const QString &table, const QString &when, const QString &stored,
                         const QList<QPair<QString, QVariant>> &fields) {
            QStringList names{"\"Date/Time\"", "\"StampedAtUtc\"", "\"SubmittedBy\"", "\"Workstation\""};
            QStringList marks{"?", "?", "?", "?"};
            QVariantList values{clock(when), stamp(stored), QStringLiteral("Ben"), QStringLiteral("deck-pc")};
            for (const auto &[name, value] : fields) {
                names << QLatin1Char('"') + name + QLatin1Char('"');
                marks << QStringLiteral("?");
                values << value;
            }
            sql(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)").arg(table, names.join(", "), marks.join(", ")), values);
        };
        const QList<QPair<QString, QVariant>> position{{"Latitude Int", "36"}, {"Latitude Minutes", "45.25"},
                                                       {"HemisphereNS", "N"},  {"Longitude Int", "121"},
                                                       {"Longitude Minutes", "50.5"}, {"HemisphereEW", "W"}};
        QList<QPair<QString, QVariant>> predive{{"Cruise", "predive BR-26"}};
        for (const char *box : {"Thruster Operational", "Elevator Operational", "Rudder Operational", "AHRS Operational",
                                "GPS Fix Valid", "Pressure Sensor Operational", "DVL Operational", "PayloadOperational"})
            predive.append({QLatin1String(box), true});
        entry("Predive", "2026-12-08T07:30:00", "2026-12-08T07:30:00", predive);
        entry("WeatherObservation", "2026-12-08T08:00:00", "2026-12-08T08:00:00",
              position + QList<QPair<QString, QVariant>>{{"WindSpeed", "12"}, {"WindDirection", "270"}, {"SwellHeight", "4"},
                                                         {"SkyDescription", "Overcast"}, {"Notes", "calm morning"}});
        entry("MissionData", "2026-12-08T08:40:00", "2026-12-08T08:40:00",
              position + QList<QPair<QString, QVariant>>{{"Purpose", "Mapping"}, {"Mission Script Name", "waypoints.cfg"},
                                                         {"Max Depth", "50"}, {"Notes", "bay survey"}});
        for (int day = 1; day <= 8; ++day) {
            const QString when = QStringLiteral("2026-12-%1T10:00:00").arg(day, 2, 10, QLatin1Char('0'));
            entry("BatteryCharge", when, when,
                  {{"Batt1SN", "0042"}, {"Bat1MinV", QString::number(24.4 - day * 0.05)}, {"Bat1MaxV", QString::number(29.6 - day * 0.04)},
                   {"Batt2SN", "0043"}, {"Bat2MinV", day == 4 ? "low" : "24.2"}, {"Bat2MaxV", "29.4"},
                   {"Notes", day == 8 ? "0043 topped up" : "routine"}});
        }
        entry("VehicleMaintenance", "2026-12-08T11:00:00", "2026-12-08T11:00:00",
              {{"MaintenanceType", "Repair"}, {"PerformedBy", "Cai"}, {"Reason", "thruster seal"}});
        entry("TaskList", "2026-12-08T12:00:00", "2026-12-08T12:00:00", {{"TaskDescription", "Replace O-ring"}, {"AssignedTo", "Dee"}});
        entry("TaskList", "2026-11-20T12:00:00", "2026-11-20T12:00:00",
              {{"TaskDescription", "Grease the elevator"}, {"DateCompleted", clock("2026-12-08T09:30:00")}});
        entry("TaskList", "2026-11-25T12:00:00", "2026-11-25T12:00:00", {{"TaskDescription", "Order spare fins"}});
        entry("Purchases", "2026-12-08T14:00:00", "2026-12-08T14:00:00", {{"Item", "O-rings from Parker"}, {"Vendor", "Parker"}});
        entry("Miscellaneous", "2026-12-08T15:00:00", "2026-12-08T15:00:00", {{"Note", "crane down"}});
        entry("Miscellaneous", "2026-12-08T16:00:00", "2026-12-08T16:00:00",
              {{"Note", "wrong day note"}, {"Voided", true}, {"VoidReason", "entered on the wrong day"}});
        entry("Miscellaneous", "2026-12-08T22:00:00", "2026-12-09T02:00:00", {{"Note", "late dive note"}});
        entry("Miscellaneous", "2026-12-07T15:00:00", "2026-12-07T15:00:00", {{"Note", "yesterday note"}});
        entry("Miscellaneous", "2026-12-09T10:00:00", "2026-12-09T10:00:00", {{"Note", "tomorrow note"}});

        QFile script(golden + QStringLiteral("/waypoints.cfg"));
        script.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(script.readAll());
        const QString launch = QStringLiteral(
            "INSERT INTO \"LaunchRecord\" (\"MissionKey\", \"ReviewedFile\", \"ReviewedSha256\", \"ReviewedText\", "
            "\"Reviewer\", \"RunFile\", \"StartedAtUtc\", \"Workstation\", \"OsUser\", \"Position\", \"StartResult\", "
            "\"RunExitStatus\", \"AbortedAtUtc\") VALUES (1, ?, 'ab12cd34', ?, 'Ada', ?, ?, 'deck-pc', 'crew', "
            "'36 45.25 N, 121 50.5 W', 'started', ?, ?)");
        sql(launch, {"/m/waypoints.cfg", text, "/m/waypoints.cfg", stamp("2026-12-08T09:00:00"), "0", QString()});
        sql(launch, {"/m/waypoints.cfg", text, "/m/waypoints.cfg", stamp("2026-12-08T13:00:00"), "0", stamp("2026-12-08T13:20:00")});
    }
};

} // namespace bravik::test
