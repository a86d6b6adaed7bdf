#include "net/HttpGet.h"

namespace tarvo {

HttpFetchResult HttpGet(const std::string& host, int port, const std::string& hostHeader, const std::string& path,
    const HttpTimeouts& timeouts, const HttpLimits& limits, const AbortSignal* abort)
{
    HttpFetchResult fetch;
    try {
        TcpSocket socket = TcpSocket::Connect(host, port, DeadlineIn(timeouts.connect), abort);
        const Deadline replyDeadline = DeadlineIn(timeouts.reply);
        socket.SendAll(BuildGetRequest(path, hostHeader), replyDeadline);
        HttpResponseReader reader(limits);
        char buf[4096];
        while (reader.result() == HttpResponseReader::Result::NeedMore) {
            // Only a 2xx body is wanted: stop reading as soon as the header says otherwise.
            if (reader.HeaderComplete() && (reader.Status() < 200 || reader.Status() > 299))
                break;
            const std::size_t n = socket.ReceiveSome(buf, sizeof buf, replyDeadline);
            if (n == 0)
                reader.FeedEnd();
            else
                reader.Feed(std::string_view(buf, n));
        }
        fetch.status = reader.Status();
        if (reader.result() == HttpResponseReader::Result::Failed) {
            fetch.error = reader.Error();
        } else if (fetch.status < 200 || fetch.status > 299) {
            fetch.error = "HTTP status " + std::to_string(fetch.status);
        } else {
            fetch.ok = true;
            fetch.body = reader.Body();
        }
    } catch (const std::exception& e) { // NetworkError, or anything else the socket layer reports
        fetch.error = e.what();
    }
    return fetch;
}

} // namespace tarvo
