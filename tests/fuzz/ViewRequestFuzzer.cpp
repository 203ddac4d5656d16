// libFuzzer target: what the live view makes of the bytes a client sends, before any answer:
// where the request ends (header block and body bounds, transfer codings, lone CR/LF) and who may
// have it (token, Host, origin, content type), for a view with a token and one without.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "AccessPolicy.h"
#include "RequestFraming.h"

namespace {

void check(bool holds) {
  if (!holds) {
    std::abort();
  }
}

// The query's "token" value, as the view takes it (no decoding: a token needs none).
std::string tokenParam(const std::string& query) {
  for (size_t at = 0; at <= query.size();) {
    size_t end = query.find('&', at);
    if (end == std::string::npos) {
      end = query.size();
    }
    if (query.compare(at, 6, "token=") == 0) {
      return query.substr(at + 6, end - at - 6);
    }
    at = end + 1;
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const RequestFraming::Result framed = RequestFraming::frame(bytes);
  switch (framed.state) {
    case RequestFraming::State::Incomplete:
      check(size < RequestFraming::kMaxHeaderBlock + RequestFraming::kMaxBody);
      return 0;
    case RequestFraming::State::Refused:
      check(framed.status == 400 || framed.status == 411 || framed.status == 413 || framed.status == 431);
      return 0;
    case RequestFraming::State::Complete:
      break;
  }
  check(framed.consumed <= size);
  check(framed.forwarded.size() <= framed.consumed);
  check(RequestFraming::header(framed, "Transfer-Encoding").empty());
  // What is handed on frames again as exactly itself, without Range or Expect.
  const RequestFraming::Result again = RequestFraming::frame(framed.forwarded);
  check(again.state == RequestFraming::State::Complete && again.consumed == framed.forwarded.size());
  check(RequestFraming::header(again, "Range").empty() && RequestFraming::header(again, "Expect").empty());

  AccessPolicy::Request request;
  request.method = std::string(bytes.substr(0, bytes.find(' ')));
  const size_t question = framed.target.find('?');
  request.path = framed.target.substr(0, question);
  request.tokenParam =
      question == std::string::npos ? std::string() : tokenParam(framed.target.substr(question + 1));
  request.host = RequestFraming::header(framed, "Host");
  request.origin = RequestFraming::header(framed, "Origin");
  request.contentType = RequestFraming::header(framed, "Content-Type");
  request.cookie = RequestFraming::header(framed, "Cookie");
  request.tokenHeader = RequestFraming::header(framed, AccessPolicy::kHeader);
  const AccessPolicy open("", {"127.0.0.1", "localhost"});
  const AccessPolicy tokened("fuzz-token-1234", {"camera-pc"});
  for (const AccessPolicy* policy : {&open, &tokened}) {
    const AccessPolicy::Verdict verdict = policy->judge(request);
    check(verdict.status == 200 || verdict.status == 403 || verdict.status == 415);
    check((verdict.status == 200) == verdict.reason.empty());
    // A control passes only as JSON from no origin or the view's own.
    if (verdict.status == 200 && request.method == "POST") {
      check(request.contentType.compare(0, 16, "application/json") == 0);
      check(request.origin.empty() || request.origin == "http://" + request.host);
    }
    (void)policy->tokenFromQuery(request);
  }
  return 0;
}
