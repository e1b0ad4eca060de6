#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace bravik::twips {

namespace {
double pixelsPerTwip()
{
    double dpi = 96.0;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        dpi = screen->logicalDotsPerInch();
    if (dpi < 48.0 || dpi > 600.0)
        dpi = 96.0;
    return dpi / 1440.0;
}
} // namespace

int toPixels(int twips)
{
    return int(std::lround(twips * pixelsPerTwip()));
}

QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

QSize size(int width, int height)
{
    return QSize(toPixels(width), toPixels(height));
}

void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(rect(left, top, width, height));
}

void setClientSize(QWidget *w, int width, int height)
{
    w->resize(size(width, height));
}

} // namespace bravik::twips
