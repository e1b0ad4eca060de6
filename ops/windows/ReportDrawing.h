#pragma once

// The daily report on paper: its content (DailyReport.h) laid out page by
// page (ReportPages.h, a long section going on over the next ones) with
// the page margins of the exports, a footer with the page number, and
// pictures: each launch's depth against time and its
// track, drawn from the launch record's reviewed text by the review
// window's own pictures, and the packs' chart.
//
// The pictures are drawn by widgets, so on the user-interface thread, one
// launch at a time; laying out and writing the pages needs no widget and
// runs on a thread of its own meanwhile, taking each launch's pictures as
// its page comes.

#include "DailyReport.h"
#include "MissionCheck.h"

#include <QHash>
#include <QMutex>
#include <QPicture>
#include <QSet>
#include <QString>
#include <QWaitCondition>

class QPagedPaintDevice;

namespace bravik {
struct Settings;
}

namespace bravik::ops {

// The checks of each launch's reviewed text (by the launch record's key);
// launches without a reviewed text are left out.  Any thread.
QHash<qint64, mission::MissionCheck> reviewLaunches(const QList<TimelineLine> &lines, const Settings &settings);

// The seconds a reviewed script runs: its timed blocks, ended early by its
// mission timer.  No value for a script with nothing timed.
std::optional<double> plannedSeconds(const mission::MissionCheck &check);

// A launch's two pictures as drawing steps (kept as lines and text, so
// they print sharp and small), at their size on screen.
struct LaunchPictures
{
    QPicture depth;
    QPicture track;
    QSize size;

    bool isEmpty() const { return size.isEmpty(); }
};

// The launches' pictures, handed from the thread that draws them (the
// user-interface thread: widgets draw them) to the one that lays out the
// pages, which waits for a launch's pictures only when it comes to them:
// the pictures are drawn while the pages before them are laid out.
class ReportPictures
{
public:
    // `expected`: the launches that will get pictures; any other has none.
    explicit ReportPictures(const QList<qint64> &expected);

    void put(qint64 key, const LaunchPictures &pictures);
    // No more pictures will come; with `stop`, the report is given up.
    void close(bool stop = false);

    enum class Got { Pictures, None, Stopped };
    // The launch's pictures, once put; None for a launch that gets none
    // (or did not get them before close()).
    Got take(qint64 key, LaunchPictures *pictures) const;

private:
    mutable QMutex m_mutex;
    mutable QWaitCondition m_changed;
    QSet<qint64> m_expected;
    QHash<qint64, LaunchPictures> m_drawn;
    bool m_closed = false, m_stopped = false;
};

// The report's content with the settings' title and crew roster, each
// launch's end from its review when it was not aborted first.
ReportContent reportContent(const ReportInput &input, bool includeVoid,
                            const QHash<qint64, mission::MissionCheck> &checks, const QDateTime &madeAt);

// Draws a launch's two pictures.  User-interface thread only.
LaunchPictures drawLaunchPictures(const mission::MissionCheck &check, const QString &coastlineFolder);
// The same, or the pictures already drawn for the same reviewed text run
// from the same place (kept in `drawn`).
LaunchPictures picturesFor(const logbook::launchlog::Record &launch, const mission::MissionCheck &check,
                           const QString &coastlineFolder, QHash<QByteArray, LaunchPictures> *drawn);

// Lays out the report and draws it on `device` (a PDF writer or a
// printer), whose page size and margins are set.  False with the reason
// (also when the pictures were given up).  Any thread.
bool drawReport(const ReportContent &report, const ReportPictures &pictures, QPagedPaintDevice *device, QString *error);

// The report as a PDF file (A4, the exports' margins), written whole or
// not at all.  False with a message naming the path and the reason.  Any
// thread.
bool writeReportPdf(const ReportContent &report, const ReportPictures &pictures, const QString &path, QString *error);

// The same, the pages laid out on a thread of their own while this one
// (the user-interface thread) draws the launches' pictures for `checks`;
// `picturesMs`, when given, gets the time the pictures took.
bool writeReportPdf(const ReportContent &report, const QHash<qint64, mission::MissionCheck> &checks,
                    const QString &coastlineFolder, const QString &path, QString *error, double *picturesMs = nullptr);

// The margins of the report's pages.
void setReportPageLayout(QPagedPaintDevice *device);

} // namespace bravik::ops
