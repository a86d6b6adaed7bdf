#pragma once
// Publishing the website picture: into the local website folder and onto the FTP server, with the
// history of earlier pictures under numbered names and the temporary upload name. Runs on the
// frame thread for captures and, for the offline picture, on a network task thread after a stop
// or on the GUI thread at exit; the FTP client passed in is used by one of them at a time.
#include "net/FtpClient.h"
#include "settings/OptionsValues.h"

#include <QImage>
#include <QString>

namespace tarvo {

class FileCounters;
class JpegWriter;

// Temporary name of an upload on the server, renamed to the picture's name once complete.
inline constexpr const char* TemporaryUploadName = "TarvoUp.tmp";
// The local JPEG made of the frame for one upload, in the program folder.
inline constexpr const char* UploadPictureName = "UpPic.jpg";

// Moves the website pictures one history number up in folder (ends with '/'): the oldest is
// dropped and the current name is freed. Only with the fixed-name scheme and a history above 1.
void RotateLocalHistory(const QString& folder, const OptionsValues& options);
// The same in the server's current directory; every failure is ignored.
void RotateServerHistory(FtpClient& ftp, const OptionsValues& options);

// Writes the website picture into LocalSiteDir: a copy of offlineFileName when that is not empty,
// else frame made a JPEG by jpeg (with the caption drawn in when CaptionWebsite is on), under a
// name of the website naming scheme drawn from counters.
void SaveLocalWebsite(const QString& offlineFileName, QImage& frame, const OptionsValues& options,
                      FileCounters& counters, const JpegWriter& jpeg);

// Uploads the website picture with ftp, connecting and entering UpDir first when it is not
// connected, and closing afterwards for long timed intervals. The picture is made as by
// SaveLocalWebsite, in the program folder programDir.
void SaveFTPWebsite(FtpClient& ftp, const QString& programDir, const QString& offlineFileName, QImage& frame,
                    const OptionsValues& options, FileCounters& counters, const JpegWriter& jpeg);

// At the stop of auto-capturing: the offline picture, FTP first, then the local folder.
void UploadOfflinePic(FtpClient& ftp, const QString& programDir, const OptionsValues& options, FileCounters& counters);

// The FTP steps of starting auto-capturing: connection and proxy settings into ftp, a log line
// when the password is empty, and any earlier abort cleared.
void ConfigureFtpForRun(FtpClient& ftp, const OptionsValues& options);
// The FTP step of stopping: a connection left open for the next upload is closed.
void CloseFtpAfterRun(FtpClient& ftp);

} // namespace tarvo
