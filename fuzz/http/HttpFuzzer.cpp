// Feeds arbitrary server answers to the HTTP response reader, split at positions chosen by the
// input, and whatever body it accepts to the version-file parser. The reader must stay within
// its limits and never crash, whatever arrives.
#include "net/HttpResponse.h"
#include "ui/VersionFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::size_t step = data[0] % 64 + 1;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

    const HttpLimits limits{512, 2048};
    HttpResponseReader reader(limits);
    auto result = HttpResponseReader::Result::NeedMore;
    for (std::size_t at = 0; at < input.size() && result == HttpResponseReader::Result::NeedMore; at += step)
        result = reader.Feed(input.substr(at, step));
    if (result == HttpResponseReader::Result::NeedMore)
        result = reader.FeedEnd();
    if (result == HttpResponseReader::Result::NeedMore || reader.Body().size() > limits.maxBodyBytes)
        std::abort();
    if (result == HttpResponseReader::Result::Complete)
        (void)ParseVersionFile(reader.Body());
    (void)ParseVersionFile(input);
    return 0;
}
