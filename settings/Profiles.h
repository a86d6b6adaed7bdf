#pragma once
// Profiles: named settings records kept as files "<program folder>Profiles/<name>.pfl", each exactly one
// OptionsValues image.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"
#include "settings/ProfileBox.h"

#include <QHash>
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

// What the profile windows ask of the program around them: to show a record in the setup windows,
// and to make a record the active settings. What activation starts and stops is the program's
// business (app/core/Activation.h), not the settings module's.
class ProfileActivation {
public:
    virtual ~ProfileActivation() = default;
    // Puts the record into the setup dialog and the firewall/proxy window.
    virtual void ShowInDialog(const OptionsValues& options) = 0;
    // Puts the settings kept beside the record into the setup dialog.
    virtual void ShowExtrasInDialog(const ExtraOptions&) {}
    // Makes the record the active settings, together with the extras of the profile the box names.
    virtual void Activate(const OptionsValues& options, const ProfileBox& box) = 0;
};

// Name used at start-up for "no usable current profile"; never taken as a real profile there.
inline const QString CreateDefaultSentinel = QStringLiteral("%CreateDefault%");
inline const QString DefaultProfileName = QStringLiteral("Default");

class SecretStore;

// The FTP passwords that profiles keep out of their files ("Save Password" off): in the secret
// store, or, for a password the store does not take, until the program ends. GUI thread only.
class ProfilePasswords {
public:
    explicit ProfilePasswords(SecretStore& store) : store_(store) {}

    // The password of the record goes to the store; a saved or empty one takes any stored copy
    // away. False when the password lasts only for this run.
    // Passwords are kept under the profile file's path, so two program folders with a profile of
    // the same name never share or overwrite one password.
    bool Keep(const OptionsValues& options, const QString& profilePath);
    // A record that keeps its password out of the file takes it from the store, or else from this
    // run; a password the file holds stays (files of earlier copies hold it whatever the box said).
    void Restore(OptionsValues& options, const QString& profilePath);
    void Forget(const QString& profilePath);

private:
    SecretStore& store_;
    QHash<QString, QString> run_; // by secret key
};

// programDir: the program folder, ending in '/'.
QString ProfileFolder(const QString& programDir);                         // programDir + "Profiles/"
QString ProfilePath(const QString& programDir, const QString& name);      // ProfileFolder() + name + ".pfl"
bool ProfileExists(const QString& programDir, const QString& name);

// The settings of the named profile. With SavePassword off, the FTP password comes from passwords. A missing file is created with the
// defaults, which are returned. A file shorter than one record (or unreadable after opening) logs
// "Profile <name> could not be loaded.", stays untouched, and yields the defaults.
// Throws SettingsFileError when an existing file cannot be opened, or when creating the missing one fails.
OptionsValues LoadProfile(const QString& programDir, const QString& profileName, ProfilePasswords& passwords);

// Writes the record as the named profile, replacing it: to a temporary file in the same folder,
// mode 0600, renamed into place, so a failure never leaves a half-written profile. Padding and the
// bytes after string texts are written as zeros. With SavePassword off the FTP password is left out
// of the file and kept in passwords instead; false when no store took it, so it lasts only until the
// program ends. Throws SettingsFileError (names with '/' are refused: they are not file names).
bool SaveProfile(const QString& programDir, const OptionsValues& options, const QString& profileName,
                 ProfilePasswords& passwords);

// Deletes the profile's files (the record and the settings beside it) and its stored password;
// false when a file exists and stays.
bool DeleteProfile(const QString& programDir, const QString& profileName, ProfilePasswords& passwords);

// Names of the *.pfl files of the profile folder, without the extension, sorted as the profile
// list shows them (case-insensitive, then exact).
QStringList ProfileNames(const QString& programDir);

// Refills the box's list, keeps its text, and disables "Delete" exactly when one profile is listed.
void ListProfiles(const QString& programDir, ProfileBox& box);

} // namespace tarvo
