#pragma once
// The profile selection window (form TForm8, "Select setup profile:"): lists the profiles, shows a picked one in the setup dialog,
// deletes profiles, and makes one current with "OK". Its box mirrors the ProfileBox record, which
// stays the program's record of the profile being worked on.
#include <QDialog>

class QComboBox;
class QPushButton;

namespace tarvo {

class ProfileActivation;
class ProfileBox;
class ProfilePasswords;
class PerUserStore;
class DialogMessages;

class ProfileSelectWindow : public QDialog {
    Q_OBJECT
public:
    // programDir holds the profiles; store keeps the name of the current profile; messages tells the
    // user of failures, here and in the profile name window.
    ProfileSelectWindow(const QString& programDir, ProfileBox& profileBox, ProfilePasswords& passwords, PerUserStore& store,
                        ProfileActivation& targets, DialogMessages& messages, QWidget* parent = nullptr);

    // "OK": makes the picked profile current and activates it; refused while OK is disabled.
    void ActivatePickedProfile();
    // "OK" is disabled, and refused, while a run or a recording uses the active settings.
    void SetOkEnabled(bool enabled);
    bool OkEnabled() const;

private:
    // A text that names a listed profile exactly shows that profile in the setup dialog.
    void ShowPickedProfile();
    // Shows the named profile's settings and extras in the setup dialog; a read error as a message.
    void ShowProfileInDialog(const QString& name);
    // A text that names no listed profile becomes the first listed name.
    void SettleOnListedName();
    // "Delete": removes the picked profile and shows the first one left.
    void DeletePickedProfile();
    // "New...": asks for the name of a new profile.
    void AskForNewProfile();
    void showRecord();

    const QString programDir_;
    ProfileBox& profileBox_;
    ProfilePasswords& passwords_;
    PerUserStore& store_;
    ProfileActivation& targets_;
    DialogMessages& messages_;
    QComboBox* profilesBox_; // editable; its list is kept sorted by ListProfiles
    QPushButton* newButton_;
    QPushButton* deleteButton_;
    QPushButton* okButton_;
    bool showingRecord_ = false;
};

} // namespace tarvo
