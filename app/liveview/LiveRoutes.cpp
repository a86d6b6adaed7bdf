#include "app/liveview/LiveRoutes.h"

#include "app/liveview/LiveFrameHub.h"
#include "app/liveview/LiveStatus.h"
#include "common/SafeFileWrite.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
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

// One viewer's stream: the part being written and how far, then the next frame.
struct StreamState {
    const LiveRoutes* routes;
    LiveFrameHub* frames;
    QByteArray placeholder;
    QByteArray part;
    qsizetype written = 0;
    std::uint64_t seq = 0;
    bool first = true;
};

QByteArray Part(const QByteArray& jpeg)
{
    return QByteArray("--") + Boundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " + QByteArray::number(jpeg.size()) +
           "\r\n\r\n" + jpeg + "\r\n";
}

// The server's connection thread asks for the next bytes. Only the part being written is held: a
// viewer that reads slowly gets the newest frame when it is ready for the next, skipping the rest.
ssize_t ReadStream(void* cls, std::uint64_t, char* buf, std::size_t max)
{
    auto* s = static_cast<StreamState*>(cls);
    if (s->written == s->part.size()) {
        if (s->routes->stopping.load())
            return MHD_CONTENT_READER_END_OF_STREAM;
        LiveFrameHub::Frame frame = s->first ? s->frames->Latest() : s->frames->WaitNewer(s->seq, LiveRoutes::RepeatAfter);
        s->first = false;
        if (s->routes->stopping.load())
            return MHD_CONTENT_READER_END_OF_STREAM;
        s->seq = frame.seq;
        s->part = Part(frame.jpeg ? *frame.jpeg : s->placeholder);
        s->written = 0;
    }
    const std::size_t n = std::min<std::size_t>(max, std::size_t(s->part.size() - s->written));
    std::memcpy(buf, s->part.constData() + s->written, n);
    s->written += qsizetype(n);
    return ssize_t(n);
}

void FreeStream(void* cls) { delete static_cast<StreamState*>(cls); }

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

LiveAnswer LiveRoutes::Answer(const char* path) const
{
    const QByteArray p(path);
    if (p == "/" || p == "/index.html")
        return Page();
    if (p == "/current.jpg")
        return Current();
    if (p == "/stream.mjpg")
        return Stream();
    if (p == "/status.json")
        return Status();
    if (p.startsWith("/recent/"))
        return Recent(p.mid(8));
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
    const LiveFrameHub::Frame frame = frames_.Fresh(std::chrono::seconds(1));
    MHD_Response* r = BufferResponse(frame.jpeg ? *frame.jpeg : placeholder_, "image/jpeg");
    NoStore(r);
    return {MHD_HTTP_OK, r};
}

LiveAnswer LiveRoutes::Stream() const
{
    auto* state = new StreamState{this, &frames_, placeholder_, {}, 0, 0, true};
    MHD_Response* r = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64 * 1024, ReadStream, state, FreeStream);
    if (!r) {
        delete state;
        return {MHD_HTTP_SERVICE_UNAVAILABLE, TextResponse("Busy")};
    }
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE,
                            (QByteArray("multipart/x-mixed-replace; boundary=") + Boundary).constData());
    NoStore(r);
    return {MHD_HTTP_OK, r};
}

LiveAnswer LiveRoutes::Status() const
{
    MHD_Response* r = BufferResponse(status_.Json(), "application/json");
    NoStore(r);
    return {MHD_HTTP_OK, r};
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
