#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace bravik::twips {

// Window geometry is designed in twips (1440 to the inch): 15 twips a pixel
// at 96 dpi, scaled with the screen.
int toPixels(int twips);
QRect rect(int left, int top, int width, int height);
QSize size(int width, int height);

// Places a control at Left, Top, Width, Height given in twips.
void place(QWidget *w, int left, int top, int width, int height);
// Sets a window's client area from twips.
void setClientSize(QWidget *w, int width, int height);

} // namespace bravik::twips
