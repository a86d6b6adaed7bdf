#pragma once
// What each address of the live view answers: "/" the page, "/current.jpg" the newest frame,
// "/stream.mjpg" the frames as a multipart stream, "/status.json" the page's state and
// "/recent/<name>" one of Tarvo's own pictures or clips. Runs on the server's connection threads,
// after the server let the request in.
#include <QByteArray>
#include <atomic>
#include <chrono>

struct MHD_Response;

namespace tarvo {

class LiveFrameHub;
class LiveStatus;

struct LiveAnswer {
    unsigned status = 404;
    MHD_Response* response = nullptr; // owned by the caller, which queues and destroys it
};

class LiveRoutes {
public:
    LiveRoutes(LiveFrameHub& frames, LiveStatus& status);

    // The frame shown while the camera has given none yet.
    void SetPlaceholder(QByteArray jpeg) { placeholder_ = std::move(jpeg); }

    // path is the request's path, already percent-decoded.
    LiveAnswer Answer(const char* path) const;

    // Text answers of the server itself (401, 405, 503).
    static MHD_Response* TextResponse(const char* text);

    // A stream ends when this is set (the server stops), and repeats its last frame after this long
    // without a new one, so a still scene does not look like a dead connection.
    std::atomic<bool> stopping{false};
    static constexpr std::chrono::milliseconds RepeatAfter{2000};

private:
    LiveAnswer Page() const;
    LiveAnswer Current() const;
    LiveAnswer Stream() const;
    LiveAnswer Status() const;
    LiveAnswer Recent(const QByteArray& name) const;

    LiveFrameHub& frames_;
    LiveStatus& status_;
    QByteArray placeholder_;
};

} // namespace tarvo
