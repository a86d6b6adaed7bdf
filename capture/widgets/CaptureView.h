#pragma once
// The capture window's picture: a child of the capture control that shows the latest frame,
// stretched to its size when scaling is on. It keeps one decoded picture and repaints only
// when asked, so frames it cannot show in time are simply never decoded.
#include <QImage>
#include <QWidget>

namespace tarvo {

class GstCaptureWindow;

class CaptureView final : public QWidget {
    Q_OBJECT
public:
    CaptureView(GstCaptureWindow& source, QWidget* parent);
    void SetScale(bool scale);
    // GUI thread: decode the latest frame and repaint.
    void Present();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GstCaptureWindow& source_;
    QImage picture_;
    bool scale_ = false;
};

} // namespace tarvo
