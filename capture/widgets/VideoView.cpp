#include "capture/widgets/VideoView.h"

#include "capture/CaptureDevice.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

namespace tarvo {

VideoView::VideoView(CaptureDevice& device, QWidget* parent) : QWidget(parent), device_(device)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
    connect(&device_, &CaptureDevice::frameReady, this, &VideoView::Present);
    connect(&device_, &CaptureDevice::pictureChanged, this, [this] {
        if (!device_.DriverOpen())
            picture_ = QImage();
        update();
    });
    qApp->installEventFilter(this);
}

VideoView::~VideoView() { qApp->removeEventFilter(this); }

void VideoView::Present()
{
    device_.PresentTaken();
    // A hidden view (the main window in the notification area) decodes nothing; a scaled one
    // gets the frame already scaled, so painting it is a plain copy.
    const QSize bound = device_.PreviewScaleToWindow() ? device_.PictureRect(size()).size() : QSize();
    if (isVisible() && device_.DecodeLatest(picture_, bound))
        update();
}

void VideoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (picture_.isNull())
        return;
    const QRect target = device_.PictureRect(size());
    if (device_.PreviewScaleToWindow()) {
        painter.drawImage(target, picture_);
    } else {
        painter.setClipRect(target);
        painter.drawImage(0, 0, picture_);
    }
}

// Escape ends the device's sequence only when pressed in the window that shows this view: Escape
// in another program or in one of our dialogs leaves capturing alone.
bool VideoView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        auto* target = qobject_cast<QWidget*>(watched);
        if (target && target->window() == window())
            device_.AbortSequenceByKey();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tarvo
