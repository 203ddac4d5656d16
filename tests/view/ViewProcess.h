// ViewProcess: `zazod-host view` run as a process for a test, with the SDK layer's settings of the
// test's environment removed; it is started on a free port and ended with SIGTERM, after which its
// summary can be read. RawHttp: one request sent byte for byte over a socket of its own, for the
// requests no well-behaved client would send.
#pragma once

#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

class ViewProcess {
 public:
  // Starts the view with `arguments` after "view --port 0", and `environment` added; ready() tells
  // whether it printed its URL.
  explicit ViewProcess(const QStringList& arguments, const QMap<QString, QString>& environment = {});
  ~ViewProcess();
  ViewProcess(const ViewProcess&) = delete;
  ViewProcess& operator=(const ViewProcess&) = delete;

  bool ready() const { return m_port > 0; }
  int port() const { return m_port; }
  // The URL the view printed, with its token when it has one.
  const QString& url() const { return m_url; }
  QString token() const;
  // What the view printed so far (all of it once ended).
  QString output();

  // Sends SIGTERM and waits for the end; true when it exited normally with 0 (a sanitizer's
  // report makes it exit otherwise). Once ended, tells the same again.
  bool end();
  // The number after "  <field>" in the summary, -1 when there is none.
  long long summaryValue(const QString& field) const;

 private:
  QProcess m_process;
  QString m_output;
  QString m_url;
  int m_port = -1;
  std::optional<bool> m_ended;
};

struct HttpAnswer {
  int status = 0;  // 0: no answer
  std::string head;
  std::string body;
  bool closed = false;  // the server closed the connection

  std::string header(const std::string& name) const;
  QJsonObject json() const;
};

class RawHttp {
 public:
  // Sends `bytes` to 127.0.0.1:`port` and reads one answer, waiting at most `timeout`.
  static HttpAnswer exchange(int port, const std::string& bytes,
                             std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // A well-formed request with Host and "Connection: close", and a JSON body for a POST.
  static std::string request(const std::string& method, const std::string& target,
                             const std::string& body = {}, const std::string& extraHeaders = {});
  static HttpAnswer get(int port, const std::string& target, const std::string& extraHeaders = {});
  static HttpAnswer post(int port, const std::string& target, const std::string& body,
                         const std::string& extraHeaders = {});
  // A connected socket to 127.0.0.1:`port`, -1 when none.
  static int connectTo(int port);
  // Sends `bytes` in writes of `pieces` and reads everything until the server closes (at most
  // `timeout`); what came back, "(open)" appended when the server did not close.
  static std::string untilClosed(int port, const std::vector<std::string>& pieces,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // Sends `head`, then `filler` again and again up to `total` bytes, while reading: stops once an
  // answer's head is in or the server closes. `sent` tells how much went out by then.
  static HttpAnswer stream(int port, const std::string& head, const std::string& filler, size_t total,
                           size_t& sent, std::chrono::milliseconds timeout = std::chrono::seconds(30));
};
