#pragma once

// The battery packs as the charges tell them: every serial number seen in
// Batt1SN, Batt2SN or Batt3SN (the same text in any of the three is the
// same pack; blank ones are ignored), with its charges over time and the
// minimum and maximum voltage of each.  A voltage that is not a number is
// left out of the pack's series and counted.

#include "OperationsQueries.h"
#include "Timeline.h"
#include "TimeSpan.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace bravik::ops {

struct PackCharge
{
    QDateTime when;    // UTC
    qint64 key = -1;   // the battery charge entry
    std::optional<double> minVolts;
    std::optional<double> maxVolts;
};

struct Pack
{
    QString serial;
    QList<PackCharge> charges;   // oldest first

    int chargeCount() const { return int(charges.size()); }
    QDateTime firstCharge() const;
    QDateTime lastCharge() const;
    qint64 lastKey() const;
    // Of the last charge (none when it had no usable voltage).
    std::optional<double> lastMinVolts() const;
    std::optional<double> lastMaxVolts() const;
};

struct PackOverview
{
    QList<Pack> packs;          // by serial number
    int skippedVolts = 0;       // voltages that are not numbers
    int untimedCharges = 0;     // charges without a time, left out
};

// A voltage as typed: "24.1", "24,1", "24.1 V"; no value for a blank or
// for anything that is not a number (skipped set when it was not blank).
std::optional<double> readVolts(const QString &text, bool *skipped);

// The packs of these charges (voided ones are left out) up to `until`
// (charges at or after it are not counted); an invalid `until` takes every
// charge.
PackOverview aggregatePacks(const QList<logbook::operations::StoredEntry> &charges, const ClockFormat &clock,
                            const QDateTime &until = {});

// Reads every battery charge and aggregates it.
std::optional<PackOverview> readPacks(logbook::Database &db, const ClockFormat &clock, const QDateTime &until,
                                      const ReadSteps &steps, QString *error);

} // namespace bravik::ops
