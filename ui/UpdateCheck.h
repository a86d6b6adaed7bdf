#pragma once
// The new-version check: fetches the version file from the product web site, compares its
// version with the program's own and reports the result in the event log and the About window.
// Runs on the GUI thread and blocks it until the answer is complete or the time limits pass.
#include "ui/HttpGet.h"
#include "ui/ProductSite.h"

#include <QString>

class EventLog;

// What the check needs of the About window.
class AboutView {
public:
    virtual ~AboutView() = default;
    virtual bool AboutVisible() const = 0;
    // Sets the result text and repaints at once, so it is seen while the GUI thread waits.
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

void CheckForUpdate(AboutView& about, const UpdateCheckConfig& config, EventLog& log);
