#pragma once
// The warnings shown inside the main window, across the top of the video, where a warning window of
// its own would take the keyboard focus (a compositor that focuses every new window) and no
// notification service takes the warning instead. Each distinct warning is one line; OK clears them.
#include <QFrame>
#include <QStringList>

class QLabel;
class QPushButton;

namespace tarvo {

class WarningBar : public QFrame {
    Q_OBJECT
public:
    explicit WarningBar(QWidget* parent);

    // Adds the warning unless it is already there, and shows the bar over the top of its parent.
    void Show(const QString& text);
    QStringList Warnings() const { return warnings_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Dismiss();
    void FitToParent();

    QStringList warnings_;
    QLabel* text_ = nullptr;
    QPushButton* okButton_ = nullptr;
};

} // namespace tarvo
