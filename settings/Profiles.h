#pragma once
// Profiles: named settings records kept as files "<ProgramDir>Profiles/<name>.pfl", each exactly one
// OptionsValues image. Activation makes a record the active settings and pushes the values that live
// outside the record to their owners.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"
#include "settings/ProfileBox.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvo {

// A profile file could not be created, written, renamed or opened. what() is the system's text
// ("Permission denied", "No space left on device"), which the windows show the user as it is.
class SettingsFileError : public std::runtime_error {
public:
    SettingsFileError(const std::string& systemText, QString path)
        : std::runtime_error(systemText), path_(std::move(path)) {}
    const QString& path() const { return path_; }

private:
    QString path_;
};

// What activation drives outside the settings module, one method per step. The main window
// implements it; every method is called on the GUI thread, in the order of the declarations.
class ActivationTargets {
public:
    virtual ~ActivationTargets() = default;
    // Creates the start-at-login entry when true, removes it when false.
    virtual void ApplyStartupShortcut(bool enabled) = 0;
    // Interval of the timed trigger's timer, ms.
    virtual void SetTimedTriggerInterval(int ms) = 0;
    virtual void SetJpegQuality(int quality) = 0;
    virtual int CaptureDriverIndex() const = 0;
    virtual void SetCaptureDriverIndex(int index) = 0;
    virtual bool DriverConnected() const = 0;
    // The "&Preview" menu item's check and its command (which, with no driver, reports
    // "Driver not loaded" and unchecks the item).
    virtual bool PreviewChecked() const = 0;
    virtual void RunPreviewCommand() = 0;
    // Connects the driver once the message loop runs.
    virtual void EnableDriverTimer() = 0;
    virtual void SetFrameRates(std::uint16_t frameRate, std::uint16_t previewRate) = 0;
    virtual void SetMotionThreshold(std::int64_t threshold) = 0;
    virtual void SetFuseSeconds(int seconds) = 0;
    // Interval of the re-arm timer, ms.
    virtual void SetRearmInterval(int ms) = 0;
    // Puts the record into the setup dialog and the firewall/proxy window.
    virtual void ShowInDialog(const OptionsValues& options) = 0;
    // Puts the settings kept beside the record into the setup dialog.
    virtual void ShowExtrasInDialog(const ExtraOptions&) {}
    // The folders, naming schemes and storage limits under which old pictures and videos go.
    virtual void ApplyStorageLimits(const OptionsValues&, const StorageOptions&) {}
    // Starts, restarts or stops the live view for the profile.
    virtual void ApplyLiveView(const OptionsValues&, const LiveViewOptions&) {}
};

// Name used at start-up for "no usable current profile"; never taken as a real profile there.
inline const QString CreateDefaultSentinel = QStringLiteral("%CreateDefault%");
inline const QString DefaultProfileName = QStringLiteral("Default");

QString ProfileFolder();                    // ProgramDir() + "Profiles/"
QString ProfilePath(const QString& name);   // ProfileFolder() + name + ".pfl"
bool ProfileExists(const QString& name);

// The settings of the named profile. With SavePassword off, the FTP password comes from the secret
// store (or from this run, when the store did not take it). A missing file is created with the
// defaults, which are returned. A file shorter than one record (or unreadable after opening) logs
// "Profile <name> could not be loaded.", stays untouched, and yields the defaults.
// Throws SettingsFileError when an existing file cannot be opened, or when creating the missing one fails.
OptionsValues LoadProfile(const QString& profileName);

// Writes the record as the named profile, replacing it: to a temporary file in the same folder,
// mode 0600, renamed into place, so a failure never leaves a half-written profile. Padding and the
// bytes after string texts are written as zeros. With SavePassword off the FTP password is left out
// of the file and kept in the secret store instead; false when no store took it, so it lasts only
// until the program ends. Throws SettingsFileError (names with '/' are refused: they are not file names).
bool SaveProfile(const OptionsValues& options, const QString& profileName);

// Deletes the profile's files (the record and the settings beside it) and its stored password;
// false when a file exists and stays.
bool DeleteProfile(const QString& profileName);

// Names of the *.pfl files of the profile folder, without the extension, sorted as the profile
// list shows them (case-insensitive, then exact).
QStringList ProfileNames();

// Refills the box's list, keeps its text, and disables "Delete" exactly when one profile is listed.
void ListProfiles(ProfileBox& box);

// Makes the record the active settings, together with the extras of the profile the box names, and
// applies them, logging "Loaded profile: " + box text.
// Folders that do not exist are created (one level); one that cannot be created is shown empty in
// the setup dialog while ActiveOptions keeps the path.
void SetActive(const OptionsValues& options, const ProfileBox& box, ActivationTargets& targets);

// Start-up choice of the current profile: the stored "CurrentProfile" when its file exists,
// otherwise a fresh "Default" (which replaces an existing Default.pfl, and resets "LoadCount" to 0).
// An existing current profile that cannot be opened is reported in the log and the program runs on
// the defaults, its file left alone. Puts the name into the box and activates. The caller runs
// ListProfiles after reading the counters.
void ActivateStartupProfile(ProfileBox& box, ActivationTargets& targets);

} // namespace tarvo
