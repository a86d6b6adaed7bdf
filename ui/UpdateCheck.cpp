#include "ui/UpdateCheck.h"

#include "common/EventLog.h"
#include "ui/ProgramVersion.h"
#include "ui/VersionFile.h"

namespace tarvo {

namespace {
const QString kSender = "CheckForUpdate";
const QString kChecking = "Checking for newer version...";
const QString kLatest = "You are using the latest version of Tarvo.";
} // namespace

UpdateCheckConfig ProgramUpdateCheckConfig()
{
    UpdateCheckConfig config;
    config.versionNumber = VersionNumber;
    return config;
}

UpdateCheck::UpdateCheck(AboutView& about) : about_(about), task_(abort_) {}

void UpdateCheck::Start(const UpdateCheckConfig& config, EventLog& log)
{
    task_.Stop();
    log.WriteLog(kChecking, true, kSender);
    if (about_.AboutVisible())
        about_.ShowResult(kChecking);
    const AbortSignal* abort = &abort_;
    task_.Start([this, config, &log, abort](const NetworkTask::Poster& post) {
        HttpFetchResult fetch =
            HttpGet(config.site.host, config.site.port, config.site.hostHeader, config.path, config.timeouts, {}, abort);
        post([this, config, &log, fetch = std::move(fetch)] { Report(config, log, fetch); });
    });
}

void UpdateCheck::Report(const UpdateCheckConfig& config, EventLog& log, const HttpFetchResult& fetch)
{
    // A failed fetch ends the check quietly; a later check starts afresh.
    if (!fetch.ok) {
        if (about_.AboutVisible())
            about_.ShowResult(QString());
        return;
    }
    const auto remote = ParseVersionFile(fetch.body);
    if (!remote) {
        if (about_.AboutVisible())
            about_.ShowResult(QString());
        log.WriteLog("The version file of the Tarvo website could not be read", true, kSender);
        return;
    }

    if (remote->number > config.versionNumber) {
        about_.ShowResult(NewVersionMessage(*remote));
        if (!about_.AboutVisible())
            about_.ShowAbout();
        log.WriteLog("New version found: " + remote->text, true, kSender);
    } else {
        log.WriteLog(kLatest, true, kSender);
        if (about_.AboutVisible()) {
            about_.ShowResult(kLatest);
            about_.BringAboutToFront();
        }
    }
}

} // namespace tarvo
