// The website side of auto-capturing: the FTP client gets the profile's connection and proxy
// settings at each start, each capture publishes its frame, and a stop cuts a running upload
// short, publishes the offline picture and closes the connection left open for the next upload.
#include "app/engine/AutoCaptureEngine.h"

#include "publish/Website.h"

void AutoCaptureEngine::ConfigureFtpClient(const OptionsValues& options) { ConfigureFtpForRun(MainFtpClient(), options); }

void AutoCaptureEngine::AbortFtpTransfer() { MainFtpClient().Abort(); }

void AutoCaptureEngine::EndFtpSession(const OptionsValues& options)
{
    FtpClient& ftp = MainFtpClient();
    // The abort that cut the frame thread's upload short must not fail the offline picture.
    ftp.ClearAbort();
    if (options.OfflinePic && options.UpPic)
        UploadOfflinePic(ftp, options);
    CloseFtpAfterRun(ftp);
}

void AutoCaptureEngine::PublishFrame(QImage& frame, const OptionsValues& options)
{
    if (options.WebsiteLocal && options.UpPic)
        SaveLocalWebsite(QString(), frame, options);
    if (options.WebsiteFTP && options.UpPic)
        SaveFTPWebsite(MainFtpClient(), QString(), frame, options);
}
