#pragma once
// The new-version check: fetches the version file from the product web site, compares its
// version with the program's own and reports the result in the event log and the About window.
// The fetch runs on a thread of its own, so the GUI thread never waits on the web site; the
// reporting happens on the GUI thread once the answer is in.
#include "net/NetworkTask.h"
#include "net/HttpGet.h"
#include "ui/ProductSite.h"

#include <QString>

namespace tarvo {

class EventLog;

// What the check needs of the About window. Called on the GUI thread only.
class AboutView {
public:
    virtual ~AboutView() = default;
    virtual bool AboutVisible() const = 0;
    virtual void ShowResult(const QString& text) = 0;
    virtual void ShowAbout() = 0;
    virtual void BringAboutToFront() = 0;
};

struct UpdateCheckConfig {
    SiteAddress site = ProductSite();
    std::string path = kVersionFilePath;
    int versionNumber = 0;
    HttpTimeouts timeouts;
};

// The program's check: its product site (TARVO_UPDATE_HOST applied) and its version number.
UpdateCheckConfig ProgramUpdateCheckConfig();

// The checks of one About window, one at a time. GUI thread.
class UpdateCheck {
public:
    explicit UpdateCheck(AboutView& about);

    // Logs and shows that the check begins and starts the fetch; a check still running is
    // abandoned for the new one.
    void Start(const UpdateCheckConfig& config, EventLog& log);
    // Abandons a running check: the fetch is aborted and nothing more is reported.
    void Stop() { task_.Stop(); }
    bool Running() const { return task_.Running(); }

private:
    void Report(const UpdateCheckConfig& config, EventLog& log, const HttpFetchResult& fetch);

    AboutView& about_;
    AbortSignal abort_;
    NetworkTask task_;
};

} // namespace tarvo
