// zazod-host view as a server: what it answers to requests no page would send (malformed, unknown
// paths, wrong methods, oversized, slow), who it answers (token, Host, origin), and that its
// controls and figures agree with the summary the process prints at the end.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryFile>
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "ViewProcess.h"

namespace {

using namespace std::chrono_literals;

// Polls the view's state until `reached` holds; the state that satisfied it. A state that never
// gets there within `timeout` (a bound that only catches a hang) fails the test, with the state
// last read, so no later comparison is made against a state the test did not ask for.
QJsonObject stateWhen(int port, const std::function<bool(const QJsonObject&)>& reached,
                      std::chrono::milliseconds timeout = 30s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  QJsonObject state;
  for (;;) {
    state = RawHttp::get(port, "/api/state").json();
    if (reached(state)) {
      return state;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ADD_FAILURE() << "the view's state never reached the awaited condition; last read: "
                    << QJsonDocument(state).toJson(QJsonDocument::Compact).toStdString();
      return state;
    }
    std::this_thread::sleep_for(20ms);  // another process: nothing to wait on but its answers
  }
}

long long figure(const QJsonObject& state, const char* name) {
  return state.value(QStringLiteral("figures"))
      .toObject()
      .value(QLatin1String(name))
      .toVariant()
      .toLongLong();
}

long long cameraValue(const QJsonObject& state, const char* name) {
  return state.value(QStringLiteral("camera")).toObject().value(QLatin1String(name)).toVariant().toLongLong();
}

// Auto-snap off and every snap answered: the view is quiet until the next control.
QJsonObject quiet(int port) {
  EXPECT_EQ(RawHttp::post(port, "/api/autosnap", R"({"hz":0})").status, 200);
  return stateWhen(port, [](const QJsonObject& s) {
    return s.value(QStringLiteral("autoSnapHz")).toDouble() == 0 && figure(s, "waiting") == 0;
  });
}

class ViewServer : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_view.ready()) << m_view.output().toStdString(); }
  // Every test ends with a clean stop: SIGTERM, the summary, exit 0 (no sanitizer's report).
  void TearDown() override {
    if (m_view.ready()) {
      EXPECT_TRUE(m_view.end()) << m_view.output().toStdString();
    }
  }

  bool stillServes() const { return RawHttp::get(m_view.port(), "/api/state").status == 200; }

  ViewProcess m_view{{"--emulate", "2"}};
};

struct BadRequest {
  const char* name;
  std::string bytes;
  int status;
};

TEST_F(ViewServer, MalformedRequestsGet400AndTheServerGoesOn) {
  const std::string host = "Host: 127.0.0.1\r\nConnection: close\r\n";
  const std::string json = "Content-Type: application/json\r\n";
  const std::vector<BadRequest> cases{
      {"garbage", "GARBAGE\r\n\r\n", 400},
      {"no target", "GET\r\n\r\n", 400},
      {"unknown version", "GET / HTTP/9.9\r\n\r\n", 400},
      {"unknown method", "BREW / HTTP/1.1\r\n" + host + "\r\n", 400},
      {"binary", std::string("\x00\x01\x02\xff\r\n\r\n", 8), 400},
      {"length not a number", "POST /api/snap HTTP/1.1\r\n" + host + json + "Content-Length: abc\r\n\r\n",
       400},
      {"bad chunk",
       "POST /api/snap HTTP/1.1\r\n" + host + json + "Transfer-Encoding: chunked\r\n\r\nzz\r\n\r\n", 411},
      {"two lengths",
       "POST /api/snap HTTP/1.1\r\n" + host + json + "Content-Length: 2\r\nContent-Length: 0\r\n\r\n{}", 400},
      {"space before colon", "GET / HTTP/1.1\r\n" + host + "Content-Length : 5\r\n\r\n", 400},
      {"lone LF in headers", "GET / HTTP/1.1\r\n" + host + "X: a\nContent-Length: 9\r\n\r\n", 400},
      {"body not JSON", RawHttp::request("POST", "/api/autosnap", "{\"hz\":"), 400},
      {"body not an object", RawHttp::request("POST", "/api/autosnap", "[1,2]"), 400},
      {"rate not a number", RawHttp::request("POST", "/api/autosnap", R"({"hz":"fast"})"), 400},
      {"unknown mode", RawHttp::request("POST", "/api/mode", R"({"mode":"sideways"})"), 400},
      {"limit negative", RawHttp::request("POST", "/api/limit", R"({"limit":-1})"), 400},
      {"limit fractional", RawHttp::request("POST", "/api/limit", R"({"limit":2.5})"), 400},
      {"limit too large", RawHttp::request("POST", "/api/limit", R"({"limit":4294967296})"), 400},
      {"key not a string", RawHttp::request("POST", "/api/camera", R"({"key":7})"), 400},
      {"after not a number", RawHttp::request("GET", "/api/frame?after=xyz"), 400},
      {"debug not 0 or 1", RawHttp::request("GET", "/api/log?debug=2"), 400},
  };
  for (const BadRequest& bad : cases) {
    SCOPED_TRACE(bad.name);
    EXPECT_EQ(RawHttp::exchange(m_view.port(), bad.bytes, 10s).status, bad.status);
    EXPECT_TRUE(stillServes());
  }
}

TEST_F(ViewServer, AutoSnapRatesOutsideTheirRangeAreRefused) {
  const int port = m_view.port();
  const struct {
    const char* hz;
    int status;
  } cases[] = {{"0", 200},      {"0.001", 200}, {"1000", 200},   {"1e-300", 409}, {"5e-324", 409},
               {"0.0009", 409}, {"-1", 409},    {"1000.5", 409}, {"1e308", 409}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hz);
    const HttpAnswer answer = RawHttp::post(port, "/api/autosnap", std::string(R"({"hz":)") + c.hz + "}");
    EXPECT_EQ(answer.status, c.status);
    if (c.status == 200) {
      EXPECT_EQ(RawHttp::get(port, "/api/state").json().value("autoSnapHz").toDouble(), std::stod(c.hz));
    } else {
      EXPECT_EQ(answer.json().value("problem").toString(),
                "the auto-snap rate is 0 (off) or a number from 0.001 to 1000");
    }
  }
  EXPECT_TRUE(stillServes());
}

TEST_F(ViewServer, ServesThePagesOwnPathsOnly) {
  const int port = m_view.port();
  for (const char* path : {"/", "/view.js", "/view.css", "/api/state", "/api/log", "/api/frame"}) {
    SCOPED_TRACE(path);
    const HttpAnswer answer = RawHttp::get(port, path);
    EXPECT_TRUE(answer.status == 200 || (answer.status == 204 && std::string(path) == "/api/frame"))
        << answer.head;
    EXPECT_EQ(answer.header("Cache-Control"), "no-store");
    EXPECT_EQ(answer.header("Cross-Origin-Resource-Policy"), "same-origin");
    EXPECT_EQ(answer.header("X-Content-Type-Options"), "nosniff");
  }
  EXPECT_NE(RawHttp::get(port, "/").body.find("<title>zazod-host view</title>"), std::string::npos);
  for (const char* path :
       {"/index.html", "/viewXjs", "/page/index.html", "/../../etc/passwd", "/%2e%2e/etc/passwd",
        "/view.js/../../etc/passwd", "/api", "/api/state/x", "/:/view/index.html"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(RawHttp::get(port, path).status, 404);
  }
}

TEST_F(ViewServer, ControlsArePostOnlyAndPagesGetOnly) {
  const int port = m_view.port();
  for (const char* path :
       {"/api/start", "/api/stop", "/api/snap", "/api/autosnap", "/api/mode", "/api/limit", "/api/camera"}) {
    SCOPED_TRACE(path);
    const HttpAnswer answer = RawHttp::get(port, path);
    EXPECT_EQ(answer.status, 405);
    EXPECT_EQ(answer.header("Allow"), "POST");
  }
  EXPECT_EQ(RawHttp::post(port, "/api/state", "{}").status, 405);
  EXPECT_EQ(RawHttp::exchange(port, "PUT / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n").status,
            405);
}

TEST_F(ViewServer, OversizedRequestsAreRefused) {
  const int port = m_view.port();
  EXPECT_EQ(RawHttp::post(port, "/api/autosnap", std::string(8000, ' ') + R"({"hz":1})").status, 413);
  EXPECT_EQ(RawHttp::get(port, "/" + std::string(9000, 'a')).status, 414);
  EXPECT_EQ(RawHttp::get(port, "/", "X-Big: " + std::string(9000, 'a') + "\r\n").status, 400);
  EXPECT_TRUE(stillServes());
}

TEST_F(ViewServer, SlowClientsAreDroppedWhileOthersAreServed) {
  const int port = m_view.port();
  const QJsonObject before = RawHttp::get(port, "/api/state").json();
  // Half a request each, then nothing: the server ends them when their time for a request is up.
  std::vector<HttpAnswer> answers(4);
  std::vector<std::thread> slow;
  slow.reserve(answers.size());
  for (HttpAnswer& answer : answers) {
    slow.emplace_back(
        [port, &answer] { answer = RawHttp::exchange(port, "GET /api/state HTTP/1.1\r\nHo", 20s); });
  }
  for (int i = 0; i < 5; ++i) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(stillServes());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
  }
  for (std::thread& thread : slow) {
    thread.join();
  }
  for (const HttpAnswer& answer : answers) {
    EXPECT_EQ(answer.status, 408) << answer.head;
  }
  // The camera went on meanwhile (auto-snap at 10 a second), every snap answered by its frame.
  const QJsonObject after = RawHttp::get(port, "/api/state").json();
  EXPECT_GT(figure(after, "delivered"), figure(before, "delivered") + 5);
  EXPECT_EQ(figure(after, "unanswered"), 0);
}

TEST_F(ViewServer, AnswersOnlyForItsOwnLoopbackName) {
  const int port = m_view.port();
  const auto withHost = [&](const std::string& host) {
    return RawHttp::exchange(port,
                             "GET /api/state HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n")
        .status;
  };
  EXPECT_EQ(withHost("127.0.0.1:" + std::to_string(port)), 200);
  EXPECT_EQ(withHost("localhost:" + std::to_string(port)), 200);
  EXPECT_EQ(withHost("attacker.example:" + std::to_string(port)), 403);
  EXPECT_EQ(withHost("127.0.0.1.attacker.example"), 403);
  // Controls from another origin, or not as JSON, are refused before they act.
  EXPECT_EQ(RawHttp::post(port, "/api/stop", "{}", "Origin: http://attacker.example\r\n").status, 403);
  EXPECT_EQ(RawHttp::exchange(port,
                              "POST /api/stop HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                              "Content-Type: text/plain\r\nContent-Length: 2\r\n\r\n{}")
                .status,
            415);
  EXPECT_TRUE(RawHttp::get(port, "/api/state").json().value("camera").toObject().value("grabbing").toBool());
}

// Started again, the camera numbers its frames from 1; one snap gives one frame.
QJsonObject restartAndSnapOnce(int port) {
  quiet(port);
  EXPECT_EQ(RawHttp::post(port, "/api/mode", R"({"mode":"software"})").status, 200);
  const QJsonObject before = RawHttp::get(port, "/api/state").json();
  const HttpAnswer snap = RawHttp::post(port, "/api/snap", "{}");
  EXPECT_EQ(snap.status, 200);
  EXPECT_TRUE(snap.json().value("accepted").toBool());
  QJsonObject after = stateWhen(port, [&](const QJsonObject& s) {
    return figure(s, "delivered") > figure(before, "delivered") && figure(s, "waiting") == 0;
  });
  EXPECT_EQ(figure(after, "delivered"), figure(before, "delivered") + 1);
  EXPECT_EQ(figure(after, "snapped"), figure(before, "snapped") + 1);
  EXPECT_EQ(cameraValue(after, "imageNumber"), 1);
  return after;
}

TEST_F(ViewServer, SnapInSoftwareModeGivesExactlyOneFrame) { restartAndSnapOnce(m_view.port()); }

TEST_F(ViewServer, CountedModeRefusesSnapsAtTheLimit) {
  const int port = m_view.port();
  // The limit is on the camera's image number, which starts from 1 again with every start; the
  // first snap after the start still compares the last frame's number (1 here).
  restartAndSnapOnce(port);
  ASSERT_EQ(RawHttp::post(port, "/api/mode", R"({"mode":"counted","limit":3})").status, 200);
  std::vector<bool> accepted;
  for (int i = 0; i < 5; ++i) {
    const long long delivered = figure(RawHttp::get(port, "/api/state").json(), "delivered");
    const bool took = RawHttp::post(port, "/api/snap", "{}").json().value("accepted").toBool();
    accepted.push_back(took);
    if (took) {
      stateWhen(port, [&](const QJsonObject& s) { return figure(s, "delivered") > delivered; });
    }
  }
  EXPECT_EQ(accepted, (std::vector<bool>{true, true, true, false, false}));
  const QJsonObject state = RawHttp::get(port, "/api/state").json();
  EXPECT_EQ(cameraValue(state, "imageNumber"), 3);
  EXPECT_EQ(figure(state, "refused"), 2);
  EXPECT_EQ(state.value("camera").toObject().value("activeMode").toString(), "counted");
  // A higher limit admits snaps again.
  ASSERT_EQ(RawHttp::post(port, "/api/limit", R"({"limit":4})").status, 200);
  EXPECT_TRUE(RawHttp::post(port, "/api/snap", "{}").json().value("accepted").toBool());
}

TEST_F(ViewServer, ChoosesAnotherListedCameraOnly) {
  const int port = m_view.port();
  EXPECT_EQ(RawHttp::post(port, "/api/camera", R"({"key":"basler NOSUCH"})").status, 409);
  ASSERT_EQ(RawHttp::post(port, "/api/camera", R"({"key":"basler EMU0002"})").status, 200);
  const QJsonObject state =
      stateWhen(port, [](const QJsonObject& s) { return cameraValue(s, "imageNumber") > 2; });
  const QJsonObject camera = state.value("camera").toObject();
  EXPECT_EQ(camera.value("key").toString(), "basler EMU0002");
  EXPECT_TRUE(camera.value("grabbing").toBool());
  EXPECT_EQ(state.value("keys").toArray().size(), 2);
  // The module's line for the closed camera names its object by address; a viewer sees it masked.
  const QJsonArray lines = RawHttp::get(port, "/api/log?after=0&debug=1").json().value("lines").toArray();
  QStringList closes;
  for (const QJsonValue& line : lines) {
    if (line.toObject().value("text").toString().startsWith("Close camera(")) {
      closes << line.toObject().value("text").toString();
    }
  }
  EXPECT_EQ(closes, QStringList{QStringLiteral("Close camera( 0x… ).  -  CCameraBasler::ICloseCamera")});
}

TEST_F(ViewServer, HardwareModeShowsLine1FramesWithoutSnaps) {
  const int port = m_view.port();
  ASSERT_EQ(RawHttp::post(port, "/api/mode", R"({"mode":"hardware"})").status, 200);
  const long long snapped = figure(RawHttp::get(port, "/api/state").json(), "snapped");
  const QJsonObject state =
      stateWhen(port, [](const QJsonObject& s) { return cameraValue(s, "imageNumber") >= 5; });
  EXPECT_GE(cameraValue(state, "imageNumber"), 5);
  EXPECT_EQ(state.value("autoSnapHz").toDouble(), 0.0);
  EXPECT_EQ(figure(state, "snapped"), snapped);
}

TEST_F(ViewServer, FramesCarryTheImageAndItsHistogram) {
  // As a browser asks: a frame is a JPEG already and is sent as it is.
  const HttpAnswer answer =
      RawHttp::get(m_view.port(), "/api/frame?after=0", "Accept-Encoding: gzip, deflate, br\r\n");
  ASSERT_EQ(answer.status, 200);
  EXPECT_EQ(answer.header("Content-Encoding"), "");
  const QJsonObject frame = answer.json();
  EXPECT_EQ(frame.value("width").toInt(), 640);
  EXPECT_EQ(frame.value("height").toInt(), 480);
  EXPECT_TRUE(frame.value("drawn").toBool());
  const QByteArray jpeg = QByteArray::fromBase64(frame.value("jpeg").toString().toLatin1());
  EXPECT_TRUE(jpeg.startsWith("\xff\xd8"));
  const QJsonArray histogram = frame.value("histogram").toArray();
  ASSERT_EQ(histogram.size(), 256);
  long long pixels = 0;
  for (const QJsonValue& count : histogram) {
    pixels += count.toVariant().toLongLong();
  }
  EXPECT_EQ(pixels, 640 * 480);
  // A newer frame than the newest one is waited for, then none is the answer.
  const long long sequence = frame.value("sequence").toVariant().toLongLong();
  quiet(m_view.port());
  const long long newest =
      RawHttp::get(m_view.port(), "/api/frame?after=0").json().value("sequence").toVariant().toLongLong();
  EXPECT_GE(newest, sequence);
  EXPECT_EQ(RawHttp::get(m_view.port(), "/api/frame?after=" + std::to_string(newest)).status, 204);
}

TEST_F(ViewServer, SeveralViewersAtOnceEachGetNewerFrames) {
  const int port = m_view.port();
  ASSERT_EQ(RawHttp::post(port, "/api/autosnap", R"({"hz":50})").status, 200);
  // Three viewers pulling frames as the page does, each the next one after the last it got.
  std::vector<std::vector<long long>> sequences(3);
  std::vector<std::thread> viewers;
  viewers.reserve(sequences.size());
  for (std::vector<long long>& seen : sequences) {
    viewers.emplace_back([port, &seen] {
      long long after = 0;
      for (int i = 0; i < 15; ++i) {
        const HttpAnswer answer = RawHttp::get(port, "/api/frame?after=" + std::to_string(after));
        if (answer.status == 200) {
          after = answer.json().value("sequence").toVariant().toLongLong();
          seen.push_back(after);
        }
      }
    });
  }
  for (std::thread& viewer : viewers) {
    viewer.join();
  }
  for (const std::vector<long long>& seen : sequences) {
    EXPECT_GE(seen.size(), 10U);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()) &&
                std::adjacent_find(seen.begin(), seen.end()) == seen.end());
  }
  // The view went on serving, and the camera never waited for the viewers.
  const QJsonObject state = RawHttp::get(port, "/api/state").json();
  EXPECT_EQ(figure(state, "unanswered"), 0);
  EXPECT_TRUE(m_view.end()) << m_view.output().toStdString();
}

TEST_F(ViewServer, SummaryAgreesWithTheFiguresShown) {
  const int port = m_view.port();
  const QJsonObject shown = quiet(port);
  ASSERT_GT(figure(shown, "delivered"), 0);
  ASSERT_TRUE(m_view.end()) << m_view.output().toStdString();
  EXPECT_EQ(m_view.summaryValue("snapped"), figure(shown, "snapped"));
  EXPECT_EQ(m_view.summaryValue("delivered"), figure(shown, "delivered"));
  EXPECT_EQ(m_view.summaryValue("failed"), figure(shown, "failed"));
  EXPECT_EQ(m_view.summaryValue("skipped"), figure(shown, "skipped"));
  EXPECT_EQ(m_view.summaryValue("unanswered"), figure(shown, "unanswered"));
}

// A view started and waited for until it ends by itself: its exit code and output.
std::pair<int, QString> runToEnd(const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QStringLiteral(ZAZOD_HOST_PATH), arguments);
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return {-1, QStringLiteral("did not end")};
  }
  return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

TEST(ViewStart, RefusesAPortInUseAndBadArguments) {
  ViewProcess first({"--emulate", "1"});
  ASSERT_TRUE(first.ready()) << first.output().toStdString();
  const QString port = QString::number(first.port());
  const struct {
    QStringList arguments;
    int code;
    const char* message;
  } cases[] = {
      {{"view", "--emulate", "1", "--port", port}, 9, "cannot serve the view on 127.0.0.1 port "},
      {{"view", "--bind", "localhost"}, 2, "--bind wants a numeric IPv4 or IPv6 address, not \"localhost\""},
      {{"view", "--port", "65536"}, 2, "--port wants a port from 0 to 65535"},
      {{"view", "--token", "short"}, 2, "--token wants 8 to 128 letters"},
      {{"view", "--token-file", "/nonexistent/token"}, 2, "--token-file: cannot read \"/nonexistent/token\""},
      {{"view", "--token", "s3cret-token", "--token-file", "/dev/null"},
       2,
       "--token and --token-file: one or the other"},
      {{"view", "--token-file", "/dev/null"}, 2, "--token-file wants 8 to 128 letters"},
      {{"view", "--frames", "3"}, 2, "--frames is an option of grab, not of view"},
      {{"view", "--emulate", "1", "--rate", "5000"},
       2,
       "--rate: the auto-snap rate is 0 (off) or a number from 0.001 to 1000"},
      {{"view", "--emulate", "1", "--rate", "1e-300"},
       2,
       "--rate: the auto-snap rate is 0 (off) or a number from 0.001 to 1000"},
      {{"view", "--emulate", "1", "--rate", "0.0009"},
       2,
       "--rate: the auto-snap rate is 0 (off) or a number from 0.001 to 1000"},
      {{"list", "--port", "1"}, 2, "--port is an option of view, not of list"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const auto [code, output] = runToEnd(c.arguments);
    EXPECT_EQ(code, c.code) << output.toStdString();
    EXPECT_TRUE(output.contains(QLatin1String(c.message))) << output.toStdString();
  }
  EXPECT_TRUE(first.end()) << first.output().toStdString();
}

TEST(ViewStart, WithNoCameraViewsOneEmulatedCameraAndSaysSo) {
  ViewProcess view({});  // the SDK layer's settings are removed: no camera is present
  ASSERT_TRUE(view.ready()) << view.output().toStdString();
  EXPECT_TRUE(view.output().startsWith(QStringLiteral(
      "no camera listed: viewing one emulated camera (--emulate 1)\ncamera basler EMU0001, software mode\n")))
      << view.output().toStdString();
  EXPECT_TRUE(view.end()) << view.output().toStdString();
}

#ifdef ZAZOD_TEST_FAULT_MODULE
TEST(ViewFaults, FailedGrabsAreCountedAndTheirWarningsServedAsTheyCome) {
  ViewProcess view({"--module", ZAZOD_TEST_FAULT_MODULE, "--emulate", "1"},
                   {{"ZAZOD_TEST_HOST_FAULT", "failed-results:2"}});
  ASSERT_TRUE(view.ready()) << view.output().toStdString();
  const int port = view.port();
  const QJsonObject state = stateWhen(port, [](const QJsonObject& s) { return figure(s, "failed") == 2; });
  EXPECT_EQ(figure(state, "failed"), 2);
  const QJsonObject log = RawHttp::get(port, "/api/log?after=0").json();
  const QString line = QStringLiteral(
      "Basler Camera image grab error:  3774873620   injected grab failure  -  "
      "ZODOzizoZavozEzazodu::OnImageGrabbed");
  const QJsonObject warning{{"type", "warning"}, {"text", line}};
  EXPECT_EQ(log.value("lines").toArray(), (QJsonArray{warning, warning}));
  // From the mark on, only what came after it; debug lines only when asked for.
  const long long next = log.value("next").toVariant().toLongLong();
  EXPECT_EQ(RawHttp::get(port, "/api/log?after=" + std::to_string(next)).json().value("lines").toArray(),
            QJsonArray{});
  const QJsonArray withDebug = RawHttp::get(port, "/api/log?after=0&debug=1").json().value("lines").toArray();
  EXPECT_GT(withDebug.size(), 2);
  EXPECT_EQ(withDebug.first().toObject().value("type").toString(), "debug");
  // A failed grab answers its snap: no trigger counts as one without a frame.
  EXPECT_EQ(figure(quiet(port), "unanswered"), 0);
  ASSERT_TRUE(view.end()) << view.output().toStdString();
  EXPECT_EQ(view.summaryValue("failed"), 2);
  EXPECT_EQ(view.output().count(QStringLiteral("  warning: ") + line), 2);
}
#endif

TEST(ViewToken, EveryRequestWithoutTheTokenIsRefused) {
  ViewProcess view({"--emulate", "1", "--token", "s3cret-token"});
  ASSERT_TRUE(view.ready()) << view.output().toStdString();
  EXPECT_EQ(view.token(), "s3cret-token");
  const int port = view.port();
  for (const char* path : {"/", "/view.js", "/api/state", "/api/frame", "/nothing"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(RawHttp::get(port, path).status, 403);
    EXPECT_EQ(RawHttp::get(port, std::string(path) + "?token=s3cret-tokeN").status, 403);
  }
  EXPECT_EQ(RawHttp::post(port, "/api/stop", "{}").status, 403);
  // In the query, the token opens the page's entry path only.
  EXPECT_EQ(RawHttp::get(port, "/api/state?token=s3cret-token").status, 403);
  EXPECT_EQ(RawHttp::get(port, "/api/state", "X-View-Token: s3cret-token\r\n").status, 200);
  EXPECT_EQ(RawHttp::get(port, "/api/state", "Cookie: a=b; zazod_view_token=s3cret-token\r\n").status, 200);
  // The page's address with the token sets the cookie and sends the browser on without it.
  const HttpAnswer entry = RawHttp::get(port, "/?token=s3cret-token");
  EXPECT_EQ(entry.status, 303);
  EXPECT_EQ(entry.header("Location"), "/");
  EXPECT_EQ(entry.header("Set-Cookie"), "zazod_view_token=s3cret-token; Path=/; HttpOnly; SameSite=Strict");
  EXPECT_TRUE(view.end()) << view.output().toStdString();
}

TEST(ViewToken, TakenFromAFileOrTheEnvironment) {
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  file.write("file-token-1234\r\nsecond line\n");
  file.close();
  const struct {
    QStringList arguments;
    QMap<QString, QString> environment;
    const char* token;
  } cases[] = {
      {{"--emulate", "1", "--token-file", file.fileName()}, {}, "file-token-1234"},
      {{"--emulate", "1"}, {{"ZAZOD_VIEW_TOKEN", "env-token-5678"}}, "env-token-5678"},
      {{"--emulate", "1", "--token", "argument-token"},
       {{"ZAZOD_VIEW_TOKEN", "env-token-5678"}},
       "argument-token"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.token);
    ViewProcess view(c.arguments, c.environment);
    ASSERT_TRUE(view.ready()) << view.output().toStdString();
    EXPECT_EQ(view.token(), c.token);
    EXPECT_EQ(RawHttp::get(view.port(), "/api/state").status, 403);
    EXPECT_EQ(
        RawHttp::get(view.port(), "/api/state", "X-View-Token: " + std::string(c.token) + "\r\n").status,
        200);
    EXPECT_TRUE(view.end()) << view.output().toStdString();
  }
}

// Run inside scripts/netns (only loopback), as every test of this program is.
TEST(ViewToken, BindingBeyondLoopbackMakesUpAToken) {
  ViewProcess view({"--emulate", "1", "--bind", "0.0.0.0"});
  ASSERT_TRUE(view.ready()) << view.output().toStdString();
  EXPECT_EQ(view.token().size(), 32);
  EXPECT_EQ(RawHttp::get(view.port(), "/api/state").status, 403);
  EXPECT_EQ(
      RawHttp::get(view.port(), "/api/state", "X-View-Token: " + view.token().toStdString() + "\r\n").status,
      200);
  EXPECT_TRUE(view.end()) << view.output().toStdString();
}

}  // namespace
