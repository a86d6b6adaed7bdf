#include "capture/widgets/CaptureView.h"

#include "capture/widgets/GstCaptureWindow.h"

#include <QPainter>

namespace tarvo {

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
    source_.PresentTaken();
    // A hidden view (the main window in the notification area) decodes nothing; a scaled one
    // gets the frame already scaled, so painting it is a plain copy.
    if (isVisible() && source_.DecodeLatest(picture_, scale_ ? size() : QSize()))
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

} // namespace tarvo
