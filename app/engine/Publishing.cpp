// The website side of auto-capturing: the FTP client gets the profile's connection and proxy
// settings at each start, each capture publishes its frame, and a stop cuts a running upload
// short, publishes the offline picture and closes the connection left open for the next upload.
#include "app/engine/AutoCaptureEngine.h"

#include "publish/Website.h"

#include <algorithm>

namespace tarvo {

namespace {
constexpr std::chrono::milliseconds ExitUploadLimit{3000};
} // namespace

void AutoCaptureEngine::ConfigureFtpClient(const OptionsValues& options) { ConfigureFtpForRun(MainFtpClient(), options); }

void AutoCaptureEngine::AbortFtpTransfer() { MainFtpClient().Abort(); }

void AutoCaptureEngine::ClearFtpAbort() { MainFtpClient().ClearAbort(); }

void AutoCaptureEngine::EndFtpSession(const OptionsValues& options)
{
    FtpClient& ftp = MainFtpClient();
    // The abort that cut the frame thread's upload short must not fail the offline picture.
    ftp.ClearAbort();
    if (options.OfflinePic && options.UpPic) {
        // At exit no server may hold the program: the offline picture gets a few seconds in all.
        const FtpTimeouts usual = ftp.Timeouts();
        if (exiting_) {
            FtpTimeouts& limits = ftp.Timeouts();
            for (std::chrono::milliseconds* limit : {&limits.connect, &limits.reply, &limits.dataAccept,
                                                     &limits.transferStall, &limits.upload})
                *limit = std::min(*limit, ExitUploadLimit);
        }
        UploadOfflinePic(ftp, options);
        ftp.Timeouts() = usual;
    }
    CloseFtpAfterRun(ftp);
}

void AutoCaptureEngine::PublishFrame(QImage& frame, const OptionsValues& options)
{
    if (options.WebsiteLocal && options.UpPic)
        SaveLocalWebsite(QString(), frame, options);
    if (options.WebsiteFTP && options.UpPic)
        SaveFTPWebsite(MainFtpClient(), QString(), frame, options);
}

} // namespace tarvo
