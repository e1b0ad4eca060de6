#include "ReportPages.h"

#include <QPagedPaintDevice>
#include <QTextLayout>
#include <algorithm>
#include <memory>

namespace bravik::ops {

struct ReportPages::Laid
{
    std::shared_ptr<QTextLayout> layout;
    double height = 0;
    double width = 0; // of the longest line's text
};

ReportPages::ReportPages(QPagedPaintDevice *device, const QString &footer)
    : m_device(device)
    , m_footer(footer)
{
    QFont body(QStringLiteral("Sans Serif"));
    body.setStyleHint(QFont::SansSerif);
    body.setPointSizeF(9);
    // Sized for the device once, not again for each of thousands of texts.
    m_body = QFont(body, device);
    m_bold = m_body;
    m_bold.setBold(true);
    m_italic = m_body;
    m_italic.setItalic(true);
    if (!m_painter.begin(device)) {
        m_ok = false;
        return;
    }
    // The page less a footer of two lines for the page number.
    const QRectF page = m_painter.viewport();
    m_lineHeight = QFontMetricsF(m_body).height();
    const double footerHeight = m_lineHeight * 2;
    m_area = QRectF(page.left(), page.top(), page.width(), page.height() - footerHeight);
    m_y = m_area.top();
}

ReportPages::~ReportPages()
{
    finish();
}

double ReportPages::points(double pt) const
{
    return pt * m_device->logicalDpiY() / 72.0;
}

ReportPages::Laid ReportPages::lay(const QString &text, const QFont &font, double width, const QString &lead,
                                   double hanging) const
{
    Laid out;
    const QString whole = lead.isEmpty() ? text : lead + QStringLiteral("  ") + text;
    out.layout = std::make_shared<QTextLayout>(whole, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    out.layout->setTextOption(option);
    // Kept after the layout, so drawing does not shape the text again.
    out.layout->setCacheEnabled(true);
    if (!lead.isEmpty()) {
        QTextLayout::FormatRange bold;
        bold.start = 0;
        bold.length = int(lead.size());
        bold.format.setFontWeight(QFont::Bold);
        out.layout->setFormats({bold});
    }
    const double indent = points(hanging);
    out.layout->beginLayout();
    for (bool first = true;; first = false) {
        QTextLine line = out.layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(first ? width : std::max(width / 4, width - indent));
        line.setPosition(QPointF(first ? 0 : indent, out.height));
        out.height += line.height();
        out.width = std::max(out.width, line.x() + line.naturalTextWidth());
    }
    out.layout->endLayout();
    return out;
}

void ReportPages::drawFooter()
{
    m_painter.save();
    m_painter.setFont(m_body);
    m_painter.setPen(QColor(90, 90, 90));
    const double line = m_lineHeight;
    m_painter.drawText(QRectF(m_area.left(), m_area.bottom() + line * 0.5, m_area.width(), line * 1.5),
                       Qt::AlignHCenter | Qt::AlignVCenter,
                       QStringLiteral("%1 · page %2").arg(m_footer).arg(m_page));
    m_painter.restore();
}

void ReportPages::newPage()
{
    drawFooter();
    if (!m_device->newPage())
        m_ok = false;
    ++m_page;
    m_y = m_area.top();
    if (m_repeatHeader)
        m_repeatHeader();
}

void ReportPages::room(double height)
{
    if (m_y > m_area.top() && m_y + height > m_area.bottom())
        newPage();
}

void ReportPages::space(double pt)
{
    m_y = std::min(m_area.bottom(), m_y + points(pt));
}

void ReportPages::heading(const QString &text, int level)
{
    QFont font = m_bold;
    font.setPointSizeF(level <= 1 ? 16 : level == 2 ? 12 : 10);
    const Laid laid = lay(text, font, m_area.width());
    const double before = points(level <= 1 ? 0 : level == 2 ? 10 : 6), after = points(3);
    // Never alone at the foot of a page: room for three lines after it.
    room(before + laid.height + after + m_lineHeight * 3);
    if (m_y > m_area.top())
        m_y += before;
    m_painter.setPen(Qt::black);
    laid.layout->draw(&m_painter, QPointF(m_area.left(), m_y));
    m_y += laid.height + after;
}

void ReportPages::paragraph(const QString &text, const QString &lead, double hanging, const QColor &colour, bool italic)
{
    const QFont &font = italic ? m_italic : m_body;
    if (lead.isEmpty() || hanging <= 0) {
        const Laid laid = lay(text, font, m_area.width(), lead, hanging);
        room(laid.height);
        m_painter.setPen(colour);
        laid.layout->draw(&m_painter, QPointF(m_area.left(), m_y));
        m_y += laid.height;
        return;
    }
    // The lead in its own column: laid out once for all the lines that
    // share it (a time, most often), the text beside it.
    auto it = m_leads.constFind(lead);
    if (it == m_leads.constEnd())
        it = m_leads.insert(lead, std::make_shared<Laid>(lay(lead, m_bold, m_area.width() / 3)));
    // The text starts at the same place on every line that has a lead of
    // this length or shorter.
    const double indent = std::max(points(hanging), (*it)->width + points(5));
    const Laid laid = lay(text, font, m_area.width() - indent);
    const double height = std::max(laid.height, (*it)->height);
    room(height);
    m_painter.setPen(colour);
    (*it)->layout->draw(&m_painter, QPointF(m_area.left(), m_y));
    laid.layout->draw(&m_painter, QPointF(m_area.left() + indent, m_y));
    m_y += height;
}

void ReportPages::table(const QList<double> &shares, const QStringList &header, const QList<QStringList> &rows, bool ruled)
{
    const double pad = points(2);
    QList<double> widths;
    for (double s : shares)
        widths << s * m_area.width();
    auto drawRow = [this, &widths, pad, ruled](const QStringList &cells, bool isHeader) {
        QList<Laid> laid;
        double height = 0;
        for (int c = 0; c < widths.size(); ++c) {
            laid << lay(cells.value(c), isHeader ? m_bold : m_body, std::max(1.0, widths.at(c) - 2 * pad));
            height = std::max(height, laid.last().height);
        }
        height += 2 * pad;
        room(height);
        double x = m_area.left();
        for (int c = 0; c < widths.size(); ++c) {
            const QRectF cell(x, m_y, widths.at(c), height);
            if (isHeader)
                m_painter.fillRect(cell, QColor(232, 232, 232));
            if (ruled) {
                m_painter.setPen(QPen(QColor(150, 150, 150), 0));
                m_painter.drawRect(cell);
            }
            m_painter.setPen(Qt::black);
            laid.at(c).layout->draw(&m_painter, QPointF(x + pad, m_y + pad));
            x += widths.at(c);
        }
        m_y += height;
    };
    if (!header.isEmpty()) {
        drawRow(header, true);
        m_repeatHeader = [drawRow, header] { drawRow(header, true); };
    }
    for (const QStringList &row : rows)
        drawRow(row, false);
    m_repeatHeader = nullptr;
}

void ReportPages::pictures(const QList<const QPicture *> &pictures, const QSizeF &size)
{
    if (pictures.isEmpty() || size.isEmpty())
        return;
    const double gap = points(6);
    const double width = (m_area.width() - gap * (pictures.size() - 1)) / pictures.size();
    const double scale = width / size.width();
    const double height = size.height() * scale;
    room(height);
    // A picture's own resolution (a screen's): the same for every picture.
    const QPicture anyPicture;
    const double sx = scale * anyPicture.logicalDpiX() / m_device->logicalDpiX();
    const double sy = scale * anyPicture.logicalDpiY() / m_device->logicalDpiY();
    double x = m_area.left();
    for (const QPicture *p : pictures) {
        // A picture plays itself at its size on paper: it scales what it
        // draws by the device's resolution over its own (a screen's).  The
        // scale given here is the one from its units to the page's, so
        // that part is taken out again.
        m_painter.save();
        m_painter.setClipRect(QRectF(x, m_y, width, height));
        m_painter.translate(x, m_y);
        m_painter.scale(sx, sy);
        m_painter.drawPicture(0, 0, *p);
        m_painter.restore();
        x += width + gap;
    }
    m_y += height + points(4);
}

void ReportPages::images(const QList<QImage> &images, double heightPt)
{
    const double height = points(heightPt);
    const double gap = points(6);
    double x = m_area.left();
    bool first = true;
    for (const QImage &image : images) {
        if (image.isNull())
            continue;
        const double width = height * image.width() / qMax(1, image.height());
        if (first || x + width > m_area.right()) {
            if (!first)
                m_y += height + gap;
            room(height);
            x = m_area.left();
            first = false;
        }
        m_painter.drawImage(QRectF(x, m_y, width, height), image);
        x += width + gap;
    }
    if (!first)
        m_y += height + points(4);
}

void ReportPages::drawing(double heightPt, const std::function<void(QPainter &, const QRectF &)> &draw)
{
    const double height = points(heightPt);
    room(height);
    draw(m_painter, QRectF(m_area.left(), m_y, m_area.width(), height));
    m_y += height + points(4);
}

void ReportPages::finish()
{
    if (!m_painter.isActive())
        return;
    drawFooter();
    m_painter.end();
}

} // namespace bravik::ops
