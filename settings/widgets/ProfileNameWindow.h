#pragma once
// The profile name window (form TForm6, "Profile name:"): asks for the name of a new profile and creates it with the default
// settings. Made for one use by "New..." and destroyed when it closes.
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tarvo {

class ProfileBox;
class ProfilePasswords;
class DialogMessages;

class ProfileNameWindow : public QDialog {
    Q_OBJECT
public:
    ProfileNameWindow(const QString& programDir, ProfileBox& profileBox, ProfilePasswords& passwords, DialogMessages& messages,
                      QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // "OK": creates the profile of the typed name with the default settings and makes it the
    // profile being worked on; a profile that cannot be written is reported and the window stays.
    void CreateProfile();

    const QString programDir_;
    ProfileBox& profileBox_;
    ProfilePasswords& passwords_;
    DialogMessages& messages_;
    QLineEdit* nameEdit_;
    QPushButton* cancelButton_;
    QPushButton* okButton_;
};

} // namespace tarvo
