#pragma once
// The capture device's picture: shows the latest frame of the device it is given, placed as the
// device's preview scale settings say. It keeps one decoded picture and decodes only when the
// device announces a frame, so frames it cannot show in time are simply never decoded. Mouse
// events go on to the parent; the Escape key in the view's window is the device's abort key.
#include <QImage>
#include <QWidget>

namespace tarvo {

class CaptureDevice;

class VideoView final : public QWidget {
    Q_OBJECT
public:
    explicit VideoView(CaptureDevice& device, QWidget* parent = nullptr);
    ~VideoView() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // GUI thread: decode the latest frame and repaint.
    void Present();

    CaptureDevice& device_;
    QImage picture_;
};

} // namespace tarvo
