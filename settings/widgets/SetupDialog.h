#pragma once
// The setup dialog (form TForm3, "Setup"): every setting of the current profile on seven pages. Its controls mirror one
// OptionsValues record (with the SOCKS controls of the firewall/proxy window): ShowInDialog fills
// them, ReadFromDialog builds a record from them, "OK" saves the record under the profile box's
// name and activates it. Modeless; lives for the whole run. Other windows read its controls
// directly (the caption example reads the caption page, the FTP test the website page), so the
// controls are public, under the names the rest of the program knows them by.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"

#include <QDialog>
#include <QPalette>
#include <QStringList>
#include <functional>

class ActivationTargets;
class ColorSwatch;
class MoreSettingsPage;
class ProfileBox;
class ProxyWindow;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

// What the dialog asks of windows and components built elsewhere; the main window wires them.
// Unset hooks do nothing.
struct SetupDialogHooks {
    // Driver index the capture component uses now ("Video device:" shows it, not the record's).
    std::function<int()> currentDriverIndex;
    std::function<void()> showCompressionDialog;
    // Shows the caption example / detection-area window in the given mode (true: area definition).
    std::function<void(bool defineArea)> showExampleWindow;
    std::function<void()> redrawExampleIfVisible;
    std::function<void()> hideExampleIfVisible;
    std::function<void()> showFtpTest;
    std::function<void()> hideFtpTestIfVisible;
};

class SetupDialog : public QDialog {
    Q_OBJECT
public:
    SetupDialog(ProfileBox& profileBox, ActivationTargets& targets, ProxyWindow& proxyWindow, QWidget* parent = nullptr);

    SetupDialogHooks hooks;

    // Fills "Video device:"; an entry's position is its driver index.
    void SetCaptureDrivers(const QStringList& drivers);
    // Auto-capturing disables "OK" while it runs, so settings cannot change under a run.
    void SetOkEnabled(bool enabled);

    void ShowInDialog(const OptionsValues& options);
    // The page "More": the settings kept beside the record.
    void ShowExtrasInDialog(const ExtraOptions& extras);
    // Builds a record from the controls over the given one (fields no control shows stay as they
    // are). Throws EConvertError for a number field holding no whole number.
    void ReadFromDialog(OptionsValues& options) const;
    // The caption page alone (text, font, colours, transparency, position), for the caption example.
    void ReadCaptionSettings(OptionsValues& options) const;

    // Buttons
    void Button1Click();  // "OK"
    void Button4Click();  // "Cancel"
    void Button10Click(); // "Defaults"
    // Exit checks of the numeric edits
    void MinEditExit();
    void SecEditExit();
    void PortEditExit();
    void FuseMinExit();
    void FuseSecExit();
    void RearmMinExit();
    void RearmSecExit();
    void FileNumberExit();
    void Edit3Exit();
    void LimitExit();
    void picqualChange();
    // Enabling rules
    void RadioButton1Click();
    void RadioButton2Click();
    void CheckBox6Click();
    void CheckBox9Click();
    void LPicIncRClick();
    void WPicIncRClick();
    void VidIncRClick();
    void TrackBar1Change();
    void TrackBar2Change();
    void WPicFixedChange();
    void PageControl1Change();

    QTabWidget* PageControl1;
    MoreSettingsPage* MorePage;
    QPushButton* Button10; // "Defaults"
    QPushButton* Button4;  // "Cancel"
    QPushButton* Button1;  // "OK"

    // "Auto capture"
    QRadioButton* RadioButton1;
    QLineEdit* MinEdit;
    QLineEdit* SecEdit;
    QRadioButton* RadioButton2;
    QCheckBox* CapPicCheckBox;
    QCheckBox* UpPicCheckBox;
    QCheckBox* CheckBox11;
    QCheckBox* CheckBox10;
    QLineEdit* Edit6;
    QPushButton* Button5;

    // "Capture options"
    QComboBox* ComboBox2;
    QLineEdit* Edit3;
    QLineEdit* picqual;
    QSlider* TrackBar1;
    QCheckBox* CheckBox12;
    QPushButton* Button9;
    QCheckBox* CheckBox9;
    QComboBox* CapAudChannels;
    QComboBox* CapAudSampleRate;
    QComboBox* CapAudResolution;
    QLabel* ChannelsLabel;
    QLabel* SampleRateLabel;
    QLabel* ResolutionLabel;

    // "Filenames"
    QRadioButton* LPicTimedR;
    QRadioButton* LPicIncR;
    QLineEdit* LPicPrefix;
    QLabel* LPicPrefixExt;
    QRadioButton* LPicFixedR;
    QLineEdit* LPicFixed;
    QRadioButton* WPicTimedR;
    QRadioButton* WPicIncR;
    QLineEdit* WPicPrefix;
    QLabel* WPicPrefixExt;
    QRadioButton* WPicFixedR;
    QLineEdit* WPicFixed;
    QLabel* WPicFixedExt;
    QLabel* HistoryLabel; // "Keep picture history of           pictures"
    QLineEdit* FileNumber;
    QLabel* Label31;
    QCheckBox* TmpUploadBox;
    QRadioButton* VidTimedR;
    QRadioButton* VidIncR;
    QLineEdit* VidPrefix;
    QLabel* VidPrefixExt;

    // "General"
    QLineEdit* Edit1;
    QPushButton* BrowsePicDir;
    QLineEdit* Edit2;
    QPushButton* BrowseVidDir;
    QLineEdit* Edit4;
    QPushButton* BrowseLogDir;
    QCheckBox* CheckBox5;
    QCheckBox* CheckBox4;
    QCheckBox* AutoUpdChk;
    QCheckBox* CheckBox7;
    QCheckBox* CheckBox8;
    QCheckBox* WarnLimit;
    QLineEdit* Limit;

    // "Motion detection"
    QGroupBox* GroupBox9;
    QSlider* TrackBar2;
    QRadioButton* MDEntirePicture;
    QRadioButton* MDUserDefinedArea;
    QLineEdit* MDbeginX;
    QLineEdit* MDbeginY;
    QLineEdit* MDendX;
    QLineEdit* MDendY;
    QPushButton* Button12;
    QCheckBox* FuseCB;
    QLineEdit* FuseMin;
    QLineEdit* FuseSec;
    QCheckBox* RearmCB;
    QLineEdit* RearmMin;
    QLineEdit* RearmSec;
    QCheckBox* MarkCB;
    ColorSwatch* MarkColor;

    // "Picture caption"
    QPlainTextEdit* Memo1; // its font and base colour are the caption's font and background
    QPushButton* Button6;
    QPushButton* FontColorButton; // the colour of the memo's font, which the font dialog lacks
    QPushButton* Button7;
    QCheckBox* CheckBox6;
    QPushButton* Button8;
    QRadioButton* TopBox;
    QRadioButton* BottomBox;
    QRadioButton* LeftBox;
    QRadioButton* CenterBox;
    QRadioButton* RightBox;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;

    // "Website"
    QCheckBox* WebsiteFTP;
    QLineEdit* FTPAddressEdit;
    QLineEdit* PortEdit;
    QLineEdit* UserNameEdit;
    QLineEdit* PasswordEdit;
    QCheckBox* CheckBox3;
    QLineEdit* UpDirEdit;
    QCheckBox* PASVCheck;
    QPushButton* Button15;
    QPushButton* Button14;
    QCheckBox* WebsiteLocal;
    QLineEdit* LocalSiteDirEdit;
    QPushButton* Button11;
    QCheckBox* OfflinePicCheck;
    QLineEdit* OfflinePicName;
    QPushButton* Button13;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildAutoCapturePage();
    QWidget* buildCaptureOptionsPage();
    QWidget* buildFilenamesPage();
    QWidget* buildGeneralPage();
    QWidget* buildMotionDetectionPage();
    QWidget* buildCaptionPage();
    QWidget* buildWebsitePage();
    void connectHandlers();

    void chooseFile(QLineEdit* edit, const QString& filter);
    void chooseFolder(QLineEdit* edit);
    void chooseFont();
    void chooseMemoColor(QPalette::ColorRole role);
    void chooseMarkColor();
    void limitMemoLength();
    void redrawExample();

    ProfileBox& profileBox_;
    ActivationTargets& targets_;
    ProxyWindow& proxy_;
    QButtonGroup* triggerGroup_;
    QButtonGroup* lpicGroup_;
    QButtonGroup* wpicGroup_;
    QButtonGroup* vidGroup_;
    QButtonGroup* areaGroup_;
    QButtonGroup* verticalGroup_;
    QButtonGroup* horizontalGroup_;
    bool settingPicqual_ = false;
    bool toldPasswordIsForgotten_ = false;
};
