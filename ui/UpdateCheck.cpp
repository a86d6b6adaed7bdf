#include "ui/UpdateCheck.h"

#include "common/EventLog.h"
#include "ui/ProgramVersion.h"
#include "ui/VersionFile.h"

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

void CheckForUpdate(AboutView& about, const UpdateCheckConfig& config, EventLog& log)
{
    log.WriteLog(kChecking, true, kSender);
    if (about.AboutVisible())
        about.ShowResult(kChecking);

    const HttpFetchResult fetch =
        HttpGet(config.site.host, config.site.port, config.site.hostHeader, config.path, config.timeouts);
    // A failed fetch ends the check quietly; a later check starts afresh.
    if (!fetch.ok) {
        if (about.AboutVisible())
            about.ShowResult(QString());
        return;
    }
    const auto remote = ParseVersionFile(fetch.body);
    if (!remote) {
        if (about.AboutVisible())
            about.ShowResult(QString());
        log.WriteLog("The version file of the Tarvo website could not be read", true, kSender);
        return;
    }

    if (remote->number > config.versionNumber) {
        about.ShowResult(NewVersionMessage(*remote));
        if (!about.AboutVisible())
            about.ShowAbout();
        log.WriteLog("New version found: " + remote->text, true, kSender);
    } else {
        log.WriteLog(kLatest, true, kSender);
        if (about.AboutVisible()) {
            about.ShowResult(kLatest);
            about.BringAboutToFront();
        }
    }
}
