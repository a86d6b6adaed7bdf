#pragma once
// The setup dialog's page "More": the settings kept beside the record (ExtraOptions), one group per
// feature. Shows and reads typed values; the dialog saves them with the record.
#include "settings/ExtraOptions.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tarvo {

class MoreSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit MoreSettingsPage(QWidget* parent = nullptr);

    void Show(const ExtraOptions& extras);
    // Only the fields this page shows are replaced.
    void Read(ExtraOptions& extras) const;

    // How many grid points the scene in view changes at the moment, and the largest group of them,
    // so the user can choose both numbers; a negative count clears the line.
    void ShowSceneChange(int changedPoints, int gridPoints, int largestGroup);

signals:
    // "Watch the scene": the user wants to see how much the scene in view changes.
    void watchSceneRequested();

private:
    void updateEnabling();

    QGroupBox* alarmsGroup_;
    QSpinBox* minChangedPoints_;
    QSpinBox* minGroupPoints_;
    QLabel* sceneChange_;
    QPushButton* watchScene_;
    QCheckBox* ignoreLightChange_;
    QSpinBox* lightChangePercent_;
    QLabel* lightChangeLabel_;
    QCheckBox* desktopNotification_;
    QLineEdit* command_;
    QSpinBox* maxMegabytes_;
    QSpinBox* maxDays_;
    QCheckBox* clipsEnabled_;
    QWidget* clipLimits_; // the clip's lengths and sound, usable only while clips are on
    QSpinBox* preSeconds_;
    QSpinBox* postSeconds_;
    QSpinBox* maxSeconds_;
    QCheckBox* clipAudio_;
    QCheckBox* liveEnabled_;
    QComboBox* liveListen_;
    QSpinBox* livePort_;
    QLineEdit* liveUser_;
    QLineEdit* livePassword_; // a new password; empty keeps the one set
    QLabel* livePasswordState_;
    QPushButton* liveRemovePassword_;
    QSpinBox* liveFps_;
    QLineEdit* liveCert_;
    QLineEdit* liveKey_;
    QGroupBox* liveGroup_;
    QString liveHash_; // the hash shown; the password itself is never kept
};

} // namespace tarvo
