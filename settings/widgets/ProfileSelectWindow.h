#pragma once
// The profile selection window (form TForm8, "Select setup profile:"): lists the profiles, shows a picked one in the setup dialog,
// deletes profiles, and makes one current with "OK". Its box mirrors the ProfileBox record, which
// stays the program's record of the profile being worked on.
#include <QDialog>

class ActivationTargets;
class ProfileBox;
class QComboBox;
class QPushButton;

class ProfileSelectWindow : public QDialog {
    Q_OBJECT
public:
    ProfileSelectWindow(ProfileBox& profileBox, ActivationTargets& targets, QWidget* parent = nullptr);

    QComboBox* ProfilesBox; // editable; its list is kept sorted by ListProfiles
    QPushButton* Button11;  // "New..."
    QPushButton* Button10;  // "Delete"
    QPushButton* Button1;   // "OK"

    // A text that names a listed profile exactly shows that profile in the setup dialog.
    void ProfilesBoxChange();
    // A text that names no listed profile becomes the first listed name.
    void ProfilesBoxExit();
    void Button1Click();
    // "OK" is disabled, and refused, while a run or a recording uses the active settings.
    void SetOkEnabled(bool enabled);
    void Button10Click();
    void Button11Click();

private:
    void showRecord();

    ProfileBox& profileBox_;
    ActivationTargets& targets_;
    bool showingRecord_ = false;
};
