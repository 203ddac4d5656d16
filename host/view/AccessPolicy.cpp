#include "AccessPolicy.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

AccessPolicy::AccessPolicy(std::string token, std::vector<std::string> allowedHosts)
    : m_token(std::move(token)), m_allowedHosts(std::move(allowedHosts)) {}

std::string AccessPolicy::hostPart(const std::string& header) {
  if (!header.empty() && header.front() == '[') {
    const size_t close = header.find(']');
    return close == std::string::npos ? header : header.substr(0, close + 1);
  }
  return header.substr(0, header.rfind(':'));
}

std::string AccessPolicy::cookieValue(const std::string& header, const std::string& name) {
  size_t at = 0;
  while (at < header.size()) {
    size_t end = header.find(';', at);
    if (end == std::string::npos) {
      end = header.size();
    }
    size_t begin = header.find_first_not_of(' ', at);
    if (begin < end) {
      const size_t equals = header.find('=', begin);
      if (equals < end && header.compare(begin, equals - begin, name) == 0) {
        return header.substr(equals + 1, end - equals - 1);
      }
    }
    at = end + 1;
  }
  return {};
}

bool AccessPolicy::sameSecret(const std::string& given, const std::string& secret) {
  if (given.size() != secret.size()) {
    return false;
  }
  unsigned char difference = 0;
  for (size_t i = 0; i < secret.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ secret[i]);
  }
  return difference == 0;
}

std::string AccessPolicy::newToken() {
  std::string token;
  for (int i = 0; i < 4; ++i) {
    char word[9];
    std::snprintf(word, sizeof word, "%08x", QRandomGenerator::system()->generate());
    token += word;
  }
  return token;
}

bool AccessPolicy::carriesToken(const Request& request) const {
  return sameSecret(request.tokenHeader, m_token) ||
         (request.path == "/" && sameSecret(request.tokenParam, m_token)) ||
         sameSecret(cookieValue(request.cookie, kCookie), m_token);
}

bool AccessPolicy::tokenFromQuery(const Request& request) const {
  return !m_token.empty() && request.path == "/" && sameSecret(request.tokenParam, m_token) &&
         !sameSecret(cookieValue(request.cookie, kCookie), m_token);
}

AccessPolicy::Verdict AccessPolicy::judge(const Request& request) const {
  if (!m_token.empty()) {
    if (!carriesToken(request)) {
      return {403, "this view wants its token"};
    }
  } else if (!request.host.empty() && std::find(m_allowedHosts.begin(), m_allowedHosts.end(),
                                                hostPart(request.host)) == m_allowedHosts.end()) {
    return {403, "this view answers requests for this machine's loopback address only"};
  }
  if (request.method == "POST") {
    if (!request.origin.empty() && request.origin != "http://" + request.host) {
      return {403, "controls are taken from the view's own page only"};
    }
    const std::string& type = request.contentType;
    if (type.compare(0, 16, "application/json") != 0 || (type.size() > 16 && type[16] != ';')) {
      return {415, "controls are sent as application/json"};
    }
  }
  return {};
}
