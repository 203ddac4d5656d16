#include "ViewServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <cmath>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

// How long a viewer's frame request waits for a newer frame before it is answered with none.
constexpr std::chrono::milliseconds kFrameWait{500};
constexpr time_t kKeepAliveSeconds = std::chrono::seconds(ConnectionFront::kRequestTime).count();

// With a parameter: cpp-httplib compresses an exact "application/json" for clients that accept
// brotli or gzip, which costs more CPU than the whole view (the frame is a JPEG already) and
// gains nothing on loopback.
const char* const kJson = "application/json; charset=utf-8";

void sendJson(httplib::Response& response, const QJsonObject& object, int status = 200) {
  response.status = status;
  response.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(), kJson);
}

void sendProblem(httplib::Response& response, int status, const QString& problem) {
  sendJson(response, QJsonObject{{QStringLiteral("problem"), problem}}, status);
}

// An unsigned decimal query value; `fallback` when the parameter is absent, nothing when malformed.
bool unsignedParam(const httplib::Request& request, const char* name, uint64_t fallback, uint64_t& value) {
  if (!request.has_param(name)) {
    value = fallback;
    return true;
  }
  const std::string text = request.get_param_value(name);
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoull(text);
  return true;
}

// The JSON object of a control's body; an empty body is an empty object.
bool jsonBody(const httplib::Request& request, QJsonObject& object) {
  if (request.body.empty()) {
    object = QJsonObject();
    return true;
  }
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) {
    return false;
  }
  object = document.object();
  return true;
}

// A whole number from 0 to 2^32-1 held in `value` of `object`.
bool limitOf(const QJsonObject& object, uint32_t& limit) {
  const QJsonValue value = object.value(QStringLiteral("limit"));
  const double number = value.toDouble(-1);
  if (!value.isDouble() || number < 0 || number > 4294967295.0 || std::floor(number) != number) {
    return false;
  }
  limit = static_cast<uint32_t>(number);
  return true;
}

QJsonObject latencyJson(const LatencyStats& latency) {
  return QJsonObject{{QStringLiteral("count"), static_cast<qint64>(latency.count)},
                     {QStringLiteral("window"), static_cast<qint64>(ViewSink::kLatencyWindow)},
                     {QStringLiteral("p50"), latency.p50},
                     {QStringLiteral("p99"), latency.p99},
                     {QStringLiteral("max"), latency.max}};
}

const char* reasonOf(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 416:
      return "Range Not Satisfiable";
    default:
      return "Error";
  }
}

// One whole request, read from memory, answered on the connection's socket by a deadline. The
// status of the answer is kept, so the connection can be closed after a refusal.
class AnswerStream : public httplib::Stream {
 public:
  AnswerStream(int socket, const std::string& request, ConnectionFront::Clock::time_point answerBy)
      : m_socket(socket), m_request(request), m_answerBy(answerBy) {}

  bool is_readable() const override { return m_read < m_request.size(); }
  bool is_writable() const override { return !m_failed; }
  ssize_t read(char* ptr, size_t size) override {
    const size_t count = std::min(size, m_request.size() - m_read);
    std::copy_n(m_request.data() + m_read, count, ptr);
    m_read += count;
    return static_cast<ssize_t>(count);
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (m_status == 0 && m_head.size() < 12) {
      m_head.append(ptr, std::min(size, 12 - m_head.size()));
      if (m_head.size() == 12 && m_head.compare(0, 9, "HTTP/1.1 ") == 0) {
        m_status = std::atoi(m_head.c_str() + 9);
      }
    }
    size_t sent = 0;
    while (sent < size && !m_failed) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(m_answerBy - ConnectionFront::Clock::now());
      pollfd writable{m_socket, POLLOUT, 0};
      if (left.count() <= 0 || ::poll(&writable, 1, static_cast<int>(left.count())) <= 0) {
        m_failed = true;
        break;
      }
      const ssize_t n = ::send(m_socket, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        continue;
      }
      if (n <= 0) {
        m_failed = true;
        break;
      }
      sent += static_cast<size_t>(n);
    }
    return m_failed ? -1 : static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { address(::getpeername, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { address(::getsockname, ip, port); }
  socket_t socket() const override { return m_socket; }

  int status() const { return m_status; }
  bool failed() const { return m_failed; }

 private:
  template <typename Name>
  void address(Name name, std::string& ip, int& port) const {
    sockaddr_storage where{};
    socklen_t length = sizeof where;
    char text[INET6_ADDRSTRLEN] = "";
    port = 0;
    if (name(m_socket, reinterpret_cast<sockaddr*>(&where), &length) == 0) {
      if (where.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(where);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
      } else if (where.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(where);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
      }
    }
    ip = text;
  }

  int m_socket;
  const std::string& m_request;
  size_t m_read = 0;
  ConnectionFront::Clock::time_point m_answerBy;
  std::string m_head;
  int m_status = 0;
  bool m_failed = false;
};

}  // namespace

// The library's server without its own listening and reading: the front hands it whole requests.
class ViewServer::Http : public httplib::Server {
 public:
  // Answers the one request `stream` holds; true when the connection may carry another.
  bool answer(AnswerStream& stream) {
    bool closed = false;
    const bool answered = process_request(stream, false, closed, nullptr);
    return answered && !closed && !stream.failed() && stream.status() > 0 && stream.status() < 400;
  }
};

ViewServer::ViewServer(ViewSession& session, ViewSink& sink, DisplaySlot& slot, DisplayEncoder& encoder,
                       LogCapture& log, AccessPolicy policy)
    : m_session(session),
      m_sink(sink),
      m_slot(slot),
      m_encoder(encoder),
      m_log(log),
      m_policy(std::move(policy)),
      m_server(std::make_unique<Http>()),
      m_front(
          [this](int socket, const std::string& request, ConnectionFront::Clock::time_point answerBy) {
            AnswerStream stream(socket, request, answerBy);
            return m_server->answer(stream);
          },
          kWorkers) {
  // The page lives in the host's static library; this keeps its resources linked in.
  Q_INIT_RESOURCE(view);
  m_server->set_payload_max_length(kMaxBody);
  m_server->set_keep_alive_timeout(kKeepAliveSeconds);
  m_server->set_default_headers({
      {"Cache-Control", "no-store"},
      {"Cross-Origin-Resource-Policy", "same-origin"},
      {"X-Content-Type-Options", "nosniff"},
      {"X-Frame-Options", "DENY"},
      {"Referrer-Policy", "no-referrer"},
      {"Content-Security-Policy",
       "default-src 'self'; img-src 'self' data: blob:; style-src 'self'; script-src 'self'; "
       "frame-ancestors 'none'; form-action 'none'"},
  });
  m_server->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    AccessPolicy::Request asked;
    asked.method = request.method;
    asked.host = request.get_header_value("Host");
    asked.origin = request.get_header_value("Origin");
    asked.contentType = request.get_header_value("Content-Type");
    asked.cookie = request.get_header_value("Cookie");
    asked.tokenHeader = request.get_header_value(AccessPolicy::kHeader);
    asked.path = request.path;
    asked.tokenParam = request.get_param_value("token");
    const AccessPolicy::Verdict verdict = m_policy.judge(asked);
    if (verdict.status != 200) {
      response.status = verdict.status;
      response.set_content(verdict.reason + "\n", "text/plain");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (m_policy.tokenFromQuery(asked)) {
      // The page keeps the token as a cookie of its own and drops it from the address bar.
      response.set_header("Set-Cookie", std::string(AccessPolicy::kCookie) + "=" + m_policy.token() +
                                            "; Path=/; HttpOnly; SameSite=Strict");
      response.set_redirect("/", 303);
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  m_server->set_error_handler([](const httplib::Request& /*request*/, httplib::Response& response) {
    // The front closes the connection after a refusal; the client is told so.
    response.set_header("Connection", "close");
    if (response.body.empty()) {
      response.set_content(std::to_string(response.status) + " " + reasonOf(response.status) + "\n",
                           "text/plain");
    }
  });
  m_server->set_exception_handler(
      [](const httplib::Request& /*request*/, httplib::Response& response, std::exception_ptr error) {
        QString what = QStringLiteral("the view failed");
        try {
          std::rethrow_exception(std::move(error));
        } catch (const std::exception& e) {
          what = QString::fromLocal8Bit(e.what());
        } catch (...) {
        }
        sendProblem(response, 500, what);
      });
  routes();
  controls();
}

ViewServer::~ViewServer() { stop(); }

int ViewServer::bind(const std::string& address, int port) { return m_front.bind(address, port); }

void ViewServer::start() { m_front.start(); }

void ViewServer::stop() {
  m_slot.close();
  m_front.stop();
}

void ViewServer::serveResource(httplib::Response& response, const QString& path, const char* type) const {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    response.status = 500;
    response.set_content("the page is missing from this build\n", "text/plain");
    return;
  }
  response.set_content(file.readAll().toStdString(), type);
}

void ViewServer::routes() {
  const auto methodNotAllowed = [](const char* allowed) {
    return [allowed](const httplib::Request& /*request*/, httplib::Response& response) {
      response.status = 405;
      response.set_header("Allow", allowed);
      response.set_content("405 Method Not Allowed\n", "text/plain");
    };
  };
  const std::pair<const char*, std::function<void(const httplib::Request&, httplib::Response&)>> pages[] = {
      {"/",
       [this](const httplib::Request&, httplib::Response& r) {
         serveResource(r, QStringLiteral(":/view/index.html"), "text/html; charset=utf-8");
       }},
      {"/view\\.js",
       [this](const httplib::Request&, httplib::Response& r) {
         serveResource(r, QStringLiteral(":/view/view.js"), "text/javascript");
       }},
      {"/view\\.css",
       [this](const httplib::Request&, httplib::Response& r) {
         serveResource(r, QStringLiteral(":/view/view.css"), "text/css");
       }},
      {"/api/state", [this](const httplib::Request&, httplib::Response& r) { state(r); }},
      {"/api/frame", [this](const httplib::Request& q, httplib::Response& r) { frame(q, r); }},
      {"/api/log", [this](const httplib::Request& q, httplib::Response& r) { logLines(q, r); }},
      {"/frame\\.jpg", [this](const httplib::Request&, httplib::Response& r) { latestJpeg(r); }},
  };
  for (const auto& [path, handler] : pages) {
    m_server->Get(path, handler);
    m_server->Post(path, methodNotAllowed("GET, HEAD"));
  }
  // Other methods have nothing to act on anywhere.
  m_server->Put(".*", methodNotAllowed("GET, HEAD, POST"));
  m_server->Patch(".*", methodNotAllowed("GET, HEAD, POST"));
  m_server->Delete(".*", methodNotAllowed("GET, HEAD, POST"));
  m_server->Options(".*", methodNotAllowed("GET, HEAD, POST"));
}

void ViewServer::controls() {
  using Control = std::function<ViewSession::Outcome(const QJsonObject&, bool& malformed)>;
  const std::pair<const char*, Control> controls[] = {
      {"/api/start", [this](const QJsonObject&, bool&) { return m_session.start(); }},
      {"/api/stop", [this](const QJsonObject&, bool&) { return m_session.stop(); }},
      {"/api/autosnap",
       [this](const QJsonObject& body, bool& malformed) {
         const QJsonValue hz = body.value(QStringLiteral("hz"));
         malformed = !hz.isDouble();
         return malformed ? ViewSession::Outcome{} : m_session.setAutoSnap(hz.toDouble());
       }},
      {"/api/mode",
       [this](const QJsonObject& body, bool& malformed) {
         const QString name = body.value(QStringLiteral("mode")).toString();
         GrabMode mode = GrabMode_SoftwareTrigger;
         if (name == QLatin1String("hardware")) {
           mode = GrabMode_HardwareTrigger;
         } else if (name == QLatin1String("counted")) {
           mode = GrabMode_SoftwareTriggerCounted;
         } else if (name != QLatin1String("software")) {
           malformed = true;
           return ViewSession::Outcome{};
         }
         uint32_t limit = m_session.state().frameLimit;
         if (body.contains(QStringLiteral("limit")) && !limitOf(body, limit)) {
           malformed = true;
           return ViewSession::Outcome{};
         }
         return m_session.setMode(mode, limit);
       }},
      {"/api/limit",
       [this](const QJsonObject& body, bool& malformed) {
         uint32_t limit = 0;
         malformed = !limitOf(body, limit);
         return malformed ? ViewSession::Outcome{} : m_session.setLimit(limit);
       }},
      {"/api/camera",
       [this](const QJsonObject& body, bool& malformed) {
         const QJsonValue key = body.value(QStringLiteral("key"));
         malformed = !key.isString();
         return malformed ? ViewSession::Outcome{} : m_session.choose(key.toString());
       }},
  };
  for (const auto& [path, control] : controls) {
    m_server->Post(path, [control = control](const httplib::Request& request, httplib::Response& response) {
      QJsonObject body;
      bool malformed = !jsonBody(request, body);
      const ViewSession::Outcome outcome = malformed ? ViewSession::Outcome{} : control(body, malformed);
      if (malformed) {
        sendProblem(response, 400, QStringLiteral("malformed control"));
      } else if (!outcome.ok) {
        sendProblem(response, 409, outcome.problem);
      } else {
        sendJson(response, QJsonObject{{QStringLiteral("ok"), true}});
      }
    });
    m_server->Get(path, [](const httplib::Request& /*request*/, httplib::Response& response) {
      response.status = 405;
      response.set_header("Allow", "POST");
      response.set_content("405 Method Not Allowed: controls are POST only\n", "text/plain");
    });
  }
  // A snap answers whether the module took it: a refusal is an answer, not a failure.
  m_server->Post("/api/snap", [this](const httplib::Request& request, httplib::Response& response) {
    QJsonObject body;
    if (!jsonBody(request, body)) {
      sendProblem(response, 400, QStringLiteral("malformed control"));
      return;
    }
    sendJson(response, QJsonObject{{QStringLiteral("accepted"), m_session.snap().ok}});
  });
  m_server->Get("/api/snap", [](const httplib::Request& /*request*/, httplib::Response& response) {
    response.status = 405;
    response.set_header("Allow", "POST");
    response.set_content("405 Method Not Allowed: controls are POST only\n", "text/plain");
  });
}

void ViewServer::state(httplib::Response& response) {
  const ViewSession::State camera = m_session.state();
  const ViewSink::Figures figures = m_sink.figures(Clock::now());
  const uint64_t displayed = m_encoder.encoded();
  QJsonArray keys;
  for (const QString& key : camera.keys) {
    keys.append(key);
  }
  const QJsonObject cameraJson{
      {QStringLiteral("key"), camera.key},
      {QStringLiteral("opened"), camera.opened},
      {QStringLiteral("grabbing"), camera.grabbing},
      {QStringLiteral("mode"), QLatin1String(ViewSession::modeName(camera.requestedMode))},
      {QStringLiteral("activeMode"), QLatin1String(ViewSession::modeName(camera.activeMode))},
      {QStringLiteral("limit"), static_cast<qint64>(camera.frameLimit)},
      {QStringLiteral("bitsPerPixel"), camera.bitsPerPixel},
      {QStringLiteral("imageNumber"), static_cast<qint64>(figures.imageNumber)},
      {QStringLiteral("width"), static_cast<qint64>(figures.width)},
      {QStringLiteral("height"), static_cast<qint64>(figures.height)},
  };
  const QJsonObject figuresJson{
      {QStringLiteral("snapped"), static_cast<qint64>(figures.snapped)},
      {QStringLiteral("refused"), static_cast<qint64>(figures.refused)},
      {QStringLiteral("delivered"), static_cast<qint64>(figures.delivered)},
      {QStringLiteral("failed"), static_cast<qint64>(figures.failed)},
      {QStringLiteral("skipped"), static_cast<qint64>(figures.skipped)},
      {QStringLiteral("unanswered"), static_cast<qint64>(figures.unanswered)},
      {QStringLiteral("waiting"), static_cast<qint64>(figures.waiting)},
      {QStringLiteral("copied"), static_cast<qint64>(figures.copied)},
      {QStringLiteral("displayed"), static_cast<qint64>(displayed)},
      {QStringLiteral("notDrawn"),
       static_cast<qint64>(figures.delivered - std::min(displayed, figures.delivered))},
      {QStringLiteral("framesPerSecond"), figures.framesPerSecond},
      {QStringLiteral("latency"), latencyJson(figures.latency)},
  };
  sendJson(response, QJsonObject{{QStringLiteral("camera"), cameraJson},
                                 {QStringLiteral("keys"), keys},
                                 {QStringLiteral("autoSnapHz"), camera.autoSnapHz},
                                 {QStringLiteral("figures"), figuresJson},
                                 {QStringLiteral("problem"), camera.problem},
                                 {QStringLiteral("logNext"), static_cast<qint64>(m_log.size())}});
}

void ViewServer::frame(const httplib::Request& request, httplib::Response& response) {
  uint64_t after = 0;
  if (!unsignedParam(request, "after", 0, after)) {
    sendProblem(response, 400, QStringLiteral("after wants a whole number"));
    return;
  }
  const std::shared_ptr<const EncodedFrame> frame = m_encoder.newerThan(after, Clock::now() + kFrameWait);
  if (!frame) {
    response.status = 204;
    return;
  }
  QJsonArray histogram;
  if (frame->drawn) {
    for (const uint32_t count : frame->histogram) {
      histogram.append(static_cast<qint64>(count));
    }
  }
  // In UTC: local time would go through the C library's time zone state, which is not safe to
  // read from several viewers' threads at once.
  const auto sinceEpoch =
      std::chrono::duration_cast<std::chrono::milliseconds>(frame->time.time_since_epoch()).count();
  sendJson(response, QJsonObject{
                         {QStringLiteral("sequence"), static_cast<qint64>(frame->sequence)},
                         {QStringLiteral("imageNumber"), static_cast<qint64>(frame->imageNumber)},
                         {QStringLiteral("width"), static_cast<qint64>(frame->width)},
                         {QStringLiteral("height"), static_cast<qint64>(frame->height)},
                         {QStringLiteral("bitsPerPixel"), frame->bitsPerPixel},
                         {QStringLiteral("time"),
                          QDateTime::fromMSecsSinceEpoch(sinceEpoch, Qt::UTC).toString(Qt::ISODateWithMs)},
                         {QStringLiteral("drawn"), frame->drawn},
                         {QStringLiteral("jpeg"), QString::fromLatin1(frame->jpeg.toBase64())},
                         {QStringLiteral("histogram"), histogram},
                     });
}

void ViewServer::latestJpeg(httplib::Response& response) {
  const std::shared_ptr<const EncodedFrame> frame = m_encoder.newerThan(0, Clock::now());
  if (!frame || !frame->drawn) {
    response.status = 404;
    response.set_content("no frame drawn yet\n", "text/plain");
    return;
  }
  response.set_content(frame->jpeg.toStdString(), "image/jpeg");
}

void ViewServer::logLines(const httplib::Request& request, httplib::Response& response) const {
  uint64_t after = 0;
  uint64_t debug = 0;
  if (!unsignedParam(request, "after", 0, after) || !unsignedParam(request, "debug", 0, debug) || debug > 1) {
    sendProblem(response, 400, QStringLiteral("after wants a whole number and debug 0 or 1"));
    return;
  }
  const size_t next = m_log.size();
  std::vector<CapturedLine> lines = m_log.linesSince(static_cast<size_t>(std::min<uint64_t>(after, next)));
  QJsonArray chosen;
  size_t kept = 0;
  // The newest lines first, up to the limit, then put back in order.
  std::vector<const CapturedLine*> newest;
  for (auto it = lines.rbegin(); it != lines.rend() && kept < kMaxLogLines; ++it) {
    if (debug == 1 || (it->type != QtDebugMsg && it->type != QtInfoMsg)) {
      newest.push_back(&*it);
      ++kept;
    }
  }
  // The module's debug lines name objects by their addresses, which tell a viewer where the heap
  // lies and nothing about the camera: a viewer sees them masked (the summary keeps them).
  static const QRegularExpression address(QStringLiteral("0x[0-9a-fA-F]{8,16}"));
  for (auto it = newest.rbegin(); it != newest.rend(); ++it) {
    QString text = (*it)->text;
    if ((*it)->type == QtDebugMsg || (*it)->type == QtInfoMsg) {
      text.replace(address, QStringLiteral("0x…"));
    }
    chosen.append(QJsonObject{{QStringLiteral("type"), QLatin1String(LogCapture::typeName((*it)->type))},
                              {QStringLiteral("text"), text}});
  }
  sendJson(response, QJsonObject{{QStringLiteral("next"), static_cast<qint64>(next)},
                                 {QStringLiteral("lines"), chosen}});
}
