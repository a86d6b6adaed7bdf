#include "capture/CaptureView.h"

#include "capture/GstCaptureWindow.h"

#include <QPainter>

CaptureView::CaptureView(GstCaptureWindow& source, QWidget* parent) : QWidget(parent), source_(source)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CaptureView::SetScale(bool scale)
{
    scale_ = scale;
    update();
}

void CaptureView::Present()
{
    if (source_.DecodeLatest(picture_))
        update();
}

void CaptureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (picture_.isNull())
        return;
    if (scale_)
        painter.drawImage(rect(), picture_);
    else
        painter.drawImage(0, 0, picture_);
}
