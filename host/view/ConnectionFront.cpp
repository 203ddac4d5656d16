#include "ConnectionFront.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "RequestFraming.h"

namespace {

// What a waiting connection may hold: a whole request at its largest.
constexpr size_t kMaxBuffered = RequestFraming::kMaxHeaderBlock + RequestFraming::kMaxBody;
// A refused connection is read and dropped for this long (and this much) before it is closed, so
// the refusal reaches the client instead of being cut off by a reset.
constexpr std::chrono::seconds kLingerTime{1};
constexpr size_t kMaxDropped = 1 << 20;

const char* phraseOf(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 408:
      return "Request Timeout";
    case 411:
      return "Length Required";
    case 413:
      return "Payload Too Large";
    case 431:
      return "Request Header Fields Too Large";
    default:
      return "Error";
  }
}

// A short refusal, sent without waiting: it fits a fresh socket's buffer, and a client that reads
// nothing loses it.
void refuse(int socket, int status, const std::string& reason) {
  const std::string body = reason + "\n";
  const std::string answer =
      "HTTP/1.1 " + std::to_string(status) + " " + phraseOf(status) +
      "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\nConnection: close\r\nCache-Control: no-store\r\n"
      "X-Content-Type-Options: nosniff\r\n\r\n" +
      body;
  (void)::send(socket, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

int millisecondsUntil(ConnectionFront::Clock::time_point deadline, ConnectionFront::Clock::time_point now) {
  if (deadline <= now) {
    return 0;
  }
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return static_cast<int>(std::min<long long>(left, 60000));
}

}  // namespace

ConnectionFront::ConnectionFront(Serve serve, size_t workers)
    : m_serve(std::move(serve)), m_workerCount(workers), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ConnectionFront::~ConnectionFront() {
  stop();
  if (m_listen >= 0) {
    ::close(m_listen);
  }
  if (m_wake >= 0) {
    ::close(m_wake);
  }
}

int ConnectionFront::bind(const std::string& address, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
  addrinfo* found = nullptr;
  if (m_listen >= 0 || m_wake < 0 || port < 0 || port > 65535 ||
      ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    return -1;
  }
  const int listening = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  // SO_REUSEADDR only: with SO_REUSEPORT another program of the same user could bind the same
  // port and take a share of the connections.
  const int yes = 1;
  const bool bound =
      listening >= 0 && ::setsockopt(listening, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
      ::bind(listening, found->ai_addr, found->ai_addrlen) == 0 && ::listen(listening, 128) == 0;
  ::freeaddrinfo(found);
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (!bound || ::getsockname(listening, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    if (listening >= 0) {
      ::close(listening);
    }
    return -1;
  }
  m_listen = listening;
  return ntohs(local.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(local).sin6_port
                                           : reinterpret_cast<const sockaddr_in&>(local).sin_port);
}

void ConnectionFront::start() {
  if (m_listen < 0 || m_reader.joinable()) {
    return;
  }
  m_reader = std::thread([this] { readLoop(); });
  for (size_t i = 0; i < m_workerCount; ++i) {
    m_workers.emplace_back([this] { workLoop(); });
  }
}

void ConnectionFront::stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_jobReady.notify_all();
  wake();
  if (m_reader.joinable()) {
    m_reader.join();
  }
  for (std::thread& worker : m_workers) {
    worker.join();
  }
  m_workers.clear();
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const Job& job : m_jobs) {
    ::close(job.connection.socket);
  }
  m_jobs.clear();
  for (const Connection& connection : m_returned) {
    ::close(connection.socket);
  }
  m_returned.clear();
}

void ConnectionFront::wake() {
  const uint64_t one = 1;
  (void)::write(m_wake, &one, sizeof one);
}

void ConnectionFront::linger(Connection& connection, Clock::time_point now) {
  ::shutdown(connection.socket, SHUT_WR);
  connection.lingering = true;
  connection.buffered.clear();
  connection.deadline = now + kLingerTime;
}

bool ConnectionFront::judge(Connection& connection, Clock::time_point now) {
  RequestFraming::Result framed = RequestFraming::frame(connection.buffered);
  switch (framed.state) {
    case RequestFraming::State::Incomplete:
      return true;
    case RequestFraming::State::Refused:
      refuse(connection.socket, framed.status, framed.reason);
      linger(connection, now);
      return true;
    case RequestFraming::State::Complete:
      break;
  }
  connection.buffered.erase(0, framed.consumed);
  Job job{Connection{}, std::move(framed.forwarded)};
  std::swap(job.connection, connection);  // the worker's now; here a socket of -1 is left
  ++m_busy;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
  }
  m_jobReady.notify_one();
  return false;
}

bool ConnectionFront::receive(Connection& connection, Clock::time_point now) {
  char bytes[16384];
  const size_t room =
      connection.lingering ? sizeof bytes : std::min(sizeof bytes, kMaxBuffered - connection.buffered.size());
  const ssize_t got = ::recv(connection.socket, bytes, room, MSG_DONTWAIT);
  if (got < 0) {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  }
  if (got == 0) {
    return false;  // the client closed
  }
  if (connection.lingering) {
    connection.dropped += static_cast<size_t>(got);
    return connection.dropped <= kMaxDropped;
  }
  connection.buffered.append(bytes, static_cast<size_t>(got));
  judge(connection, now);
  return true;
}

void ConnectionFront::accept(std::list<Connection>& waiting, Clock::time_point now) {
  for (;;) {
    const int socket = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) {
      return;  // none left (or out of descriptors: the next poll tries again)
    }
    if (waiting.size() + m_busy >= kMaxConnections) {
      if (waiting.empty()) {
        ::close(socket);  // every slot is with the workers
        continue;
      }
      // The longest waiting goes: a client that holds its slot idle loses it first.
      ::close(waiting.front().socket);
      waiting.pop_front();
    }
    Connection connection;
    connection.socket = socket;
    connection.since = now;
    connection.deadline = now + kRequestTime;
    waiting.push_back(std::move(connection));
  }
}

void ConnectionFront::readLoop() {
  std::list<Connection> waiting;  // ordered by `since`
  std::vector<pollfd> polled;
  std::vector<std::list<Connection>::iterator> polledConnections;
  for (;;) {
    std::vector<Connection> returned;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_stopping) {
        break;
      }
      returned.swap(m_returned);
    }
    Clock::time_point now = Clock::now();
    for (Connection& connection : returned) {
      connection.since = now;
      connection.deadline = now + kRequestTime;
      if (connection.lingering) {
        linger(connection, now);
      } else if (!judge(connection, now)) {
        continue;  // a request was waiting behind the last one: with a worker again
      }
      waiting.push_back(std::move(connection));
    }
    polled.assign({pollfd{m_listen, POLLIN, 0}, pollfd{m_wake, POLLIN, 0}});
    polledConnections.clear();
    Clock::time_point soonest = Clock::time_point::max();
    for (auto it = waiting.begin(); it != waiting.end(); ++it) {
      polled.push_back(pollfd{it->socket, POLLIN, 0});
      polledConnections.push_back(it);
      soonest = std::min(soonest, it->deadline);
    }
    const int timeout = soonest == Clock::time_point::max() ? -1 : millisecondsUntil(soonest, now);
    if (::poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) {
      break;
    }
    if ((polled[1].revents & POLLIN) != 0) {
      uint64_t count = 0;
      (void)::read(m_wake, &count, sizeof count);
    }
    now = Clock::now();
    for (size_t i = 0; i < polledConnections.size(); ++i) {
      Connection& connection = *polledConnections[i];
      bool keep = true;
      if ((polled[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        keep = receive(connection, now);
        if (connection.socket < 0) {
          waiting.erase(polledConnections[i]);  // handed to a worker
          continue;
        }
      }
      if (keep && connection.deadline <= now) {
        if (!connection.lingering && !connection.buffered.empty()) {
          refuse(connection.socket, 408, "408 Request Timeout: the request was not whole in time");
        }
        keep = false;
      }
      if (!keep) {
        ::close(connection.socket);
        waiting.erase(polledConnections[i]);
      }
    }
    if ((polled[0].revents & POLLIN) != 0) {
      accept(waiting, now);
    }
  }
  for (const Connection& connection : waiting) {
    ::close(connection.socket);
  }
}

void ConnectionFront::workLoop() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_jobReady.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
      if (m_stopping) {
        return;
      }
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
    }
    bool keep = false;
    try {
      keep = m_serve(job.connection.socket, job.request, Clock::now() + kAnswerTime);
    } catch (...) {
      keep = false;
    }
    job.connection.lingering = !keep;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_returned.push_back(std::move(job.connection));
    }
    --m_busy;
    wake();
  }
}
