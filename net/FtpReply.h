#pragma once
// FTP replies: assembling the lines of one (possibly multi-line) reply, and reading the address
// of a 227 passive reply and the port of a 229 extended passive reply. Pure functions of text;
// the fuzzers drive them directly.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tarvo {

struct FtpReply {
    int code = 0; // the first three characters of the last line as a number, 0 when not digits
    std::vector<std::string> lines;
    std::string LastLine() const { return lines.empty() ? std::string() : lines.back(); }
};

// Feeds the raw lines of one reply (CR already dropped). Blanks around a line are trimmed and
// empty lines skipped. A first line with "-" as its fourth character opens a multi-line reply
// that ends at a line starting with the same three digits and a blank, or at a line shorter than
// four characters. More than maxLines lines fail with NetworkError.
class FtpReplyAssembler {
public:
    explicit FtpReplyAssembler(std::size_t maxLines = 1000) : maxLines_(maxLines) {}
    // Returns true when the reply is complete.
    bool AddLine(std::string line);
    FtpReply Take();

private:
    std::size_t maxLines_;
    FtpReply reply_;
    bool multiLine_ = false;
};

struct PassiveAddress {
    std::string address; // "h1.h2.h3.h4"
    int port = 0;        // p1 * 256 + p2
};

// The address of a 227 reply: the text between "(" and ")", or without parentheses the text after
// the last blank; its first four comma-separated numbers are the address, the fifth * 256 + the
// sixth the port. nullopt when the numbers are missing or out of range.
std::optional<PassiveAddress> ParsePassiveReply(const std::string& line);

// The port of a 229 reply (RFC 2428): the text between "(" and ")" is "|||port|", where any
// printable character other than a digit may stand for "|". nullopt when malformed or out of range.
std::optional<int> ParseExtendedPassiveReply(const std::string& line);

} // namespace tarvo
