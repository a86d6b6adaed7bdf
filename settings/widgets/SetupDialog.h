#pragma once
// The setup dialog (form TForm3, "Setup"): every setting of the current profile on seven pages. Its controls mirror one
// OptionsValues record (with the SOCKS controls of the firewall/proxy window): ShowInDialog fills
// them, ReadFromDialog builds a record from them, "OK" saves the record under the profile box's
// name and activates it. Modeless; lives for the whole run. Other windows get typed values from it
// (the caption example the caption page, the FTP test the website page); each control carries its
// form name as objectName.
#include "settings/DetectionArea.h"
#include "settings/ExtraOptions.h"
#include "settings/FtpTestSettings.h"
#include "settings/OptionsValues.h"

#include <QDialog>
#include <QPalette>
#include <QStringList>
#include <functional>
#include <vector>

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

namespace tarvo {

class ActiveSettings;
class ProfileActivation;
class ProfilePasswords;
class ColorSwatch;
class DialogMessages;
class MoreSettingsPage;
class ProfileBox;
class ProxyWindow;
struct DialogField;

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
    SetupDialog(const QString& programDir, ProfileBox& profileBox, const ActiveSettings& settings, ProfilePasswords& passwords,
                ProfileActivation& targets, ProxyWindow& proxyWindow, DialogMessages& messages, QWidget* parent = nullptr);

    SetupDialogHooks hooks;

    // Fills "Video device:"; an entry's position is its driver index.
    void SetCaptureDrivers(const QStringList& drivers);
    // Auto-capturing disables "OK" while it runs, so settings cannot change under a run.
    void SetOkEnabled(bool enabled);

    void ShowInDialog(const OptionsValues& options);
    // The page "More": the settings kept beside the record.
    void ShowExtrasInDialog(const ExtraOptions& extras);
    // Builds a record from the controls over the given one (fields no control shows stay as they
    // are). Throws ConvertError for a number field holding no whole number.
    void ReadFromDialog(OptionsValues& options) const;
    // The caption page alone (text, font, colours, transparency, position), for the caption example.
    void ReadCaptionSettings(OptionsValues& options) const;

    // The detection area as the area boxes show it (text that is no number counts as 0).
    DetectionArea ShownArea() const;
    // The shown area and whether "User defined area:" is chosen, over the given record.
    void ReadShownArea(OptionsValues& options) const;
    // Puts a newly defined area into the boxes and chooses "User defined area:".
    void ShowArea(const DetectionArea& area);
    // The motion detection sensitivity the slider shows.
    int ShownSensitivity() const;
    // The page "More" tells how much the scene in view changes.
    void ShowSceneChange(int changedPoints, int gridPoints, int largestGroup);
    // The FTP and proxy settings as typed, not yet accepted, for the FTP test.
    FtpTestSettings TypedFtpSettings() const;

    // "OK": saves the record under the profile box's name and activates it.
    void Accept();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void Cancel();
    void RestoreDefaults();
    void CheckHistoryCount();
    void QualityTyped();
    void QualitySlid();
    void ShowSensitivity();
    void ShowHistoryNames();
    // Enabling rules
    void EnableAlarmActions(bool enabled);
    void UpdateBackgroundButton();
    void UpdateAudioControls();
    void UpdateLocalPrefix();
    void UpdateWebsiteNaming();
    void UpdateVideoPrefix();
    void PageChanged();

private:
    QWidget* buildAutoCapturePage();
    QWidget* buildCaptureOptionsPage();
    QWidget* buildFilenamesPage();
    QWidget* buildGeneralPage();
    QWidget* buildMotionDetectionPage();
    QWidget* buildCaptionPage();
    QWidget* buildWebsitePage();
    void connectHandlers();
    // The controls that show one record field each, as they are.
    std::vector<DialogField> fieldTable() const;

    void chooseFile(QLineEdit* edit, const QString& filter);
    void chooseFolder(QLineEdit* edit);
    void chooseFont();
    void chooseCaptionColor(QPalette::ColorRole role);
    void chooseMarkColor();
    void limitCaptionLength();
    void redrawExample();

    ProfileBox& profileBox_;
    const ActiveSettings& settings_;
    const QString programDir_;
    ProfilePasswords& passwords_;
    DialogMessages& messages_;
    ProfileActivation& targets_;
    ProxyWindow& proxy_;
    QButtonGroup* triggerGroup_;
    QButtonGroup* lpicGroup_;
    QButtonGroup* wpicGroup_;
    QButtonGroup* vidGroup_;
    QButtonGroup* areaGroup_;
    QButtonGroup* verticalGroup_;
    QButtonGroup* horizontalGroup_;
    bool settingQuality_ = false;
    bool toldPasswordIsForgotten_ = false;

    QTabWidget* pages_;
    MoreSettingsPage* morePage_;
    QPushButton* defaultsButton_;
    QPushButton* cancelButton_;
    QPushButton* okButton_;

    // "Auto capture"
    QRadioButton* timedTrigger_;
    QLineEdit* intervalMinutes_;
    QLineEdit* intervalSeconds_;
    QRadioButton* motionTrigger_;
    QCheckBox* savePicture_;
    QCheckBox* updateWebsite_;
    QCheckBox* showPopup_;
    QCheckBox* playSound_;
    QLineEdit* soundFile_;
    QPushButton* browseSound_;

    // "Capture options"
    QComboBox* videoDevice_;
    QLineEdit* frameRate_;
    QLineEdit* qualityText_;
    QSlider* qualitySlider_;
    QCheckBox* saveAsBitmap_;
    QPushButton* compressionButton_;
    QCheckBox* captureAudio_;
    QComboBox* audioChannels_;
    QComboBox* audioSampleRate_;
    QComboBox* audioResolution_;
    QLabel* channelsLabel_;
    QLabel* sampleRateLabel_;
    QLabel* resolutionLabel_;

    // "Filenames"
    QRadioButton* localTimed_;
    QRadioButton* localIncrementing_;
    QLineEdit* localPrefix_;
    QLabel* localPrefixExt_;
    QRadioButton* localFixed_;
    QLineEdit* localFixedName_;
    QRadioButton* webTimed_;
    QRadioButton* webIncrementing_;
    QLineEdit* webPrefix_;
    QLabel* webPrefixExt_;
    QRadioButton* webFixed_;
    QLineEdit* webFixedName_;
    QLabel* webFixedExt_;
    QLabel* historyLabel_; // "Keep picture history of           pictures"
    QLineEdit* historyCount_;
    QLabel* historyNames_;
    QCheckBox* tempUploadName_;
    QRadioButton* videoTimed_;
    QRadioButton* videoIncrementing_;
    QLineEdit* videoPrefix_;
    QLabel* videoPrefixExt_;

    // "General"
    QLineEdit* pictureFolder_;
    QPushButton* browsePictureFolder_;
    QLineEdit* videoFolder_;
    QPushButton* browseVideoFolder_;
    QLineEdit* logFolder_;
    QPushButton* browseLogFolder_;
    QCheckBox* loadAtStartup_;
    QCheckBox* autoCaptureAtStart_;
    QCheckBox* checkForUpdates_;
    QCheckBox* createLogfile_;
    QCheckBox* clickSound_;
    QCheckBox* warnLimit_;
    QLineEdit* limitMegabytes_;

    // "Motion detection"
    QGroupBox* sensitivityGroup_;
    QSlider* sensitivity_;
    QRadioButton* entirePicture_;
    QRadioButton* userDefinedArea_;
    QLineEdit* areaBeginX_;
    QLineEdit* areaBeginY_;
    QLineEdit* areaEndX_;
    QLineEdit* areaEndY_;
    QPushButton* defineAreaButton_;
    QCheckBox* fuse_;
    QLineEdit* fuseMinutes_;
    QLineEdit* fuseSeconds_;
    QCheckBox* rearm_;
    QLineEdit* rearmMinutes_;
    QLineEdit* rearmSeconds_;
    QCheckBox* markImages_;
    ColorSwatch* markColor_;

    // "Picture caption"
    QPlainTextEdit* captionText_; // its font and base colour are the caption's font and background
    QPushButton* fontButton_;
    QPushButton* fontColorButton_; // the caption text's colour, which the font dialog lacks
    QPushButton* backColorButton_;
    QCheckBox* transparentBack_;
    QPushButton* exampleButton_;
    QRadioButton* captionTop_;
    QRadioButton* captionBottom_;
    QRadioButton* captionLeft_;
    QRadioButton* captionCenter_;
    QRadioButton* captionRight_;
    QCheckBox* captionLocal_;
    QCheckBox* captionWebsite_;

    // "Website"
    QCheckBox* ftpEnabled_;
    QLineEdit* ftpHost_;
    QLineEdit* ftpPort_;
    QLineEdit* ftpUser_;
    QLineEdit* ftpPassword_;
    QCheckBox* savePassword_;
    QLineEdit* uploadDir_;
    QCheckBox* passiveMode_;
    QPushButton* proxyButton_;
    QPushButton* testFtpButton_;
    QCheckBox* localSiteEnabled_;
    QLineEdit* localSiteFolder_;
    QPushButton* browseLocalSite_;
    QCheckBox* offlinePicture_;
    QLineEdit* offlinePictureFile_;
    QPushButton* browseOfflinePicture_;
};

} // namespace tarvo
