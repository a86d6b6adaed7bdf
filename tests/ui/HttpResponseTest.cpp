// The HTTP response reader on whole responses, fed at once and byte by byte, and on the hostile
// ones a server may send: endless headers, overflowing chunk sizes, oversized bodies.
#include "net/HttpResponse.h"

#include <gtest/gtest.h>

namespace tarvo {

namespace {

using Result = HttpResponseReader::Result;

struct Outcome {
    Result result;
    int status;
    std::string body;
};

// Feeds the response in pieces of `step` bytes (0: all at once), then the close when `close`.
Outcome Read(const std::string& response, std::size_t step, bool close, HttpLimits limits = {})
{
    HttpResponseReader r(limits);
    Result res = Result::NeedMore;
    if (step == 0)
        res = r.Feed(response);
    for (std::size_t i = 0; step && i < response.size() && res == Result::NeedMore; i += step)
        res = r.Feed(std::string_view(response).substr(i, step));
    if (close && res == Result::NeedMore)
        res = r.FeedEnd();
    return {res, r.Status(), r.Body()};
}

struct GoodCase {
    const char* name;
    std::string response;
    bool close; // the server closes after it
    int status;
    std::string body;
};

TEST(HttpResponseReaderTest, FramesTheBodyTheWayTheServerSays)
{
    const std::vector<GoodCase> cases = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n%ver%127 xyTRAILING", false, 200, "%ver%127 xy"},
        {"length, LF only, odd case", "HTTP/1.0 200 OK\ncontent-LENGTH:  3 \n\nabc", false, 200, "abc"},
        {"zero length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, 200, ""},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n%ver%\r\nA;name=x\r\n1262012005\r\n0\r\n\r\n",
            false, 200, "%ver%1262012005"},
        {"chunked with trailer, wins over length",
            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n3\r\nabc\r\n0\r\nX-T: 1\r\n\r\n",
            false, 200, "abc"},
        {"to close", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\nline one\r\nline two", true, 200, "line one\r\nline two"},
        {"other coding runs to close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n\r\nabc", true, 200, "abc"},
        {"interim answer skipped", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 203 Fine\r\nContent-Length: 2\r\n\r\nok", false, 203, "ok"},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, 204, ""},
        {"redirect header", "HTTP/1.1 301 Moved\r\nLocation: http://x/\r\nContent-Length: 0\r\n\r\n", false, 301, ""},
        {"status without reason", "HTTP/1.1 404\r\nContent-Length: 1\r\n\r\nx", false, 404, "x"},
    };
    for (const GoodCase& c : cases) {
        for (std::size_t step : {std::size_t{0}, std::size_t{1}, std::size_t{7}}) {
            const Outcome o = Read(c.response, step, c.close);
            EXPECT_EQ(o.result, Result::Complete) << c.name << " step " << step;
            EXPECT_EQ(o.status, c.status) << c.name << " step " << step;
            EXPECT_EQ(o.body, c.body) << c.name << " step " << step;
        }
    }
}

TEST(HttpResponseReaderTest, ANonCloseBodyIsNotCompleteUntilItsLastByte)
{
    HttpResponseReader r;
    EXPECT_EQ(r.Feed("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nab"), Result::NeedMore);
    EXPECT_TRUE(r.HeaderComplete());
    EXPECT_EQ(r.Status(), 200);
    EXPECT_EQ(r.FeedEnd(), Result::Failed);
    EXPECT_FALSE(r.Error().empty());
}

struct BadCase {
    const char* name;
    std::string response;
};

TEST(HttpResponseReaderTest, MalformedOrTruncatedResponsesFail)
{
    const std::vector<BadCase> cases = {
        {"not http", "SSH-2.0-OpenSSH\r\n\r\n"},
        {"short status", "HTTP/1.1 20\r\n\r\n"},
        {"letters in status", "HTTP/1.1 2x0 OK\r\n\r\n"},
        {"empty first line", "\r\nHTTP/1.1 200 OK\r\n\r\n"},
        {"field without colon", "HTTP/1.1 200 OK\r\nContent-Length 3\r\n\r\nabc"},
        {"length not a number", "HTTP/1.1 200 OK\r\nContent-Length: 3a\r\n\r\nabc"},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n"},
        {"two different lengths", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd"},
        {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nxyz\r\nabc\r\n0\r\n\r\n"},
        {"empty chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n\r\n"},
        {"chunk longer than announced", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n"},
        {"closed in the header", "HTTP/1.1 200 OK\r\nContent-Len"},
        {"closed in a chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc"},
        {"closed before the last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n"},
        {"protocol switch", "HTTP/1.1 101 Switching\r\n\r\n"},
    };
    for (const BadCase& c : cases) {
        for (std::size_t step : {std::size_t{0}, std::size_t{1}}) {
            EXPECT_EQ(Read(c.response, step, true).result, Result::Failed) << c.name << " step " << step;
        }
    }
}

TEST(HttpResponseReaderTest, HostileSizesFailWithBoundedMemory)
{
    const HttpLimits limits{1024, 4096};
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::vector<BadCase> cases = {
        {"endless header field", "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(100000, 'a')},
        {"endless header of short fields", "HTTP/1.1 200 OK\r\n" + [] {
             std::string s;
             for (int i = 0; i < 10000; ++i)
                 s += "X: y\r\n";
             return s;
         }()},
        {"endless status line", "HTTP/1.1 200 " + std::string(100000, 'k')},
        {"endless interim answers", [] {
             std::string s;
             for (int i = 0; i < 1000; ++i)
                 s += "HTTP/1.1 100 Continue\r\n\r\n";
             return s;
         }()},
        {"overflowing chunk size", chunked + "FFFFFFFFFFFFFFFFFFFF1\r\nabc\r\n0\r\n\r\n"},
        {"chunk size above the body limit", chunked + "1001\r\n"},
        {"chunks adding up above the limit", chunked + "800\r\n" + std::string(0x800, 'a') + "\r\n800\r\n" + std::string(0x800, 'b') + "\r\n1\r\n"},
        {"endless chunk size line", chunked + std::string(100000, '0')},
        {"endless chunk extension", chunked + "1;" + std::string(100000, 'e')},
        {"endless trailer", chunked + "0\r\n" + std::string(100000, 't')},
        {"length above the limit", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999\r\n\r\n"},
        {"length of 19 digits", "HTTP/1.1 200 OK\r\nContent-Length: 1000000000000000000\r\n\r\n"},
        {"body to close above the limit", "HTTP/1.1 200 OK\r\n\r\n" + std::string(5000, 'z')},
    };
    for (const BadCase& c : cases) {
        // Fed in 4 KiB pieces as the socket delivers them; the reader must give up on its own.
        HttpResponseReader r(limits);
        Result res = Result::NeedMore;
        for (std::size_t i = 0; i < c.response.size() && res == Result::NeedMore; i += 4096)
            res = r.Feed(std::string_view(c.response).substr(i, 4096));
        EXPECT_EQ(res, Result::Failed) << c.name;
        EXPECT_LE(r.Body().size(), limits.maxBodyBytes) << c.name;
    }
}

TEST(HttpResponseReaderTest, ABodyExactlyAtTheLimitIsAccepted)
{
    const HttpLimits limits{1024, 16};
    EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n" + std::string(16, 'a') + "\r\n0\r\n\r\n", 3,
                  false, limits).result,
        Result::Complete);
    EXPECT_EQ(Read("HTTP/1.1 200 OK\r\n\r\n" + std::string(16, 'a'), 5, true, limits).body, std::string(16, 'a'));
}

TEST(HttpRequestTest, TheVersionRequestCarriesExactlyItsThreeFields)
{
    EXPECT_EQ(BuildGetRequest("/tarvo/ver.txt", "www.tarvo.example"),
        "GET /tarvo/ver.txt HTTP/1.1\r\n"
        "Host: www.tarvo.example\r\n"
        "Accept: text/html, */*\r\n"
        "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
        "\r\n");
}

} // namespace

} // namespace tarvo
