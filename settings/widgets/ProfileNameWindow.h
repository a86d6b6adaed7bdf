#pragma once
// The profile name window (form TForm6, "Profile name:"): asks for the name of a new profile and creates it with the default
// settings. Made for one use by "New..." and destroyed when it closes.
#include <QDialog>

class ProfileBox;
class QLineEdit;
class QPushButton;

class ProfileNameWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProfileNameWindow(ProfileBox& profileBox, QWidget* parent = nullptr);

    QLineEdit* Edit1;
    QPushButton* Button2; // "Cancel"
    QPushButton* Button1; // "OK"

    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    ProfileBox& profileBox_;
};
