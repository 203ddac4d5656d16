#include "ViewProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QUrlQuery>
#include <algorithm>
#include <cctype>
#include <cerrno>

namespace {

constexpr int kStartMs = 30000;

}  // namespace

ViewProcess::ViewProcess(const QStringList& arguments, const QMap<QString, QString>& environment) {
  QProcessEnvironment processEnvironment = QProcessEnvironment::systemEnvironment();
  for (const QString& name : processEnvironment.keys()) {
    if (name.startsWith(QLatin1String("ZAZOD_SDK_"))) {
      processEnvironment.remove(name);
    }
  }
  for (auto it = environment.constBegin(); it != environment.constEnd(); ++it) {
    processEnvironment.insert(it.key(), it.value());
  }
  m_process.setProcessEnvironment(processEnvironment);
  m_process.setProcessChannelMode(QProcess::MergedChannels);
  m_process.start(QStringLiteral(ZAZOD_HOST_PATH), QStringList{"view", "--port", "0"} + arguments);
  if (!m_process.waitForStarted(kStartMs)) {
    return;
  }
  const QRegularExpression printed(QStringLiteral("^view (http://[^/]+:(\\d+)/\\S*)$"),
                                   QRegularExpression::MultilineOption);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartMs);
  while (std::chrono::steady_clock::now() < deadline) {
    const QRegularExpressionMatch match = printed.match(output());
    if (match.hasMatch()) {
      m_url = match.captured(1);
      m_port = match.captured(2).toInt();
      return;
    }
    if (m_process.state() == QProcess::NotRunning) {
      return;
    }
    m_process.waitForReadyRead(1000);
  }
}

ViewProcess::~ViewProcess() {
  if (m_process.state() != QProcess::NotRunning) {
    m_process.kill();
    m_process.waitForFinished(kStartMs);
  }
}

QString ViewProcess::token() const {
  return QUrlQuery(QUrl(m_url).query()).queryItemValue(QStringLiteral("token"));
}

QString ViewProcess::output() {
  m_output += QString::fromLocal8Bit(m_process.readAll());
  return m_output;
}

bool ViewProcess::end() {
  if (m_ended) {
    return *m_ended;
  }
  if (m_process.state() == QProcess::NotRunning) {
    output();
    m_ended = false;  // it ended before it was asked to
    return false;
  }
  ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
  const bool finished = m_process.waitForFinished(kStartMs);
  output();
  m_ended = finished && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
  return *m_ended;
}

long long ViewProcess::summaryValue(const QString& field) const {
  const QRegularExpression pattern(QStringLiteral("^  %1 +(\\d+)").arg(QRegularExpression::escape(field)),
                                   QRegularExpression::MultilineOption);
  const QRegularExpressionMatch match = pattern.match(m_output);
  return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

std::string HttpAnswer::header(const std::string& name) const {
  std::string lowerHead = head;
  std::string lowerName = "\r\n" + name + ":";
  std::transform(lowerHead.begin(), lowerHead.end(), lowerHead.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  std::transform(lowerName.begin(), lowerName.end(), lowerName.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  const size_t at = lowerHead.find(lowerName);
  if (at == std::string::npos) {
    return {};
  }
  const size_t begin = head.find_first_not_of(' ', at + lowerName.size());
  return head.substr(begin, head.find("\r\n", begin) - begin);
}

QJsonObject HttpAnswer::json() const {
  return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

int RawHttp::connectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (fd >= 0) {
      ::close(fd);
    }
    return -1;
  }
  return fd;
}

std::string RawHttp::untilClosed(int port, const std::vector<std::string>& pieces,
                                 std::chrono::milliseconds timeout) {
  const int fd = connectTo(port);
  if (fd < 0) {
    return "(no connection)";
  }
  const int yes = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  for (const std::string& piece : pieces) {
    if (::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(piece.size())) {
      break;
    }
  }
  std::string received;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd waiting{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
      received += "(open)";
      break;
    }
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      break;
    }
    received.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return received;
}

HttpAnswer RawHttp::stream(int port, const std::string& head, const std::string& filler, size_t total,
                           size_t& sent, std::chrono::milliseconds timeout) {
  HttpAnswer answer;
  sent = 0;
  const int fd = connectTo(port);
  if (fd < 0) {
    return answer;
  }
  std::string received;
  size_t at = 0;  // in head, then in filler
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (received.find("\r\n\r\n") == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd waiting{fd, static_cast<short>(POLLIN | (sent < total ? POLLOUT : 0)), 0};
    if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    if ((waiting.revents & POLLIN) != 0) {
      char buffer[65536];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n <= 0) {
        answer.closed = true;
        break;
      }
      received.append(buffer, static_cast<size_t>(n));
    } else if ((waiting.revents & POLLOUT) != 0) {
      const std::string& piece = sent < head.size() ? head : filler;
      const size_t offset = sent < head.size() ? sent : at;
      const size_t count = std::min(piece.size() - offset, total - sent);
      const ssize_t n = ::send(fd, piece.data() + offset, count, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && errno != EAGAIN) {
        answer.closed = true;
        break;
      }
      if (n > 0) {
        sent += static_cast<size_t>(n);
        at = sent < head.size() ? 0 : (sent - head.size()) % filler.size();
      }
    } else {
      answer.closed = true;
      break;
    }
  }
  // What the server answered before it stopped reading may still be in.
  if (received.find("\r\n\r\n") == std::string::npos) {
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      received.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  const size_t headEnd = received.find("\r\n\r\n");
  if (headEnd != std::string::npos) {
    answer.head = received.substr(0, headEnd + 2);
    answer.body = received.substr(headEnd + 4);
  }
  if (answer.head.compare(0, 9, "HTTP/1.1 ") == 0) {
    answer.status = std::atoi(answer.head.c_str() + 9);
  }
  return answer;
}

HttpAnswer RawHttp::exchange(int port, const std::string& bytes, std::chrono::milliseconds timeout) {
  HttpAnswer answer;
  const int fd = connectTo(port);
  if (fd < 0) {
    return answer;
  }
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      break;
    }
    sent += static_cast<size_t>(n);
  }
  // Reads until the head and a body of Content-Length are in, or the server closes.
  std::string received;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const size_t headEnd = received.find("\r\n\r\n");
    if (headEnd != std::string::npos) {
      answer.head = received.substr(0, headEnd + 2);
      const std::string length = answer.header("Content-Length");
      if (!length.empty() && received.size() >= headEnd + 4 + std::stoull(length)) {
        answer.body = received.substr(headEnd + 4, std::stoull(length));
        break;
      }
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd waiting{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      answer.closed = true;
      if (headEnd != std::string::npos) {
        answer.body = received.substr(headEnd + 4);
      }
      break;
    }
    received.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (answer.head.compare(0, 9, "HTTP/1.1 ") == 0 || answer.head.compare(0, 9, "HTTP/1.0 ") == 0) {
    answer.status = std::atoi(answer.head.c_str() + 9);
  }
  return answer;
}

std::string RawHttp::request(const std::string& method, const std::string& target, const std::string& body,
                             const std::string& extraHeaders) {
  std::string text =
      method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extraHeaders;
  if (method == "POST") {
    text += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  }
  return text + "\r\n" + body;
}

HttpAnswer RawHttp::get(int port, const std::string& target, const std::string& extraHeaders) {
  return exchange(port, request("GET", target, {}, extraHeaders));
}

HttpAnswer RawHttp::post(int port, const std::string& target, const std::string& body,
                         const std::string& extraHeaders) {
  return exchange(port, request("POST", target, body, extraHeaders));
}
