// The operations core without windows: the timeline's order across the
// tables and the launch records, the attention rules at their thresholds,
// the battery packs, the one-line summaries and the spans typed by a
// person.  The reads run on a SQLite file and (tst_ops_core_pg) on a
// PostgreSQL server.
#include "Attention.h"
#include "BatteryPacks.h"
#include "ClockText.h"
#include "EntrySummary.h"
#include "LogbookFixture.h"
#include "Timeline.h"

#include <QTimeZone>

using namespace bravik;
using namespace bravik::ops;
using bravik::logbook::operations::StoredEntry;
using bravik::logbook::test::LogbookFile;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const ClockFormat kClock{kUs, clockDateFormat(kUs), clockTimeFormat(kUs)};

QDateTime utc(const QString &iso)
{
    QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
    t.setTimeZone(QTimeZone::utc());
    return t;
}

// "2026-12-08T10:00" as the clock writes it; "-" empty; anything else as it stands.
QString clock(const QString &described)
{
    if (described == QLatin1String("-"))
        return {};
    const QDateTime t = utc(described);
    return t.isValid() ? clockText(t, kUs) : described;
}

// An entry as read: fields by name, the rest empty.
StoredEntry entry(const QString &table, const QVariantMap &fields)
{
    StoredEntry e;
    e.table = table;
    e.key = fields.value(QStringLiteral("key"), 1).toLongLong();
    for (const QString &c : logbook::operations::entryColumns(table))
        e.values << fields.value(c).toString();
    return e;
}

// The line's tag: the entry's notes, or the launch's file.
QString tag(const TimelineLine &l)
{
    QString t = l.isLaunch() ? l.launch.text(QStringLiteral("RunFile")) : l.entry.text(notesField(l.table));
    if (!l.hasTime())
        t += QLatin1Char('*');
    if (l.voided)
        t += QLatin1Char('!');
    return t;
}

} // namespace

class TestOpsCore : public QObject
{
    Q_OBJECT

    std::unique_ptr<LogbookFile> m_file;
    std::unique_ptr<logbook::Database> m_db;

    // "Table|own time|stamp|tag[|void]"; a launch: "Launch|started|file[|exit[|aborted]]".
    void add(const QString &described)
    {
        const QStringList p = described.split(QLatin1Char('|'));
        if (p.at(0) == QLatin1String("Launch")) {
            m_file->sql(QStringLiteral("INSERT INTO \"LaunchRecord\" (\"StartedAtUtc\", \"RunFile\", \"StartResult\", "
                                       "\"RunExitStatus\", \"AbortedAtUtc\", \"Reviewer\") VALUES (?, ?, 'started', ?, ?, 'Ada')"),
                        {p.at(1) + QStringLiteral(":00Z"), p.at(2), p.value(3), p.size() > 4 ? p.at(4) + QStringLiteral(":00Z") : QString()});
            return;
        }
        const QVariant stamp = p.at(2) == QLatin1String("-") ? QVariant(QMetaType::fromType<QString>())
                                                             : QVariant(p.at(2) + QStringLiteral(":00Z"));
        const QString notes = logbook::Dialect::quote(notesField(p.at(0)));
        m_file->sql(QStringLiteral("INSERT INTO \"%1\" (\"Date/Time\", \"StampedAtUtc\", %2, \"Voided\", \"SubmittedBy\") "
                                   "VALUES (?, ?, ?, ?, 'Ben')").arg(p.at(0), notes),
                    {clock(p.at(1)), stamp, p.at(3), p.value(4) == QLatin1String("void")});
    }

    QList<TimelineLine> timelineOf(const TimeSpan &span)
    {
        QString error;
        const auto t = readTimeline(*m_db, span, kClock, {}, &error);
        if (!t)
            qWarning("%s", qPrintable(error));
        return t ? t->lines : QList<TimelineLine>();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString skip = LogbookFile::skipReason(); !skip.isEmpty())
            QSKIP(qPrintable(skip));
    }
    void init()
    {
        m_file = std::make_unique<LogbookFile>();
        m_db = m_file->open();
        QVERIFY(m_db);
    }
    void cleanup()
    {
        m_db.reset();
        m_file.reset();
    }

    void timelineOrder_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("span");
        QTest::addColumn<QStringList>("expected");
        const QString day = QStringLiteral("2026-12-08");
        QTest::newRow("across tables by own time")
            << QStringList{"Miscellaneous|2026-12-08T09:00|2026-12-08T09:00|b", "WeatherObservation|2026-12-08T08:00|2026-12-08T08:00|a",
                           "TaskList|2026-12-08T10:00|2026-12-08T10:00|c"}
            << day << QStringList{"a", "b", "c"};
        QTest::newRow("equal times: the main window's order, then the key")
            << QStringList{"Miscellaneous|2026-12-08T09:00|2026-12-08T09:00|m1", "VehicleMaintenance|2026-12-08T09:00|2026-12-08T09:00|v",
                           "Miscellaneous|2026-12-08T09:00|2026-12-08T09:00|m2", "Launch|2026-12-08T09:00|dive.cfg"}
            << day << QStringList{"v", "m1", "m2", "dive.cfg"};
        QTest::newRow("a launch between entries")
            << QStringList{"Miscellaneous|2026-12-08T11:00|2026-12-08T11:00|after", "Launch|2026-12-08T10:30|dive.cfg",
                           "Miscellaneous|2026-12-08T10:00|2026-12-08T10:00|before"}
            << day << QStringList{"before", "dive.cfg", "after"};
        QTest::newRow("own time corrected to the day before its stamp")
            << QStringList{"Miscellaneous|2026-12-08T22:00|2026-12-10T06:00|late entry", "Miscellaneous|2026-12-09T01:00|2026-12-08T23:00|next day"}
            << day << QStringList{"late entry"};
        QTest::newRow("an unreadable own time falls back on the stamp")
            << QStringList{"Miscellaneous|after the dive|2026-12-08T12:00|stamped", "Miscellaneous|-|2026-12-08T11:00|empty"}
            << day << QStringList{"empty", "stamped"};
        QTest::newRow("no stamp: the own time decides, or it goes last")
            << QStringList{"Miscellaneous|2026-12-08T07:00|-|old", "Miscellaneous|-|-|unknown", "Miscellaneous|2026-12-07T07:00|-|other day",
                           "Miscellaneous|2026-12-08T08:00|2026-12-08T08:00|new"}
            << day << QStringList{"old", "new", "unknown*"};
        QTest::newRow("span ends: from taken, until not")
            << QStringList{"Miscellaneous|2026-12-08T00:00|2026-12-08T00:00|first", "Miscellaneous|2026-12-09T00:00|2026-12-09T00:00|next",
                           "Miscellaneous|2026-12-07T23:59|2026-12-07T23:59|before", "Launch|2026-12-09T00:00|late.cfg",
                           "Launch|2026-12-08T23:59|last.cfg"}
            << day << QStringList{"first", "last.cfg"};
        QTest::newRow("a span of hours")
            << QStringList{"Miscellaneous|2026-12-08T07:59|2026-12-08T07:59|early", "Miscellaneous|2026-12-08T08:00|2026-12-08T08:00|in",
                           "Miscellaneous|2026-12-08T20:00|2026-12-08T20:00|end", "Miscellaneous|2026-12-08T20:01|2026-12-08T20:01|out"}
            << QStringLiteral("2026-12-08T08:00/2026-12-08T20:00") << QStringList{"in", "end"};
        QTest::newRow("voided entries kept, marked")
            << QStringList{"Miscellaneous|2026-12-08T09:00|2026-12-08T09:00|kept", "Miscellaneous|2026-12-08T10:00|2026-12-08T10:00|withdrawn|void"}
            << day << QStringList{"kept", "withdrawn!"};
    }
    void timelineOrder()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, span);
        QFETCH(QStringList, expected);
        for (const QString &r : rows)
            add(r);
        QString error;
        const auto s = TimeSpan::parse(span.section(QLatin1Char('/'), 0, 0), span.section(QLatin1Char('/'), 1), &error);
        QVERIFY2(s, qPrintable(error));
        QStringList tags;
        for (const TimelineLine &l : timelineOf(*s))
            tags << tag(l);
        QCOMPARE(tags, expected);
    }

    // Each rule at its threshold, a second inside it and a second beyond,
    // judged at the end of 2026-12-08.
    void attentionThresholds_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("rule");
        QTest::addColumn<int>("items");
        const int pack = int(AttentionItem::Rule::PackNotCharged), task = int(AttentionItem::Rule::OpenTask),
                  predive = int(AttentionItem::Rule::Predive), launch = int(AttentionItem::Rule::Launch);
        QTest::newRow("pack charged 24 h before") << "charge|2026-12-08T00:00:00" << pack << 0;
        QTest::newRow("pack charged just under 24 h") << "charge|2026-12-08T00:00:01" << pack << 0;
        QTest::newRow("pack charged just over 24 h") << "charge|2026-12-07T23:59:59" << pack << 1;
        QTest::newRow("task 7 days open") << "task|2026-12-02T00:00:00" << task << 0;
        QTest::newRow("task just under 7 days") << "task|2026-12-02T00:00:01" << task << 0;
        QTest::newRow("task just over 7 days") << "task|2026-12-01T23:59:59" << task << 1;
        QTest::newRow("task over 7 days but done") << "done|2026-11-01T00:00:00" << task << 0;
        QTest::newRow("checklist 12 h before") << "predive|2026-12-08T12:00:00" << predive << 0;
        QTest::newRow("checklist just under 12 h") << "predive|2026-12-08T12:00:01" << predive << 0;
        QTest::newRow("checklist just over 12 h") << "predive|2026-12-08T11:59:59" << predive << 1;
        QTest::newRow("checklist with a box open") << "open predive|2026-12-08T20:00:00" << predive << 1;
        QTest::newRow("launch ended 0") << "Launch|2026-12-08T10:00|ok.cfg|0" << launch << 0;
        QTest::newRow("launch ended 3") << "Launch|2026-12-08T10:00|bad.cfg|3" << launch << 1;
        QTest::newRow("launch aborted") << "Launch|2026-12-08T10:00|stop.cfg|0|2026-12-08T10:20" << launch << 1;
        QTest::newRow("launch of another day") << "Launch|2026-12-07T10:00|bad.cfg|3" << launch << 0;
    }
    void attentionThresholds()
    {
        QFETCH(QString, row);
        QFETCH(int, rule);
        QFETCH(int, items);
        const QString what = row.section(QLatin1Char('|'), 0, 0);
        const QString when = row.section(QLatin1Char('|'), 1, 1) + QLatin1Char('Z');
        // A fresh complete checklist unless the checklist is tried, so only the rule tried can speak.
        const QString fresh = QStringLiteral("2026-12-08T23:00:00Z");
        auto checklist = [&](const QString &stamp, bool complete) {
            QStringList names{QStringLiteral("\"StampedAtUtc\"")}, marks{QStringLiteral("?")};
            QVariantList values{stamp};
            for (const QString &c : launch::predive::requiredChecks()) {
                names << logbook::Dialect::quote(c);
                marks << QStringLiteral("?");
                values << QVariant(complete || c != QLatin1String("DVL Operational"));
            }
            m_file->sql(QStringLiteral("INSERT INTO \"Predive\" (%1) VALUES (%2)").arg(names.join(", "), marks.join(", ")), values);
        };
        if (rule != int(AttentionItem::Rule::Predive))
            checklist(fresh, true);
        else
            checklist(when, what == QLatin1String("predive"));
        if (what == QLatin1String("charge"))
            m_file->sql(QStringLiteral("INSERT INTO \"BatteryCharge\" (\"StampedAtUtc\", \"Batt1SN\") VALUES (?, '0042')"), {when});
        if (what == QLatin1String("task") || what == QLatin1String("done"))
            m_file->sql(QStringLiteral("INSERT INTO \"TaskList\" (\"StampedAtUtc\", \"TaskDescription\", \"DateCompleted\") VALUES (?, 'O-ring', ?)"),
                        {when, what == QLatin1String("done") ? QStringLiteral("12/1/2026") : QStringLiteral(" ")});
        if (what == QLatin1String("Launch"))
            add(row);
        QString error;
        const auto found = readAttention(*m_db, TimeSpan::day(QDate(2026, 12, 8)), Thresholds{}, kClock,
                                         utc(QStringLiteral("2026-12-20T00:00:00")), nullptr, nullptr, {}, &error);
        QVERIFY2(found, qPrintable(error));
        QStringList texts;
        int matching = 0;
        for (const AttentionItem &i : *found) {
            texts << i.text;
            matching += int(i.rule) == rule ? 1 : 0;
        }
        QVERIFY2(matching == items, qPrintable(texts.join(QLatin1Char('\n'))));
        QCOMPARE(found->size(), items);
        for (const AttentionItem &i : *found)
            QVERIFY2(i.rule == AttentionItem::Rule::Predive || i.key > 0, qPrintable(i.text));
    }

    void packAggregation_data()
    {
        QTest::addColumn<QStringList>("charges");   // "time;SN1,min,max;SN2,min,max;SN3,min,max"
        QTest::addColumn<QStringList>("packs");     // "SN count first..last lastMin-lastMax"
        QTest::addColumn<int>("skipped");
        QTest::newRow("one pack in different columns")
            << QStringList{"2026-12-01T10:00;0042,24.1,29.4;;", "2026-12-03T10:00;;0042,24.0,29.2;", "2026-12-02T10:00;;;0042,23.9,29.3"}
            << QStringList{"0042 3 12-01..12-03 24-29.2"} << 0;
        QTest::newRow("blanks ignored, serials trimmed")
            << QStringList{"2026-12-01T10:00; 0042 ,24,29; ,23,28;", "2026-12-02T10:00;0043,24.5,29.5;;"}
            << QStringList{"0042 1 12-01..12-01 24-29", "0043 1 12-02..12-02 24.5-29.5"} << 0;
        QTest::newRow("voltages that are not numbers are skipped and counted")
            << QStringList{"2026-12-01T10:00;0042,low,29.4;0043,24.1 V,29,5;", "2026-12-02T10:00;0042,,n/a;;"}
            << QStringList{"0042 2 12-01..12-02 ?-?", "0043 1 12-01..12-01 24.1-29.5"} << 2;
        QTest::newRow("the same pack twice in one charge counts once")
            << QStringList{"2026-12-01T10:00;0042,24,29;0042,23,28;"} << QStringList{"0042 1 12-01..12-01 24-29"} << 0;
    }
    void packAggregation()
    {
        QFETCH(QStringList, charges);
        QFETCH(QStringList, packs);
        QFETCH(int, skipped);
        QList<StoredEntry> rows;
        for (const QString &c : charges) {
            const QStringList cols = c.split(QLatin1Char(';'));
            QVariantMap fields{{"key", rows.size() + 1}, {"StampedAtUtc", cols.at(0) + QStringLiteral(":00Z")}};
            for (int i = 1; i <= 3; ++i) {
                const QStringList v = cols.value(i).split(QLatin1Char(','));
                fields.insert(QStringLiteral("Batt%1SN").arg(i), v.value(0));
                fields.insert(QStringLiteral("Bat%1MinV").arg(i), v.value(1));
                fields.insert(QStringLiteral("Bat%1MaxV").arg(i), v.mid(2).join(QLatin1Char(',')));
            }
            rows << entry(QStringLiteral("BatteryCharge"), fields);
        }
        const PackOverview o = aggregatePacks(rows, kClock);
        QStringList seen;
        auto volts = [](const std::optional<double> &v) { return v ? QString::number(*v) : QStringLiteral("?"); };
        for (const Pack &p : o.packs)
            seen << QStringLiteral("%1 %2 %3..%4 %5-%6")
                        .arg(p.serial)
                        .arg(p.chargeCount())
                        .arg(p.firstCharge().toString(QStringLiteral("MM-dd")), p.lastCharge().toString(QStringLiteral("MM-dd")),
                             volts(p.lastMinVolts()), volts(p.lastMaxVolts()));
        QCOMPARE(seen, packs);
        QCOMPARE(o.skippedVolts, skipped);
    }

    void summaryOfEachKind_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<QString>("summary");
        const QVariantMap position{{"Latitude Int", "36"}, {"Latitude Minutes", "45.25"}, {"HemisphereNS", "N"},
                                   {"Longitude Int", "121"}, {"Longitude Minutes", "50.5"}, {"HemisphereEW", "w"}};
        QVariantMap weather = position;
        weather.insert({{"WindSpeed", "12"}, {"WindDirection", "270"}, {"SwellHeight", "4"}, {"SwellPeriod", "8"},
                        {"SkyDescription", "Overcast"}, {"Notes", "\n  fog lifting\nsecond line"}});
        QTest::newRow("weather") << "WeatherObservation" << weather
                                 << "wind 12 kts from 270; swell 4 ft 8 s; sky Overcast — fog lifting (36 45.25 N, 121 50.5 W)";
        QVariantMap mission = position;
        mission.insert({{"Purpose", "Mapping"}, {"Mission Script Name", "C:\\Bravik\\Missions\\bay.cfg"}, {"Max Depth", "30"},
                        {"Failure mode", "Driver Failure"}, {"Notes", "rough"}});
        QTest::newRow("mission log") << "MissionData" << mission
                                     << "Mapping; script bay.cfg; max depth 30 m; failed: Driver Failure — rough (36 45.25 N, 121 50.5 W)";
        QTest::newRow("mission log without a usable position")
            << "MissionData" << QVariantMap{{"Purpose", "Deck Test"}, {"Successful", "true"}, {"Latitude Int", "36"}, {"HemisphereNS", "N"}}
            << "Deck Test; successful";
        QTest::newRow("battery charge") << "BatteryCharge"
                                        << QVariantMap{{"Batt1SN", "0042"}, {"Bat1MinV", "24.1"}, {"Bat1MaxV", "29.4"}, {"Bat2MinV", "24"},
                                                       {"Batt3SN", "0044"}, {"Notes", "slow charger"}}
                                        << "0042 24.1–29.4 V, battery 2 24–? V, 0044 — slow charger";
        QTest::newRow("task open") << "TaskList" << QVariantMap{{"TaskDescription", "Replace O-ring"}, {"AssignedTo", "Ben"}}
                                   << "Replace O-ring; for Ben; open";
        QTest::newRow("task done") << "TaskList" << QVariantMap{{"TaskDescription", "Grease"}, {"DateCompleted", "12/9/2026"}, {"Note", "done early"}}
                                   << "Grease; done 12/9/2026 — done early";
        QTest::newRow("maintenance") << "VehicleMaintenance"
                                     << QVariantMap{{"MaintenanceType", "Repair"}, {"PerformedBy", "Cai"}, {"Reason", "leak\nmore"}}
                                     << "Repair by Cai; leak";
        QTest::newRow("predive with boxes open") << "Predive"
                                                 << QVariantMap{{"Cruise", "BR-26"}, {"Thruster Operational", "true"}}
                                                 << "not ticked: Elevator Operational, Rudder Operational, AHRS Operational, "
                                                    "GPS Fix Valid, Pressure Sensor Operational, DVL Operational, Payload Operational; cruise BR-26";
        QTest::newRow("purchase") << "Purchases" << QVariantMap{{"Item", "O-rings"}, {"Vendor", "Parker"}}
                                  << "O-rings; from Parker; not bought yet";
        QTest::newRow("note") << "Miscellaneous" << QVariantMap{{"Note", "Ship's crane down"}} << "Ship's crane down";
    }
    void summaryOfEachKind()
    {
        QFETCH(QString, table);
        QFETCH(QVariantMap, fields);
        QFETCH(QString, summary);
        QCOMPARE(summarizeEntry(entry(table, fields)).summary, summary);
    }

    void launchSummary_data()
    {
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<QString>("summary");
        const QVariantMap base{{"RunFile", "/m/bay.cfg"}, {"Reviewer", "Ada"}, {"StartResult", "started"},
                               {"Position", "36 45.25 N, 121 50.5 W"}};
        QVariantMap ended = base;
        ended.insert("RunExitStatus", "0");
        QTest::newRow("ended well") << ended << "script bay.cfg; reviewed by Ada; ended 0; not aborted (36 45.25 N, 121 50.5 W)";
        QVariantMap aborted = base;
        aborted.insert({{"RunExitStatus", "2"}, {"AbortedAtUtc", "2026-12-08T10:20:00Z"}, {"Position", ""}});
        QTest::newRow("ended 2, aborted") << aborted << "script bay.cfg; reviewed by Ada; ended with status 2; aborted 2026-12-08 10:20 UTC";
        QTest::newRow("not started") << QVariantMap{{"ReviewedFile", "x.cfg"}, {"StartResult", "no such file"}}
                                     << "script x.cfg; not started: no such file; not aborted";
    }
    void launchSummary()
    {
        QFETCH(QVariantMap, fields);
        QFETCH(QString, summary);
        logbook::launchlog::Record r;
        r.values = fields;
        QCOMPARE(summarizeLaunch(r).summary, summary);
    }

    // The clock's own text reads back as the time it shows, in any locale;
    // anything else is no time.
    void clockTextReadBack_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");   // empty: the clock's text of `when`
        QTest::addColumn<QString>("when");   // empty: not a time
        for (const char *l : {"en_US", "en_GB", "de_DE", "fr_FR", "ja_JP", "C"})
            for (const char *t : {"2026-12-08T00:00:00", "2026-12-08T00:00:01", "2026-12-08T12:00:00", "2026-07-29T20:23:40",
                                  "2026-01-05T09:05:07"})
                QTest::addRow("%s %s", l, t) << QString::fromLatin1(l) << QString() << QString::fromLatin1(t);
        QTest::newRow("en_US junk") << "en_US" << "after the dive" << "";
        QTest::newRow("en_US no such day") << "en_US" << "2/30/2026 8:00:00 AM" << "";
        QTest::newRow("en_US hour 13 PM") << "en_US" << "12/8/2026 13:00:00 PM" << "";
        QTest::newRow("en_US lower case, blanks around") << "en_US" << "  12/8/2026 8:23:40 pm " << "2026-12-08T20:23:40";
        QTest::newRow("de_DE date alone") << "de_DE" << "08.12.2026" << "2026-12-08T00:00:00";
    }
    void clockTextReadBack()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QString, when);
        const QLocale l(locale);
        const ClockFormat format{l, clockDateFormat(l), clockTimeFormat(l)};
        const QString shown = text.isEmpty() ? clockText(utc(when), l) : text;
        const QDateTime read = readClockText(shown, format);
        QCOMPARE(read.isValid() ? stampText(read) : QString(), when.isEmpty() ? QString() : when + QLatin1Char('Z'));
    }

    void spansTyped_data()
    {
        QTest::addColumn<QString>("since");
        QTest::addColumn<QString>("until");
        QTest::addColumn<QString>("span");   // "from/until" or "error"
        QTest::newRow("a day") << "2026-12-08" << "" << "2026-12-08T00:00:00Z/2026-12-09T00:00:00Z";
        QTest::newRow("days") << "2026-12-08" << "2026-12-10" << "2026-12-08T00:00:00Z/2026-12-11T00:00:00Z";
        QTest::newRow("hours") << "2026-12-08T08:00" << "2026-12-08 20:00" << "2026-12-08T08:00:00Z/2026-12-08T20:01:00Z";
        QTest::newRow("backwards") << "2026-12-08" << "2026-12-07" << "error";
        QTest::newRow("not a date") << "yesterday" << "" << "error";
        QTest::newRow("no such day") << "2026-02-30" << "" << "error";
    }
    void spansTyped()
    {
        QFETCH(QString, since);
        QFETCH(QString, until);
        QFETCH(QString, span);
        QString error;
        const auto s = TimeSpan::parse(since, until, &error);
        QCOMPARE(s ? stampText(s->from) + QLatin1Char('/') + stampText(s->until) : QStringLiteral("error"), span);
        QCOMPARE(error.isEmpty(), bool(s));
    }
};

QTEST_GUILESS_MAIN(TestOpsCore)
#include "tst_opscore.moc"
