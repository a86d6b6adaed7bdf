#include "net/LineReader.h"

namespace tarvo {

void LineBuffer::Append(std::string_view bytes)
{
    // Drop consumed lines before growing, so the buffer holds at most one line and one chunk.
    if (start_ > 0) {
        buf_.erase(0, start_);
        start_ = 0;
    }
    buf_.append(bytes);
}

LineBuffer::Next LineBuffer::TakeLine(std::string& line, Limit limit)
{
    const std::size_t lf = buf_.find('\n', start_);
    if (lf == std::string::npos)
        return Unread() > limit.unterminated ? Next::TooLong : Next::NeedMore;
    if (lf - start_ + 1 > limit.terminated)
        return Next::TooLong;
    std::size_t end = lf;
    if (end > start_ && buf_[end - 1] == '\r')
        --end;
    line.assign(buf_, start_, end - start_);
    start_ = lf + 1;
    return Next::Line;
}

std::optional<std::string> LineBuffer::NextLine()
{
    std::string line;
    switch (TakeLine(line, limit_)) {
    case Next::Line:
        return line;
    case Next::NeedMore:
        return std::nullopt;
    case Next::TooLong:
        break;
    }
    throw NetworkError("Line too long.");
}

void LineBuffer::TakeBytes(std::string& out, std::size_t count)
{
    out.append(buf_, start_, count);
    start_ += count;
}

std::string LineBuffer::TakeRest()
{
    std::string rest = buf_.substr(start_);
    Clear();
    return rest;
}

std::string LineReader::ReadLine(TcpSocket& socket, Deadline deadline)
{
    for (;;) {
        if (auto line = buffer_.NextLine())
            return *line;
        char chunk[4096];
        const std::size_t n = socket.ReceiveSome(chunk, sizeof chunk, deadline);
        if (n == 0)
            throw NetworkError("Connection closed by peer.");
        buffer_.Append({chunk, n});
    }
}

std::string LineReader::ReadToClose(TcpSocket& socket, std::size_t maxBytes, Deadline deadline)
{
    std::string body = buffer_.TakeRest();
    char chunk[4096];
    while (body.size() <= maxBytes) {
        const std::size_t n = socket.ReceiveSome(chunk, sizeof chunk, deadline);
        if (n == 0)
            return body;
        body.append(chunk, n);
    }
    throw NetworkError("Reply too long.");
}

} // namespace tarvo
