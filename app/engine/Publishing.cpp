// The website side of auto-capturing: the FTP client gets the profile's connection and proxy
// settings at each start, each capture publishes its frame, and a stop cuts a running upload
// short, publishes the offline picture and closes the connection left open for the next upload.
#include "app/engine/AutoCaptureEngine.h"

#include "net/NetworkTask.h"
#include "publish/Website.h"

#include <algorithm>

namespace tarvo {

namespace {
constexpr std::chrono::milliseconds ExitUploadLimit{3000};
} // namespace

void AutoCaptureEngine::ConfigureFtpClient(const OptionsValues& options) { ConfigureFtpForRun(*ftp_, options); }

void AutoCaptureEngine::AbortFtpTransfer() { ftp_->Abort(); }

void AutoCaptureEngine::ClearFtpAbort() { ftp_->ClearAbort(); }

namespace {
void FinishFtpSession(FtpClient& ftp, const QString& programDir, const OptionsValues& options, FileCounters& counters)
{
    if (options.OfflinePic && options.UpPic)
        UploadOfflinePic(ftp, programDir, options, counters);
    CloseFtpAfterRun(ftp);
}
} // namespace

void AutoCaptureEngine::EndFtpSession(const OptionsValues& options)
{
    FtpClient& ftp = *ftp_;
    // The abort that cut the frame thread's upload short must not fail the offline picture.
    ftp.ClearAbort();
    if (!exiting_) {
        // The stream has stopped, so the client is free: the server is waited for on the network
        // worker, with the usual limits, while the menus answer.
        if (!ftpSessionEnd_)
            ftpSessionEnd_ = std::make_unique<NetworkTask>(ftp.SharedAbort());
        ftpSessionEnd_->Start([&ftp, &counters = counters_, programDir = programDir_,
                               options = options](const NetworkTask::Poster&) {
            FinishFtpSession(ftp, programDir, options, counters);
        });
        return;
    }
    // At exit no server may hold the program: the offline picture gets a few seconds in all.
    const FtpTimeouts usual = ftp.Timeouts();
    FtpTimeouts& limits = ftp.Timeouts();
    for (std::chrono::milliseconds* limit :
         {&limits.connect, &limits.reply, &limits.dataAccept, &limits.transferStall, &limits.upload})
        *limit = std::min(*limit, ExitUploadLimit);
    FinishFtpSession(ftp, programDir_, options, counters_);
    ftp.Timeouts() = usual;
}

void AutoCaptureEngine::CancelFtpSessionEnd()
{
    if (ftpSessionEnd_)
        ftpSessionEnd_->Stop();
}

void AutoCaptureEngine::PublishFrame(QImage& frame, const OptionsValues& options)
{
    if (options.WebsiteLocal && options.UpPic)
        SaveLocalWebsite(QString(), frame, options, counters_, jpeg_);
    if (options.WebsiteFTP && options.UpPic)
        SaveFTPWebsite(*ftp_, programDir_, QString(), frame, options, counters_, jpeg_);
}

} // namespace tarvo
