#pragma once
// The popup warning window (form TForm2): one line of warning text and an OK button, modeless. OK hides and
// frees it; the title-bar close button only hides it. It tells its owner when it is shown or
// hidden (the owner keeps PopupShowing).
#include <QWidget>

class QLabel;
class QPushButton;
class QRect;

namespace tarvo {

class PopupWarning : public QWidget {
    Q_OBJECT
public:
    explicit PopupWarning(QWidget* parent = nullptr);

    // Sets the warning text; the label sizes itself to it.
    void SetText(const QString& text);
    QString Text() const;
    // Sizes the popup around its text, centres the OK button in it and the popup on the screen.
    void PlaceOn(const QRect& screen);

signals:
    void Shown();
    void Hidden();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Dismiss();

    QLabel* text_ = nullptr;
    QPushButton* okButton_ = nullptr;
};

} // namespace tarvo
