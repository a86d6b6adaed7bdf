#include "publish/Website.h"

#include "common/EventLog.h"
#include "imaging/Caption.h"
#include "imaging/FileNaming.h"
#include "imaging/JpegWriter.h"
#include "common/SafeFileWrite.h"
#include "publish/ProxySettings.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <fcntl.h>

namespace tarvo {

namespace {

const QString SenderLocal = QStringLiteral("SaveLocalWebsite");
const QString SenderFtp = QStringLiteral("SaveFTPWebsite");
const QString SenderTmp = QStringLiteral("SaveFTPWebsite - TmpUpload");

void Log(const QString& msg, bool toFile, const QString& sender) { ProgramLog().WriteLog(msg, toFile, sender); }

// Calls move(source, target) for each step of the history rotation, oldest picture first.
template <typename Move> void ForEachHistoryMove(const OptionsValues& options, Move&& move)
{
    if (options.FileNumber <= 1 || options.WPicNaming != NamingFixed)
        return;
    const QString fixed = options.WPicFixed.str();
    for (int n = std::min<int>(options.FileNumber, MaxHistory) - 1; n >= 1; --n) {
        const QString target = fixed + TwoDigits(n + 1) + ".jpg";
        const QString source = n > 1 ? fixed + TwoDigits(n) + ".jpg" : fixed + ".jpg";
        if (!move(source, target))
            return;
    }
}

// The frame as the website picture: caption first when asked for, then the JPEG file. False
// with error set when either step fails.
bool WriteFramePicture(QImage& frame, const QString& fileName, const OptionsValues& options, const JpegWriter& jpeg,
                       QString& error)
{
    if (frame.isNull()) {
        error = QStringLiteral("No picture to save.");
        return false;
    }
    try {
        if (options.CaptionWebsite)
            DrawCaption(frame, options);
        return jpeg.WriteFile(frame, fileName, &error);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
        return false;
    }
}

bool CopyReplacing(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    return WriteFileReplacing(to, in.readAll());
}

// The current website picture copied to a history name. Read only as the regular file Tarvo
// wrote: a link planted under its name would otherwise publish whatever it points to.
bool CopyCurrentPicture(const QString& from, const QString& to)
{
    const UniqueFd fd = OpenRegularFile(from, O_RDONLY);
    QFile in;
    if (!fd.Valid() || !in.open(fd.Get(), QIODevice::ReadOnly))
        return false;
    return WriteFileReplacing(to, in.readAll());
}

// Holds every FTP operation of one publishing call to the client's upload limit as a whole.
class CallDeadline {
public:
    explicit CallDeadline(FtpClient& ftp) : ftp_(ftp) { ftp_.SetCallDeadline(DeadlineIn(ftp_.Timeouts().upload)); }
    ~CallDeadline() { ftp_.SetCallDeadline(std::nullopt); }
    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

private:
    FtpClient& ftp_;
};

QString ErrorText(const std::exception& e) { return QString::fromUtf8(e.what()); }

// Connects and enters UpDir when the client is not connected; false when it stays disconnected.
bool EnsureConnected(FtpClient& ftp, const OptionsValues& options)
{
    // An open connection is reused as it is (no login, no change of directory) unless the server
    // left it while idle; then this upload reconnects instead of failing on the dead connection.
    if (ftp.StillOpen())
        return true;
    const QString host = ftp.Host();
    Log("Connecting to " + host, false, SenderFtp);
    try {
        ftp.Open();
    } catch (const std::exception& e) {
        Log("Could not connect to " + host + ". Error: " + ErrorText(e), true, SenderFtp);
    }
    if (!ftp.IsOpen()) {
        Log("Error: Not connected. Could not upload picture.", true, SenderFtp);
        return false;
    }
    Log("Connected to " + host, false, SenderFtp);
    const QString upDir = options.UpDir.str();
    if (!upDir.isEmpty()) {
        try {
            ftp.ChangeDirectory(upDir);
        } catch (const std::exception&) {
            Log("Could not change to directory: " + upDir, true, SenderFtp);
        }
    }
    return ftp.IsOpen();
}

// Uploads local as remoteName; false after any failure, each logged.
bool Upload(FtpClient& ftp, const QString& local, const QString& remoteName, const OptionsValues& options)
{
    if (!options.TmpUpload) {
        try {
            ftp.StoreFile(local, remoteName);
            return true;
        } catch (const std::exception& e) {
            Log("Could not upload " + remoteName + ". Error: " + ErrorText(e), true, SenderFtp);
            return false;
        }
    }
    const QString tmp = QString::fromLatin1(TemporaryUploadName);
    try {
        ftp.StoreFile(local, tmp);
    } catch (const std::exception& e) {
        // No rename after a failed upload: the temporary file may be half-written or an older
        // picture, and must not become the website picture.
        Log("Could not upload " + tmp + ". Error: " + ErrorText(e), true, SenderTmp);
        return false;
    }
    try {
        ftp.RenameRemote(tmp, remoteName);
        return true;
    } catch (const std::exception& e) {
        Log("Could not rename " + tmp + " to " + remoteName + ". Error: " + ErrorText(e), true, SenderTmp);
        return false;
    }
}

} // namespace

void RotateLocalHistory(const QString& folder, const OptionsValues& options)
{
    // Every step replaces its target in one rename, and the current picture is copied rather than
    // moved: whenever the rotation stops, the website still has a complete current picture, which
    // the new one then replaces by a rename of its own.
    const QString current = options.WPicFixed.str() + ".jpg";
    ForEachHistoryMove(options, [&](const QString& source, const QString& target) {
        const QString from = folder + source;
        const QString to = folder + target;
        const bool moved = source == current ? CopyCurrentPicture(from, to)
                                             : ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
        // Without a picture to move up, the older one under the target's number is dropped.
        if (!moved && !QFileInfo::exists(from))
            QFile::remove(to);
        return true;
    });
}

void RotateServerHistory(FtpClient& ftp, const OptionsValues& options)
{
    ForEachHistoryMove(options, [&](const QString& source, const QString& target) {
        try {
            ftp.DeleteRemote(target);
        } catch (const std::exception&) {
        }
        try {
            ftp.RenameRemote(source, target);
        } catch (const std::exception&) {
        }
        return ftp.IsOpen(); // once the connection is gone, every further step would fail too
    });
}

void SaveLocalWebsite(const QString& offlineFileName, QImage& frame, const OptionsValues& options,
                      FileCounters& counters, const JpegWriter& jpeg)
{
    const QString folder = options.LocalSiteDir.str();
    RotateLocalHistory(folder, options);
    const QString fileName = folder + MakeFileName(FileKind::WebsitePicture, options, counters) + ".jpg";
    // Success is the outcome of this write, not the existence of a file of that name: an older
    // picture left in place must not make a failed write look successful.
    bool saved = false;
    if (!offlineFileName.isEmpty()) {
        saved = CopyReplacing(offlineFileName, fileName);
    } else {
        QString error;
        saved = WriteFramePicture(frame, fileName, options, jpeg, error);
    }
    if (saved && QFile::exists(fileName))
        Log("Picture saved as: " + fileName, true, SenderLocal);
    else
        Log("Could not save file: " + fileName, true, SenderLocal);
}

void SaveFTPWebsite(FtpClient& ftp, const QString& programDir, const QString& offlineFileName, QImage& frame,
                    const OptionsValues& options, FileCounters& counters, const JpegWriter& jpeg)
{
    CallDeadline deadline(ftp);
    if (!EnsureConnected(ftp, options))
        return;

    RotateServerHistory(ftp, options);
    const QString remoteName = MakeFileName(FileKind::WebsitePicture, options, counters) + ".jpg";
    Log("Uploading file " + remoteName + " to website", false, SenderFtp);

    const QString upPic = programDir + QLatin1String(UploadPictureName);
    const QString local = offlineFileName.isEmpty() ? upPic : offlineFileName;
    bool uploaded = false;
    QString error;
    if (!offlineFileName.isEmpty() || WriteFramePicture(frame, upPic, options, jpeg, error))
        uploaded = Upload(ftp, local, remoteName, options);
    else
        Log("Could not upload " + remoteName + ". Error: " + error, true, SenderFtp);

    if (uploaded)
        Log("Uploaded file " + remoteName + " to website", true, SenderFtp);
    if (local == upPic)
        QFile::remove(upPic);

    // Long timed intervals reconnect for every upload; otherwise the connection waits for the next.
    if (options.Trigger == TriggerTimed && (options.TimedSec > 30 || options.TimedMin > 1))
        ftp.Close();
}

void UploadOfflinePic(FtpClient& ftp, const QString& programDir, const OptionsValues& options, FileCounters& counters)
{
    if (options.WebsiteFTP || options.WebsiteLocal)
        Log("Uploading offline picture", true, QStringLiteral("TForm1.UploadOfflinePic"));
    const QString offline = options.OfflinePicName.str();
    QImage noFrame;
    const JpegWriter unused; // the offline picture is copied as it is, never encoded
    if (options.WebsiteFTP)
        SaveFTPWebsite(ftp, programDir, offline, noFrame, options, counters, unused);
    if (options.WebsiteLocal)
        SaveLocalWebsite(offline, noFrame, options, counters, unused);
}

void ConfigureFtpForRun(FtpClient& ftp, const OptionsValues& options)
{
    ftp.ClearAbort();
    ftp.SetHost(options.FTPAddress.str());
    ftp.SetPort(options.Port);
    ftp.SetUsername(options.UserName.str());
    ftp.SetPassword(options.Password.str());
    ftp.SetPassive(options.PassiveMode);
    if (options.Password.str().isEmpty())
        Log("Password for server not specified", true, QStringLiteral("TForm1.Video1VideoStream - UploadPic"));
    ApplyProxySettings(ftp.Socks(), options.UseSocks, options.SocksHost.str(), options.SocksPort,
                       options.SocksUser.str(), options.SocksPass.str(), options.SocksType.str());
}

void CloseFtpAfterRun(FtpClient& ftp)
{
    if (ftp.IsOpen())
        ftp.Close();
}

} // namespace tarvo
