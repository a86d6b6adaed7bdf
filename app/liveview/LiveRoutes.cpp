#include "app/liveview/LiveRoutes.h"

#include "app/clips/ClipReader.h"
#include "app/liveview/LiveFrameHub.h"
#include "app/liveview/LiveStatus.h"
#include "common/EventLog.h"
#include "common/SafeFileWrite.h"
#include "common/ThreadHandOver.h"
#include "settings/PasswordHash.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <fcntl.h>
#include <microhttpd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvo {

namespace {
constexpr char Boundary[] = "tarvoframe";

MHD_Response* BufferResponse(const QByteArray& bytes, const char* type)
{
    MHD_Response* r = MHD_create_response_from_buffer(std::size_t(bytes.size()), const_cast<char*>(bytes.constData()),
                                                      MHD_RESPMEM_MUST_COPY);
    if (r)
        MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    return r;
}

void NoStore(MHD_Response* r)
{
    if (r)
        MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
}

void Log(const QString& line) { ProgramLog().WriteLog(line, true, QStringLiteral("LiveView")); }

// A multipart stream of JPEG parts, one part held at a time. Next() gives the next picture (false:
// the stream ends); the part carries when its frame was taken, when known.
struct PartStream {
    explicit PartStream(const LiveRoutes* r) : routes(r) {}
    virtual ~PartStream() = default;
    virtual bool Next(QByteArray& jpeg, std::int64_t& takenMs) = 0;
    const LiveRoutes* routes;
    QByteArray part;
    qsizetype written = 0;
};

QByteArray Part(const QByteArray& jpeg, std::int64_t takenMs)
{
    QByteArray head = QByteArray("--") + Boundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " + QByteArray::number(jpeg.size());
    if (takenMs > 0)
        head += "\r\nX-Frame-Time: " + QByteArray::number(takenMs);
    return head + "\r\n\r\n" + jpeg + "\r\n";
}

// The server's connection thread asks for the next bytes.
ssize_t ReadParts(void* cls, std::uint64_t, char* buf, std::size_t max)
{
    auto* s = static_cast<PartStream*>(cls);
    if (s->written == s->part.size()) {
        QByteArray jpeg;
        std::int64_t takenMs = 0;
        if (s->routes->stopping.load() || !s->Next(jpeg, takenMs) || s->routes->stopping.load())
            return MHD_CONTENT_READER_END_OF_STREAM;
        s->part = Part(jpeg, takenMs);
        s->written = 0;
    }
    const std::size_t n = std::min<std::size_t>(max, std::size_t(s->part.size() - s->written));
    std::memcpy(buf, s->part.constData() + s->written, n);
    s->written += qsizetype(n);
    return ssize_t(n);
}

void FreeParts(void* cls) { delete static_cast<PartStream*>(cls); }

MHD_Response* PartsResponse(PartStream* stream)
{
    MHD_Response* r = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64 * 1024, ReadParts, stream, FreeParts);
    if (!r) {
        delete stream;
        return nullptr;
    }
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, (QByteArray("multipart/x-mixed-replace; boundary=") + Boundary).constData());
    MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    return r;
}

// One viewer of the live stream. Only the part being written is held: a viewer that reads slowly
// gets the newest frame when it is ready for the next, skipping the rest. The first part is a
// frame taken after the request, so a client that keeps one picture keeps a picture of now.
struct LiveStream final : PartStream {
    LiveStream(const LiveRoutes* r, LiveFrameHub* f, QByteArray p) : PartStream(r), frames(f), placeholder(std::move(p)) {}
    bool Next(QByteArray& jpeg, std::int64_t& takenMs) override
    {
        const LiveFrameHub::Frame frame = first ? frames->Fresh(LiveRoutes::FreshWait) : frames->WaitNewer(seq, LiveRoutes::RepeatAfter);
        first = false;
        seq = frame.seq;
        jpeg = frame.jpeg ? *frame.jpeg : placeholder;
        takenMs = frame.jpeg ? frame.takenMs : 0;
        return true;
    }
    LiveFrameHub* frames;
    QByteArray placeholder;
    std::uint64_t seq = 0;
    bool first = true;
};

// A clip played at the pace it was recorded at, each frame as it is in the file.
struct ClipStream final : PartStream {
    explicit ClipStream(const LiveRoutes* r) : PartStream(r) {}
    bool Next(QByteArray& jpeg, std::int64_t&) override
    {
        using namespace std::chrono;
        const auto now = steady_clock::now();
        if (next == 0)
            start = now;
        for (; next < reader.Frames(); ++next) {
            const auto due = start + microseconds(std::int64_t(next) * reader.FrameUs());
            // In short steps, so the server's stop never waits for a slow clip.
            while (steady_clock::now() < due && !routes->stopping.load())
                std::this_thread::sleep_for(std::min<steady_clock::duration>(due - steady_clock::now(), milliseconds(100)));
            if (reader.ReadFrame(next, jpeg)) {
                ++next;
                return true;
            }
        }
        return false;
    }
    ClipReader reader;
    std::size_t next = 0;
    std::chrono::steady_clock::time_point start;
};

// The request's command, or false for a path or body that names none.
bool ParseCommand(const LiveRequest& r, LiveCommand& command, QString& text)
{
    const QByteArray body = r.body.trimmed().toLower();
    if (r.path == "/control/autocapture" && (body == "on" || body == "off")) {
        command = body == "on" ? LiveCommand::AutoCapturingOn : LiveCommand::AutoCapturingOff;
        text = QStringLiteral("auto-capturing ") + QString::fromLatin1(body);
        return true;
    }
    if (r.path == "/control/picture") {
        command = LiveCommand::Picture;
        text = QStringLiteral("picture");
        return true;
    }
    return false;
}

const char* TypeOf(const QString& name)
{
    if (name.endsWith(QStringLiteral(".jpg")))
        return "image/jpeg";
    if (name.endsWith(QStringLiteral(".bmp")))
        return "image/bmp";
    return "video/x-msvideo";
}
} // namespace

LiveRoutes::LiveRoutes(LiveFrameHub& frames, LiveStatus& status) : frames_(frames), status_(status) {}

MHD_Response* LiveRoutes::TextResponse(const char* text)
{
    return BufferResponse(QByteArray(text) + '\n', "text/plain; charset=utf-8");
}

void LiveRoutes::SetControl(QObject* gui, LiveControl control)
{
    gui_ = gui;
    control_ = std::move(control);
}

LiveAnswer LiveRoutes::Answer(const LiveRequest& request) const
{
    const QByteArray& p = request.path;
    if (p.startsWith("/control/"))
        return Control(request);
    if (request.method != "GET" && request.method != "HEAD") {
        MHD_Response* r = TextResponse("Only GET is answered here.");
        MHD_add_response_header(r, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
        return {MHD_HTTP_METHOD_NOT_ALLOWED, r};
    }
    if (p == "/" || p == "/index.html")
        return Page();
    if (p == "/current.jpg")
        return Current();
    if (p == "/stream.mjpg")
        return Stream();
    if (p == "/status.json")
        return Status(request.passwordSet);
    if (p.startsWith("/recent/"))
        return Recent(p.mid(8));
    if (p.startsWith("/clip/"))
        return Clip(p.mid(6), false);
    if (p.startsWith("/poster/"))
        return Clip(p.mid(8), true);
    return {MHD_HTTP_NOT_FOUND, TextResponse("Not found")};
}

LiveAnswer LiveRoutes::Page() const
{
    QFile page(QStringLiteral(":/liveview/index.html"));
    page.open(QIODevice::ReadOnly);
    MHD_Response* r = BufferResponse(page.readAll(), "text/html; charset=utf-8");
    // The page loads nothing from elsewhere, and no other site may frame it.
    MHD_add_response_header(r, "Content-Security-Policy",
                            "default-src 'self'; img-src 'self'; style-src 'unsafe-inline'; script-src 'unsafe-inline'; frame-ancestors 'none'");
    return {MHD_HTTP_OK, r};
}

LiveAnswer LiveRoutes::Current() const
{
    const LiveFrameHub::Frame frame = frames_.Fresh(FreshWait);
    MHD_Response* r = BufferResponse(frame.jpeg ? *frame.jpeg : placeholder_, "image/jpeg");
    NoStore(r);
    // When the frame was taken: an old one (the camera stopped delivering) can be told as such.
    if (r && frame.jpeg)
        MHD_add_response_header(r, "X-Frame-Time", QByteArray::number(frame.takenMs).constData());
    return {MHD_HTTP_OK, r};
}

LiveAnswer LiveRoutes::Stream() const
{
    MHD_Response* r = PartsResponse(new LiveStream(this, &frames_, placeholder_));
    return r ? LiveAnswer{MHD_HTTP_OK, r} : LiveAnswer{MHD_HTTP_SERVICE_UNAVAILABLE, TextResponse("Busy")};
}

LiveAnswer LiveRoutes::Status(bool passwordSet) const
{
    const std::int64_t lastFrameMs = frames_.LastTakenMs();
    QJsonObject extra{{"lastFrame", lastFrameMs > 0 ? QJsonValue(double(lastFrameMs)) : QJsonValue()},
                      {"control", passwordSet && control_ != nullptr}};
    // Only a page of this server can read it: a page elsewhere gets no answer it may read.
    if (passwordSet)
        extra["token"] = QString::fromLatin1(token_);
    MHD_Response* r = BufferResponse(status_.Json(extra), "application/json");
    NoStore(r);
    return {MHD_HTTP_OK, r};
}

LiveAnswer LiveRoutes::Clip(const QByteArray& name, bool posterOnly) const
{
    const QString file = status_.FindFile(QString::fromUtf8(name));
    auto stream = std::make_unique<ClipStream>(this);
    QByteArray first;
    if (file.isEmpty() || !OwnFiles::IsVideo(file) || !stream->reader.Open(file) || !stream->reader.ReadFrame(0, first))
        return {MHD_HTTP_NOT_FOUND, TextResponse("Not found")};
    if (posterOnly)
        return {MHD_HTTP_OK, BufferResponse(first, "image/jpeg")};
    MHD_Response* r = PartsResponse(stream.release());
    return r ? LiveAnswer{MHD_HTTP_OK, r} : LiveAnswer{MHD_HTTP_SERVICE_UNAVAILABLE, TextResponse("Busy")};
}

LiveAnswer LiveRoutes::Control(const LiveRequest& r) const
{
    const QString from = r.from.toString();
    const auto refuse = [&](unsigned code, const char* why) {
        Log(QStringLiteral("Live view: control request from %1 refused: %2").arg(from, QString::fromLatin1(why)));
        return LiveAnswer{code, TextResponse(why)};
    };
    if (r.method != "POST") {
        MHD_Response* answer = TextResponse("Control requests are POSTed.");
        MHD_add_response_header(answer, MHD_HTTP_HEADER_ALLOW, "POST");
        return {MHD_HTTP_METHOD_NOT_ALLOWED, answer};
    }
    if (!r.passwordSet || !control_)
        return refuse(MHD_HTTP_FORBIDDEN, "No control without a password");
    // A browser sends the user's credentials with a form any site posts here; such a post names
    // its own site, and it cannot add the token without asking first, which is never allowed.
    const QByteArray own = QByteArray(r.tls ? "https://" : "http://") + r.host;
    if (!r.origin.isEmpty() && r.origin != own)
        return refuse(MHD_HTTP_FORBIDDEN, "Another site's request");
    if (token_.isEmpty() || !ConstantTimeEquals(r.token, token_))
        return refuse(MHD_HTTP_FORBIDDEN, "No valid token");
    LiveCommand command{};
    QString text;
    if (!ParseCommand(r, command, text))
        return refuse(MHD_HTTP_BAD_REQUEST, "Unknown command");
    Log(QStringLiteral("Live view: control request from %1: %2").arg(from, text));
    const LiveCommandResult result = RunOnGui(command);
    if (!result.done)
        Log(QStringLiteral("Live view: control request from %1 not done: %2").arg(from, result.message));
    const QByteArray json = QJsonDocument(QJsonObject{{"done", result.done}, {"message", result.message}}).toJson(QJsonDocument::Compact);
    MHD_Response* answer = BufferResponse(json, "application/json");
    NoStore(answer);
    return {result.done ? unsigned(MHD_HTTP_OK) : unsigned(MHD_HTTP_CONFLICT), answer};
}

LiveCommandResult LiveRoutes::RunOnGui(LiveCommand command) const
{
    struct Call {
        std::mutex mutex;
        std::condition_variable doneChanged;
        bool done = false;
        bool abandoned = false;
        LiveCommandResult result;
    };
    auto call = std::make_shared<Call>();
    PostQueued(gui_, [call, control = control_, command] {
        {
            std::lock_guard lock(call->mutex);
            if (call->abandoned)
                return;
        }
        LiveCommandResult result = control(command);
        std::lock_guard lock(call->mutex);
        call->result = std::move(result);
        call->done = true;
        call->doneChanged.notify_all();
    });
    const auto deadline = std::chrono::steady_clock::now() + ControlWait;
    std::unique_lock lock(call->mutex);
    // In short steps: the GUI thread may be stopping this server and waiting for this thread.
    while (!call->done && !stopping.load() && std::chrono::steady_clock::now() < deadline)
        call->doneChanged.wait_for(lock, std::chrono::milliseconds(100));
    if (call->done)
        return call->result;
    call->abandoned = true;
    return {false, QStringLiteral("Tarvo did not answer in time")};
}

LiveAnswer LiveRoutes::Recent(const QByteArray& name) const
{
    const QString file = status_.FindFile(QString::fromUtf8(name));
    // Whatever was put in place of the file after the check: a link is not followed, and a FIFO's
    // open does not wait for a writer (which would hold this thread and the server's stop).
    struct stat st {};
    UniqueFd fd = file.isEmpty() ? UniqueFd() : OpenRegularFile(file, O_RDONLY, 0, &st);
    if (!fd.Valid())
        return {MHD_HTTP_NOT_FOUND, TextResponse("Not found")};
    MHD_Response* r = MHD_create_response_from_fd(std::uint64_t(st.st_size), fd.Get());
    if (!r)
        return {MHD_HTTP_SERVICE_UNAVAILABLE, TextResponse("Busy")};
    fd.Release(); // the response closes it
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, TypeOf(file));
    return {MHD_HTTP_OK, r};
}

} // namespace tarvo
