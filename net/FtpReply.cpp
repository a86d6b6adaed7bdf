#include "net/FtpReply.h"

#include "net/TcpSocket.h"

#include <cctype>

namespace tarvo {

namespace {

std::string Trimmed(const std::string& s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

int CodeOf(const std::string& line)
{
    if (line.size() < 3)
        return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i])))
            return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

} // namespace

bool FtpReplyAssembler::AddLine(std::string raw)
{
    std::string line = Trimmed(raw);
    if (line.empty())
        return false;
    if (reply_.lines.size() >= maxLines_)
        throw NetworkError("Reply has too many lines.");
    reply_.lines.push_back(std::move(line));
    const std::string& added = reply_.lines.back();
    if (reply_.lines.size() == 1) {
        multiLine_ = added.size() >= 4 && added[3] == '-';
        if (multiLine_)
            return false;
    } else {
        const std::string& first = reply_.lines.front();
        const bool closes = added.size() < 4 || (added.compare(0, 3, first, 0, 3) == 0 && added[3] == ' ');
        if (!closes)
            return false;
    }
    reply_.code = CodeOf(added);
    return true;
}

FtpReply FtpReplyAssembler::Take()
{
    FtpReply out = std::move(reply_);
    reply_ = {};
    multiLine_ = false;
    return out;
}

std::optional<PassiveAddress> ParsePassiveReply(const std::string& line)
{
    std::string inner;
    const std::size_t open = line.find('(');
    const std::size_t close = open == std::string::npos ? std::string::npos : line.find(')', open + 1);
    if (open != std::string::npos && close != std::string::npos) {
        inner = line.substr(open + 1, close - open - 1);
    } else {
        const std::size_t blank = line.find_last_of(' ');
        inner = blank == std::string::npos ? line : line.substr(blank + 1);
    }

    int numbers[6];
    std::size_t pos = 0;
    // Some servers put a sign such as "=" before the numbers.
    while (pos < inner.size() && !std::isdigit(static_cast<unsigned char>(inner[pos])))
        ++pos;
    for (int i = 0; i < 6; ++i) {
        while (pos < inner.size() && inner[pos] == ' ')
            ++pos;
        std::size_t digits = 0;
        long value = 0;
        while (pos < inner.size() && std::isdigit(static_cast<unsigned char>(inner[pos]))) {
            if (++digits > 3)
                return std::nullopt;
            value = value * 10 + (inner[pos++] - '0');
        }
        if (digits == 0 || value > 255)
            return std::nullopt;
        numbers[i] = static_cast<int>(value);
        while (pos < inner.size() && inner[pos] == ' ')
            ++pos;
        if (i < 5) {
            if (pos >= inner.size() || inner[pos] != ',')
                return std::nullopt;
            ++pos;
        }
    }
    PassiveAddress out;
    out.address = std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
                  std::to_string(numbers[2]) + "." + std::to_string(numbers[3]);
    out.port = numbers[4] * 256 + numbers[5];
    if (out.port == 0)
        return std::nullopt;
    return out;
}

std::optional<int> ParseExtendedPassiveReply(const std::string& line)
{
    const std::size_t open = line.find('(');
    const std::size_t close = open == std::string::npos ? std::string::npos : line.find(')', open + 1);
    if (close == std::string::npos)
        return std::nullopt;
    const std::string inner = line.substr(open + 1, close - open - 1);
    // <d><d><d>port<d>, where <d> is one printable character other than a digit.
    if (inner.size() < 5)
        return std::nullopt;
    const char d = inner[0];
    if (d < 33 || d > 126 || std::isdigit(static_cast<unsigned char>(d)) || inner[1] != d || inner[2] != d ||
        inner.back() != d)
        return std::nullopt;
    const std::string digits = inner.substr(3, inner.size() - 4);
    if (digits.empty() || digits.size() > 5)
        return std::nullopt;
    int port = 0;
    for (const char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

} // namespace tarvo
