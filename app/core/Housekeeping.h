#pragma once
// Small duties of the main window around the capture work: the start-at-login entry, the
// log-folder size warning and the folder copies for the external picture viewer.
#include <QString>

namespace tarvo {

class EventLog;
class PerUserStore;
struct OptionsValues;

// $XDG_CONFIG_HOME/autostart/ (default ~/.config/autostart/); empty when neither is known.
QString AutostartDir();
// The start-at-login entry's full path; empty when AutostartDir() is.
QString AutostartEntryPath();

// Writes the start-at-login entry that runs target with "-m" in the current working folder.
// Nothing is written when there is no autostart folder. False when the entry could not be written.
bool CreateShortcut(const QString& target);

// Brings the start-at-login entry in line with LoadAtStartup: written for the running program
// when enable, removed otherwise. Problems are reported through log.
void StartMenu(bool enable, EventLog& log);

// A folder string of the settings split at its last '/': the folder (with its '/'; "./" when there
// is none) and the text after it, which new file names are glued onto.
struct FolderAndPrefix {
    QString folder;
    QString prefix;
};
FolderAndPrefix SplitFolderString(const QString& folderAndPrefix);

// Bytes and number of the pictures (*.bmp, *.jpg in pictureDir) and videos (*.avi in videoDir).
// The folder strings end with '/'; text after the last '/' is a file-name prefix, as when the
// pattern is glued onto the folder. Missing folders count nothing.
struct LogFolderUsage {
    qint64 bytes = 0;
    int files = 0;
};
LogFolderUsage MeasureLogFolders(const QString& pictureDir, const QString& videoDir);

// The popup text when the pictures and videos exceed limitMb whole megabytes; empty otherwise.
QString LogSizeWarning(const LogFolderUsage& usage, int limitMb);

// The folders the external viewer reads: "LogfileDir", "VideoDir", "PictureDir".
void StoreViewerFolders(PerUserStore& store, const OptionsValues& options);

} // namespace tarvo
