#pragma once
// What each address of the live view answers: "/" the page, "/current.jpg" the newest frame,
// "/stream.mjpg" the frames as a multipart stream, "/status.json" the page's state,
// "/recent/<name>" one of Tarvo's own pictures or clips, "/clip/<name>" and "/poster/<name>" a
// clip as a stream of its frames at their pace and its first frame, and the control requests
// "/control/autocapture" (body "on" or "off") and "/control/picture". Runs on the server's
// connection threads, after the server let the request in.
#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>

struct MHD_Response;
class QObject;

namespace tarvo {

class LiveFrameHub;
class LiveStatus;

struct LiveAnswer {
    unsigned status = 404;
    MHD_Response* response = nullptr; // owned by the caller, which queues and destroys it
};

// One request as the server read it.
struct LiveRequest {
    QByteArray method;
    QByteArray path; // percent-decoded
    QByteArray body; // of a POST, at most a few bytes
    QByteArray origin;
    QByteArray token; // the X-Tarvo-Token header
    QByteArray host;
    QHostAddress from;
    bool tls = false;
    bool passwordSet = false;
};

// What a control request asks; done on the GUI thread by the program's own commands.
enum class LiveCommand { AutoCapturingOn, AutoCapturingOff, Picture };
struct LiveCommandResult {
    bool done = false;
    QString message; // what happened or why not
};
using LiveControl = std::function<LiveCommandResult(LiveCommand)>;

class LiveRoutes {
public:
    LiveRoutes(LiveFrameHub& frames, LiveStatus& status);

    // The frame shown while the camera has given none yet.
    void SetPlaceholder(QByteArray jpeg) { placeholder_ = std::move(jpeg); }
    // GUI thread, before the server starts: control requests run `control` through gui's event
    // queue; the page proves it is Tarvo's own with `token`.
    void SetControl(QObject* gui, LiveControl control);
    void SetToken(QByteArray token) { token_ = std::move(token); }

    LiveAnswer Answer(const LiveRequest& request) const;

    // Text answers of the server itself (401, 405, 503).
    static MHD_Response* TextResponse(const char* text);

    // A stream ends when this is set (the server stops), and repeats its last frame after this long
    // without a new one, so a still scene does not look like a dead connection.
    std::atomic<bool> stopping{false};
    static constexpr std::chrono::milliseconds RepeatAfter{2000};
    // How long a picture or a stream's first part waits for a frame taken after the request.
    static constexpr std::chrono::milliseconds FreshWait{3000};
    // How long a control request waits for the GUI thread.
    static constexpr std::chrono::seconds ControlWait{10};

private:
    LiveAnswer Page() const;
    LiveAnswer Current() const;
    LiveAnswer Stream() const;
    LiveAnswer Status(bool passwordSet) const;
    LiveAnswer Recent(const QByteArray& name) const;
    LiveAnswer Clip(const QByteArray& name, bool posterOnly) const;
    LiveAnswer Control(const LiveRequest& request) const;
    LiveCommandResult RunOnGui(LiveCommand command) const;

    LiveFrameHub& frames_;
    LiveStatus& status_;
    QByteArray placeholder_;
    QObject* gui_ = nullptr;
    LiveControl control_;
    QByteArray token_;
};

} // namespace tarvo
