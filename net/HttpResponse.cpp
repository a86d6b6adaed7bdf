#include "net/HttpResponse.h"

#include <algorithm>
#include <cctype>

namespace tarvo {

namespace {

constexpr std::size_t kMaxChunkSizeLine = 1024; // hex digits plus chunk extensions

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

HttpResponseReader::HttpResponseReader(HttpLimits limits) : limits_(limits) {}

HttpResponseReader::Result HttpResponseReader::Fail(std::string why)
{
    state_ = State::Failed;
    error_ = std::move(why);
    buffer_.Clear();
    return result_ = Result::Failed;
}

HttpResponseReader::Result HttpResponseReader::Feed(std::string_view bytes)
{
    if (result_ != Result::NeedMore)
        return result_;
    // The buffer drops what has been read before it grows, so it holds at most one unread line
    // or the unread part of one body chunk.
    buffer_.Append(bytes);
    return Run();
}

HttpResponseReader::Result HttpResponseReader::FeedEnd()
{
    if (result_ != Result::NeedMore)
        return result_;
    if (state_ == State::BodyToClose) {
        state_ = State::Done;
        return result_ = Result::Complete;
    }
    return Fail(HeaderComplete() ? "Connection closed before the whole body arrived"
                                 : "Connection closed before the whole header arrived");
}

bool HttpResponseReader::NextLine(std::string& line, std::size_t lineLimit)
{
    switch (buffer_.TakeLine(line, {lineLimit, lineLimit})) {
    case LineBuffer::Next::Line:
        return true;
    case LineBuffer::Next::NeedMore:
        return false;
    case LineBuffer::Next::TooLong:
        break;
    }
    Fail("Line too long");
    return false;
}

bool HttpResponseReader::ParseStatusLine(const std::string& line)
{
    // HTTP/<digit>.<digit> <3 digits>[ <reason>]
    if (line.size() < 12 || line.compare(0, 5, "HTTP/") != 0 || !IsDigit(line[5]) || line[6] != '.'
        || !IsDigit(line[7]) || line[8] != ' ' || !IsDigit(line[9]) || !IsDigit(line[10]) || !IsDigit(line[11])
        || (line.size() > 12 && line[12] != ' '))
        return false;
    status_ = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    return status_ >= 100;
}

bool HttpResponseReader::ParseHeaderField(const std::string& line)
{
    if (line.front() == ' ' || line.front() == '\t')
        return true; // an obsolete folded continuation; none of the fields we read
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    const std::string_view name = std::string_view(line).substr(0, colon);
    const std::string_view value = Trim(std::string_view(line).substr(colon + 1));
    if (EqualsNoCase(name, "Content-Length")) {
        if (value.empty() || value.size() > 18 || !std::all_of(value.begin(), value.end(), IsDigit))
            return false;
        std::size_t length = 0;
        for (char c : value)
            length = length * 10 + static_cast<std::size_t>(c - '0');
        if (haveLength_ && length != contentLength_)
            return false;
        haveLength_ = true;
        contentLength_ = length;
    } else if (EqualsNoCase(name, "Transfer-Encoding")) {
        // Only the last coding decides: chunked last frames the body, anything else runs to the close.
        std::string_view last = value;
        if (const std::size_t comma = value.rfind(','); comma != std::string_view::npos)
            last = Trim(value.substr(comma + 1));
        chunked_ = EqualsNoCase(last, "chunked");
        otherCoding_ = !chunked_;
    }
    return true;
}

HttpResponseReader::Result HttpResponseReader::HeaderEnded()
{
    if (status_ >= 100 && status_ < 200) {
        if (status_ == 101)
            return Fail("Unexpected protocol switch");
        // An interim answer: the real one follows.
        status_ = 0;
        chunked_ = otherCoding_ = haveLength_ = false;
        contentLength_ = 0;
        state_ = State::StatusLine;
        return Result::NeedMore;
    }
    if (status_ == 204 || status_ == 304) {
        state_ = State::Done;
        return result_ = Result::Complete;
    }
    if (chunked_) {
        state_ = State::ChunkSize;
    } else if (otherCoding_ || !haveLength_) {
        state_ = State::BodyToClose;
    } else {
        if (contentLength_ > limits_.maxBodyBytes)
            return Fail("Body too large");
        remaining_ = contentLength_;
        state_ = State::LengthBody;
        if (remaining_ == 0) {
            state_ = State::Done;
            return result_ = Result::Complete;
        }
    }
    return Result::NeedMore;
}

bool HttpResponseReader::ParseChunkSize(const std::string& line)
{
    std::string_view digits = line;
    if (const std::size_t ext = digits.find(';'); ext != std::string_view::npos)
        digits = digits.substr(0, ext);
    digits = Trim(digits);
    if (digits.empty())
        return false;
    std::size_t size = 0;
    for (char c : digits) {
        const int v = HexValue(c);
        if (v < 0)
            return false;
        size = size * 16 + static_cast<std::size_t>(v);
        // Checked at every digit, so no number of digits can overflow.
        if (size > limits_.maxBodyBytes || body_.size() + size > limits_.maxBodyBytes) {
            Fail("Chunk too large");
            return false;
        }
    }
    remaining_ = size;
    return true;
}

void HttpResponseReader::TakeBodyBytes(std::size_t count)
{
    buffer_.TakeBytes(body_, count);
}

HttpResponseReader::Result HttpResponseReader::Run()
{
    std::string line;
    for (;;) {
        const std::size_t available = buffer_.Unread();
        switch (state_) {
        case State::StatusLine:
        case State::Header:
        case State::Trailer: {
            const std::size_t budget = limits_.maxHeaderBytes - std::min(headerBytes_, limits_.maxHeaderBytes);
            if (!NextLine(line, budget))
                return result_ == Result::Failed ? result_ : Result::NeedMore;
            headerBytes_ += line.size() + 2;
            if (state_ == State::StatusLine) {
                if (!ParseStatusLine(line))
                    return Fail("Malformed status line");
                state_ = State::Header;
            } else if (state_ == State::Trailer) {
                if (line.empty()) {
                    state_ = State::Done;
                    return result_ = Result::Complete;
                }
            } else if (line.empty()) {
                if (HeaderEnded() != Result::NeedMore)
                    return result_;
            } else if (!ParseHeaderField(line)) {
                return Fail("Malformed header field");
            }
            break;
        }
        case State::ChunkSize:
            if (!NextLine(line, kMaxChunkSizeLine))
                return result_ == Result::Failed ? result_ : Result::NeedMore;
            if (!ParseChunkSize(line))
                return result_ == Result::Failed ? result_ : Fail("Malformed chunk size");
            state_ = remaining_ == 0 ? State::Trailer : State::ChunkData;
            break;
        case State::ChunkData:
        case State::LengthBody: {
            const std::size_t n = std::min(available, remaining_);
            TakeBodyBytes(n);
            remaining_ -= n;
            if (remaining_ > 0)
                return Result::NeedMore;
            if (state_ == State::LengthBody) {
                state_ = State::Done;
                return result_ = Result::Complete;
            }
            state_ = State::ChunkDataEnd;
            break;
        }
        case State::ChunkDataEnd:
            if (!NextLine(line, 2))
                return result_ == Result::Failed ? Fail("Malformed chunk end") : Result::NeedMore;
            if (!line.empty())
                return Fail("Malformed chunk end");
            state_ = State::ChunkSize;
            break;
        case State::BodyToClose:
            if (body_.size() + available > limits_.maxBodyBytes)
                return Fail("Body too large");
            TakeBodyBytes(available);
            return Result::NeedMore;
        case State::Done:
            return result_ = Result::Complete;
        case State::Failed:
            return result_ = Result::Failed;
        }
    }
}

std::string BuildGetRequest(std::string_view path, std::string_view hostHeader)
{
    std::string request;
    request.append("GET ").append(path).append(" HTTP/1.1\r\n");
    request.append("Host: ").append(hostHeader).append("\r\n");
    request.append("Accept: text/html, */*\r\n");
    request.append("User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n");
    request.append("\r\n");
    return request;
}

} // namespace tarvo
