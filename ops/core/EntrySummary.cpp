#include "EntrySummary.h"

#include "RecordKinds.h"

#include "PrediveGate.h"
#include "TimeSpan.h"

#include <QStringList>

namespace bravik::ops {

using logbook::launchlog::Record;
using logbook::operations::StoredEntry;

namespace {

QString joined(const QStringList &parts, const QString &separator)
{
    QStringList kept;
    for (const QString &p : parts)
        if (!p.trimmed().isEmpty())
            kept << p.trimmed();
    return kept.join(separator);
}

// "label value unit" when the value is there.
QString with(const QString &label, const QString &value, const QString &unit = QString())
{
    const QString v = firstLine(value, 40);
    if (v.isEmpty())
        return {};
    return joined({label, v + (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit)}, QStringLiteral(" "));
}

QStringList weather(const StoredEntry &e)
{
    QString wind = with(QStringLiteral("wind"), e.text(QStringLiteral("WindSpeed")), QStringLiteral("kts"));
    if (const QString from = with(QStringLiteral("from"), e.text(QStringLiteral("WindDirection"))); !from.isEmpty())
        wind = joined({wind.isEmpty() ? QStringLiteral("wind") : wind, from}, QStringLiteral(" "));
    QString swell = with(QStringLiteral("swell"), e.text(QStringLiteral("SwellHeight")), QStringLiteral("ft"));
    const QString period = with(QString(), e.text(QStringLiteral("SwellPeriod")), QStringLiteral("s"));
    const QString from = with(QStringLiteral("from"), e.text(QStringLiteral("SwellDirection")));
    if (!period.isEmpty() || !from.isEmpty())
        swell = joined({swell.isEmpty() ? QStringLiteral("swell") : swell, period, from}, QStringLiteral(" "));
    return {wind, swell, with(QStringLiteral("sky"), e.text(QStringLiteral("SkyDescription")))};
}

QStringList maintenance(const StoredEntry &e)
{
    const QString type = firstLine(e.text(QStringLiteral("MaintenanceType")), 40);
    const QString by = with(QStringLiteral("by"), e.text(QStringLiteral("PerformedBy")));
    return {joined({type.isEmpty() ? QStringLiteral("maintenance") : type, by}, QStringLiteral(" ")),
            firstLine(e.text(QStringLiteral("Reason")), 80)};
}

QStringList checklist(const StoredEntry &e)
{
    QStringList unticked;
    for (const QString &check : launch::predive::requiredChecks())
        if (e.text(check) != QLatin1String("true"))
            unticked << launch::predive::checkCaption(check);
    const QString verdict = unticked.isEmpty() ? QStringLiteral("all checks ticked")
                                               : QStringLiteral("not ticked: ") + unticked.join(QStringLiteral(", "));
    return {verdict, with(QStringLiteral("cruise"), e.text(QStringLiteral("Cruise"))),
            with(QStringLiteral("ship"), e.text(QStringLiteral("Ship"))),
            with(QStringLiteral("operator"), e.text(QStringLiteral("VehicleOperator")))};
}

QStringList missionLog(const StoredEntry &e)
{
    QString outcome;
    const QString failure = firstLine(e.text(QStringLiteral("Failure mode")), 60);
    if (e.text(QStringLiteral("Successful")) == QLatin1String("true"))
        outcome = QStringLiteral("successful");
    else if (!failure.isEmpty() && failure != QLatin1String("None"))
        outcome = QStringLiteral("failed: ") + failure;
    return {firstLine(e.text(QStringLiteral("Purpose")), 40),
            with(QStringLiteral("script"), fileNameOf(e.text(QStringLiteral("Mission Script Name")))),
            with(QStringLiteral("max depth"), e.text(QStringLiteral("Max Depth")), QStringLiteral("m")), outcome};
}

QStringList charge(const StoredEntry &e)
{
    QStringList packs;
    for (int i = 1; i <= 3; ++i) {
        const QString serial = firstLine(e.text(QStringLiteral("Batt%1SN").arg(i)), 30);
        const QString low = firstLine(e.text(QStringLiteral("Bat%1MinV").arg(i)), 15);
        const QString high = firstLine(e.text(QStringLiteral("Bat%1MaxV").arg(i)), 15);
        if (serial.isEmpty() && low.isEmpty() && high.isEmpty())
            continue;
        QString volts;
        if (!low.isEmpty() || !high.isEmpty())
            volts = QStringLiteral("%1–%2 V").arg(low.isEmpty() ? QStringLiteral("?") : low,
                                                  high.isEmpty() ? QStringLiteral("?") : high);
        packs << joined({serial.isEmpty() ? QStringLiteral("battery %1").arg(i) : serial, volts}, QStringLiteral(" "));
    }
    return {packs.isEmpty() ? QStringLiteral("no packs") : packs.join(QStringLiteral(", "))};
}

QStringList task(const StoredEntry &e)
{
    const QString done = firstLine(e.text(QStringLiteral("DateCompleted")), 40);
    return {firstLine(e.text(QStringLiteral("TaskDescription")), 80),
            with(QStringLiteral("for"), e.text(QStringLiteral("AssignedTo"))),
            done.isEmpty() ? QStringLiteral("open") : QStringLiteral("done ") + done};
}

QStringList purchase(const StoredEntry &e)
{
    const QString bought = firstLine(e.text(QStringLiteral("DateCompleted")), 40);
    return {firstLine(e.text(QStringLiteral("Item")), 60), with(QStringLiteral("from"), e.text(QStringLiteral("Vendor"))),
            with(QStringLiteral("for"), e.text(QStringLiteral("AssignedTo"))),
            bought.isEmpty() ? QStringLiteral("not bought yet") : QStringLiteral("bought ") + bought};
}

QString line(const QStringList &parts, const QString &notes, const std::optional<GeoFix> &position)
{
    QString text = joined(parts, QStringLiteral("; "));
    if (!notes.isEmpty())
        text = joined({text, notes}, QStringLiteral(" — "));
    if (position)
        text = joined({text, QLatin1Char('(') + position->text + QLatin1Char(')')}, QStringLiteral(" "));
    return text;
}

} // namespace

QString firstLine(const QString &text, int limit)
{
    for (const QStringView l : QStringView(text).split(QLatin1Char('\n'))) {
        const QString t = l.trimmed().toString();
        if (t.isEmpty())
            continue;
        return t.size() > limit ? t.left(limit - 1) + QChar(0x2026) : t;
    }
    return {};
}

QString notesField(const QString &table)
{
    if (table == QLatin1String("Miscellaneous") || table == QLatin1String("TaskList")
        || table == QLatin1String("Purchases"))
        return QStringLiteral("Note");
    if (table == QLatin1String("Predive"))
        return {};
    return QStringLiteral("Notes");
}

QString fileNameOf(const QString &path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(slash + 1);
}

EntryLine summarizeEntry(const StoredEntry &e)
{
    EntryLine out;
    QStringList parts;
    const QString &t = e.table;
    const logbook::RecordKind *kind = logbook::kindForTable(t);
    bool positioned = false;
    switch (kind ? kind->id : logbook::RecordKind::Miscellaneous) {
    case logbook::RecordKind::Weather:
        parts = weather(e);
        positioned = true;
        break;
    case logbook::RecordKind::Maintenance:
        parts = maintenance(e);
        break;
    case logbook::RecordKind::Predive:
        parts = checklist(e);
        break;
    case logbook::RecordKind::Mission:
        parts = missionLog(e);
        positioned = true;
        break;
    case logbook::RecordKind::BatteryCharge:
        parts = charge(e);
        break;
    case logbook::RecordKind::Tasks:
        parts = task(e);
        break;
    case logbook::RecordKind::Purchases:
        parts = purchase(e);
        break;
    case logbook::RecordKind::Miscellaneous:
        break;
    }
    if (positioned)
        out.position = fixFromBoxes(e.text(QStringLiteral("Latitude Int")), e.text(QStringLiteral("Latitude Minutes")),
                                    e.text(QStringLiteral("HemisphereNS")), e.text(QStringLiteral("Longitude Int")),
                                    e.text(QStringLiteral("Longitude Minutes")), e.text(QStringLiteral("HemisphereEW")));
    const QString notes = notesField(t);
    out.summary = line(parts, notes.isEmpty() ? QString() : firstLine(e.text(notes)), out.position);
    return out;
}

QString launchOutcome(const Record &r)
{
    const QString start = r.text(QStringLiteral("StartResult")).trimmed();
    if (!start.isEmpty() && start != QLatin1String("started"))
        return QStringLiteral("not started: ") + firstLine(start, 80);
    const QString status = r.text(QStringLiteral("RunExitStatus")).trimmed();
    if (status.isEmpty())
        return QStringLiteral("started, not ended yet");
    return status == QLatin1String("0") ? QStringLiteral("ended 0") : QStringLiteral("ended with status ") + status;
}

bool launchAborted(const Record &r)
{
    return !r.text(QStringLiteral("AbortedAtUtc")).trimmed().isEmpty();
}

bool launchFailed(const Record &r)
{
    const QString start = r.text(QStringLiteral("StartResult")).trimmed();
    const QString status = r.text(QStringLiteral("RunExitStatus")).trimmed();
    return (!start.isEmpty() && start != QLatin1String("started")) || (!status.isEmpty() && status != QLatin1String("0"));
}

EntryLine summarizeLaunch(const Record &r)
{
    EntryLine out;
    QString file = r.text(QStringLiteral("RunFile"));
    if (file.isEmpty())
        file = r.text(QStringLiteral("ReviewedFile"));
    QString aborted = QStringLiteral("not aborted");
    if (launchAborted(r)) {
        const QDateTime at = readStamp(r.text(QStringLiteral("AbortedAtUtc")));
        aborted = at.isValid() ? QStringLiteral("aborted %1").arg(utcText(at)) : QStringLiteral("aborted");
    }
    out.position = fixFromText(r.text(QStringLiteral("Position")));
    out.summary = line({with(QStringLiteral("script"), fileNameOf(file)),
                        with(QStringLiteral("reviewed by"), r.text(QStringLiteral("Reviewer"))), launchOutcome(r), aborted},
                       QString(), out.position);
    return out;
}

} // namespace bravik::ops
