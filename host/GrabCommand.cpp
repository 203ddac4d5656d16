#include "GrabCommand.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "ContactSheet.h"
#include "EmulationEnvironment.h"
#include "HostError.h"
#include "LatencyStats.h"
#include "ListCommand.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kImageFormatGray8 = 1;      // code of g_imageFormatNames
constexpr int32_t kCameraFamilyBasler = 190;  // code of g_cameraFamilyNames

// Runs one operation of the module; an exception it lets through becomes a HostError.
template <typename Operation>
auto callModule(const char* name, Operation operation) -> decltype(operation()) {
  try {
    return operation();
  } catch (const std::exception& e) {
    throw HostError(ExitCode::ModuleException,
                    QStringLiteral("%1 raised an exception: %2")
                        .arg(QLatin1String(name), QString::fromLocal8Bit(e.what())));
  } catch (...) {
    throw HostError(ExitCode::ModuleException,
                    QStringLiteral("%1 raised an exception in the module").arg(QLatin1String(name)));
  }
}

QString seconds(double value) { return QString::number(value, 'g', 6); }

// What became of the snaps that no frame or failed grab answered.
QString withoutFrameDetail(const SnapPairing& pairing, double timeoutSeconds) {
  QStringList parts;
  if (pairing.ignored > 0) {
    parts << QStringLiteral("%1 ignored by the camera, which answered a later one").arg(pairing.ignored);
  }
  if (pairing.unansweredAtEnd > 0) {
    parts << QStringLiteral("%1 at the end unanswered within %2 s")
                 .arg(pairing.unansweredAtEnd)
                 .arg(seconds(timeoutSeconds));
  }
  return parts.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(parts.join(QStringLiteral("; ")));
}

void line(const QString& text) { std::cout << text.toStdString() << '\n'; }

}  // namespace

int GrabCommand::run(const HostOptions& options, LogCapture& log) {
  GrabCommand command(options, log);
  return command.execute();
}

GrabCommand::GrabCommand(const HostOptions& options, LogCapture& log)
    : m_options(options),
      m_log(log),
      m_timeout(
          std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.timeoutSeconds))),
      m_collector(options.outDir.isEmpty() ? 0 : options.every, options.frames),
      m_progress(options.frames) {}

GrabCommand::~GrabCommand() {
  m_camera.reset();
  m_log.setObserver(nullptr);
}

int GrabCommand::execute() {
  prepareOutput();
  EmulationEnvironment::apply(m_options);
  m_loader.load(m_options.modulePath);
  m_moduleLogMark = m_log.size();
  m_log.setObserver(&m_collector);

  m_config.cameraName = QStringLiteral("zazod-host");
  m_config.cameraFamily = kCameraFamilyBasler;
  m_config.imageFormat = kImageFormatGray8;
  m_camera = std::make_unique<CameraHandle>(m_loader, &m_config, &m_collector);
  m_key = chooseKey();
  openAndStart(m_key);

  switch (m_options.mode) {
    case GrabMode_HardwareTrigger:
      m_ending = collectTriggered();
      break;
    default:
      m_ending = m_options.rate ? snapAtRate() : snapEach();
      break;
  }

  callModule("IStopCamera", [&] { m_camera->get()->IStopCamera(); });
  callModule("ICloseCamera", [&] { m_camera->get()->ICloseCamera(); });
  callModule("Camera_Delete", [&] { m_camera->reset(); });
  m_log.setObserver(nullptr);
  m_progress.finish();
  writePictures();
  writeContactSheet();
  printSummary();

  const FrameCollector::Counts counts = m_collector.counts();
  if (m_ending == Ending::TimedOut) {
    QString message = QStringLiteral("frames did not arrive within %1 s: %2 of %3 came")
                          .arg(seconds(m_options.timeoutSeconds))
                          .arg(counts.delivered)
                          .arg(expectedFrames());
    if (m_options.mode != GrabMode_HardwareTrigger) {
      const uint64_t missing = m_collector.pairing(m_timeout).unansweredAtEnd;
      message += missing == 1 ? QStringLiteral(", the last snap unanswered")
                              : QStringLiteral(", the last %1 snaps unanswered").arg(missing);
    }
    throw HostError(ExitCode::FramesMissing, message);
  }
  if (m_ending == Ending::SnapRefused) {
    throw HostError(ExitCode::Acquisition, QStringLiteral("the camera refused snap %1 of %2 in %3 mode")
                                               .arg(m_snapped + 1)
                                               .arg(m_options.frames)
                                               .arg(m_options.modeName));
  }
  return static_cast<int>(ExitCode::Success);
}

void GrabCommand::prepareOutput() {
  if (m_options.outDir.isEmpty()) {
    return;
  }
  QDir dir(m_options.outDir);
  if (!QDir().mkpath(m_options.outDir) || !QFileInfo(m_options.outDir).isDir()) {
    throw HostError(ExitCode::Output,
                    QStringLiteral("cannot create the output folder %1").arg(m_options.outDir));
  }
  QTemporaryFile probe(dir.filePath(QStringLiteral(".zazod-host-XXXXXX")));
  if (!probe.open()) {
    throw HostError(ExitCode::Output, QStringLiteral("cannot write into the output folder %1: %2")
                                          .arg(m_options.outDir, probe.errorString()));
  }
  // The folder shows this grab only: pictures of an earlier one go.
  for (const QString& old :
       dir.entryList({QStringLiteral("frame-*.png"), QStringLiteral("contact.png")}, QDir::Files)) {
    dir.remove(old);
  }
}

QString GrabCommand::chooseKey() {
  const QStringList keys = ListCommand::keysOf(m_camera->get());
  if (!m_options.key.isEmpty()) {
    return m_options.key;
  }
  if (!keys.isEmpty()) {
    return keys.first();
  }
  if (!m_options.emulate) {
    restartWithEmulatedCamera();
  }
  throw HostError(
      ExitCode::Camera,
      QStringLiteral("no camera present (with --emulate %1 and no --key)").arg(*m_options.emulate));
}

void GrabCommand::restartWithEmulatedCamera() {
  line(QStringLiteral("no camera listed: grabbing from one emulated camera (--emulate 1)"));
  m_camera.reset();
  m_log.setObserver(nullptr);
  EmulationEnvironment::restartWithEmulatedCamera(m_options.arguments);
}

void GrabCommand::openAndStart(const QString& key) {
  ICameraObject* camera = m_camera->get();
  m_config.cameraKey = key;
  size_t mark = m_log.size();
  if (callModule("IOpenCamera", [&] { return camera->IOpenCamera(); }) == 0) {
    const QString reason = m_log.problemsSince(mark);
    const QStringList keys = ListCommand::keysOf(camera);
    throw HostError(ExitCode::Camera,
                    QStringLiteral("the module refused to open the camera \"%1\": %2")
                        .arg(key, !reason.isEmpty() ? reason
                                  : keys.isEmpty() ? QStringLiteral("it logged no reason and lists no camera")
                                                   : QStringLiteral("it logged no reason; cameras listed: %1")
                                                         .arg(keys.join(QStringLiteral(", ")))));
  }
  camera->m_requestedGrabMode = m_options.mode;
  if (m_options.mode == GrabMode_SoftwareTriggerCounted) {
    camera->m_frameLimit = m_options.limit.value_or(static_cast<uint32_t>(m_options.frames));
  }
  mark = m_log.size();
  if (callModule("IStartCamera", [&] { return camera->IStartCamera(); }) == 0) {
    const QString reason = m_log.problemsSince(mark);
    throw HostError(
        ExitCode::Acquisition,
        QStringLiteral("IStartCamera refused to start \"%1\" in %2 mode: %3")
            .arg(key, m_options.modeName, reason.isEmpty() ? QStringLiteral("it logged no reason") : reason));
  }
  m_started = Clock::now();
  line(QStringLiteral("camera %1, %2 mode, %3 frames").arg(key, m_options.modeName).arg(m_options.frames));
  std::cout.flush();
}

bool GrabCommand::snap() {
  ICameraObject* camera = m_camera->get();
  m_collector.snapFired(Clock::now());
  if (callModule("ISnapCamera", [&] { return camera->ISnapCamera(0); }) == 0) {
    m_collector.snapWithdrawn();
    ++m_refused;
    return false;
  }
  ++m_snapped;
  return true;
}

GrabCommand::Ending GrabCommand::snapEach() {
  for (uint64_t i = 0; i < m_options.frames; ++i) {
    const uint64_t answered = m_collector.outcomes();
    if (!snap()) {
      // In counted mode the camera refuses snaps once its frame limit is reached: the grab ends.
      return m_options.mode == GrabMode_SoftwareTriggerCounted ? Ending::Completed : Ending::SnapRefused;
    }
    if (!awaitOutcomes(answered + 1)) {
      return Ending::TimedOut;
    }
  }
  return Ending::Completed;
}

GrabCommand::Ending GrabCommand::snapAtRate() {
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / *m_options.rate));
  const uint64_t before = m_collector.outcomes();
  Clock::time_point next = Clock::now();
  Ending ending = Ending::Completed;
  for (uint64_t i = 0; i < m_options.frames; ++i) {
    // Paced by waiting on the collector, which also wakes for every frame to keep the bar moving.
    while (Clock::now() < next) {
      m_collector.waitForMoreThan(m_collector.outcomes(), next);
      refresh();
    }
    const Clock::time_point snapped = Clock::now();
    if (!snap()) {
      ending = m_options.mode == GrabMode_SoftwareTriggerCounted ? Ending::Completed : Ending::SnapRefused;
      break;
    }
    // A late snap does not bring the next one closer: a camera that looks for a trigger once per
    // tick would merge two snaps sent back to back into one frame.
    next = std::max(next + period, snapped + period);
  }
  // Until every snap is answered, or until the last snap is older than the timeout: no answer that
  // comes later could belong to it. Snaps the camera ignored while it answered later ones are not
  // waited for; only snaps after the last answered one are missing frames.
  const Clock::time_point deadline = m_collector.lastSnap() + m_timeout;
  uint64_t seen = m_collector.outcomes();
  while (seen < before + m_snapped && m_collector.waitForMoreThan(seen, deadline)) {
    seen = m_collector.outcomes();
    refresh();
  }
  refresh();
  if (m_collector.pairing(m_timeout).unansweredAtEnd > 0) {
    return Ending::TimedOut;
  }
  return ending;
}

GrabCommand::Ending GrabCommand::collectTriggered() {
  // No snap to answer: a failed grab is not one of the frames asked for.
  return awaitOutcomes(m_options.frames, true) ? Ending::Completed : Ending::TimedOut;
}

bool GrabCommand::awaitOutcomes(uint64_t target, bool deliveredOnly) {
  const auto reached = [&] {
    return (deliveredOnly ? m_collector.counts().delivered : m_collector.outcomes()) >= target;
  };
  // `seen` is read before each test, so an answer that comes in between ends the wait at once.
  uint64_t seen = m_collector.outcomes();
  while (!reached()) {
    if (!m_collector.waitForMoreThan(seen, Clock::now() + m_timeout)) {
      return false;
    }
    seen = m_collector.outcomes();
    refresh();
  }
  refresh();
  return true;
}

void GrabCommand::refresh() {
  writePictures();
  m_progress.update(m_collector.counts().delivered);
}

void GrabCommand::writePictures() {
  const QDir dir(m_options.outDir);
  const int digits = std::max(4, static_cast<int>(QString::number(m_options.frames).size()));
  for (const KeptFrame& frame : m_collector.takeKept()) {
    const QString path =
        dir.filePath(QStringLiteral("frame-%1.png").arg(frame.ordinal + 1, digits, 10, QLatin1Char('0')));
    if (!frame.image.save(path, "PNG")) {
      throw HostError(ExitCode::Output, QStringLiteral("cannot write the picture %1").arg(path));
    }
    m_pictures << path;
  }
}

void GrabCommand::writeContactSheet() {
  if (m_pictures.isEmpty()) {
    return;
  }
  ContactSheet sheet;
  for (const size_t position : ContactSheet::pick(static_cast<size_t>(m_pictures.size()))) {
    QImageReader reader(m_pictures.at(static_cast<int>(position)));
    const QImage picture = reader.read();
    if (picture.isNull()) {
      throw HostError(
          ExitCode::Output,
          QStringLiteral("cannot read back the picture %1: %2").arg(reader.fileName(), reader.errorString()));
    }
    sheet.add(picture);
  }
  const QString path = QDir(m_options.outDir).filePath(QStringLiteral("contact.png"));
  if (!sheet.compose().save(path, "PNG")) {
    throw HostError(ExitCode::Output, QStringLiteral("cannot write the contact sheet %1").arg(path));
  }
  m_contactSheetPath = path;
  m_contactSheetTiles = sheet.tileCount();
}

uint64_t GrabCommand::expectedFrames() const {
  return m_options.mode == GrabMode_HardwareTrigger ? m_options.frames : m_snapped;
}

void GrabCommand::printSummary() const {
  const FrameCollector::Counts counts = m_collector.counts();
  const double elapsed =
      counts.delivered > 0 ? std::chrono::duration<double>(counts.lastFrame - m_started).count() : 0.0;
  const SnapPairing pairing = m_collector.pairing(m_timeout);
  const LatencyStats latency = LatencyStats::of(pairing.latenciesMs);
  const auto ms = [](double value) { return QString::number(value, 'f', 2) + QStringLiteral(" ms"); };

  line(QStringLiteral("summary"));
  if (m_options.mode == GrabMode_HardwareTrigger) {
    line(QStringLiteral("  snapped     0 (frames triggered on Line1)"));
  } else {
    QString refused = QStringLiteral("refused %1").arg(m_refused);
    if (m_refused > 0 && m_options.mode == GrabMode_SoftwareTriggerCounted) {
      refused += QStringLiteral(": frame limit %1 reached")
                     .arg(m_options.limit ? static_cast<uint64_t>(*m_options.limit) : m_options.frames);
    }
    line(QStringLiteral("  snapped     %1 (%2)").arg(m_snapped).arg(refused));
  }
  line(QStringLiteral("  delivered   %1 (%2x%3)").arg(counts.delivered).arg(counts.width).arg(counts.height));
  if (m_options.mode != GrabMode_HardwareTrigger) {
    line(QStringLiteral("  triggers without a frame %1%2")
             .arg(pairing.withoutFrame())
             .arg(withoutFrameDetail(pairing, m_options.timeoutSeconds)));
  }
  line(QStringLiteral("  failed      %1").arg(counts.failed));
  line(QStringLiteral("  skipped     %1").arg(counts.skipped));
  if (counts.unreadable > 0) {
    line(QStringLiteral("  unreadable  %1 (no buffer, no size or not 8-bit grey)").arg(counts.unreadable));
  }
  line(QStringLiteral("  frames/s    %1")
           .arg(elapsed > 0 ? QString::number(counts.delivered / elapsed, 'f', 1) : QStringLiteral("-")));
  if (latency.count > 0) {
    line(QStringLiteral("  latency     p50 %1, p99 %2, max %3 (snap to frame, %4 frames)")
             .arg(ms(latency.p50), ms(latency.p99), ms(latency.max))
             .arg(latency.count));
  } else {
    line(QStringLiteral("  latency     - (no frame answered a snap)"));
  }
  if (m_options.outDir.isEmpty()) {
    line(QStringLiteral("  pictures    none (no --out)"));
  } else {
    line(QStringLiteral("  pictures    %1 in %2")
             .arg(m_pictures.size())
             .arg(QDir::cleanPath(m_options.outDir)));
    if (!m_contactSheetPath.isEmpty()) {
      line(QStringLiteral("  contact     %1 (%2 frames)")
               .arg(QDir::cleanPath(m_contactSheetPath))
               .arg(m_contactSheetTiles));
    }
  }
  line(QStringLiteral("module log%1")
           .arg(m_options.verbose ? QString()
                                  : QStringLiteral(" (warnings and critical lines; --verbose for all)")));
  if (m_log.print(std::cout, m_moduleLogMark, m_options.verbose, "  ") == 0) {
    line(QStringLiteral("  none"));
  }
  std::cout.flush();
}
