// RequestFraming: finds where one HTTP/1.1 request ends in the bytes a connection has sent so far,
// before anything acts on it. The header block is bounded as a whole, a body is taken by
// Content-Length only (no transfer codings) and bounded, and the bytes of a request are handed on
// only once they are all in, so whatever a request carries after its header block is either its
// body or the start of the next request, never both. Range and Expect are dropped from what is
// handed on: the view answers every request whole, and a body is in before anyone could be asked
// to continue.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class RequestFraming {
 public:
  static constexpr size_t kMaxHeaderBlock = 16384;  // request line and headers, with the blank line
  static constexpr size_t kMaxBody = 4096;

  enum class State { Incomplete, Complete, Refused };

  struct Result {
    State state = State::Incomplete;
    size_t consumed = 0;    // Complete: the request's length in the bytes given
    std::string forwarded;  // Complete: the request as handed on
    std::string target;     // Complete: the request target of the request line
    std::vector<std::pair<std::string, std::string>> headers;  // Complete: as sent, in order
    int status = 0;                                            // Refused: the status to answer with
    std::string reason;                                        // Refused: why, for the answer's body
  };

  // Judges the bytes a connection has sent since its previous request ended.
  static Result frame(std::string_view buffered);
  // The value of the first header `name` (any case), empty when there is none.
  static std::string header(const Result& result, std::string_view name);
};
