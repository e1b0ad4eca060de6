#pragma once

#include <QImage>

// Pages of a report drawn straight onto a paged device (a PDF writer or a
// printer): headings, wrapped lines with a bold lead, tables whose header
// comes again on each page, pictures side by side and drawn charts, one
// after the other down the page; what does not fit goes on the next page,
// a heading never alone at the foot of one.  Each text is laid out once
// (Qt's text layout), so a month of entries, thousands of lines, takes
// seconds, where one document of them all would take minutes to lay out.

#include <QColor>
#include <QFont>
#include <QHash>
#include <QPicture>
#include <QList>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QPagedPaintDevice;

namespace bravik::ops {

class ReportPages
{
public:
    // Begins painting; `footer` is the text at the foot of each page, the
    // page number after it.
    ReportPages(QPagedPaintDevice *device, const QString &footer);
    ~ReportPages();

    bool isActive() const { return m_painter.isActive(); }
    // False when a page could not be begun.
    bool ok() const { return m_ok; }

    // Points on paper in the device's units.
    double points(double pt) const;

    void heading(const QString &text, int level);   // 1 (title) to 3
    void space(double pt);
    // A wrapped paragraph; `lead`, when given, in bold before the text,
    // and the lines after the first indented by `hanging` points.
    void paragraph(const QString &text, const QString &lead = QString(), double hanging = 0,
                   const QColor &colour = Qt::black, bool italic = false);
    // A table: `shares` of the width per column, a header row when
    // `header` is given (repeated on every page the table goes on), lines
    // between cells when `ruled`.
    void table(const QList<double> &shares, const QStringList &header, const QList<QStringList> &rows, bool ruled);
    // Pictures of `size` side by side, each as wide as its share of the
    // width, framed.
    void pictures(const QList<const QPicture *> &pictures, const QSizeF &size);
    // A drawing of `heightPt` points, the whole width.
    // Images side by side from the left, each `heightPt` high (a row more
    // when they do not fit across).
    void images(const QList<QImage> &images, double heightPt);
    void drawing(double heightPt, const std::function<void(QPainter &, const QRectF &)> &draw);

    void finish();
    int pageCount() const { return m_page; }

private:
    struct Laid;
    Laid lay(const QString &text, const QFont &font, double width, const QString &lead = QString(), double hanging = 0) const;
    void room(double height);
    void newPage();
    void drawFooter();

    QPagedPaintDevice *m_device;
    QPainter m_painter;
    QString m_footer;
    QRectF m_area;
    double m_y = 0;
    int m_page = 1;
    bool m_ok = true;
    QFont m_body, m_bold, m_italic;   // sized for the device
    double m_lineHeight = 0;          // of the body's font
    // The table going on now, to repeat its header after a page break.
    std::function<void()> m_repeatHeader;
    QHash<QString, std::shared_ptr<Laid>> m_leads;
};

} // namespace bravik::ops
