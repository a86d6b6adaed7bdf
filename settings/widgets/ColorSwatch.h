#pragma once
// A plain field of one colour that the user clicks to choose another.
#include <QColor>
#include <QFrame>

namespace tarvo {

class ColorSwatch : public QFrame {
    Q_OBJECT
public:
    explicit ColorSwatch(QWidget* parent = nullptr);
    QColor color() const { return color_; }
    void setColor(const QColor& color);

signals:
    // Left button only.
    void leftPressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QColor color_ = Qt::black;
};

} // namespace tarvo
