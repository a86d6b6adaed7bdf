#include "settings/widgets/ColorSwatch.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarvo {

ColorSwatch::ColorSwatch(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::Box);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(40, 20);
}

void ColorSwatch::setColor(const QColor& color)
{
    color_ = color;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(contentsRect(), color_);
    p.end();
    QFrame::paintEvent(event);
}

void ColorSwatch::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit leftPressed();
    QFrame::mousePressEvent(event);
}

} // namespace tarvo
