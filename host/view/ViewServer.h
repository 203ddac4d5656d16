// ViewServer: the live view's HTTP server: cpp-httplib's routing and answers behind a
// ConnectionFront, which reads every request whole, bounded in size and time, before one of the
// workers (joined by stop()) answers it. It serves the page compiled in as Qt resources and the view's own
// paths, nothing else: the camera's state and figures, the newest display frame, the module's log lines, and
// the controls, which are POST only and take a small JSON body. Requests are limited in size and time; a
// malformed one gets 400 and the server goes on.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "AccessPolicy.h"
#include "ConnectionFront.h"
#include "DisplayEncoder.h"
#include "LogCapture.h"
#include "RequestFraming.h"
#include "ViewSession.h"
#include "ViewSink.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

class ViewServer {
 public:
  static constexpr size_t kMaxBody = RequestFraming::kMaxBody;
  static constexpr int kWorkers = 16;
  static constexpr size_t kMaxLogLines = 200;  // per answer

  ViewServer(ViewSession& session, ViewSink& sink, DisplaySlot& slot, DisplayEncoder& encoder,
             LogCapture& log, AccessPolicy policy);
  ~ViewServer();
  ViewServer(const ViewServer&) = delete;
  ViewServer& operator=(const ViewServer&) = delete;

  // Binds `address` (numeric) and `port` (0: any free port); returns the port, or -1.
  int bind(const std::string& address, int port);
  // Serves on a thread of its own until stop().
  void start();
  // Ends the server and joins its threads.
  void stop();

 private:
  class Http;

  void routes();
  void controls();
  void serveResource(httplib::Response& response, const QString& path, const char* type) const;
  void state(httplib::Response& response);
  void frame(const httplib::Request& request, httplib::Response& response);
  void latestJpeg(httplib::Response& response);
  void logLines(const httplib::Request& request, httplib::Response& response) const;

  ViewSession& m_session;
  ViewSink& m_sink;
  DisplaySlot& m_slot;
  DisplayEncoder& m_encoder;
  LogCapture& m_log;
  const AccessPolicy m_policy;
  std::unique_ptr<Http> m_server;
  ConnectionFront m_front;
};
