#pragma once
// The one line reader of the line-based protocols (FTP replies, the HTTP response header): lines
// end at LF, a CR right before it is dropped, and every line has a length limit, so a peer that
// never sends LF cannot make the buffer grow without bound.
#include "net/TcpSocket.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

// Splits received bytes into lines and hands out the raw bytes between them (a body). Pure; the
// fuzzers drive it directly.
class LineBuffer {
public:
    // A line's limit: the bytes that may wait for their LF, and the bytes of a complete line with
    // its LF.
    struct Limit {
        std::size_t unterminated;
        std::size_t terminated;
    };
    enum class Next { Line, NeedMore, TooLong };

    // maxLineLength: the longest line NextLine() accepts, its CR LF not counted.
    explicit LineBuffer(std::size_t maxLineLength = 8192) : limit_{maxLineLength, maxLineLength + 2} {}
    void Append(std::string_view bytes);
    // The next complete line, or nothing until its LF arrives; a line over the buffer's own limit
    // fails with NetworkError("Line too long.").
    std::optional<std::string> NextLine();
    // The next complete line into `line` under a limit of this line's own; never throws.
    Next TakeLine(std::string& line, Limit limit);
    // The bytes received and not yet taken.
    std::size_t Unread() const { return buf_.size() - start_; }
    // Appends the next count unread bytes (at most Unread()) to out.
    void TakeBytes(std::string& out, std::size_t count);
    // The bytes received after the last complete line (for example an HTTP body).
    std::string TakeRest();
    void Clear() { buf_.clear(); start_ = 0; }

private:
    Limit limit_;
    std::string buf_;
    std::size_t start_ = 0;
};

// Reads one line from the socket before the deadline. A close before LF fails with
// "Connection closed by peer.".
class LineReader {
public:
    explicit LineReader(std::size_t maxLineLength = 8192) : buffer_(maxLineLength) {}
    std::string ReadLine(TcpSocket& socket, Deadline deadline);
    // Reads to the peer's close, at most maxBytes (an HTTP/1.0-style body).
    std::string ReadToClose(TcpSocket& socket, std::size_t maxBytes, Deadline deadline);
    void Clear() { buffer_.Clear(); }

private:
    LineBuffer buffer_;
};

} // namespace tarvo
