// ConnectionFront: the live view's listening socket and its connections, up to the point where a
// whole request is in. One thread accepts and reads every connection that is waiting for a
// request (poll, no thread per connection), so a client that connects and sends nothing, or
// trickles its request, holds nothing but a slot among kMaxConnections; a request must be whole
// within kRequestTime of the connection's turn to send one, and RequestFraming bounds its size.
// Only whole requests go to the workers; when every slot is taken, a new connection pushes out the
// one that has waited longest for its request. A connection that is refused, or whose answer is a
// refusal, is closed: what it sent after is never read as a request.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ConnectionFront {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr size_t kMaxConnections = 256;
  static constexpr std::chrono::seconds kRequestTime{5};
  static constexpr std::chrono::seconds kAnswerTime{10};

  // What a worker does with one whole request: answers on `socket` by `answerBy`; true when the
  // connection may carry another request.
  using Serve = std::function<bool(int socket, const std::string& request, Clock::time_point answerBy)>;

  ConnectionFront(Serve serve, size_t workers);
  ~ConnectionFront();
  ConnectionFront(const ConnectionFront&) = delete;
  ConnectionFront& operator=(const ConnectionFront&) = delete;

  // Binds `address` (numeric) and `port` (0: any free port) and listens; returns the port, or -1.
  int bind(const std::string& address, int port);
  // Starts the reading thread and the workers.
  void start();
  // Closes every connection, ends the threads and joins them.
  void stop();

 private:
  struct Connection {
    int socket = -1;
    std::string buffered;  // what it sent that is not yet a request
    Clock::time_point deadline;
    Clock::time_point since;  // when it began to wait for its request
    bool lingering = false;   // done with: what it still sends is read and dropped until it closes
    size_t dropped = 0;
  };
  struct Job {
    Connection connection;
    std::string request;
  };

  void readLoop();
  void workLoop();
  void accept(std::list<Connection>& waiting, Clock::time_point now);
  // Frames what `connection` has sent; false when it is no longer waiting for its request (a
  // worker has it, or it was refused and lingers).
  bool judge(Connection& connection, Clock::time_point now);
  // Takes the bytes a waiting connection sent; false when it is to be closed. Its socket is -1
  // once a worker has it.
  bool receive(Connection& connection, Clock::time_point now);
  static void linger(Connection& connection, Clock::time_point now);
  void wake();

  Serve m_serve;
  size_t m_workerCount;
  int m_listen = -1;
  int m_wake = -1;  // eventfd: a connection came back, or stop()
  std::thread m_reader;
  std::vector<std::thread> m_workers;
  std::atomic<size_t> m_busy{0};  // connections with the workers

  std::mutex m_mutex;
  std::condition_variable m_jobReady;
  std::deque<Job> m_jobs;
  std::vector<Connection> m_returned;  // kept open after an answer, for the reader again
  bool m_stopping = false;
};
