#pragma once
// A check box, radio button or label whose caption leaves runs of blanks for numbers, with one edit
// laid over each run, so that caption and edits read as one sentence ("Fuse: [0] minutes [5] seconds.").
#include <QList>
#include <QWidget>

class QLineEdit;

namespace tarvo {

class CaptionWithEdits : public QWidget {
public:
    // Takes the caption control and the edits as children; edit i goes over the i-th run of two or
    // more blanks.
    CaptionWithEdits(QWidget* caption, QList<QLineEdit*> edits, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int textLeft() const;
    void placeEdits();

    QWidget* caption_;
    QList<QLineEdit*> edits_;
};

} // namespace tarvo
