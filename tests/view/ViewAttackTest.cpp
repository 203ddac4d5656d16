// zazod-host view against hostile clients: requests smuggled in the body of a refused one,
// connections that idle or trickle to hold the server, header blocks and bodies without end, and
// Range headers that multiply an answer.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonObject>
#include <chrono>
#include <string>
#include <vector>

#include "ViewProcess.h"

namespace {

using namespace std::chrono_literals;

bool grabbing(int port) {
  return RawHttp::get(port, "/api/state").json().value("camera").toObject().value("grabbing").toBool();
}

size_t answers(const std::string& received) {
  size_t count = 0;
  for (size_t at = received.find("HTTP/1.1 "); at != std::string::npos;
       at = received.find("HTTP/1.1 ", at + 1)) {
    ++count;
  }
  return count;
}

class ViewAttack : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_view.ready()) << m_view.output().toStdString(); }
  void TearDown() override {
    if (m_view.ready()) {
      EXPECT_TRUE(m_view.end()) << m_view.output().toStdString();
    }
  }

  ViewProcess m_view{{"--emulate", "1"}};
};

// The control a page of another origin must not reach: it stops the camera.
const std::string kInner =
    "POST /api/stop HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
    "Content-Length: 2\r\nConnection: close\r\n\r\n{}";

std::string outer(const std::string& headers, const std::string& body) {
  return "POST /x HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct Smuggling {
  const char* name;
  std::vector<std::string> pieces;  // one write each
  const char* status;               // of the one answer
};

TEST_F(ViewAttack, WhatARefusedRequestCarriesIsNeverARequest) {
  const int port = m_view.port();
  const std::string foreign = "Origin: http://attacker.example\r\nContent-Type: text/plain\r\n";
  const std::string json = "Content-Type: application/json\r\n";
  const std::string padTo4096(4096 - outer(foreign, std::string(4096, 'p') + kInner).find("\r\n\r\n") - 4,
                              'p');
  const std::vector<Smuggling> cases{
      {"foreign origin, inner request in the body", {outer(foreign, kInner)}, "HTTP/1.1 403 "},
      {"foreign origin, body in a later write",
       {outer(foreign, kInner).substr(0, outer(foreign, kInner).find("\r\n\r\n") + 4), kInner},
       "HTTP/1.1 403 "},
      {"foreign origin, inner request at byte 4096 of one write",
       {outer(foreign, padTo4096 + kInner)},
       "HTTP/1.1 403 "},
      {"plain text, inner request in the body",
       {outer("Content-Type: text/plain\r\n", kInner)},
       "HTTP/1.1 415 "},
      {"foreign origin with no body, inner request after it", {outer(foreign, "") + kInner}, "HTTP/1.1 403 "},
      {"body over the limit, inner request at its start",
       {outer(json, kInner + std::string(5000, 'p'))},
       "HTTP/1.1 413 "},
      {"chunked, inner request as a chunk",
       {"POST /api/snap HTTP/1.1\r\nHost: 127.0.0.1\r\n" + json + "Transfer-Encoding: chunked\r\n\r\n" +
        "0\r\n\r\n" + kInner},
       "HTTP/1.1 411 "},
      {"unknown path, inner request after it",
       {"GET /nothing HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" + kInner},
       "HTTP/1.1 404 "},
  };
  for (const Smuggling& c : cases) {
    SCOPED_TRACE(c.name);
    // Read until the view closes: an inner request it took would be answered before that.
    const std::string received = RawHttp::untilClosed(port, c.pieces);
    EXPECT_EQ(received.compare(0, std::string(c.status).size(), c.status), 0) << received;
    EXPECT_EQ(answers(received), 1U) << received;
    EXPECT_TRUE(grabbing(port));
  }
  // The inner request on its own stops the camera: the cases above would have shown it.
  EXPECT_EQ(answers(RawHttp::untilClosed(port, {kInner})), 1U);
  EXPECT_FALSE(grabbing(port));
}

TEST_F(ViewAttack, StateAndPageAnswerWhileManyConnectionsIdleOrTrickle) {
  const int port = m_view.port();
  std::vector<int> attackers;
  for (int i = 0; i < 300; ++i) {
    attackers.push_back(RawHttp::connectTo(port));  // and nothing sent
  }
  for (int i = 0; i < 40; ++i) {
    const int fd = RawHttp::connectTo(port);
    const std::string half = "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
    ::send(fd, half.data(), half.size(), MSG_NOSIGNAL);
    attackers.push_back(fd);
  }
  // While they hold their connections (none of them ends its own), the view answers.
  const HttpAnswer state = RawHttp::exchange(port, RawHttp::request("GET", "/api/state"), 30s);
  EXPECT_EQ(state.status, 200);
  EXPECT_TRUE(state.json().value("camera").toObject().value("grabbing").toBool());
  EXPECT_EQ(RawHttp::exchange(port, RawHttp::request("GET", "/"), 30s).status, 200);
  for (const int fd : attackers) {
    EXPECT_GE(fd, 0);
    ::close(fd);
  }
}

TEST_F(ViewAttack, ARequestTrickledPastItsTimeIsRefused) {
  // One byte at a time, each well within any per-read timeout: the request as a whole is late.
  const int fd = RawHttp::connectTo(m_view.port());
  ASSERT_GE(fd, 0);
  const std::string request =
      "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(200, 'a');
  std::string received;
  const auto hang = std::chrono::steady_clock::now() + 60s;
  for (size_t at = 0; at < request.size() && std::chrono::steady_clock::now() < hang; ++at) {
    if (::send(fd, &request[at], 1, MSG_NOSIGNAL) != 1) {
      break;
    }
    char buffer[4096];
    // The client's own pace: a byte every 100 ms (200 bytes: 20 s, far beyond the view's time).
    pollfd answer{fd, POLLIN, 0};
    if (::poll(&answer, 1, 100) > 0) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) {
        break;
      }
      received.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  EXPECT_EQ(received.compare(0, 29, "HTTP/1.1 408 Request Timeout\r"), 0) << received;
}

struct Endless {
  const char* name;
  std::string head;
  std::string filler;
  const char* status;
};

TEST_F(ViewAttack, EndlessHeadersAndBodiesAreRefusedEarly) {
  const std::string host = "Host: 127.0.0.1\r\n";
  const std::string json = "Content-Type: application/json\r\n";
  const size_t total = 20000 * 1024;  // 20,000 headers of 1 KiB, or a body as large
  const std::vector<Endless> cases{
      {"headers", "GET /api/state HTTP/1.1\r\n" + host, "X-Pad: " + std::string(1015, 'h') + "\r\n",
       "HTTP/1.1 431 Request Header Fields Too Large"},
      {"chunked body", "POST /api/snap HTTP/1.1\r\n" + host + json + "Transfer-Encoding: chunked\r\n\r\n",
       "400\r\n" + std::string(1024, 'b') + "\r\n", "HTTP/1.1 411 Length Required"},
      {"long body", "POST /api/snap HTTP/1.1\r\n" + host + json + "Content-Length: 20480000\r\n\r\n",
       std::string(1024, 'b'), "HTTP/1.1 413 Payload Too Large"},
  };
  for (const Endless& c : cases) {
    SCOPED_TRACE(c.name);
    size_t sent = 0;
    const HttpAnswer answer = RawHttp::stream(m_view.port(), c.head, c.filler, total, sent);
    EXPECT_EQ(answer.head.compare(0, std::string(c.status).size(), c.status), 0) << answer.head;
    EXPECT_LT(sent, total / 4);  // refused long before the end (the view drops at most 1 MiB more)
    EXPECT_TRUE(grabbing(m_view.port()));
  }
  // With a token the view refuses as early: the size comes before who asks.
  ViewProcess tokened({"--emulate", "1", "--token", "s3cret-token"});
  ASSERT_TRUE(tokened.ready()) << tokened.output().toStdString();
  size_t sent = 0;
  const HttpAnswer answer = RawHttp::stream(tokened.port(), cases[0].head, cases[0].filler, total, sent);
  EXPECT_EQ(answer.status, 431);
  EXPECT_LT(sent, total / 4);
  EXPECT_TRUE(tokened.end()) << tokened.output().toStdString();
}

TEST_F(ViewAttack, RangeAndExpectAreIgnored) {
  const int port = m_view.port();
  const HttpAnswer whole = RawHttp::get(port, "/view.js");
  ASSERT_EQ(whole.status, 200);
  std::string ranges = "Range: bytes=0-";
  for (int i = 0; i < 2000; ++i) {
    ranges += ",0-";
  }
  const HttpAnswer ranged = RawHttp::get(port, "/view.js", ranges + "\r\n");
  EXPECT_EQ(ranged.status, 200);
  EXPECT_EQ(ranged.body, whole.body);
  EXPECT_EQ(RawHttp::get(port, "/view.js", "Range: bytes=5-9\r\n").body, whole.body);
  // A body sent whole is taken at once, without an interim "100 Continue".
  const std::string received =
      RawHttp::untilClosed(port, {RawHttp::request("POST", "/api/snap", "{}", "Expect: 100-continue\r\n")});
  EXPECT_EQ(received.compare(0, 15, "HTTP/1.1 200 OK"), 0) << received;
  EXPECT_EQ(answers(received), 1U);
}

}  // namespace
