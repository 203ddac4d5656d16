// AccessPolicy: who may use the live view. With a token, every request must carry it (header
// "X-View-Token" or the cookie the page gets; the query "token" on the page's entry path "/" only,
// where the printed address carries it and the answer sets the cookie); without one the view is bound to a
// loopback address, and a request must name this machine in its Host header, so a web page that
// re-binds its own name to 127.0.0.1 cannot read the view. Controls must come as JSON from the
// view's own origin, which a cross-site form or script cannot send without the browser asking
// first, and the view never says yes to that question.
#pragma once

#include <string>
#include <vector>

class AccessPolicy {
 public:
  static constexpr const char* kCookie = "zazod_view_token";
  static constexpr const char* kHeader = "X-View-Token";

  struct Request {
    std::string method;
    std::string host;         // the Host header; empty when there is none
    std::string origin;       // the Origin header; empty when there is none
    std::string contentType;  // of a POST
    std::string cookie;       // the Cookie header
    std::string tokenHeader;  // the X-View-Token header
    std::string tokenParam;   // the query's token
    std::string path = "/";   // the target's path, without its query
  };

  struct Verdict {
    int status = 200;  // 200: go on; else the status to answer with
    std::string reason;
  };

  // `token` empty: loopback only, and `allowedHosts` are the names (without the port) a Host header
  // may give for it, an IPv6 address in brackets.
  AccessPolicy(std::string token, std::vector<std::string> allowedHosts);

  Verdict judge(const Request& request) const;
  // True when the request for the entry path carried the token in its query only (the page then
  // sets the cookie).
  bool tokenFromQuery(const Request& request) const;
  const std::string& token() const { return m_token; }

  // The host of a Host header without its port.
  static std::string hostPart(const std::string& header);
  // The value of cookie `name` in a Cookie header, empty when absent.
  static std::string cookieValue(const std::string& header, const std::string& name);
  // Compares in time that depends on the lengths only.
  static bool sameSecret(const std::string& given, const std::string& secret);
  // A new token: 32 hexadecimal digits from the system's random source.
  static std::string newToken();

 private:
  bool carriesToken(const Request& request) const;

  std::string m_token;
  std::vector<std::string> m_allowedHosts;
};
