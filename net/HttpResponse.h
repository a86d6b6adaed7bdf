#pragma once
// Reads one HTTP/1.1 response from the bytes a server sends: status line, header, and a body
// framed by Content-Length, by chunks, or by the end of the connection. Memory stays bounded
// whatever the server sends: an endless header, an over-long or overflowing chunk size or an
// oversized body fail the response. Interim 1xx answers are skipped. No sockets here, so the
// reader is tested and fuzzed directly.
#include "net/LineReader.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvo {

struct HttpLimits {
    std::size_t maxHeaderBytes = 16 * 1024; // status lines, header fields and trailers together
    std::size_t maxBodyBytes = 256 * 1024;
};

class HttpResponseReader {
public:
    enum class Result { NeedMore, Complete, Failed };

    explicit HttpResponseReader(HttpLimits limits = {});

    // Hands over the next bytes of the connection.
    Result Feed(std::string_view bytes);
    // The server closed the connection: completes a body read to the close, fails anything unfinished.
    Result FeedEnd();

    Result result() const { return result_; }
    // Known once the header is complete (HeaderComplete()); 0 before.
    int Status() const { return status_; }
    bool HeaderComplete() const { return state_ > State::Header; }
    const std::string& Body() const { return body_; }
    // Why the response failed; empty otherwise.
    const std::string& Error() const { return error_; }

private:
    enum class State { StatusLine, Header, LengthBody, ChunkSize, ChunkData, ChunkDataEnd, Trailer, BodyToClose, Done, Failed };

    Result Fail(std::string why);
    // Takes the next complete line (without CR LF) from the buffer; false when none is complete yet
    // or when it is longer than lineLimit bytes with its CR LF (the response then fails).
    bool NextLine(std::string& line, std::size_t lineLimit);
    bool ParseStatusLine(const std::string& line);
    bool ParseHeaderField(const std::string& line);
    Result HeaderEnded();
    bool ParseChunkSize(const std::string& line);
    void TakeBodyBytes(std::size_t count);
    Result Run();

    HttpLimits limits_;
    State state_ = State::StatusLine;
    Result result_ = Result::NeedMore;
    LineBuffer buffer_;
    std::size_t headerBytes_ = 0;
    int status_ = 0;
    bool chunked_ = false;
    bool otherCoding_ = false;  // a transfer coding without chunked last: the body runs to the close
    bool haveLength_ = false;
    std::size_t contentLength_ = 0;
    std::size_t remaining_ = 0; // bytes left of the body or of the current chunk
    std::string body_;
    std::string error_;
};

// The request line and header the version check sends.
std::string BuildGetRequest(std::string_view path, std::string_view hostHeader);

} // namespace tarvo
