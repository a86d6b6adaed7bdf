#pragma once
// The live view as the main window sees it: started, restarted or stopped at each profile
// activation from the profile's [LiveView] settings, running while Tarvo runs whether or not
// auto-capturing does. Refuses to listen beyond this computer without a password.
//
// GUI thread only.
#include "app/liveview/LiveAuth.h"
#include "app/liveview/LiveRoutes.h"
#include "app/liveview/LiveServer.h"
#include "app/liveview/LiveStatus.h"
#include "settings/ExtraOptions.h"

#include <QObject>
#include <QString>
#include <memory>

namespace tarvo {

class LiveFrameHub;
struct OptionsValues;

class LiveView {
public:
    // programDir: the program folder, which holds the offline picture shown before the first frame.
    LiveView(LiveFrameHub& frames, const QString& programDir);
    ~LiveView();

    // limits: the server's connection and time limits (tests shorten them); its address, port and
    // certificate come from the settings. Port 0 takes a free port.
    void Apply(const OptionsValues& options, const LiveViewOptions& settings, LiveServerConfig limits = {});
    void Stop();

    bool Running() const { return server_ && server_->Running(); }
    // The address to open in a browser; empty while the live view is off.
    QString Url() const { return url_; }
    int Port() const { return Running() ? server_->Port() : 0; }
    LiveStatus& Status() { return status_; }
    // Set once, before the first Apply: what the page's control requests do (on the GUI thread,
    // through the event queue of this object's thread). Without a password they are refused.
    void SetControl(LiveControl control);

private:
    LiveFrameHub& frames_;
    const QString programDir_;
    LiveStatus status_;
    LiveRoutes routes_;
    std::unique_ptr<LiveAuth> auth_;
    std::unique_ptr<LiveServer> server_;
    QString url_;
    QObject controlContext_; // control requests are handed to the GUI thread through it
};

} // namespace tarvo
