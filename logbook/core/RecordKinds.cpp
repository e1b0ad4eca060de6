#include "RecordKinds.h"

namespace bravik::logbook {

const QList<RecordKind> &recordKinds()
{
    static const QList<RecordKind> kinds{
        {QStringLiteral("Vehicle Maintenance"), QStringLiteral("VehicleMaintenance"), QStringLiteral("frmMaintenance"),
         QStringLiteral("Vehicle Maintenance")},
        {QStringLiteral("Vehicle Predive"), QStringLiteral("Predive"), QStringLiteral("frmPredive"),
         QStringLiteral("VehiclePredive")},
        {QStringLiteral("Run Mission"), QStringLiteral("MissionData"), QStringLiteral("frmMission"),
         QStringLiteral("AUV Mission Log")},
        {QStringLiteral("Weather Observation"), QStringLiteral("WeatherObservation"),
         QStringLiteral("frmWeatherObservation"), QStringLiteral("Weather Observation Log")},
        {QStringLiteral("Battery Charge"), QStringLiteral("BatteryCharge"), QStringLiteral("frmBatteryCharge"),
         QStringLiteral("Battery Charge Log")},
        {QStringLiteral("Task List"), QStringLiteral("TaskList"), QStringLiteral("frmTaskList"),
         QStringLiteral("Task List")},
        {QStringLiteral("Purchases"), QStringLiteral("Purchases"), QStringLiteral("frmPurchases"),
         QStringLiteral("Purchases")},
        {QStringLiteral("Miscellaneous"), QStringLiteral("Miscellaneous"), QStringLiteral("frmMisc"),
         QStringLiteral("Miscellaneous")},
    };
    return kinds;
}

namespace {
template <class Pick>
const RecordKind *find(const QString &wanted, Pick pick)
{
    for (const RecordKind &k : recordKinds()) {
        if (pick(k) == wanted)
            return &k;
    }
    return nullptr;
}
} // namespace

const RecordKind *kindForCategory(const QString &category)
{
    return find(category, [](const RecordKind &k) { return k.category; });
}

const RecordKind *kindForTable(const QString &table)
{
    return find(table, [](const RecordKind &k) { return k.table; });
}

const RecordKind *kindForWindow(const QString &window)
{
    return find(window, [](const RecordKind &k) { return k.window; });
}

} // namespace bravik::logbook
