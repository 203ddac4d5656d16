#include "RequestFraming.h"

#include <algorithm>
#include <cctype>

namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// A header name is a token: visible characters other than separators.
bool isToken(std::string_view name) {
  static constexpr std::string_view kSeparators = "()<>@,;:\\\"/[]?={} \t";
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 32 && u < 127 && kSeparators.find(c) == std::string_view::npos;
  });
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

RequestFraming::Result refused(int status, std::string reason) {
  RequestFraming::Result result;
  result.state = RequestFraming::State::Refused;
  result.status = status;
  result.reason = std::move(reason);
  return result;
}

}  // namespace

RequestFraming::Result RequestFraming::frame(std::string_view buffered) {
  const size_t blankLine = buffered.substr(0, kMaxHeaderBlock).find("\r\n\r\n");
  if (blankLine == std::string_view::npos || blankLine + 4 > kMaxHeaderBlock) {
    if (buffered.size() >= kMaxHeaderBlock) {
      return refused(431, "431 Request Header Fields Too Large: the header block is over 16384 bytes");
    }
    return {};
  }
  const std::string_view block = buffered.substr(0, blankLine + 2);  // each line with its CRLF
  // Lines end in CRLF only: a lone CR or LF, or a NUL, is where parsers disagree.
  for (size_t i = 0; i < block.size(); ++i) {
    const char c = block[i];
    if (c == '\0' || (c == '\r' && block[i + 1] != '\n') || (c == '\n' && (i == 0 || block[i - 1] != '\r'))) {
      return refused(400, "400 Bad Request: a header line holds a lone CR, LF or NUL");
    }
  }
  Result result;
  const size_t lineEnd = block.find("\r\n");
  const std::string_view requestLine = block.substr(0, lineEnd);
  const size_t firstSpace = requestLine.find(' ');
  const size_t secondSpace = requestLine.find(' ', firstSpace == std::string_view::npos ? 0 : firstSpace + 1);
  if (firstSpace != std::string_view::npos && secondSpace != std::string_view::npos) {
    result.target = std::string(requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1));
  }
  std::string forwarded(requestLine);
  forwarded += "\r\n";
  bool hasLength = false;
  size_t length = 0;
  for (size_t at = lineEnd + 2; at < block.size();) {
    const size_t end = block.find("\r\n", at);
    const std::string_view line = block.substr(at, end - at);
    at = end + 2;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) {
      return refused(400, "400 Bad Request: a header line is not a name, a colon and a value");
    }
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (sameName(name, "Transfer-Encoding")) {
      return refused(411, "411 Length Required: transfer codings are not taken; send a Content-Length");
    }
    if (sameName(name, "Content-Length")) {
      if (hasLength || value.empty() || value.size() > 19 ||
          value.find_first_not_of("0123456789") != std::string_view::npos) {
        return refused(400, "400 Bad Request: Content-Length is not a number");
      }
      hasLength = true;
      length = std::stoull(std::string(value));
      if (length > kMaxBody) {
        return refused(413, "413 Payload Too Large: a body is at most 4096 bytes");
      }
    }
    result.headers.emplace_back(std::string(name), std::string(value));
    if (sameName(name, "Range") || sameName(name, "Expect")) {
      continue;
    }
    forwarded.append(line.data(), line.size());
    forwarded += "\r\n";
  }
  const size_t bodyStart = blankLine + 4;
  if (buffered.size() < bodyStart + length) {
    return {};
  }
  forwarded += "\r\n";
  forwarded.append(buffered.substr(bodyStart, length));
  result.state = State::Complete;
  result.consumed = bodyStart + length;
  result.forwarded = std::move(forwarded);
  return result;
}

std::string RequestFraming::header(const Result& result, std::string_view name) {
  for (const auto& [key, value] : result.headers) {
    if (sameName(key, name)) {
      return value;
    }
  }
  return {};
}
