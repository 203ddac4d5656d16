#include "ViewCommand.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>

#include <iostream>

#include "AccessPolicy.h"
#include "DisplayEncoder.h"
#include "DisplaySlot.h"
#include "EmulationEnvironment.h"
#include "HostError.h"
#include "ModuleLoader.h"
#include "ViewServer.h"
#include "ViewSession.h"
#include "ViewSink.h"

namespace {

constexpr double kDisplayPerSecond = 30;

void line(const QString& text) { std::cout << text.toStdString() << '\n'; }

sigset_t endingSignals() {
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGHUP);
  return ending;
}

QString urlHost(const QString& address) {
  return address.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(address) : address;
}

// The names a browser puts in the Host header for the address: the address itself and, for
// loopback, "localhost".
std::vector<std::string> hostNames(const QString& address) {
  std::vector<std::string> names{urlHost(address).toStdString()};
  if (ViewCommand::isLoopback(address)) {
    names.emplace_back("localhost");
  }
  return names;
}

void printSummary(const ViewSink::Figures& figures, uint64_t displayed, LogCapture& log, size_t mark,
                  bool verbose) {
  const auto ms = [](double value) { return QString::number(value, 'f', 2) + QStringLiteral(" ms"); };
  line(QStringLiteral("summary"));
  line(QStringLiteral("  snapped     %1 (refused %2)").arg(figures.snapped).arg(figures.refused));
  line(QStringLiteral("  delivered   %1 (%2x%3)")
           .arg(figures.delivered)
           .arg(figures.width)
           .arg(figures.height));
  line(QStringLiteral("  failed      %1").arg(figures.failed));
  line(QStringLiteral("  skipped     %1").arg(figures.skipped));
  line(QStringLiteral("  unanswered  %1 (snaps without a frame)").arg(figures.unanswered + figures.waiting));
  line(QStringLiteral("  displayed   %1 (copied %2)").arg(displayed).arg(figures.copied));
  if (figures.latency.count > 0) {
    line(QStringLiteral("  latency     p50 %1, p99 %2, max %3 (snap to frame, last %4 frames)")
             .arg(ms(figures.latency.p50), ms(figures.latency.p99), ms(figures.latency.max))
             .arg(figures.latency.count));
  } else {
    line(QStringLiteral("  latency     - (no frame answered a snap)"));
  }
  line(QStringLiteral("module log%1")
           .arg(verbose ? QString() : QStringLiteral(" (warnings and critical lines; --verbose for all)")));
  if (log.print(std::cout, mark, verbose, "  ") == 0) {
    line(QStringLiteral("  none"));
  }
  std::cout.flush();
}

}  // namespace

bool ViewCommand::isNumericAddress(const QString& address) {
  const QByteArray text = address.toLatin1();
  in_addr v4{};
  in6_addr v6{};
  return inet_pton(AF_INET, text.constData(), &v4) == 1 || inet_pton(AF_INET6, text.constData(), &v6) == 1;
}

bool ViewCommand::isLoopback(const QString& address) {
  const QByteArray text = address.toLatin1();
  in_addr v4{};
  in6_addr v6{};
  if (inet_pton(AF_INET, text.constData(), &v4) == 1) {
    return (ntohl(v4.s_addr) >> 24) == 127;
  }
  return inet_pton(AF_INET6, text.constData(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

int ViewCommand::run(const HostOptions& options, LogCapture& log) {
  // The ending ending are taken by sigwait below; every thread started from here on (the
  // server's, the module's grab threads) inherits the blocked set and leaves them to it.
  const sigset_t ending = endingSignals();
  pthread_sigmask(SIG_BLOCK, &ending, nullptr);

  EmulationEnvironment::apply(options);
  ModuleLoader loader;
  loader.load(options.modulePath);
  log.setRetention(kLogRetention);
  const size_t mark = log.size();

  DisplaySlot slot(kDisplayPerSecond);
  DisplayEncoder encoder(slot);
  ViewSink sink(slot);
  log.setObserver(&sink);
  struct ObserverReset {
    LogCapture& log;
    ~ObserverReset() { log.setObserver(nullptr); }
  } observerReset{log};

  ViewSession session(loader, sink, log);
  const QStringList keys = session.listCameras();
  QString key = options.key;
  if (key.isEmpty() && !keys.isEmpty()) {
    key = keys.first();
  }
  if (key.isEmpty()) {
    if (options.emulate) {
      throw HostError(
          ExitCode::Camera,
          QStringLiteral("no camera present (with --emulate %1 and no --key)").arg(*options.emulate));
    }
    line(QStringLiteral("no camera listed: viewing one emulated camera (--emulate 1)"));
    session.shutDown();
    pthread_sigmask(SIG_UNBLOCK, &ending, nullptr);
    EmulationEnvironment::restartWithEmulatedCamera(options.arguments);
  }

  const uint32_t limit = options.limit.value_or(kDefaultLimit);
  const ViewSession::Outcome opened = session.openAndStart(key, options.mode, limit);
  if (!opened.ok) {
    const bool notOpened = !session.state().opened;
    throw HostError(notOpened ? ExitCode::Camera : ExitCode::Acquisition, opened.problem);
  }
  if (options.mode != GrabMode_HardwareTrigger) {
    const ViewSession::Outcome autoSnap = session.setAutoSnap(options.rate.value_or(kDefaultAutoSnapHz));
    if (!autoSnap.ok) {
      throw HostError(ExitCode::Usage, QStringLiteral("--rate: %1").arg(autoSnap.problem));
    }
  }

  const bool loopback = isLoopback(options.bind);
  std::string token = options.token.toStdString();
  if (!loopback && token.empty()) {
    token = AccessPolicy::newToken();
  }
  ViewServer server(session, sink, slot, encoder, log, AccessPolicy(token, hostNames(options.bind)));
  const int port = server.bind(options.bind.toStdString(), options.port);
  if (port <= 0) {
    throw HostError(
        ExitCode::Server,
        QStringLiteral("cannot serve the view on %1 port %2").arg(options.bind).arg(options.port));
  }
  server.start();

  QString url = QStringLiteral("http://%1:%2/").arg(urlHost(options.bind)).arg(port);
  if (!token.empty()) {
    url += QStringLiteral("?token=%1").arg(QString::fromStdString(token));
  }
  line(QStringLiteral("camera %1, %2 mode").arg(key, QLatin1String(ViewSession::modeName(options.mode))));
  line(QStringLiteral("view %1").arg(url));
  line(QStringLiteral("Ctrl-C ends the view"));
  std::cout.flush();

  int received = 0;
  sigwait(&ending, &received);

  server.stop();
  session.shutDown();
  printSummary(sink.figures(ViewSink::Clock::now()), encoder.encoded(), log, mark, options.verbose);
  return static_cast<int>(ExitCode::Success);
}
