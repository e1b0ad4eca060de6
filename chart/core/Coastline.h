#pragma once

// The GSHHG shorelines that the Generic Mapping Tools ship, read through
// GMT's own library (its "coast" module hands back the shore of a region,
// its "select" module tells land from water).  Which resolutions are
// installed is found from the files in the folder the settings name, or
// else where Debian's gmt-gshhg-* and gmt-common packages put them.
//
// Nothing here ends or stops the program: GMT runs in a session that
// returns instead of exiting, its messages are collected instead of
// printed, and every failure comes back as a line of text.  The shore of an
// area is kept, so drawing it again costs no reading.  One session serves
// the whole program, one call at a time.

#include "ShoreArea.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace bravik::chart {

class Coastline
{
public:
    // `folder`: where the binned_GSHHS_?.nc files are; empty: the places
    // GMT and Debian's packages use.
    explicit Coastline(const QString &folder = QString());
    ~Coastline();
    Coastline(const Coastline &) = delete;
    Coastline &operator=(const Coastline &) = delete;

    // One reader per folder for the whole program.
    static Coastline &forFolder(const QString &folder);

    // Some resolution is installed and GMT can read it.
    bool available() const;
    // Why not: "No coastline data installed: apt install gmt-gshhg-high",
    // or GMT's reason when its library could not start.
    QString unavailableText() const;
    static QString missingDataText();

    QList<Resolution> installed() const;
    std::optional<Resolution> highest() const;
    // The highest installed resolution fit for an area this many degrees
    // across (the finest data over a whole ocean would take seconds).
    std::optional<Resolution> resolutionFor(double spanDegrees) const;
    QString folderOf(Resolution r) const;

    // The shore of an area (kept for the next call with the same or a
    // smaller area); null with the reason.
    std::shared_ptr<const ShoreArea> area(const GeoBox &box, Resolution r, QString *error = nullptr);

    // GMT's own land test, one answer per point; no value with the reason.
    std::optional<QList<bool>> onLand(const QList<GeoPoint> &points, Resolution r, QString *error = nullptr);

    // How many times the shore of an area was read from the files.
    int reads() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::chart
