#pragma once
// The version check's HTTP GET: one request on a fresh connection, the response read with time
// limits on the connection and on the whole reply, redirections not followed.
#include "net/TcpSocket.h"
#include "net/HttpResponse.h"

#include <chrono>
#include <string>

namespace tarvo {

struct HttpTimeouts {
    std::chrono::milliseconds connect{10000};
    std::chrono::milliseconds reply{15000}; // from the request until the last byte of the body
};

struct HttpFetchResult {
    bool ok = false;      // a complete response with a 2xx status
    int status = 0;       // 0 when no header arrived
    std::string body;     // only when ok
    std::string error;    // why not ok
};

// abort, when raised from another thread, ends the fetch at once as a failure.
HttpFetchResult HttpGet(const std::string& host, int port, const std::string& hostHeader, const std::string& path,
    const HttpTimeouts& timeouts = {}, const HttpLimits& limits = {}, const AbortSignal* abort = nullptr);

} // namespace tarvo
