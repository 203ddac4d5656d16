// The soak: two of Aravis's fake GigE Vision cameras, each on its own loopback address, and with
// --usb3 N as many fake USB3 Vision devices, snapped at a fixed rate by host code written as
// zazod-host's is, for minutes; every so often one camera is taken away (a GigE camera killed, a USB
// device unplugged) and brought back with the same serial number, and the host has to notice,
// close, reopen by key and go on. At the end a table of frames, outages, recovery times, resident
// memory and threads, with the goals beside; the exit code is 0 only when every goal is met.
//
// It runs only inside a private network namespace with only loopback, which carries the cameras'
// addresses (scripts/soak makes it).
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FakeCamera.h"
#include "FakeGigETarget.h"
#include "HostError.h"
#include "LatencyStats.h"
#include "LogCapture.h"
#include "ModuleLoader.h"
#include "NetworkNamespace.h"
#include "OutageSchedule.h"
#include "ProcessProbe.h"
#include "SoakCamera.h"
#include "SoakLogRouter.h"
#ifdef ZAZOD_WITH_FAKE_USB3
#include "FakeLibusbLoader.h"
#include "FakeUsbStateFile.h"
#include "FakeUsbTarget.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// The bounds the README and the tests give: listing and opening within 5 s, closing a camera that
// vanished within a few seconds (the tests allow 10), and an operation on a lost camera within 10 s.
constexpr double kOperationBoundSeconds[SoakCamera::OperationCount] = {0, 5, 10, 10, 10};
// An operation that has run this much longer than its bound has hung: the soak ends at once.
constexpr double kHangMarginSeconds = 60;
constexpr double kRecoveryGoalSeconds = 10;
constexpr double kRssGrowthGoalBytes = 2.0 * 1024 * 1024;
// The sample taken this long after the first recovery is the "after the first cycle" one.
constexpr std::chrono::seconds kSettleAfterCycle{5};

struct Options {
  double minutes = 10;
  double rate = 20;
  OutageSchedule::Settings outages;
  QString module;
  bool judgeMemory = true;
  size_t usbCameras = 0;
};

struct Sample {
  Clock::time_point when;
  size_t rss;
  size_t threads;
};

double number(const QCommandLineParser& parser, const QString& name, double low) {
  bool ok = false;
  const double value = parser.value(name).toDouble(&ok);
  if (!ok || value < low) {
    throw HostError(ExitCode::Usage, QStringLiteral("--%1 wants a number of at least %2, not \"%3\"")
                                         .arg(name)
                                         .arg(low)
                                         .arg(parser.value(name)));
  }
  return value;
}

Options parse(const QCoreApplication& application) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Soak of the camera module on two fake GigE Vision cameras."));
  parser.addHelpOption();
  parser.addOptions({
      {QStringLiteral("minutes"), QStringLiteral("Length of the run (default 10)."), QStringLiteral("N")},
      {QStringLiteral("rate"), QStringLiteral("Snaps a second per camera (default 20)."),
       QStringLiteral("R")},
      {QStringLiteral("outage-every"), QStringLiteral("Seconds between outages, MIN-MAX (default 60-90)."),
       QStringLiteral("MIN-MAX")},
      {QStringLiteral("down"), QStringLiteral("Seconds a killed camera stays away (default 3)."),
       QStringLiteral("S")},
      {QStringLiteral("outages"), QStringLiteral("At most this many outages (default: no limit)."),
       QStringLiteral("N")},
      {QStringLiteral("quiet-end"),
       QStringLiteral("No outage begins in the last S seconds of the run (default 25)."),
       QStringLiteral("S")},
      {QStringLiteral("no-memory-goal"),
       QStringLiteral("Print resident memory but do not judge it (a short run, a sanitizer's allocator).")},
      {QStringLiteral("seed"), QStringLiteral("Seed of the outage gaps (default 1)."), QStringLiteral("N")},
      {QStringLiteral("usb3"),
       QStringLiteral("Also N fake USB3 Vision devices (0-8, default 0), unplugged and plugged in again in "
                      "turn with the GigE cameras, the USB devices first."),
       QStringLiteral("N")},
      {QStringLiteral("module"), QStringLiteral("The camera module to load."), QStringLiteral("PATH"),
       QStringLiteral(ZAZOD_MODULE_PATH)},
  });
  parser.process(application);
  Options options;
  options.module = parser.value(QStringLiteral("module"));
  options.judgeMemory = !parser.isSet(QStringLiteral("no-memory-goal"));
  if (parser.isSet(QStringLiteral("minutes"))) {
    options.minutes = number(parser, QStringLiteral("minutes"), 0.1);
  }
  if (parser.isSet(QStringLiteral("rate"))) {
    options.rate = number(parser, QStringLiteral("rate"), 0.1);
  }
  if (parser.isSet(QStringLiteral("down"))) {
    options.outages.downSeconds = number(parser, QStringLiteral("down"), 0);
  }
  if (parser.isSet(QStringLiteral("quiet-end"))) {
    options.outages.quietEndSeconds = number(parser, QStringLiteral("quiet-end"), 0);
  }
  if (parser.isSet(QStringLiteral("outages"))) {
    options.outages.maxOutages = static_cast<uint64_t>(number(parser, QStringLiteral("outages"), 0));
  }
  if (parser.isSet(QStringLiteral("seed"))) {
    options.outages.seed = static_cast<uint32_t>(number(parser, QStringLiteral("seed"), 0));
  }
  if (parser.isSet(QStringLiteral("usb3"))) {
    const double usb = number(parser, QStringLiteral("usb3"), 0);
    if (usb > 8 || usb != static_cast<double>(static_cast<size_t>(usb))) {
      throw HostError(ExitCode::Usage, QStringLiteral("--usb3 wants a whole number from 0 to 8, not \"%1\"")
                                           .arg(parser.value(QStringLiteral("usb3"))));
    }
    options.usbCameras = static_cast<size_t>(usb);
#ifndef ZAZOD_WITH_FAKE_USB3
    if (options.usbCameras > 0) {
      throw HostError(ExitCode::Usage,
                      QStringLiteral("--usb3: this build has no fake USB3 Vision device (libusb not found)"));
    }
#endif
  }
  if (parser.isSet(QStringLiteral("outage-every"))) {
    const QRegularExpressionMatch range = QRegularExpression(QStringLiteral("^([0-9.]+)-([0-9.]+)$"))
                                              .match(parser.value(QStringLiteral("outage-every")));
    bool minOk = false;
    bool maxOk = false;
    if (range.hasMatch()) {
      options.outages.minGapSeconds = range.captured(1).toDouble(&minOk);
      options.outages.maxGapSeconds = range.captured(2).toDouble(&maxOk);
    }
    if (!minOk || !maxOk || options.outages.minGapSeconds > options.outages.maxGapSeconds ||
        options.outages.minGapSeconds <= 0) {
      throw HostError(ExitCode::Usage, QStringLiteral("--outage-every wants MIN-MAX seconds, not \"%1\"")
                                           .arg(parser.value(QStringLiteral("outage-every"))));
    }
  }
  return options;
}

QString mib(size_t bytes) { return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1); }

QString secondsText(double value) { return QString::number(value, 'f', 2) + QStringLiteral(" s"); }

void print(const QString& text) { std::cout << text.toStdString() << '\n'; }

QString verdict(bool met) { return met ? QStringLiteral("met") : QStringLiteral("MISSED"); }

// Waits until every camera delivers, or until `deadline`; false when one never did.
bool awaitDelivering(const std::vector<std::unique_ptr<SoakCamera>>& cameras, Clock::time_point deadline) {
  while (Clock::now() < deadline) {
    bool all = true;
    for (const auto& camera : cameras) {
      all = all && camera->delivering();
    }
    if (all) {
      return true;
    }
    // Polled: the cameras' first frames have no event of their own to wait on here.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// The operation of a camera that has run far past its bound, or none.
bool hung(const std::vector<std::unique_ptr<SoakCamera>>& cameras) {
  for (const auto& camera : cameras) {
    Clock::time_point since;
    const SoakCamera::Operation operation = camera->operation(since);
    if (operation == SoakCamera::None) {
      continue;
    }
    const double running = std::chrono::duration<double>(Clock::now() - since).count();
    if (running > kOperationBoundSeconds[operation] + kHangMarginSeconds) {
      std::cout.flush();
      std::fprintf(stderr, "zazod-soak: %s hangs in %s for %.0f s\n", camera->key().toLocal8Bit().constData(),
                   SoakCamera::operationName(operation), running);
      return true;
    }
  }
  return false;
}

int soak(const Options& options) {
  const char* const addresses[] = {"127.0.0.2", "127.0.0.3"};
  const char* const serials[] = {"SOAK0002", "SOAK0003"};
  // Before the SDK layer is loaded with the module.
  setenv("ZAZOD_SDK_TRANSPORTS", "aravis", 1);
  setenv("ZAZOD_SDK_ARAVIS_ADDRESSES",
         options.usbCameras > 0 ? "127.0.0.2,127.0.0.3,usb" : "127.0.0.2,127.0.0.3", 1);
  setenv("ZAZOD_SDK_ARAVIS_VENDORS", "*", 1);

  std::vector<std::unique_ptr<FakeCamera>> fakes;
  std::vector<QString> keys;
  // The outage targets in turn: the USB3 Vision devices first, then the GigE Vision cameras.
  std::vector<std::unique_ptr<OutageSchedule::Target>> targets;
#ifdef ZAZOD_WITH_FAKE_USB3
  std::unique_ptr<FakeUsbStateFile> usb;
  if (options.usbCameras > 0) {
    std::vector<Zazod::FakeUsb3::CameraSetup> setups(options.usbCameras);
    for (size_t i = 0; i < setups.size(); ++i) {
      setups[i].serial = "SOAKU00" + std::to_string(i + 1);
    }
    try {
      usb = std::make_unique<FakeUsbStateFile>(setups);
    } catch (const std::exception& error) {
      throw HostError(ExitCode::Camera, QString::fromLocal8Bit(error.what()));
    }
    for (size_t i = 0; i < setups.size(); ++i) {
      targets.push_back(std::make_unique<FakeUsbTarget>(usb->control(), i, setups[i].serial));
    }
  }
#endif
  for (size_t i = 0; i < 2; ++i) {
    fakes.push_back(std::make_unique<FakeCamera>(serials[i], std::vector<std::string>{}, addresses[i]));
    if (!fakes.back()->start()) {
      throw HostError(ExitCode::Camera, QStringLiteral("the fake camera %1 did not come up on %2 (is the "
                                                       "address on lo?)")
                                            .arg(QLatin1String(serials[i]), QLatin1String(addresses[i])));
    }
    targets.push_back(std::make_unique<FakeGigETarget>(*fakes.back()));
  }
  for (const auto& target : targets) {
    keys.push_back(QStringLiteral("basler %1").arg(QString::fromStdString(target->serialNumber())));
  }

  LogCapture log;
  SoakLogRouter router;
  ModuleLoader loader;
  loader.load(options.module);
  // A runtime's helper that the first thread start brings up (ThreadSanitizer's) is no camera's:
  // one thread started and joined first puts it into the count before opening.
  std::thread([] {}).join();
  const size_t threadsBeforeOpen = ProcessProbe::threads();
  log.setObserver(&router);

  const double runSeconds = options.minutes * 60.0;
  const auto expectedSnaps = static_cast<size_t>(options.rate * runSeconds * 1.2) + 100;
  std::mutex lifecycle;
  std::vector<std::unique_ptr<SoakCamera>> cameras;
  for (const QString& key : keys) {
    cameras.push_back(std::make_unique<SoakCamera>(loader, lifecycle, key, options.rate, expectedSnaps));
  }
  const Clock::time_point begun = Clock::now();
  const Clock::time_point end =
      begun + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(runSeconds));
  for (const auto& camera : cameras) {
    camera->start();
  }
  const bool started = awaitDelivering(cameras, begun + std::chrono::seconds(30));
  const size_t threadsAtStart = ProcessProbe::threads();

  std::vector<Sample> samples;
  samples.reserve(static_cast<size_t>(runSeconds) + 16);
  std::vector<OutageSchedule::Target*> scheduled;
  for (const auto& target : targets) {
    scheduled.push_back(target.get());
  }
  OutageSchedule schedule(scheduled, options.outages);
  schedule.start(end);
  bool hang = false;
  while (Clock::now() < end && !hang) {
    samples.push_back(Sample{Clock::now(), ProcessProbe::residentBytes(), ProcessProbe::threads()});
    std::this_thread::sleep_until(std::min(end, samples.back().when + std::chrono::seconds(1)));
    hang = hung(cameras);
  }
  if (hang) {
    // Threads stuck in the module cannot be joined, so no destructor runs: the fake cameras go
    // first, so that nothing of the run stays behind.
    for (const auto& fake : fakes) {
      fake->kill();
    }
#ifdef ZAZOD_WITH_FAKE_USB3
    usb.reset();
#endif
    std::fflush(stderr);
    std::_Exit(3);
  }
  schedule.stop();
  // The end of the run while grabbing: the cameras have had the quiet end to recover.
  const bool deliveringAtEnd = awaitDelivering(cameras, Clock::now() + std::chrono::seconds(15));
  samples.push_back(Sample{Clock::now(), ProcessProbe::residentBytes(), ProcessProbe::threads()});
  for (const auto& camera : cameras) {
    camera->stop();
  }
  log.setObserver(nullptr);
  const size_t threadsAfterClose = ProcessProbe::threads();

  // --- the table
  const std::vector<OutageSchedule::Outage>& outages = schedule.outages();
  std::vector<double> recoverAll;
  bool allRecovered = true;
  bool allReturned = true;
  Clock::time_point firstCycle = Clock::time_point::max();
  print(
      QStringLiteral("soak: %1 min, %2 snaps/s per camera, %3 outages (one camera killed or unplugged, back "
                     "after %4 s)")
          .arg(options.minutes)
          .arg(options.rate)
          .arg(outages.size())
          .arg(options.outages.downSeconds));
  print(QString());
  print(
      QStringLiteral("| camera | snapped | delivered | failed | triggers without a frame | refused snaps | "
                     "outages (made / noticed) | recovery p50 | recovery max | open attempts |"));
  print(QStringLiteral("|---|---|---|---|---|---|---|---|---|---|"));
  for (size_t i = 0; i < cameras.size(); ++i) {
    SoakCamera& camera = *cameras[i];
    std::vector<double> recover;
    size_t made = 0;
    for (const OutageSchedule::Outage& outage : outages) {
      if (outage.camera != i) {
        continue;
      }
      ++made;
      allReturned = allReturned && outage.returned;
      // The first frame after the kill. The schedule notes the return once the camera has answered
      // its own probe, which the host's open may beat by a few milliseconds: that is no time to
      // recover at all.
      bool found = false;
      for (const SoakCamera::Recovery& recovery : camera.recoveries()) {
        if (recovery.recovered > outage.killed) {
          recover.push_back(
              std::max(0.0, std::chrono::duration<double>(recovery.recovered - outage.back).count()));
          firstCycle = std::min(firstCycle, recovery.recovered);
          found = true;
          break;
        }
      }
      allRecovered = allRecovered && found;
    }
    recoverAll.insert(recoverAll.end(), recover.begin(), recover.end());
    const LatencyStats stats = LatencyStats::of(recover);
    const FrameCollector::Counts counts = camera.collector().counts();
    const SnapPairing pairing = camera.collector().pairing(std::chrono::seconds(1));
    print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 / %8 | %9 | %10 | %11 |")
              .arg(camera.key())
              .arg(camera.snapped())
              .arg(counts.delivered)
              .arg(counts.failed)
              .arg(pairing.withoutFrame())
              .arg(camera.refused())
              .arg(made)
              .arg(camera.losses())
              .arg(stats.count > 0 ? secondsText(stats.p50) : QStringLiteral("-"))
              .arg(stats.count > 0 ? secondsText(stats.max) : QStringLiteral("-"))
              .arg(camera.openAttempts()));
  }
  print(QString());

  // Resident memory: the first minute's, the one after the first cycle (settled), the last one.
  const auto sampleAt = [&](Clock::time_point when) -> const Sample* {
    for (const Sample& sample : samples) {
      if (sample.when >= when) {
        return &sample;
      }
    }
    return samples.empty() ? nullptr : &samples.back();
  };
  const Sample* firstMinute = sampleAt(begun + std::chrono::seconds(60));
  const Sample* afterCycle =
      firstCycle == Clock::time_point::max() ? nullptr : sampleAt(firstCycle + kSettleAfterCycle);
  const Sample& last = samples.back();
  const double growth =
      afterCycle != nullptr ? static_cast<double>(last.rss) - static_cast<double>(afterCycle->rss) : 0;
  const size_t threadsAfterCycle = afterCycle != nullptr ? afterCycle->threads : threadsAtStart;

  const LatencyStats recovery = LatencyStats::of(recoverAll);
  double longest[SoakCamera::OperationCount] = {};
  uint64_t exceptions = 0;
  for (const auto& camera : cameras) {
    for (int operation = SoakCamera::Open; operation < SoakCamera::OperationCount; ++operation) {
      longest[operation] =
          std::max(longest[operation], camera->longestSeconds(static_cast<SoakCamera::Operation>(operation)));
    }
    exceptions += camera->moduleExceptions();
  }
  bool boundsMet = true;
  for (int operation = SoakCamera::Open; operation < SoakCamera::OperationCount; ++operation) {
    boundsMet = boundsMet && longest[operation] <= kOperationBoundSeconds[operation];
  }

  const bool recoveryMet =
      allReturned && allRecovered && (recoverAll.empty() || recovery.max <= kRecoveryGoalSeconds);
  const bool rssMet = !options.judgeMemory || (afterCycle != nullptr && growth < kRssGrowthGoalBytes);
  // The SDK's one release thread for lost cameras, started at the first outage, stays.
  const bool threadsMet = last.threads <= threadsAtStart + 1 && threadsAfterClose <= threadsBeforeOpen + 1;
  const bool deliveringMet = started && deliveringAtEnd && exceptions == 0;

  print(QStringLiteral("| measure | figure | goal | |"));
  print(QStringLiteral("|---|---|---|---|"));
  print(QStringLiteral("| recovery after the camera's return | p50 %1, max %2 (%3 of %4 outages) | every "
                       "outage, within %5 s | %6 |")
            .arg(recovery.count > 0 ? secondsText(recovery.p50) : QStringLiteral("-"))
            .arg(recovery.count > 0 ? secondsText(recovery.max) : QStringLiteral("-"))
            .arg(recovery.count)
            .arg(outages.size())
            .arg(kRecoveryGoalSeconds)
            .arg(verdict(recoveryMet)));
  print(QStringLiteral(
            "| resident memory | first minute %1 MiB, after the first cycle %2 MiB, last minute %3 MiB | "
            "growth after the first cycle < 2 MiB (%4 MiB) | %5 |")
            .arg(mib(firstMinute != nullptr ? firstMinute->rss : 0))
            .arg(afterCycle != nullptr ? mib(afterCycle->rss) : QStringLiteral("-"))
            .arg(mib(last.rss))
            .arg(afterCycle != nullptr ? QString::number(growth / (1024.0 * 1024.0), 'f', 2)
                                       : QStringLiteral("no cycle"))
            .arg(options.judgeMemory ? verdict(rssMet) : QStringLiteral("not judged")));
  print(QStringLiteral(
            "| threads | before opening %1, grabbing at the start %2, after the first cycle %3, at the "
            "end %4, after closing %5 | none left over: at the end and after closing at most one more "
            "than at the start and before opening (the SDK's release thread for lost cameras) | %6 |")
            .arg(threadsBeforeOpen)
            .arg(threadsAtStart)
            .arg(threadsAfterCycle)
            .arg(last.threads)
            .arg(threadsAfterClose)
            .arg(verdict(threadsMet)));
  for (int operation = SoakCamera::Open; operation < SoakCamera::OperationCount; ++operation) {
    print(QStringLiteral("| longest %1 | %2 | within %3 s | %4 |")
              .arg(QLatin1String(SoakCamera::operationName(operation)))
              .arg(secondsText(longest[operation]))
              .arg(kOperationBoundSeconds[operation])
              .arg(verdict(longest[operation] <= kOperationBoundSeconds[operation])));
  }
  print(QStringLiteral("| every camera delivering at the start and the end, no exception from the module | "
                       "%1, %2, %3 exceptions | yes | %4 |")
            .arg(started ? QStringLiteral("start yes") : QStringLiteral("start NO"))
            .arg(deliveringAtEnd ? QStringLiteral("end yes") : QStringLiteral("end NO"))
            .arg(exceptions)
            .arg(verdict(deliveringMet)));
  size_t critical = 0;
  size_t warnings = 0;
  for (const CapturedLine& line : log.linesSince(0)) {
    critical += line.type == QtCriticalMsg ? 1 : 0;
    warnings += line.type == QtWarningMsg ? 1 : 0;
  }
  print(QString());
  print(QStringLiteral(
            "module log: %1 critical lines, %2 warnings; failed grabs on a thread with no frame yet: %3")
            .arg(critical)
            .arg(warnings)
            .arg(router.unattributedFailed()));
  std::cout.flush();
  return recoveryMet && rssMet && threadsMet && boundsMet && deliveringMet ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zazod-soak"));
  // Debug lines (one per frame) would neither be read nor kept: Qt does not build them.
  QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
  try {
    const Options options = parse(application);
    if (!NetworkNamespace::onlyLoopback()) {
      throw HostError(ExitCode::Usage,
                      QStringLiteral("refusing to run outside a private network namespace with "
                                     "only loopback; run it through scripts/soak"));
    }
#ifdef ZAZOD_WITH_FAKE_USB3
    if (options.usbCameras > 0) {
      std::string error;
      if (!FakeLibusbLoader::ensureFirst(FAKE_USB3_LIB_DIR, argv, error)) {
        throw HostError(ExitCode::Usage, QString::fromStdString(error));
      }
    }
#endif
    return soak(options);
  } catch (const HostError& error) {
    std::cout.flush();
    std::cerr << "zazod-soak: " << error.what() << std::endl;
    return static_cast<int>(error.code());
  }
}
