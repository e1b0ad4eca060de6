#include "Schema.h"

#include "Attachments.h"

#include "LaunchLog.h"

#include <QUuid>

namespace bravik::logbook {

namespace {

void kind(TableDef &table, RecordKind::Id id, const QString &category, const QString &window, const QString &caption)
{
    table.kind = RecordKind{id, category, table.name, window, caption};
}

// The record kinds with their tables, listed once: what each table holds,
// and what the program calls it (the main window's category, the record
// window and its caption).
QList<TableDef> buildSchema()
{
    QList<TableDef> tables;

    tables.append(TableDef{
        QStringLiteral("WeatherObservation"),
        {QStringLiteral("HemisphereNS"), QStringLiteral("HemisphereEW"), QStringLiteral("Latitude"),
         QStringLiteral("Longitude"), QStringLiteral("WindSpeed"), QStringLiteral("WindDirection"),
         QStringLiteral("SwellHeight"), QStringLiteral("SwellPeriod"), QStringLiteral("Notes"),
         QStringLiteral("Date/Time"), QStringLiteral("SubmittedBy"), QStringLiteral("Latitude Int"),
         QStringLiteral("Latitude Minutes"), QStringLiteral("Longitude Int"),
         QStringLiteral("Longitude Minutes"),
         // The swell direction box and the sky list had no field of their own.
         QStringLiteral("SwellDirection"), QStringLiteral("SkyDescription")},
        {},
        true,
        {}});
    kind(tables.last(), RecordKind::Weather, QStringLiteral("Weather Observation"), QStringLiteral("frmWeatherObservation"), QStringLiteral("Weather Observation Log"));

    tables.append(TableDef{
        QStringLiteral("VehicleMaintenance"),
        {QStringLiteral("Date/Time"), QStringLiteral("MaintenanceType"), QStringLiteral("PerformedBy"),
         QStringLiteral("Notes"), QStringLiteral("SubmittedBy"), QStringLiteral("Reason")},
        {},
        true,
        {}});
    kind(tables.last(), RecordKind::Maintenance, QStringLiteral("Vehicle Maintenance"), QStringLiteral("frmMaintenance"), QStringLiteral("Vehicle Maintenance"));

    tables.append(TableDef{
        QStringLiteral("Miscellaneous"),
        {QStringLiteral("Date/Time"), QStringLiteral("Note"), QStringLiteral("SubmittedBy")},
        {},
        true,
        {}});
    kind(tables.last(), RecordKind::Miscellaneous, QStringLiteral("Miscellaneous"), QStringLiteral("frmMisc"), QStringLiteral("Miscellaneous"));

    tables.append(TableDef{
        QStringLiteral("Predive"),
        {QStringLiteral("Date/Time"), QStringLiteral("SubmittedBy"), QStringLiteral("Cruise"),
         QStringLiteral("Ship"), QStringLiteral("Vehicle Configuration"),
         QStringLiteral("USBL Beacon ON"), QStringLiteral("Em Locators ON"),
         QStringLiteral("Main Housing Vaccuum"), QStringLiteral("Battery 1 Voltage"),
         QStringLiteral("Battery 2 Voltage"), QStringLiteral("Battery 3 Voltage"),
         QStringLiteral("USBL Battery Voltage"), QStringLiteral("USBL Tx/Rx"),
         QStringLiteral("RDF Channel"), QStringLiteral("Tailcone Comp Pressure"),
         QStringLiteral("MVC Time Synch"), QStringLiteral("CFG files valid"),
         QStringLiteral("MissionScriptsPrepared"), QStringLiteral("Thruster Operational"),
         QStringLiteral("Elevator Operational"), QStringLiteral("Rudder Operational"),
         QStringLiteral("AHRS Operational"), QStringLiteral("GPS Fix Valid"),
         QStringLiteral("Pressure Sensor Operational"), QStringLiteral("DVL Operational"),
         QStringLiteral("LaunchCoordinator"), QStringLiteral("VehicleOperator"),
         // The payload list and check box had no field of their own.
         QStringLiteral("PayloadCoordinator"), QStringLiteral("PayloadOperational")},
        {QStringLiteral("USBL Beacon ON"), QStringLiteral("Em Locators ON"),
         QStringLiteral("MVC Time Synch"), QStringLiteral("CFG files valid"),
         QStringLiteral("MissionScriptsPrepared"), QStringLiteral("Thruster Operational"),
         QStringLiteral("Elevator Operational"), QStringLiteral("Rudder Operational"),
         QStringLiteral("AHRS Operational"), QStringLiteral("GPS Fix Valid"),
         QStringLiteral("Pressure Sensor Operational"), QStringLiteral("DVL Operational"),
         QStringLiteral("PayloadOperational")},
        true,
        {}});
    kind(tables.last(), RecordKind::Predive, QStringLiteral("Vehicle Predive"), QStringLiteral("frmPredive"), QStringLiteral("VehiclePredive"));

    tables.append(TableDef{
        QStringLiteral("MissionData"),
        {QStringLiteral("Date/Time"), QStringLiteral("SubmittedBy"), QStringLiteral("Latitude Int"),
         QStringLiteral("Latitude Minutes"), QStringLiteral("HemisphereNS"),
         QStringLiteral("Longitude Int"), QStringLiteral("Longitude Minutes"),
         QStringLiteral("HemisphereEW"), QStringLiteral("Mission Data Directory"),
         QStringLiteral("Purpose"), QStringLiteral("Mission Script Name"),
         QStringLiteral("Surface ETA"), QStringLiteral("Max Depth"), QStringLiteral("Water Depth"),
         QStringLiteral("Notes"), QStringLiteral("Mission Start Latitude"),
         QStringLiteral("Mission Start Longitude"), QStringLiteral("Successful"),
         QStringLiteral("Failure mode")},
        {QStringLiteral("Successful")},
        true,
        {}});
    kind(tables.last(), RecordKind::Mission, QStringLiteral("Run Mission"), QStringLiteral("frmMission"), QStringLiteral("AUV Mission Log"));

    tables.append(TableDef{
        QStringLiteral("BatteryCharge"),
        {QStringLiteral("SubmittedBy"), QStringLiteral("Date/Time"), QStringLiteral("LogfileName"),
         QStringLiteral("Batt1SN"), QStringLiteral("Bat1MinV"), QStringLiteral("Bat1MaxV"),
         QStringLiteral("Batt2SN"), QStringLiteral("Bat2MinV"), QStringLiteral("Bat2MaxV"),
         QStringLiteral("Batt3SN"), QStringLiteral("Bat3MinV"), QStringLiteral("Bat3MaxV"),
         QStringLiteral("Notes")},
        {},
        true,
        {}});
    kind(tables.last(), RecordKind::BatteryCharge, QStringLiteral("Battery Charge"), QStringLiteral("frmBatteryCharge"), QStringLiteral("Battery Charge Log"));

    tables.append(TableDef{
        QStringLiteral("TaskList"),
        {QStringLiteral("Date/Time"), QStringLiteral("SubmittedBy"), QStringLiteral("AssignedTo"),
         QStringLiteral("DateCompleted"), QStringLiteral("Note"), QStringLiteral("TaskDescription")},
        {},
        true,
        {}});
    kind(tables.last(), RecordKind::Tasks, QStringLiteral("Task List"), QStringLiteral("frmTaskList"), QStringLiteral("Task List"));

    tables.append(TableDef{
        QStringLiteral("Purchases"),
        {QStringLiteral("Date/Time"), QStringLiteral("SubmittedBy"), QStringLiteral("AssignedTo"),
         QStringLiteral("DateCompleted"), QStringLiteral("Vendor"), QStringLiteral("Note"),
         QStringLiteral("Item")},
        {},
        false,
        {}});
    kind(tables.last(), RecordKind::Purchases, QStringLiteral("Purchases"), QStringLiteral("frmPurchases"), QStringLiteral("Purchases"));

    return tables;
}

} // namespace

const QList<TableDef> &schema()
{
    static const QList<TableDef> tables = buildSchema();
    return tables;
}

const QList<TableDef> &systemTables()
{
    static const QList<TableDef> tables{
        TableDef{launchlog::tableName(), launchlog::fields(), {}, true, {}},
        TableDef{historyTable(), historyFields() + QStringList{entryIdColumn()}, {}, true, {}},
        TableDef{mergeConflictTable(), mergeConflictFields(), {}, true, {}},
        TableDef{syncStateTable(), syncStateFields(), {}, true, {}},
        // The files kept with entries, after the entries they belong to.
        TableDef{attachments::tableName(), attachments::fields(), {}, true, {}},
        TableDef{attachments::contentTable(), attachments::contentFields(), {}, true, {}},
    };
    return tables;
}

QVariant TableDef::emptyValue(const QString &field) const
{
    return isBoolean(field) ? QVariant(false) : QVariant(QString());
}

QVariant TableDef::normalised(const QString &field, const QVariant &v) const
{
    if (isBoolean(field))
        return QVariant(v.toBool());
    const QString text = v.toString();
    return QVariant(text.isNull() ? QString::fromLatin1("") : text);
}

const TableDef *findTable(const QString &name)
{
    for (const TableDef &t : schema()) {
        if (t.name == name)
            return &t;
    }
    return nullptr;
}

QString keyColumn()
{
    return QStringLiteral("BravikKey");
}

QString stampedAtColumn()
{
    return QStringLiteral("StampedAtUtc");
}

QString workstationColumn()
{
    return QStringLiteral("Workstation");
}

QStringList hiddenFields()
{
    return {stampedAtColumn(), workstationColumn()};
}

QString rowVersionColumn() { return QStringLiteral("RowVersion"); }
QString voidedColumn() { return QStringLiteral("Voided"); }
QString voidReasonColumn() { return QStringLiteral("VoidReason"); }
QString changedAtColumn() { return QStringLiteral("ChangedAtUtc"); }
QString changedOnColumn() { return QStringLiteral("ChangedOn"); }

QStringList correctionFields()
{
    return {rowVersionColumn(), voidedColumn(), voidReasonColumn(), changedAtColumn(), changedOnColumn()};
}

QString historyTable()
{
    return QStringLiteral("RecordHistory");
}

QStringList historyFields()
{
    return {QStringLiteral("TableName"), QStringLiteral("RowKey"),       QStringLiteral("Field"),
            QStringLiteral("OldValue"),  QStringLiteral("NewValue"),     QStringLiteral("ChangedAtUtc"),
            QStringLiteral("Workstation"), QStringLiteral("OsUser")};
}

QString entryIdColumn()
{
    return QStringLiteral("EntryId");
}

QString newEntryId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString mergeConflictTable()
{
    return QStringLiteral("MergeConflict");
}

QStringList mergeConflictFields()
{
    return {entryIdColumn(),                   QStringLiteral("TableName"),
            QStringLiteral("RowEntryId"),      QStringLiteral("Field"),
            QStringLiteral("KeptValue"),       QStringLiteral("KeptWorkstation"),
            QStringLiteral("KeptChangedAtUtc"), QStringLiteral("OtherValue"),
            QStringLiteral("OtherWorkstation"), QStringLiteral("OtherChangedAtUtc"),
            QStringLiteral("SettledAtUtc"),    QStringLiteral("SettledOn")};
}

QString syncStateTable()
{
    return QStringLiteral("SyncState");
}

QStringList syncStateFields()
{
    return {QStringLiteral("Server"), QStringLiteral("AgreedAtUtc"), QStringLiteral("UnreachableSinceUtc"),
            QStringLiteral("LastError")};
}

} // namespace bravik::logbook
