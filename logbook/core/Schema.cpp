#include "Schema.h"

namespace bravik::logbook {

namespace {

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
        true});

    tables.append(TableDef{
        QStringLiteral("VehicleMaintenance"),
        {QStringLiteral("Date/Time"), QStringLiteral("MaintenanceType"), QStringLiteral("PerformedBy"),
         QStringLiteral("Notes"), QStringLiteral("SubmittedBy"), QStringLiteral("Reason")},
        {},
        true});

    tables.append(TableDef{
        QStringLiteral("Miscellaneous"),
        {QStringLiteral("Date/Time"), QStringLiteral("Note"), QStringLiteral("SubmittedBy")},
        {},
        true});

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
        true});

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
        true});

    tables.append(TableDef{
        QStringLiteral("BatteryCharge"),
        {QStringLiteral("SubmittedBy"), QStringLiteral("Date/Time"), QStringLiteral("LogfileName"),
         QStringLiteral("Batt1SN"), QStringLiteral("Bat1MinV"), QStringLiteral("Bat1MaxV"),
         QStringLiteral("Batt2SN"), QStringLiteral("Bat2MinV"), QStringLiteral("Bat2MaxV"),
         QStringLiteral("Batt3SN"), QStringLiteral("Bat3MinV"), QStringLiteral("Bat3MaxV"),
         QStringLiteral("Notes")},
        {},
        true});

    tables.append(TableDef{
        QStringLiteral("TaskList"),
        {QStringLiteral("Date/Time"), QStringLiteral("SubmittedBy"), QStringLiteral("AssignedTo"),
         QStringLiteral("DateCompleted"), QStringLiteral("Note"), QStringLiteral("TaskDescription")},
        {},
        true});

    tables.append(TableDef{
        QStringLiteral("Purchases"),
        {QStringLiteral("Date/Time"), QStringLiteral("SubmittedBy"), QStringLiteral("AssignedTo"),
         QStringLiteral("DateCompleted"), QStringLiteral("Vendor"), QStringLiteral("Note"),
         QStringLiteral("Item")},
        {},
        false});

    return tables;
}

} // namespace

const QList<TableDef> &schema()
{
    static const QList<TableDef> tables = buildSchema();
    return tables;
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

} // namespace bravik::logbook
