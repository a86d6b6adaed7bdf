#pragma once
// The objectNames of the window controls the tests reach, under what each control is. The names
// themselves are the program's (its log lines and the windows use them) and must not change.

namespace tarvo {

// The setup dialog
inline constexpr const char* kSetupOkButton = "Button1";
inline constexpr const char* kSetupCancelButton = "Button4";
inline constexpr const char* kSetupDefaultsButton = "Button10";
inline constexpr const char* kSetupPages = "PageControl1";
inline constexpr const char* kSetupTimedTrigger = "RadioButton1";
inline constexpr const char* kSetupMotionTrigger = "RadioButton2";
inline constexpr const char* kSetupPlaySound = "CheckBox10";
inline constexpr const char* kSetupSoundFile = "Edit6";
inline constexpr const char* kSetupBrowseSoundButton = "Button5";
inline constexpr const char* kSetupVideoDevice = "ComboBox2";
inline constexpr const char* kSetupFrameRate = "Edit3";
inline constexpr const char* kSetupQualitySlider = "TrackBar1";
inline constexpr const char* kSetupCompressionButton = "Button9";
inline constexpr const char* kSetupCaptureAudio = "CheckBox9";
inline constexpr const char* kSetupHistoryNames = "Label31";
inline constexpr const char* kSetupPictureFolder = "Edit1";
inline constexpr const char* kSetupSensitivitySlider = "TrackBar2";
inline constexpr const char* kSetupSensitivityGroup = "GroupBox9";
inline constexpr const char* kSetupCaptionText = "Memo1";
inline constexpr const char* kSetupBackColourButton = "Button7";
inline constexpr const char* kSetupTransparentBack = "CheckBox6";
inline constexpr const char* kSetupSavePassword = "CheckBox3";
// The firewall/proxy window
inline constexpr const char* kProxyEnabled = "CheckBox1";
inline constexpr const char* kProxyServerGroup = "GroupBox1";
inline constexpr const char* kProxyCloseButton = "Button1";
// The profile selection window
inline constexpr const char* kProfileSelectOkButton = "Button1";
inline constexpr const char* kProfileSelectDeleteButton = "Button10";
inline constexpr const char* kProfileSelectNewButton = "Button11";
// The profile name window
inline constexpr const char* kProfileNameEdit = "Edit1";
inline constexpr const char* kProfileNameOkButton = "Button1";
inline constexpr const char* kProfileNameCancelButton = "Button2";
// The About window
inline constexpr const char* kAboutOkButton = "Button1";
inline constexpr const char* kAboutCheckButton = "Button2";
inline constexpr const char* kAboutSiteLink = "Label10";
// A popup warning
inline constexpr const char* kPopupText = "Label1";
inline constexpr const char* kPopupOkButton = "Button1";
// The FTP settings test window
inline constexpr const char* kFtpTestReport = "Memo1";
inline constexpr const char* kFtpTestOkButton = "Button1";
// The caption example and detection-area window
inline constexpr const char* kCaptionWindowPicture = "Image1";

} // namespace tarvo
