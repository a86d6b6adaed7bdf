#pragma once
// Settings beyond the fixed record: "Profiles/<name>.ini" beside "<name>.pfl", one INI group per
// feature. The record's byte layout stays as it is for the files and programs that rely on it;
// everything newer lives here. Every default switches its feature off, so a profile without the
// file behaves exactly as before.
#include <QString>

namespace tarvo {

// Fewer false alarms and the user's own alarm hooks.
struct AlarmOptions {
    int MinChangedPoints = 1; // 1: a single grid point over the threshold is motion
    bool IgnoreLightChange = false;
    // Share of the grid points that must follow one change of brightness for it to be light
    int LightChangePercent = 60;
    bool DesktopNotification = false;
    QString Command; // run without a shell on each armed alarm; empty: none
    int MinGroupPoints = 1; // changed points touching one another, needed as well; 1: any point

    // One row per key: the INI key, the field, and for numbers the allowed range.
    template <class Visitor> void Visit(Visitor&& v)
    {
        v("MinChangedPoints", MinChangedPoints, 1, 10000);
        v("MinGroupPoints", MinGroupPoints, 1, 10000);
        v("IgnoreLightChange", IgnoreLightChange);
        v("LightChangePercent", LightChangePercent, 10, 100);
        v("DesktopNotification", DesktopNotification);
        v("Command", Command);
    }
    bool operator==(const AlarmOptions&) const = default;
};

// Limits under which Tarvo keeps its own pictures and videos by removing the oldest.
struct StorageOptions {
    int MaxMegabytes = 0; // 0: no limit on the size of the picture and video folders
    int MaxDays = 0;      // 0: pictures and videos are kept whatever their age

    template <class Visitor> void Visit(Visitor&& v)
    {
        v("MaxMegabytes", MaxMegabytes, 0, 10000000);
        v("MaxDays", MaxDays, 0, 36500);
    }
    bool Limited() const { return MaxMegabytes > 0 || MaxDays > 0; }
    bool operator==(const StorageOptions&) const = default;
};

// A video of each motion alarm, from a few seconds before it until the scene is still again.
struct ClipOptions {
    bool Enabled = false;
    int PreSeconds = 3;  // kept in memory before the alarm
    int PostSeconds = 5; // recorded on after the last motion
    int MaxSeconds = 60; // a clip never runs longer
    bool Audio = false;  // with the sound of the microphone (the test device: a test tone)

    template <class Visitor> void Visit(Visitor&& v)
    {
        v("Enabled", Enabled);
        v("PreSeconds", PreSeconds, 0, 30);
        v("PostSeconds", PostSeconds, 1, 300);
        v("MaxSeconds", MaxSeconds, 5, 3600);
        v("Audio", Audio);
    }
    bool operator==(const ClipOptions&) const = default;
};

// The live view: the current picture, a live stream and the recent pictures for a browser on the
// home network, behind a password.
struct LiveViewOptions {
    bool Enabled = false;
    QString Listen = QStringLiteral("127.0.0.1"); // "0.0.0.0" or "::" for the home network
    int Port = 8081; // 0: any free port, as the log then tells
    QString User = QStringLiteral("tarvo");
    QString PasswordHash; // see PasswordHash.h; empty: no password
    int StreamFps = 5;
    QString CertFile; // both set: HTTPS; empty: plain HTTP
    QString KeyFile;

    template <class Visitor> void Visit(Visitor&& v)
    {
        v("Enabled", Enabled);
        v("Listen", Listen);
        v("Port", Port, 0, 65535);
        v("User", User);
        v("PasswordHash", PasswordHash);
        v("StreamFps", StreamFps, 1, 30);
        v("CertFile", CertFile);
        v("KeyFile", KeyFile);
    }
    bool operator==(const LiveViewOptions&) const = default;
};

struct ExtraOptions {
    AlarmOptions Alarms;
    StorageOptions Storage;
    ClipOptions Clips;
    LiveViewOptions LiveView;

    // One row per INI group.
    template <class Visitor> void VisitGroups(Visitor&& v)
    {
        v("Alarms", Alarms);
        v("Storage", Storage);
        v("Clips", Clips);
        v("LiveView", LiveView);
    }
    bool operator==(const ExtraOptions&) const = default;
};

QString ExtrasPath(const QString& programDir, const QString& profileName); // ProfileFolder() + name + ".ini"

// The profile's extras. A missing file or key means the default, a number out of range is clamped,
// and a damaged file gives the defaults and one log line.
ExtraOptions LoadExtras(const QString& programDir, const QString& profileName);

// Writes the extras of the named profile, replacing them: to a temporary file in the same folder,
// mode 0600, renamed into place. Throws SettingsFileError.
void SaveExtras(const QString& programDir, const ExtraOptions& extras, const QString& profileName);

// Removes the profile's extras file; true when none is left.
bool DeleteExtras(const QString& programDir, const QString& profileName);

} // namespace tarvo
