#pragma once
// The picture control of the example window: shows one picture at its own size, top-left at
// (0, 0), and reports mouse movement and left clicks in picture coordinates.
#include <QImage>
#include <QWidget>

namespace tarvo {

class PictureView final : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);

    const QImage& picture() const { return picture_; }
    // The size of the picture area: the picture's, or the empty area's.
    QSize areaSize() const { return minimumSize(); }
    // Shows the picture and takes its size.
    void setPicture(const QImage& picture);
    // Shows an empty area of this size (no picture could be loaded).
    void clearPicture(QSize size);

signals:
    void mouseMoved(QPoint pos);
    // Left button pressed and released over the picture.
    void clicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    bool leftDown_ = false;
};

} // namespace tarvo
