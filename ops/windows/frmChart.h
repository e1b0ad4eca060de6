#pragma once

// "Chart": a UTC day (today when it opens) on the chart: where the day's
// entries were made and the tracks of its launches, with the points listed
// beside it.  A click on a point or a row makes it current on both; Enter
// or a double-click opens its entry in its record window (a launch: its
// mission log entry).  The day is read through the logbook service on its
// long lane: a logbook that is held up never holds the window up.

#include "DayChart.h"
#include "LogbookService.h"
#include "WindowManager.h"

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace bravik::chart {
class ChartView;
}

namespace bravik::ops {

class frmChart : public ManagedWindow
{
    Q_OBJECT
public:
    frmChart();
    ~frmChart() override;

    QLineEdit *txtDay;
    QPushButton *cmdPreviousDay, *cmdNextDay, *cmdShow, *cmdStop;
    QLabel *lblStatus;
    chart::ChartView *picChart;
    QListWidget *lstPoints;

    // Reads the day the box names; false (with a message) when it cannot be read.
    bool showDay();
    bool isBusy() const { return m_busy; }
    const DayChart &day() const { return m_day; }
    // Opens the point's entry in its record window.
    bool openPoint(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool queryUnload() override;

private:
    void shiftDay(int days);
    void setBusy(bool busy, const QString &status);
    void answered(const DayChart &day);

    std::unique_ptr<logbook::LogbookClient> m_client;
    DayChart m_day;
    bool m_busy = false;
};

} // namespace bravik::ops
