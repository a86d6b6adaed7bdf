#include "imaging/widgets/PictureView.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarvo {

PictureView::PictureView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::setPicture(const QImage& picture)
{
    picture_ = picture;
    setFixedSize(picture_.size());
    update();
}

void PictureView::clearPicture(QSize size)
{
    picture_ = QImage();
    setFixedSize(size);
    update();
}

void PictureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!picture_.isNull())
        painter.drawImage(QPoint(0, 0), picture_);
}

void PictureView::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMoved(event->position().toPoint());
}

void PictureView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        leftDown_ = true;
}

void PictureView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !leftDown_)
        return;
    leftDown_ = false;
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace tarvo
